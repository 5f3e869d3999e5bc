#include "template/totals.h"

#include "bands/band.h"
#include "cells/cell_address.h"
#include "cells/tabrix_error.h"
#include "messages/messages.h"
#include "platform/db/dataset.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/format.h"
#include "platform/rtl/locale.h"
#include "template/band_info.h"
#include "template/templ_parser.h"

namespace tabrix {

const char* TabrixEnglishFuncName(TTabrixFieldFunc func) {
    switch (func) {
        case TTabrixFieldFunc::ffSum:
            return "SUM";
        case TTabrixFieldFunc::ffAvg:
            return "AVERAGE";
        case TTabrixFieldFunc::ffMax:
            return "MAX";
        case TTabrixFieldFunc::ffMin:
            return "MIN";
        case TTabrixFieldFunc::ffCnt:
            return "COUNT";
        case TTabrixFieldFunc::ffNone:
            break;
    }
    return "";
}

TTabrixFieldFunc TabrixCombineFuncs(TTabrixFieldFunc func, TTabrixFieldFunc cellFunc) {
    if (cellFunc == TTabrixFieldFunc::ffNone) return func;
    // Counts of inner groups are added up.
    if (func == TTabrixFieldFunc::ffCnt && cellFunc == TTabrixFieldFunc::ffCnt) return TTabrixFieldFunc::ffSum;
    // An average of averages would weigh the groups, not the records.
    if (func == TTabrixFieldFunc::ffAvg) return TTabrixFieldFunc::ffNone;
    return func == cellFunc ? func : TTabrixFieldFunc::ffNone;
}

// ---- accumulator

void TTabrixAccField::Accumulate() {
    const int32_t n = FAccType == xatDetail ? FBandInfo->FDetailCount : FBandInfo->FMasterCount;
    double v = 0;
    if (FFunc != TTabrixFieldFunc::ffCnt) {
        if (FSourceDataSet) {
            v = FSourceDataSet->FieldByName(FSourceField, FSourceFieldRef)->AsFloat();
        } else {
            Variant value;
            FBandInfo->Parser()->OnGetValue()(this, FSourceField, value);
            v = value.IsEmpty() || value.IsNull() ? 0 : value.AsDouble();
        }
    }
    switch (FFunc) {
        case TTabrixFieldFunc::ffSum:
            FValue += v;
            break;
        case TTabrixFieldFunc::ffAvg:
            FValue = (FValue * (n - 1) + v) / n;
            break;
        case TTabrixFieldFunc::ffMax:
            if (FValue < v || n == 1) FValue = v;
            break;
        case TTabrixFieldFunc::ffMin:
            if (FValue > v || n == 1) FValue = v;
            break;
        case TTabrixFieldFunc::ffCnt:
            FValue = n;
            break;
        case TTabrixFieldFunc::ffNone:
            break;
    }
}

AnsiString TTabrixAccField::GetValue() const {
    if (FFormulaBandInfo) {
        AnsiString formula = FFormulaBandInfo->GetBandRangeFormula(static_cast<uint16_t>(FFormulaRowOffset),
                                                                   static_cast<uint16_t>(FFormulaCol), FFormulaFunc,
                                                                   FStartInterval, FSkipOutputs);
        if (!formula.empty()) return formula;
    }
    return FloatToStr(static_cast<double>(FValue), FormatSettings());
}

void TTabrixAccField::ResetAccumulation() {
    if (FFormulaBandInfo && !FFormulaBandInfo->RowIntervals().empty()) {
        const auto& intervals = FFormulaBandInfo->RowIntervals();
        FStartInterval = static_cast<uint16_t>(intervals.size() - 1);
        FSkipOutputs = static_cast<uint16_t>(intervals.back().Extra + 1);
    }
    FValue = 0;
}

// ---- the totals of a band info

void TTabrixBandInfo::AddAccFields(TTabrixCellParser& cell) {
    for (int i = 0; i < cell.GetCount(); ++i) {
        const int accType = cell.GetFieldAccType(i);
        if (accType < 0) continue;
        const auto type = static_cast<TTabrixAccType>(accType);
        if (FindAccField(cell.GetDSFieldName(i), cell.GetDataSet(i), cell.GetFunc(i), type)) continue;
        auto acc = std::make_unique<TTabrixAccField>(this);
        acc->FSourceDataSet = cell.GetDataSet(i);
        acc->FSourceField = acc->FSourceDataSet ? cell.GetDSFieldName(i) : cell.GetField(i);
        acc->FAccType = type;
        acc->FFunc = cell.GetFunc(i);
        TTabrixBandInfo* formulaInfo = nullptr;
        TTabrixCellParser* formulaCell = nullptr;
        TTabrixFieldFunc formulaFunc = TTabrixFieldFunc::ffNone;
        if (FParser->Owner().TemplTotalsAsFormula() &&
            FParser->FindDetailForSumFields(acc->FSourceField, acc->FSourceDataSet, FLevel, type, acc->FFunc,
                                            formulaInfo, formulaCell, formulaFunc)) {
            acc->FFormulaBandInfo = formulaInfo;
            acc->FFormulaFunc = formulaFunc;
            acc->FFormulaCol = formulaCell->Col() - formulaInfo->Band()->GetRangeLeft() + 1;
            acc->FFormulaRowOffset = formulaCell->Row() - formulaInfo->Band()->GetRangeTop();
        }
        FAccFields.push_back(std::move(acc));
    }
}

TTabrixAccField* TTabrixBandInfo::FindAccField(const AnsiString& name, const TDataSet* dataSet, TTabrixFieldFunc func,
                                               TTabrixAccType) const {
    for (const auto& acc : FAccFields)
        if (acc->FSourceDataSet == dataSet && acc->FFunc == func && AnsiSameText(acc->FSourceField, name))
            return acc.get();
    return nullptr;
}

AnsiString TTabrixBandInfo::GetAccFieldValue(const AnsiString& name, const TDataSet* dataSet, TTabrixFieldFunc func,
                                             TTabrixAccType accType) const {
    const TTabrixAccField* acc = FindAccField(name, dataSet, func, accType);
    if (!acc) throw ETabrixError(Format(STotalFieldNotFound, {name}));
    return acc->GetValue();
}

void TTabrixBandInfo::AccumulateTotals(TTabrixAccType accType) {
    for (const auto& acc : FAccFields)
        if (acc->FAccType == accType) acc->Accumulate();
}

void TTabrixBandInfo::ResetAccumulation() {
    FMasterCount = 0;
    FDetailCount = 0;
    if (FAccTypes.Empty()) return;
    for (const auto& acc : FAccFields) acc->ResetAccumulation();
}

namespace {

constexpr std::string_view kGroupMark = "####";

// Collects references into groups of kTabrixRefsPerGroup, each finished
// group as "####(refs)" in the list.
class TRefGroups {
public:
    explicit TRefGroups(char sep) : FSep(sep) {}

