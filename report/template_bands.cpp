// The two operations on the template itself: editing it in the user's
// spreadsheet program, and dividing an undivided template into bands.

#include <algorithm>
#include <string>
#include <utility>

#include "cells/cell_address.h"
#include "messages/messages.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"
#include "report/tabrix.h"
#include "template/field_parser.h"

namespace tabrix {

namespace {

// Rows and cells of a row that are empty in a row end the scan.
constexpr int kEmptyRowsEndScan = 5;
constexpr int kEmptyCellsEndRow = 5;
// Rows read from the sheet at a time: the scan usually ends after a few
// rows, and a used area that formats reach far down must not be read whole.
constexpr int kScanBlockRows = 32;

// Where the scan of SetBandsFromTempl found what; rows 1-based, 0 = none.
struct TTemplScan {
    int MasterFirst = 0;
    int MasterLast = 0;
    int SummaryFirst = 0;
    int LastFilled = 0;
};

// Whether a field reference names a field of the data set: a plain name
// the data set has, or a name qualified by the data set's own name.
bool BelongsTo(const AnsiString& reference, const TDataSet& dataSet) {
    size_t dot = reference.find('.');
    if (dot == AnsiString::npos) return dataSet.FindField(reference) != nullptr;
    return SameText(reference.substr(0, dot), dataSet.Name());
}

}  // namespace

void TTabrix::SetBandsFromTempl() {
    AnsiString lastCell = TabrixGetRangeLast(FTemplWorksheet->UsedRange().Address(false, false));
    int lastRow = TabrixGetRangeRow(lastCell);
    int lastColumn = TabrixGetRangeColumn(lastCell);
    if (lastRow == 0 || lastColumn == 0) return;

    TTabrixFieldParser parser(FieldSign);
    // The scan starts at A1 whatever the used area's corner.
    TVariantArray2D cells;
    int blockFirst = 0;
    TTemplScan scan;
    int emptyRows = 0;
    for (int row = 1; row <= lastRow; ++row) {
        if (blockFirst == 0 || row >= blockFirst + kScanBlockRows) {
            blockFirst = row;
            int blockLast = std::min(lastRow, row + kScanBlockRows - 1);
            cells =
                FTemplWorksheet->Range(TabrixGetRange(row, 1), TabrixGetRange(blockLast, lastColumn)).FormulaArray();
        }
        bool rowEmpty = true;
        int emptyCells = 0;
        for (int column = 1; column <= lastColumn; ++column) {
            const Variant& value = cells(row - blockFirst + 1, column);
            UnicodeString text = value.IsEmpty() || value.IsNull() ? UnicodeString() : value.AsUnicodeString();
            if (text.empty()) {
                if (++emptyCells == kEmptyCellsEndRow) break;
                continue;
            }
            rowEmpty = false;
            emptyCells = 0;
            if (!FDataSet) continue;
            parser.SetFieldString(text);
            for (int i = 0; i < parser.GetCount(); ++i) {
                if (!BelongsTo(parser.GetField(i), *FDataSet)) continue;
                if (parser.GetFunc(i) != TTabrixFieldFunc::ffNone) {
                    scan.SummaryFirst = row;
                } else {
                    if (scan.MasterFirst == 0) scan.MasterFirst = row;
                    scan.MasterLast = row;
                }
                break;
            }
            if (scan.MasterLast == row || scan.SummaryFirst > 0) break;
        }
        if (rowEmpty) {
            ++emptyRows;
        } else {
            emptyRows = 0;
            scan.LastFilled = row;
        }
        if (emptyRows == kEmptyRowsEndScan || scan.SummaryFirst > 0) break;
    }
    if (scan.SummaryFirst > 0) scan.LastFilled = lastRow;
    int width = lastColumn;

    auto addBand = [&](TTabrixBandType type, int firstRow, int lastBandRow) {
        FBands->AddBand(type)->SetRange(TabrixGetRange(firstRow, 1) + ":" + TabrixGetRange(lastBandRow, width));
    };
    // A sheet with no non-empty row gives no band rather than one that
    // ends in row 0.
    if (!FDataSet) {
        if (scan.LastFilled > 0) addBand(tbxbtTitle, 1, scan.LastFilled);
        return;
    }
    int titleLast = scan.MasterFirst > 0    ? scan.MasterFirst - 1
                    : scan.SummaryFirst > 0 ? scan.SummaryFirst - 1
                                            : scan.LastFilled;
    if (titleLast > 0) addBand(tbxbtTitle, 1, titleLast);
    if (scan.MasterFirst > 0) addBand(tbxbtMasterData, scan.MasterFirst, scan.MasterLast);
    // Everything below the master rows is the summary, also when an
    // aggregate row was found further down.
    if (scan.MasterFirst > 0 && scan.MasterLast < scan.LastFilled) scan.SummaryFirst = scan.MasterLast + 1;
    if (scan.SummaryFirst > 0) addBand(tbxbtSummary, scan.SummaryFirst, scan.LastFilled);
}

void TTabrix::SetBandsFromTemplSheet(TExcelWorksheet sheet) {
    std::optional<TExcelWorksheet> previous = std::exchange(FTemplWorksheet, std::move(sheet));
    struct TRestore {
        std::optional<TExcelWorksheet>& Field;
        std::optional<TExcelWorksheet>& Previous;
        ~TRestore() { Field = std::move(Previous); }
    } restore{FTemplWorksheet, previous};
    SetBandsFromTempl();
}

void TTabrix::EditTemplate() { EditTemplateFile(GetTemplateFileName(), false); }

std::string TTabrix::EditTemplateFile(const AnsiString& fileName, bool waitForViewer) {
    if (Trim(fileName).empty() || !FileExists(fileName)) throw ETabrixError(Format(SFileNotExists, {fileName}));
    TExcelApplication app = CreateApplication();
    app.SetViewerWaits(waitForViewer);
    TExcelWorkbook book = app.Workbooks().Open(fileName, TemplateOpenArgs(false));  // its errors pass on unchanged

    // The program opens the file itself, so the template sheet comes to the
    // front only by being saved as the active sheet. That is done in a
    // stored template's temporary copy, which is ours; a template file of
    // the user is never written here (the engine's save would change more
    // than the active sheet).
    auto bringSheetToFront = [&] {
        if (TemplSheet.empty() || !IsStoredTemplateCopy(fileName)) return;
        TExcelWorksheets sheets = book.Worksheets();
        for (int i = sheets.Count(); i >= 1; --i) {
            TExcelWorksheet sheet = sheets.Item(i);
            if (AnsiCompareText(UnicodeToUtf8(sheet.Name()), TemplSheet) == 0) {
                sheet.Activate();
                break;
            }
        }
        if (!book.Saved()) book.Save();
    };
    try {
        bringSheetToFront();
    } catch (const std::exception&) {
        try {
            app.SetVisible(true);
        } catch (const std::exception&) {}
        throw;
    }
    std::string given = ReadFileBytes(fileName);
    app.SetVisible(true);
    return given;
}

}  // namespace tabrix
