#include "copy/copy_group.h"

#include <algorithm>

#include "copy/copy_manager.h"
#include "messages/messages.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

namespace {

// The checks sit on the planning path: the message is only built when one fails.
inline void Check(bool condition, const char* message) {
    if (!condition) throw EAssertionFailed(message);
}

}  // namespace

int TTabrixCopyGroup::H(int level) const { return level < 0 ? 0 : FManager->HeaderRowCounts()[level]; }
int TTabrixCopyGroup::F(int level) const { return level < 0 ? 0 : FManager->FooterRowCounts()[level]; }
int TTabrixCopyGroup::RecordHeight() const { return FManager->RecordHeight(); }
int TTabrixCopyGroup::LowestGroupLevel() const { return FManager->LevelCount() - 2; }

// --- navigation --------------------------------------------------------

TTabrixCopyGroup* TTabrixCopyGroup::GetFirstChild() const { return FFirstChild; }

TTabrixCopyGroup* TTabrixCopyGroup::GetNext() const { return FNext; }

TTabrixCopyGroup* TTabrixCopyGroup::NextByBand(bool down) const {
    if (down && FLastChild) return GetFirstChild();
    TTabrixCopyGroup* next = GetNext();
    if (!next && FLevel != 0) return FParent;
    return next;
}

TTabrixCopyGroup* TTabrixCopyGroup::PrevByBand(bool down) const {
    if (down && FLastChild) return FLastChild;
    if (!FPrev && FLevel != 0) return FParent;
    return FPrev;
}

TTabrixCopyGroup* TTabrixCopyGroup::AllPrev() const {
    if (FPrev) return FPrev;
    for (const TTabrixCopyGroup* up = FParent; up && up->FLevel >= 0; up = up->FParent) {
        if (!up->FPrev) continue;
        TTabrixCopyGroup* down = up->FPrev;
        while (down->FLevel != FLevel) {
            if (!down->FLastChild) return nullptr;
            down = down->FLastChild;
        }
        return down;
    }
    return nullptr;
}

uint16_t TTabrixCopyGroup::GetEndRow() const {
    const TTabrixCopyGroup* g = this;
    int sum = 0;
    const TTabrixCopyGroup* next = g->GetNext();
    while (!next && g->FParent && g->FParent->FLevel >= 0) {
        g = g->FParent;
        sum += F(g->FLevel);
        next = g->GetNext();
    }
    if (next) return static_cast<uint16_t>(next->FStartRow - sum);
    // Nothing follows in the block: down the last children to the end.
    g = this;
    sum = 0;
    while (g->FLastChild) {
        if (g->FFooterIn) sum += F(g->FLevel);
        g = g->FLastChild;
    }
    if (g->FFooterIn) sum += F(g->FLevel);
    if (g->FHeaderIn) sum += H(g->FLevel);
    return static_cast<uint16_t>(RecordHeight() * g->FChildCount + g->FStartRow + sum);
}

TTabrixCopyGroup* TTabrixCopyGroup::StepForw(const TTabrixCopyGroup* g, bool& entering) {
    TTabrixCopyGroup* next = g->NextByBand(entering);
    if (next) entering = next->FLevel >= g->FLevel;
    return next;
}

TTabrixCopyGroup* TTabrixCopyGroup::StepBack(const TTabrixCopyGroup* g, bool& entering) {
    TTabrixCopyGroup* prev = g->PrevByBand(entering);
    if (prev) entering = prev->FLevel >= g->FLevel;
    return prev;
}

// --- chains ------------------------------------------------------------

int TTabrixCopyGroup::FindHeaderChain(const TTabrixCopyGroup& group, bool& complete, int maxLen) const {
    Check(FLevel == group.FLevel, SCGHeaderChainLevels);
    Check(!FHeaderDone, SCGHeaderChainDone);
    const int lowest = LowestGroupLevel();
    const int r = RecordHeight();
    int result = 0;
    const TTabrixCopyGroup* src = &group;
    const TTabrixCopyGroup* dst = this;
    bool entering = true;
    complete = false;
    while (!complete) {
        if (src->FLevel != dst->FLevel || src == this) break;
        const int level = src->FLevel;
        if (level == lowest) {
            Check(dst->FHeaderIn, SCGHeaderChainDstHeader);
            if (!src->FHeaderIn) break;
            result += H(level);
            int k = std::min(dst->FChildCount - dst->FDoneCount, static_cast<int>(src->FChildCount));
            const int fit = std::max(0, (maxLen - result) / r);
            const bool cut = fit < k;
            if (cut) k = fit;
            result += k * r;
            if (src->FChildCount == dst->FChildCount && !dst->FFooterDone && dst->FFooterIn && !cut &&
                F(level) <= maxLen - result) {
                result += F(level);
            } else {
                complete = dst->FChildCount - dst->FDoneCount == k && (!dst->FFooterIn || dst->FFooterDone);
                break;
            }
        } else if (entering) {
            Check(dst->FHeaderIn, SCGHeaderChainDstHeader);
            if (!src->FHeaderIn) break;
            result += H(level);
        } else {
            Check(src->FFooterIn, SCGHeaderChainSrcFooter);
            if (!dst->FFooterIn) {
                complete = true;
                break;
            }
            result += F(level);
        }
        bool srcEntering = entering;
        const TTabrixCopyGroup* nextSrc = StepForw(src, srcEntering);
        const TTabrixCopyGroup* nextDst = dst->NextByBand(entering);
        // Past the last group of level 0 there is no position to go on
        // from: the chain ends with what it has.
        if (!nextSrc || !nextDst) {
            complete = false;
            if (result > maxLen) result = maxLen;
            break;
        }
        src = nextSrc;
        dst = nextDst;
        entering = srcEntering;
        complete = entering ? dst->FHeaderDone : dst->FFooterDone;
        if (result >= maxLen) {
            if (result > maxLen) complete = false;
            result = maxLen;
            break;
        }
    }
    Check(result <= maxLen, SCGHeaderChainMaxLen);
    return result;
}