    void Add(const AnsiString& ref) {
        if (!FGroup.empty()) {
            if (FSeps == kTabrixRefsPerGroup - 1) {
                FinishGroup();
            } else {
                FGroup += FSep;
                ++FSeps;
            }
        }
        FGroup += ref;
    }
    // Appends to the reference added last (one contiguous range).
    void Extend(const AnsiString& text) { FGroup += text; }

    AnsiString& List() { return FList; }
    AnsiString& Group() { return FGroup; }
    int Groups() const { return FGroups; }
    char Sep() const { return FSep; }
    void CountLastGroup() { ++FGroups; }

private:
    void FinishGroup() {
        if (!FList.empty()) FList += FSep;
        FList += kGroupMark;
        FList += '(';
        FList += FGroup;
        FList += ')';
        ++FGroups;
        FGroup.clear();
        FSeps = 0;
    }

    char FSep;
    AnsiString FList, FGroup;
    int FSeps = 0, FGroups = 0;
};

AnsiString ReplaceMarks(const AnsiString& list, const AnsiString& name) {
    AnsiString out;
    out.reserve(list.size());
    size_t from = 0;
    for (size_t at = list.find(kGroupMark); at != AnsiString::npos; at = list.find(kGroupMark, from)) {
        out.append(list, from, at - from);
        out += name;
        from = at + kGroupMark.size();
    }
    out.append(list, from, AnsiString::npos);
    return out;
}

AnsiString Call(const AnsiString& name, const AnsiString& args) { return name + "(" + args + ")"; }

}  // namespace

AnsiString TTabrixBandInfo::GetBandRangeFormula(uint16_t rowOffset, uint16_t col, TTabrixFieldFunc func,
                                                uint16_t startInterval, uint16_t skipOutputs) const {
    if (FRowIntervals.empty()) return {};
    if (startInterval >= FRowIntervals.size()) throw EAssertionFailed(SBandInfoBadRowIdx);

    TRefGroups refs(FormatSettings().ListSeparator);
    auto addRun = [&](int first, int extra) {
        if (first == 0) return;
        refs.Add(TabrixGetRange(first + rowOffset, col));
        if (extra <= 0) return;
        if (rowOffset == 0 && FRowCount == 1) {
            refs.Extend(":" + TabrixGetRange(first + extra, col));
            return;
        }
        for (int k = 1; k <= extra; ++k) refs.Add(TabrixGetRange(first + k * FRowCount + rowOffset, col));
    };
    const TTabrixRowInterval& start = FRowIntervals[startInterval];
    if (skipOutputs <= start.Extra) addRun(start.First + skipOutputs * FRowCount, start.Extra - skipOutputs);
    for (size_t i = startInterval + 1u; i < FRowIntervals.size(); ++i)
        addRun(FRowIntervals[i].First, FRowIntervals[i].Extra);

    if (!refs.Group().empty()) refs.CountLastGroup();
    AnsiString result;
    if (!refs.List().empty()) {
        if (refs.Groups() > kTabrixMaxFormulaGroups) return {};
        AnsiString& list = refs.List();
        if (!refs.Group().empty()) list += refs.Sep() + Call(AnsiString(kGroupMark), refs.Group());
        if (func == TTabrixFieldFunc::ffAvg) {
            const AnsiString sum = FParser->GetFuncName(TTabrixFieldFunc::ffSum);
            const AnsiString count = FParser->GetFuncName(TTabrixFieldFunc::ffCnt);
            result = Call(sum, ReplaceMarks(list, sum)) + " / " + Call(sum, ReplaceMarks(list, count));
        } else {
            const AnsiString name = FParser->GetFuncName(func);
            // Counts of the groups are added up.
            const AnsiString outer =
                func == TTabrixFieldFunc::ffCnt ? FParser->GetFuncName(TTabrixFieldFunc::ffSum) : name;
            result = Call(outer, ReplaceMarks(list, name));
        }
    } else if (!refs.Group().empty()) {
        result = Call(FParser->GetFuncName(func), refs.Group());
    }
    if (result.size() > kTabrixMaxFormulaLength) return {};
    return result;
}

}  // namespace tabrix
