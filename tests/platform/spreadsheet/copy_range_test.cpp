#include <gtest/gtest.h>

#include "platform/spreadsheet/copy_range.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"

namespace tabrix::xl {
namespace {

std::unique_ptr<TWorkbook> Template() { return TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx"); }

TEST(CopyRange, BandRowsGoToAnotherSheetWithValuesFormulasStylesAndMerges) {
    auto book = Template();
    TWorksheet& from = book->Sheet(0);
    TWorksheet& to = book->Sheet(1);
    CopyRange(from, TCellRect{1, 1, 5, 4}, to, 10, 1);
    EXPECT_EQ(to.Content(10, 1).Value.Text, "Title");
    EXPECT_EQ(to.Content(10, 1).Style, 1u);
    EXPECT_EQ(to.Content(10, 2).Style, 1u);  // styled empty cells come along
    EXPECT_EQ(to.Content(12, 3).Formula, "A12*B12");
    EXPECT_EQ(to.Content(14, 3).Formula, "SUM(C12:C13)");
    EXPECT_EQ(to.Content(14, 3).Style, 3u);
    ASSERT_EQ(to.MergedRanges().size(), 1u);
    EXPECT_EQ(to.MergedRanges()[0], (TCellRect{10, 1, 10, 3}));
    // Heights are the caller's business.
    EXPECT_EQ(to.RowHeight(10), to.DefaultRowHeight());
    // Cached values are computed anew at save.
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(again->Sheet(1).Content(14, 3).Value.Number, 33);
}

TEST(CopyRange, OverlappingCopyDownwardsReadsTheSourceFirst) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    CopyRange(s, TCellRect{3, 1, 4, 3}, s, 4, 1);
    EXPECT_EQ(s.Content(4, 1).Value.Number, 2);
    EXPECT_EQ(s.Content(5, 1).Value.Number, 3);
    EXPECT_EQ(s.Content(5, 3).Formula, "A5*B5");
    EXPECT_EQ(s.Content(6, 1).Value.Text, s.Content(6, 1).Value.Text);
}

// Rows copied to rows of their own sheet that hold nothing take the source
// rows over whole: they must come out as the cell-by-cell copy to another
// sheet of the workbook does, and rows that the fast road cannot take (a
// destination already holding a cell, kept attributes) still copy right.
TEST(CopyRange, RowsTakenOverWholeMatchTheCellByCellCopy) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    TWorksheet& other = book->Sheet(1);
    const TCellRect band{1, 1, 5, 4};
    s.SetFormula(3, 4, "$A$1&A3&SUM(C$3:C3)");
    CopyRange(s, band, other, 20, 1);  // cell by cell: another sheet
    CopyRange(s, band, s, 20, 1);      // taken over: empty rows of its own sheet
    s.SetNumber(31, 6, 99);            // a destination row that holds a cell beside the band
    other.SetNumber(31, 6, 99);
    CopyRange(s, band, s, 30, 1);
    CopyRange(s, band, other, 30, 1);
    s.SetExtraAttributes(5, 1, " ph=\"1\"");  // a cell with kept attributes
    CopyRange(s, band, s, 40, 1);
    CopyRange(s, band, other, 40, 1);
    for (int row = 20; row <= 44; ++row) {
        for (int column = 1; column <= 6; ++column) {
            SCOPED_TRACE("row " + std::to_string(row) + ", column " + std::to_string(column));
            const TCellContent a = s.Content(row, column), b = other.Content(row, column);
            EXPECT_EQ(a.Kind, b.Kind);
            EXPECT_EQ(a.Value, b.Value);
            EXPECT_EQ(a.Formula, b.Formula);
            EXPECT_EQ(a.Style, b.Style);
            EXPECT_EQ(s.ExtraAttributes(row, column), other.ExtraAttributes(row, column));
        }
    }
    EXPECT_EQ(s.Content(22, 4).Formula, "$A$1&A22&SUM(C$3:C22)");
    EXPECT_EQ(s.ExtraAttributes(44, 1), " ph=\"1\"");
    EXPECT_EQ(s.Content(31, 6).Value.Number, 99);
    // The source keeps its own formulas, and the copies compute on save.
    EXPECT_EQ(s.Content(3, 4).Formula, "$A$1&A3&SUM(C$3:C3)");
    auto again = TWorkbook::FromBytes(book->SaveToBytes(), "again.xlsx");
    EXPECT_EQ(again->Sheet(0).Content(24, 3).Value, again->Sheet(1).Content(24, 3).Value);
    EXPECT_EQ(again->Sheet(0).Content(24, 3).Value.Number, 33);
}

TEST(CopyRange, CopiesBetweenWorkbooksImportStylesByContent) {
    auto source = Template();
    auto target = TWorkbook::CreateBlank();
    TWorksheet& to = target->Sheet(0);
    CopyRange(source->Sheet(0), TCellRect{1, 1, 5, 4}, to, 1, 1);
    uint32_t title = to.Content(1, 1).Style;
    EXPECT_NE(title, 0u);
    EXPECT_EQ(target->Styles().FontSize(title), 14);
    EXPECT_EQ(target->Styles().NumberFormatKind(to.Style(5, 4)), TNumberFormatKind::Date);
    EXPECT_EQ(target->Styles().NumberFormatCode(to.Style(5, 4)), "dd/mm/yyyy");
    EXPECT_EQ(to.Content(2, 3).Value.Text, "Total");
    EXPECT_NE(target->Strings().RichXml(to.FindCell(2, 3)->Index), nullptr);
    // The same style twice maps to one imported format.
    EXPECT_EQ(to.Content(1, 2).Style, title);
}

TEST(CopyRange, ReferencesMovedOffTheSheetBecomeRefErrorsAndDestinationsBeyondItFail) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    s.SetFormula(10, 5, "A9+$A$1");
    CopyRange(s, TCellRect{10, 5, 10, 5}, s, 1, 5);
    EXPECT_EQ(s.Content(1, 5).Formula, "#REF!+$A$1");
    EXPECT_THROW(CopyRange(s, TCellRect{1, 1, 2, 2}, s, kMaxRows, 1), ESpreadsheetError);
}

