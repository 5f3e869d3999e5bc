// The output procedure: walks the records (of the data set, or supplied
// through the data events), closes and opens groups where a group value
// changes, and places the bands in report order.

#include "copy/copy_manager.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "progress/tabrix_spl.h"
#include "report/tabrix.h"
#include "template/templ_parser.h"

namespace tabrix {

bool TTabrix::OutputReport() {
    OutputBand(FBands->GetNotEmptyBand(tbxbtTitle), nullptr);
    if (TabrixSplIsStop()) return false;
    ResetData();
    if (IsData()) {
        OutputGroupHeaders(0);
        if (TabrixSplIsStop()) return false;
        while (IsData()) {
            OutputRecord();
            if (TabrixSplIsStop()) return false;
            ShowRowCount();
        }
        OutputGroupFooters(0);
        if (TabrixSplIsStop()) return false;
    }
    OutputBand(FBands->GetNotEmptyBand(tbxbtSummary), nullptr);
    if (TabrixSplIsStop()) return false;
    WriteBufToSheet();
    return !TabrixSplIsStop();
}

void TTabrix::OutputGroupHeaders(int from) {
    for (int i = from; i < static_cast<int>(FGroups.size()); ++i) {
        FGroups[i].Value = FGroups[i].Header->CalcGroupExpr();
        OutputBand(FGroups[i].Header, nullptr);
    }
    OutputData();
    NextData();
}

void TTabrix::OutputGroupFooters(int from) {
    for (int i = static_cast<int>(FGroups.size()) - 1; i >= from; --i)
        if (FGroupFooters[i]) OutputBand(FGroupFooters[i], FGroups[i].Header);
}

void TTabrix::OutputRecord() {
    for (int i = 0; i < static_cast<int>(FGroups.size()); ++i) {
        const TGroupEntry& group = FGroups[i];
        AnsiString value = group.Header->CalcGroupExpr();
        bool same = group.Header->CaseInsensitiveCompare() ? AnsiCompareText(value, group.Value) == 0
                                                           : AnsiCompareStr(value, group.Value) == 0;
        if (same) continue;
        // The footers show the ending group: back to its last record.
        PriorData();
        OutputGroupFooters(i);
        NextData();
        OutputGroupHeaders(i);
        return;
    }
    OutputData();
    NextData();
}

void TTabrix::OutputData() {
    OutputBand(FMasterDataBand, nullptr);
    FTemplParser->Accumulate(xatMaster);
    if (!FDetailDataSet) return;
    FDetailDataSet->First();
    // A master record without details gets no detail header or footer.
    if (FDetailDataSet->Eof()) return;
    OutputBand(FDetailHeaderBand, nullptr);
    while (!FDetailDataSet->Eof()) {
        OutputBand(FDetailDataBand, nullptr);
        if (TabrixSplIsStop()) return;
        ShowRowCount();
        FTemplParser->Accumulate(xatDetail);
        FDetailDataSet->Next();
    }
    OutputBand(FDetailFooterBand, nullptr);
}

void TTabrix::OutputBand(TTabrixBand* band, TTabrixBand* headerBand) {
    if (!band || band->RangeIsBlank()) return;
    const int firstRow = band->GetRangeTop();
    const int firstColumn = band->GetRangeLeft();
    const int rows = band->GetRangeBottom() - firstRow + 1;
    const int columns = band->GetRangeRight() - firstColumn + 1;
    // The template parser refuses such ranges when it reads the bands; a
    // band that reaches here anyway must not move the row counter back.
    if (rows < 1 || columns < 1) throw ETabrixError(Format(SBandWrongRange, {band->GetDisplayName(), band->Range()}));
    if (FCurRow + rows > kTabrixMaxReportRow) throw ETabrixError(STooManyLines);

    // A block ends between bands, so that the copy manager's block (the
    // bands added since its last Output) is the block of rows written.
    if (FBufRowCount > 0 && FBufRowCount + rows > kTabrixBufferRows) WriteBufToSheet();
    FCopyManager->AddBand(band, headerBand);
    for (int i = 0; i < rows; ++i) WriteRowValues(band, headerBand, FCurRow + i, columns, firstRow + i, firstColumn);
    FTemplParser->SetOutputRow(band, headerBand, FCurRow);
    FCurRow += rows;
    // Totals of footers start again for the next group or detail list.
    TTabrixBandType type = band->BandType();
    if (type == tbxbtDetailFooter || type == tbxbtGroupFooter || type == tbxbtSummary)
        FTemplParser->ResetAccumulation(band, headerBand);
}

// ---- data navigation: the data set, or the data events without one

bool TTabrix::IsData() {
    if (FDataSet) return !FDataSet->Eof();
    if (!OnDataEof || !OnDataNext || !OnDataPrior) return false;
    // A handler that leaves Eof alone ends the data.
    bool eof = true;
    OnDataEof(this, eof);
    return !eof;
}

void TTabrix::ResetData() {
    if (FDataSet)
        FDataSet->First();
    else if (OnDataFirst)
        OnDataFirst(this);
}

void TTabrix::NextData() {
    if (FDataSet)
        FDataSet->Next();
    else if (OnDataNext)
        OnDataNext(this);
}

void TTabrix::PriorData() {
    if (FDataSet)
        FDataSet->Prior();
    else if (OnDataPrior)
        OnDataPrior(this);
}

}  // namespace tabrix