int TTabrixCopyGroup::FindFooterChain(const TTabrixCopyGroup& group, int& backLen, bool& complete) const {
    Check(FLevel == group.FLevel, SCGFooterChainLevels);
    Check(!FFooterDone, SCGFooterChainDone);
    const int lowest = LowestGroupLevel();
    const int r = RecordHeight();
    int result = 0;
    const TTabrixCopyGroup* src = &group;
    const TTabrixCopyGroup* dst = this;
    bool entering = true;
    complete = false;
    while (!complete) {
        if (src->FLevel != dst->FLevel || dst == &group) break;
        const int level = src->FLevel;
        if (level == lowest) {
            Check(src->FFooterIn, SCGFooterChainSrcFooter);
            Check(dst->FFooterIn, SCGFooterChainDstFooter);
            const int k = std::min(dst->FChildCount - dst->FDoneCount, static_cast<int>(src->FChildCount));
            result += F(level) + k * r;
            if (src->FChildCount != dst->FChildCount || dst->FHeaderDone || !src->FHeaderIn) {
                complete = dst->FChildCount - dst->FDoneCount == k && dst->FHeaderDone;
                break;
            }
            result += H(level);
        } else if (entering) {
            Check(src->FFooterIn, SCGFooterChainSrcFooter);
            Check(dst->FFooterIn, SCGFooterChainDstFooter);
            result += F(level);
        } else {
            Check(dst->FHeaderIn, SCGFooterChainDstHeader);
            if (!src->FHeaderIn) break;
            result += H(level);
        }
        bool srcEntering = entering;
        const TTabrixCopyGroup* prevSrc = StepBack(src, srcEntering);
        const TTabrixCopyGroup* prevDst = dst->PrevByBand(entering);
        // Before the first group of level 0: the backward part ends here.
        if (!prevSrc || !prevDst) {
            complete = false;
            break;
        }
        src = prevSrc;
        dst = prevDst;
        entering = srcEntering;
        complete = entering ? dst->FFooterDone : dst->FHeaderDone;
    }
    backLen = result;

    // On forward into the groups that follow both.
    const TTabrixCopyGroup* dstNext = GetNext();
    const TTabrixCopyGroup* srcNext = group.GetNext();
    if (dstNext && !dstNext->FHeaderDone) {
        if (!srcNext) {
            complete = false;
        } else {
            // The whole source stretch stays before the destination stretch.
            const int gap = GetEndRow() - group.GetEndRow() - backLen;
            if (gap > 0) {
                bool nextComplete = false;
                result += dstNext->FindHeaderChain(*srcNext, nextComplete, gap);
                complete = complete && nextComplete;
            }
        }
    }
    return result;
}

// --- marking -----------------------------------------------------------

void TTabrixCopyGroup::MarkAsOutputtedForw(int num) {
    const int lowest = LowestGroupLevel();
    const int r = RecordHeight();
    TTabrixCopyGroup* g = this;
    bool entering = true;
    while (g) {
        const int level = g->FLevel;
        if (entering) {
            if (H(level) > num) break;
            num -= H(level);
            g->FHeaderDone = true;
        }
        if (level == lowest) {
            const int k = std::min(num / r, static_cast<int>(g->FChildCount));
            num -= k * r;
            g->FDoneCount = static_cast<uint16_t>(g->FDoneCount + k);
            Check(g->FDoneCount <= g->FChildCount, SCGMarkForwTooMany);
            if (k < g->FChildCount) {
                g->FForwOffset = static_cast<uint16_t>(k);
                break;
            }
        }
        if (entering && level != lowest) {
            g = StepForw(g, entering);
            continue;
        }
        if (F(level) > num) break;
        num -= F(level);
        g->FFooterDone = true;
        g = StepForw(g, entering);
    }
    Check(num == 0, SCGMarkForwWrongNum);
}

