// The row buffer: report rows collected in memory and written to the
// report sheet a block at a time, after the copy manager has given the
// block's rows their formats.

#include "cells/cell_address.h"
#include "copy/copy_manager.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/parallel.h"
#include "progress/tabrix_spl.h"
#include "report/tabrix.h"
#include "template/data_text.h"
#include "template/templ_parser.h"

namespace tabrix {

namespace {

// An empty text of either string kind leaves the cell empty.
void EmptyTextToUnassigned(Variant& value) {
    if (const AnsiString* a = value.AnsiStringPtr(); a && a->empty()) value.Clear();
    if (const UnicodeString* u = value.UnicodeStringPtr(); u && u->empty()) value.Clear();
}

}  // namespace

void TTabrix::WriteRowValues(TTabrixBand* band, TTabrixBand* headerBand, int reportRow, int columns, int templateRow,
                             int firstColumn) {
    if (FBufRowCount == kTabrixBufferRows) WriteBufToSheet();
    if (TabrixSplIsStop()) return;
    const int r = ++FBufRowCount;
    Variant* cells = FBuffer.Row(r);
    for (int c = 1; c <= FReportColCount; ++c) {
        Variant& cell = cells[c - 1];
        if (c > columns) {
            cell.Clear();
        } else {
            UnicodeString text = FTemplParser->GetValue(band, headerBand, templateRow, firstColumn + c - 1, reportRow);
            if (text.empty())
                cell.Clear();
            else
                cell = std::move(text);
        }
        if (!OnSetCellValue) continue;
        // The handler sees a data text as the data value; left unchanged,
        // the marked text goes to the sheet, so that typed input keeps it
        // text. A value the handler set is typed input as it stands.
        const UnicodeString* written = cell.UnicodeStringPtr();
        if (written && TabrixIsMarkedText(*written)) {
            UnicodeString marked = *written;
            Variant value(TabrixUnmarkText(marked));
            Variant given = value;
            OnSetCellValue(this, band, templateRow, reportRow, c, value);
            cell = value == given ? Variant(std::move(marked)) : std::move(value);
        } else {
            OnSetCellValue(this, band, templateRow, reportRow, c, cell);
        }
        EmptyTextToUnassigned(cell);
    }
    FBufBands[r - 1] = band;
    FBufTemplRows[r - 1] = templateRow;
}

void TTabrix::WriteBufToSheet() {
    if (FBufRowCount == 0) return;
    if (FBufStartRow + FBufRowCount > kTabrixMaxReportRow) throw ETabrixError(STooManyLines);
    TabrixSplSetRecCount(FCurRow - 1);
    TabrixSplSetStatus(SStatusCopyingBands);
    // The block's texts are read as typed input on the second core while
    // the copies give its rows their formats: reading touches no workbook.
    const TFormatSettings& settings = FormatSettings();
    RunSideBySide([this] { FCopyManager->Output(); }, [&] { FTypedBlock.Read(FBuffer, FBufRowCount, settings); });
    AnsiString cell1 = TabrixGetRange(FBufStartRow, 1);
    AnsiString cell2 = TabrixGetRange(FBufStartRow + FBufRowCount - 1, FReportColCount);
    TabrixSplSetRecCount(FCurRow - 1);
    if (TabrixSplIsStop()) {
        // The copies brought the template's own texts ("#Qty") into rows
        // whose values are not written: the stopped report ends with the
        // last block written.
        FReportWorksheet->Range(cell1, cell2).Clear();
        return;
    }

    TabrixSplSetStatus(SStatusWritingData);
    try {
        FReportWorksheet->Range(cell1, cell2).SetFormulaLocal(FBuffer, FTypedBlock);
    } catch (const std::exception& e) {
        throw ETabrixError(Format(SErrorWritingData, {MessageOf(e)}));
    }
    TabrixSplSetRecCount(FCurRow - 1);
    if (TabrixSplIsStop()) return;

    if (OnFormatCell) {
        for (int r = 1; r <= FBufRowCount; ++r) {
            const Variant* cells = FBuffer.Row(r);
            for (int c = 1; c <= FReportColCount; ++c) {
                // The text as the cell shows it: a data text without its mark.
                UnicodeString text = cells[c - 1].AsUnicodeString();
                if (TabrixIsMarkedText(text)) text = TabrixUnmarkText(text);
                OnFormatCell(this, FBufBands[r - 1], FBufTemplRows[r - 1], FBufStartRow + r - 1, c, *FReportWorksheet,
                             Variant(std::move(text)));
            }
        }
    }
    FBufStartRow += FBufRowCount;
    FBufRowCount = 0;
    TabrixSplSetStatus(SStatusGettingData);
    TabrixSplSetRecCount(FCurRow - 1);
}

void TTabrix::ShowRowCount() {
    const int blocks = (FCurRow - 1) / kTabrixRowCountStep;
    if (blocks <= FShownBlocks) return;
    FShownBlocks = blocks;
    TabrixSplSetRecCount(FCurRow - 1);
}

}  // namespace tabrix