TEST(CopyRange, WorkbooksOfOneOriginShareOnlyTheFormatsTheyRead) {
    std::string bytes = test::TemplateWorkbookBytes();
    auto templ = TWorkbook::FromBytes(bytes, "template.xlsx");
    auto report = TWorkbook::FromBytes(bytes, "report.xlsx");
    ASSERT_TRUE(templ->SameStyleOrigin(*report));
    // Each adds a different format at the same new index.
    uint32_t percent = templ->Styles().WithNumberFormat(0, "0.0%");
    uint32_t text = report->Styles().WithNumberFormat(0, "@");
    ASSERT_EQ(percent, text);
    templ->Sheet(0).SetStyle(9, 1, percent);
    templ->Sheet(0).SetNumber(9, 1, 0.5);
    CopyRange(templ->Sheet(0), TCellRect{1, 1, 9, 4}, report->Sheet(0), 1, 1);
    TWorksheet& to = report->Sheet(0);
    EXPECT_EQ(to.Content(1, 1).Style, 1u);  // read formats keep their index
    EXPECT_EQ(report->Styles().NumberFormatCode(to.Style(9, 1)), "0.0%");
    EXPECT_NE(to.Style(9, 1), text);
}

TEST(SheetRows, AutoFitFollowsFontSizesAndWrappedText) {
    auto book = Template();
    TWorksheet& s = book->Sheet(0);
    s.AutoFitRow(2);
    EXPECT_EQ(s.RowHeight(2), 15);
    s.SetRowHeight(1, 50);
    s.AutoFitRow(1);  // the title's 14-point font, but merged cells do not count
    EXPECT_EQ(s.RowHeight(1), 15);
    EXPECT_FALSE(s.RowProps(1).CustomHeight);
    uint32_t big = book->Styles().Import(book->Styles(), 1);
    s.SetString(9, 2, "x");
    s.SetStyle(9, 2, big);
    s.AutoFitRow(9);
    EXPECT_GT(s.RowHeight(9), 17);
    s.AutoFitRow(6);  // a long text wrapped in a 12-character column
    EXPECT_GE(s.RowHeight(6), 60);
    EXPECT_THROW(s.SetRowHeight(3, 410), ESpreadsheetError);
}

}  // namespace
}  // namespace tabrix::xl
