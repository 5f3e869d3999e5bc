#pragma once
// TTabrixCopyGroup: one node of the tree in which the copy manager records
// the bands placed in one block of report rows, and the planning of that
// node's formats: its header and footer (from the template, or as one copy
// of a matching stretch of earlier report rows, a "chain") and its records
// (copied in doubling blocks).
//
// Groups are created and owned by their TTabrixCopyManager (copy_manager.h)
// and live as long as it does. A group reads the level tables of its
// manager and hands its copies to it (CopyFromTempl at once, AddCopyAction
// queued). Row numbers are report rows, 1-based; levels are 0-based from
// the outermost, -1 for the root that stands for the whole block.
//
// The rows of a group in its block: its header (if FHeaderIn), then its
// children or, on the lowest group level, FChildCount records, then its
// footer (if FFooterIn). Every consistency check raises EAssertionFailed
// with the message of messages/messages.h.
//
//   manager.AddBand(groupHeader, nullptr);   // builds the tree
//   ...
//   manager.Output();                        // calls Output on every level-0 group

#include <cstdint>

namespace tabrix {

class TTabrixCopyManager;

class TTabrixCopyGroup {
public:
    explicit TTabrixCopyGroup(TTabrixCopyManager& manager) : FManager(&manager) {}
    TTabrixCopyGroup(const TTabrixCopyGroup&) = delete;
    TTabrixCopyGroup& operator=(const TTabrixCopyGroup&) = delete;

    // --- navigation (no side effects; null when there is none) ---------
    TTabrixCopyGroup* GetFirstChild() const;
    TTabrixCopyGroup* GetNext() const;
    // One band forward (backward) in the block's band sequence; Down is
    // true on the entering side. Null beyond the first or last level-0 group.
    TTabrixCopyGroup* NextByBand(bool down) const;
    TTabrixCopyGroup* PrevByBand(bool down) const;
    // The nearest earlier group of the same level anywhere in the block.
    TTabrixCopyGroup* AllPrev() const;
    // The first report row after the group, its footer included.
    uint16_t GetEndRow() const;

    // --- planning ------------------------------------------------------
    // Rows (at most maxLen) over which group, an earlier group of the same
    // level, has the band structure of this one counted from both headers.
    // complete: the chain reaches a band that is already provided.
    int FindHeaderChain(const TTabrixCopyGroup& group, bool& complete, int maxLen) const;
    // The same backward from both footers, then on into the next groups;
    // backLen: the rows of the backward part.
    int FindFooterChain(const TTabrixCopyGroup& group, int& backLen, bool& complete) const;
    // Marks the first (last) num rows from this group's header (to its
    // footer) as provided.
    void MarkAsOutputtedForw(int num);
    void MarkAsOutputtedBack(int num);
    void OutputHeader();
    void OutputFooter();
    void OutputDetail();
    // The whole group: header, footer, then its children or its records.
    void Output();

    // --- fields (set by the manager while bands are added, changed by the
    // planning pass only from not provided towards provided) -------------
    int32_t FLevel = 0;
    TTabrixCopyGroup* FParent = nullptr;
    TTabrixCopyGroup* FPrev = nullptr;
    TTabrixCopyGroup* FLastChild = nullptr;
    // Child groups; on the lowest group level the records in the block.
    uint16_t FChildCount = 0;
    uint16_t FStartRow = 0;
    bool FHeaderIn = false;
    bool FFooterIn = false;
    // Lowest group level: leading records covered by a forward chain.
    uint16_t FForwOffset = 0;
    // Lowest group level: records whose formats are provided.
    uint16_t FDoneCount = 0;
    bool FHeaderDone = false;
    bool FFooterDone = false;

private:
    int H(int level) const;
    int F(int level) const;
    int RecordHeight() const;
    int LowestGroupLevel() const;
    // One step of a chain or marking walk; entering is updated to the side
    // of the new position.
    static TTabrixCopyGroup* StepForw(const TTabrixCopyGroup* g, bool& entering);
    static TTabrixCopyGroup* StepBack(const TTabrixCopyGroup* g, bool& entering);

    TTabrixCopyManager* FManager;
    // Forward links kept beside Prev and LastChild, so that stepping to the
    // next sibling does not walk the sibling list.
    TTabrixCopyGroup* FFirstChild = nullptr;
    TTabrixCopyGroup* FNext = nullptr;
    friend class TTabrixCopyManager;
};

}  // namespace tabrix
