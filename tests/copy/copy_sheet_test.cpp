// The copies made on real sheets through the automation face: a template
// workbook with a distinct format on every band cell, merged areas and row
// heights, and a report workbook of its own, as in a build.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <tuple>

#include "automation/automation.h"
#include "cells/cell_address.h"
#include "platform/rtl/files.h"
#include "platform/spreadsheet/styles.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/copy/random_report.h"

namespace tabrix::testing {
namespace {

using Rects = std::vector<std::tuple<int, int, int, int>>;

// The template sheet of a band set: every cell of every band has a value
// and a number format of its own; bands wider than one column merge their
// first row (or, one column wide and taller, their column), and rows get a
// custom height at random.
class TSheets {
public:
    TSheets(const TBandSet& set, uint32_t seed) : FSet(set) {
        std::mt19937 rng(seed);
        xl::TWorksheet& sheet = Template().Model();
        xl::TStyles& styles = FTemplateBook.Model().Styles();
        for (size_t i = 0; i < set.Specs().size(); ++i) {
            const TTabrixBand* band = set.BandAt(static_cast<int>(i));
            if (band->RangeIsBlank()) continue;
            const int top = band->GetRangeTop(), bottom = band->GetRangeBottom();
            const int left = band->GetRangeLeft(), right = band->GetRangeRight();
            for (int row = top; row <= bottom; ++row) {
                for (int col = left; col <= right; ++col) {
                    sheet.SetNumber(row, col, row * 100 + col);
                    const std::string code = "0\" r" + std::to_string(row) + "c" + std::to_string(col) + "\"";
                    sheet.SetStyle(row, col, styles.WithNumberFormat(0, code));
                }
                if (rng() % 2) sheet.SetRowHeight(row, 10 + row);
            }
            if (right > left && rng() % 3)
                sheet.AddMerge({top, left, top, right});
            else if (bottom > top && rng() % 3)
                sheet.AddMerge({top, left, bottom, left});
        }
    }
    TExcelWorksheet Template() const { return FTemplateBook.Worksheets().Item(1); }
    TExcelWorksheet Report() const { return FReportBook.Worksheets().Item(1); }

    std::string CodeAt(const TExcelWorkbook& book, int row, int col) const {
        return book.Model().Styles().NumberFormatCode(book.Worksheets().Item(1).Model().Style(row, col));
    }