void TTabrixCopyGroup::MarkAsOutputtedBack(int num) {
    const int lowest = LowestGroupLevel();
    const int r = RecordHeight();
    TTabrixCopyGroup* g = this;
    bool entering = true;
    while (g) {
        const int level = g->FLevel;
        if (entering) {
            if (F(level) > num) break;
            num -= F(level);
            g->FFooterDone = true;
        }
        if (level == lowest) {
            const int k = std::min(num / r, static_cast<int>(g->FChildCount));
            num -= k * r;
            g->FDoneCount = static_cast<uint16_t>(g->FDoneCount + k);
            Check(g->FDoneCount <= g->FChildCount, SCGMarkBackTooMany);
            if (k < g->FChildCount) break;
        }
        if (entering && level != lowest) {
            g = StepBack(g, entering);
            continue;
        }
        if (H(level) > num) break;
        num -= H(level);
        g->FHeaderDone = true;
        g = StepBack(g, entering);
    }
    Check(num == 0, SCGMarkBackWrongNum);
}

// --- output planning ---------------------------------------------------

void TTabrixCopyGroup::OutputHeader() {
    int best = 0;
    const TTabrixCopyGroup* source = nullptr;
    for (const TTabrixCopyGroup* g = AllPrev(); g; g = g->AllPrev()) {
        bool complete = false;
        const int len = FindHeaderChain(*g, complete, kTabrixCopyMaxRow);
        // A longer chain further back wins; on equal length the nearer stays.
        if (len > best) {
            best = len;
            source = g;
        }
        if (complete) break;
    }
    if (best <= 0) {
        FManager->CopyFromTempl(FManager->Headers()[FLevel], FStartRow);
        FHeaderDone = true;
        return;
    }
    MarkAsOutputtedForw(best);
    FManager->AddCopyAction(FStartRow, source->FStartRow, static_cast<uint16_t>(best));
}

void TTabrixCopyGroup::OutputFooter() {
    int best = 0;
    int bestBack = 0;
    const TTabrixCopyGroup* source = nullptr;
    for (const TTabrixCopyGroup* g = AllPrev(); g; g = g->AllPrev()) {
        int back = 0;
        bool complete = false;
        const int len = FindFooterChain(*g, back, complete);
        if (len > best) {
            best = len;
            source = g;
            bestBack = back;
        }
        if (complete) break;
    }
    if (best <= 0) {
        FManager->CopyFromTempl(FManager->Footers()[FLevel], GetEndRow() - F(FLevel));
        FFooterDone = true;
        return;
    }
    MarkAsOutputtedBack(bestBack);
    if (best != bestBack && GetNext()) GetNext()->MarkAsOutputtedForw(best - bestBack);
    FManager->AddCopyAction(static_cast<uint16_t>(GetEndRow() - bestBack),
                            static_cast<uint16_t>(source->GetEndRow() - bestBack), static_cast<uint16_t>(best));
}

void TTabrixCopyGroup::OutputDetail() {
    Check(FManager->LevelCount() == FLevel + 2, SCGOutputDetailNotBottom);
    if (FChildCount == 0) return;
    const int r = RecordHeight();
    int dest = FStartRow + FForwOffset * r + (FHeaderIn ? H(FLevel) : 0);

    // The earlier group of the level with the most records serves as source.
    int avail = 0;
    int src = 0;
    for (const TTabrixCopyGroup* p = AllPrev(); p; p = p->AllPrev()) {
        if (p->FChildCount > avail) {
            src = p->FStartRow + (p->FHeaderIn ? H(FLevel) : 0);
            avail = p->FChildCount;
            if (FChildCount - FDoneCount <= avail) break;
        }
    }
    bool doubling = avail == 0;
    if (doubling) {
        src = dest;
        FManager->CopyFromTempl(FManager->Headers()[FLevel + 1], dest);
        FManager->CopyFromTempl(FManager->Footers()[FLevel + 1], dest + H(FLevel + 1));
        dest += r;
        ++FDoneCount;
        avail = 1;
    }
    const int first = dest;
    while (FDoneCount != FChildCount) {
        const int k = std::min(FChildCount - FDoneCount, avail);
        const int rows = k * r;
        FManager->AddCopyAction(static_cast<uint16_t>(dest), static_cast<uint16_t>(src), static_cast<uint16_t>(rows));
        dest += rows;
        FDoneCount = static_cast<uint16_t>(FDoneCount + k);
        if (doubling) {
            avail *= 2;  // the stretch from src to dest now holds twice as many records
        } else if (FChildCount - FDoneCount > 2 * avail) {
            doubling = true;  // from now on the group copies from its own first records
            src = first;
        }
    }
    FForwOffset = 0;
}

void TTabrixCopyGroup::Output() {
    if (!FHeaderDone && FHeaderIn) OutputHeader();
    if (!FFooterDone && FFooterIn) OutputFooter();
    if (FLevel != LowestGroupLevel()) {
        for (TTabrixCopyGroup* child = GetFirstChild(); child; child = child->GetNext()) child->Output();
    } else if (FDoneCount != FChildCount) {
        OutputDetail();
    }
}

}  // namespace tabrix