    // The first difference between the report and its bands' template rows.
    std::string Compare(const std::vector<int>& expected, int widest) const {
        const xl::TWorksheet& templ = Template().Model();
        const xl::TWorksheet& report = Report().Model();
        Rects wantMerges;
        for (size_t row = 1; row < expected.size(); ++row) {
            const int t = expected[row];
            const TTabrixBand* band = BandOfRow(t);
            const int left = band->GetRangeLeft(), width = band->GetRangeRight() - left + 1;
            const std::string at = "report row " + std::to_string(row) + " (template row " + std::to_string(t) + ")";
            for (int col = 1; col <= widest; ++col) {
                const std::string want = col <= width ? CodeAt(FTemplateBook, t, left + col - 1) : "General";
                const std::string got = CodeAt(FReportBook, static_cast<int>(row), col);
                if (got != want)
                    return at + ", column " + std::to_string(col) + ": format " + got + ", expected " + want;
            }
            if (report.RowHeight(static_cast<int>(row)) != templ.RowHeight(t))
                return at + ": height " + std::to_string(report.RowHeight(static_cast<int>(row))) + ", expected " +
                       std::to_string(templ.RowHeight(t));
            if (t == band->GetRangeTop())
                for (const xl::TCellRect& m : templ.MergedRanges())
                    if (m.Top >= t && m.Bottom <= band->GetRangeBottom() && m.Left >= left)
                        wantMerges.emplace_back(m.Top - t + static_cast<int>(row), m.Left - left + 1,
                                                m.Bottom - t + static_cast<int>(row), m.Right - left + 1);
        }
        Rects gotMerges;
        for (const xl::TCellRect& m : report.MergedRanges()) gotMerges.emplace_back(m.Top, m.Left, m.Bottom, m.Right);
        std::sort(wantMerges.begin(), wantMerges.end());
        std::sort(gotMerges.begin(), gotMerges.end());
        if (wantMerges != gotMerges)
            return "merged areas differ: " + ::testing::PrintToString(gotMerges) + ", expected " +
                   ::testing::PrintToString(wantMerges);
        return "";
    }

private:
    const TTabrixBand* BandOfRow(int templateRow) const {
        for (size_t i = 0; i < FSet.Specs().size(); ++i) {
            const TTabrixBand* band = FSet.BandAt(static_cast<int>(i));
            if (!band->RangeIsBlank() && templateRow >= band->GetRangeTop() && templateRow <= band->GetRangeBottom())
                return band;
        }
        throw std::logic_error("no band holds template row " + std::to_string(templateRow));
    }
    const TBandSet& FSet;
    TExcelApplication FApp = TExcelApplication::Create();
    TExcelWorkbook FTemplateBook = FApp.Workbooks().Add();
    TExcelWorkbook FReportBook = FApp.Workbooks().Add();
};

TEST(CopyFromTemplate, CopiesTheRangeToColumnAAndWritesOnlyHeightsThatDiffer) {
    // A band of three rows in C1:E3; rows 1 and 3 get a custom height.
    TBandSet set(std::vector<TBandSpec>{{tbxbtMasterData, 0, 3, 3, 3}});
    TSheets sheets(set, 1);
    xl::TWorksheet& templ = sheets.Template().Model();
    templ.SetRowHeight(1, 30);
    templ.SetRowProps(2, {});
    templ.SetRowHeight(3, 9);
    TTabrixCopyManager manager(set.Bands(), sheets.Template(), sheets.Report());
    manager.CopyFromTempl(set.Master(), 50);
    const xl::TWorksheet& report = sheets.Report().Model();
    EXPECT_EQ(report.Content(50, 1).Value.Number, 103);  // C1 landed in A50
    EXPECT_EQ(report.Content(52, 3).Value.Number, 305);
    EXPECT_EQ(report.Content(50, 4).Kind, xl::TCellKind::Empty);
    EXPECT_EQ(report.RowHeight(50), 30);
    EXPECT_EQ(report.RowHeight(52), 9);
    // Row 51 has the template's default height already: nothing written.
    EXPECT_FALSE(report.RowProps(51).CustomHeight);
    EXPECT_EQ(report.RowHeight(51), templ.RowHeight(2));
    EXPECT_EQ(manager.WidestColumns(), "C");
    manager.CopyFromTempl(nullptr, 60);
    EXPECT_TRUE(report.Row(60) == nullptr);
}

TEST(CopyAction, CopiesTheWidestColumnsWithTheirHeights) {
    TBandSet set(std::vector<TBandSpec>{{tbxbtMasterData, 0, 2, 1, 2}, {tbxbtSummary, 0, 1, 1, 3}});
    TSheets sheets(set, 2);
    TTabrixCopyManager manager(set.Bands(), sheets.Template(), sheets.Report());
    xl::TWorksheet& report = sheets.Report().Model();
    report.SetNumber(1, 3, 7);  // beyond the band, inside the widest columns
    report.SetRowHeight(1, 25);
    report.SetRowHeight(2, 14);
    report.AddMerge({1, 1, 1, 2});
    manager.DoCopyAction(10, 1, 2);
    EXPECT_EQ(report.Content(10, 3).Value.Number, 7);
    EXPECT_EQ(report.RowHeight(10), 25);
    EXPECT_EQ(report.RowHeight(11), 14);
    ASSERT_EQ(report.MergedRanges().size(), 2u);
    EXPECT_EQ(report.MergedRanges()[1].Top, 10);
}

// As in a build: the template saved and opened read-only, the report a new
// workbook from the same file with its sheet cleared, so that formats are
// shared by origin rather than imported.
TEST(CopySheets, AReportFromTheTemplateFileGetsTheTemplatesFormats) {
    TBandSet set(
        std::vector<TBandSpec>{{tbxbtTitle, 0, 1, 2, 3}, {tbxbtMasterData, 0, 2, 1, 2}, {tbxbtSummary, 0, 1, 1, 1}});
    TSheets built(set, 3);
    const std::string file = TempFolder() + "tbr_copy_" + std::to_string(::getpid()) + ".xlsx";
    built.Template().Parent().SaveAs(file);
    TExcelApplication app = TExcelApplication::Create();
    TWorkbookOpenArgs readOnly;
    readOnly.ReadOnly = Variant(true);
    TExcelWorksheet templ = app.Workbooks().Open(file, readOnly).Worksheets().Item(1);
    TExcelWorksheet report = app.Workbooks().Add(file).Worksheets().Item(1);
    DeleteFileAt(file);
    report.UsedRange().Clear();
    {
        TTabrixCopyManager manager(set.Bands(), templ, report);
        manager.AddBand(set.Title(), nullptr);
        for (int i = 0; i < 5; ++i) manager.AddBand(set.Master(), nullptr);
        manager.AddBand(set.Summary(), nullptr);
        manager.Output();
    }
    const xl::TWorksheet& t = templ.Model();
    const xl::TWorksheet& r = report.Model();
    EXPECT_EQ(r.Style(1, 1), t.Style(1, 2));  // title B1:D1 to A1
    EXPECT_EQ(r.Style(1, 3), t.Style(1, 4));
    for (int record = 0; record < 5; ++record) {
        for (int i = 0; i < 2; ++i) {
            const int row = 2 + record * 2 + i;
            EXPECT_EQ(r.Style(row, 2), t.Style(2 + i, 2)) << "row " << row;
            EXPECT_EQ(r.RowHeight(row), t.RowHeight(2 + i)) << "row " << row;
        }
    }
    EXPECT_EQ(r.Style(12, 1), t.Style(4, 1));
    EXPECT_NE(r.Style(12, 1), r.Style(11, 1));
}

uint32_t EnvNumber(const char* name, uint32_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<uint32_t>(std::strtoul(value, nullptr, 10)) : fallback;
}

// Random reports built on the engine: every report row has the formats,
// height and merged areas of its band's template row.
TEST(CopySheetProperty, EveryRowLooksLikeItsTemplateRow) {
    const uint32_t base = EnvNumber("TABRIX_COPY_SEED", 20261208);
    const uint32_t cases = EnvNumber("TABRIX_COPY_SHEET_CASES", 500);
    int failures = 0;
    for (uint32_t i = 0; i < cases && failures < 3; ++i) {
        const uint32_t seed = base + i;
        const TRandomReport report = MakeRandomReport(seed);
        std::unique_ptr<TBandSet> set = MakeBandSet(report);
        TSheets sheets(*set, seed);
        std::string fault;
        try {
            TTabrixCopyManager manager(set->Bands(), sheets.Template(), sheets.Report());
            const std::vector<int> expected = Replay(report, *set, manager, [](int, int) {});
            fault = sheets.Compare(expected, TabrixGetRangeColumn(manager.WidestColumns() + "1"));
        } catch (const Exception& e) {
            fault = std::string("raised ") + e.ClassName() + ": " + e.Message();
        }
        if (fault.empty()) continue;
        ++failures;
        ADD_FAILURE() << "seed " << seed << ": " << fault << "\n" << Describe(report, *set);
    }
}

}  // namespace
}  // namespace tabrix::testing
