// tabrix run -o report.pdf / --pdf: the example report printed by
// LibreOffice headless; the PDF is read back with poppler (pdfinfo for the
// page count, pdftoppm for the pixels of the first pages).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/cli/run_command.h"

namespace tabrix {
namespace {

using ::testing::HasSubstr;

class RunPdf : public testing::TExampleFolder {
protected:
    void SetUp() override {
        TExampleFolder::SetUp();
        Missing = std::system(
                      "command -v soffice >/dev/null && command -v pdfinfo >/dev/null && "
                      "command -v pdftoppm >/dev/null") != 0;
    }
    int Pages(const std::string& pdf) {
        const testing::TCommandRun info = Shell("pdfinfo '" + pdf + "'");
        const size_t at = info.Out.find("Pages:");
        return at == std::string::npos ? -1 : std::atoi(info.Out.c_str() + at + 6);
    }
    // The share of pixels of a page that are not white, rendered in grey.
    double InkOfPage(const std::string& pdf, int page) {
        const std::string stem = Folder + "page";
        const std::string p = std::to_string(page);
        Shell("pdftoppm -f " + p + " -l " + p + " -r 30 -gray -singlefile '" + pdf + "' '" + stem + "'");
        const std::string pgm = ReadFileBytes(stem + ".pgm");  // P5 W H 255, then one byte a pixel
        int width = 0, height = 0, maxValue = 0, headerEnd = 0;
        if (std::sscanf(pgm.c_str(), "P5 %d %d %d%n", &width, &height, &maxValue, &headerEnd) != 3) return -1;
        const std::string pixels = pgm.substr(static_cast<size_t>(headerEnd) + 1);
        if (width <= 0 || pixels.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) return -1;
        size_t ink = 0;
        for (unsigned char px : pixels) ink += px < 200;
        return static_cast<double>(ink) / static_cast<double>(pixels.size());
    }
    bool Missing = false;
};

TEST_F(RunPdf, APdfNameGivesThePdfOnlyWithAPagePerSheetAndInkOnTheFirstPages) {
    if (Missing) GTEST_SKIP() << "LibreOffice or poppler-utils are not installed";
    const testing::TCommandRun run = Tabrix("run example/sales.tfm -o report.pdf");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Folder + "report.pdf\n");
    EXPECT_FALSE(FileExists(Folder + "report.xlsx")) << "the workbook is kept only when asked";
    EXPECT_TRUE(TempFiles().empty()) << "no working copy, profile or workbook left behind";
    EXPECT_GE(Pages(Folder + "report.pdf"), 4) << "Cover, Report, Products and Notes";
    EXPECT_GT(InkOfPage(Folder + "report.pdf", 1), 0.002) << "the cover page is not blank";
    EXPECT_GT(InkOfPage(Folder + "report.pdf", 2), 0.02) << "the report page holds the table";
}

TEST_F(RunPdf, PdfBesideTheWorkbookKeepsBoth) {
    if (Missing) GTEST_SKIP() << "LibreOffice or poppler-utils are not installed";
    const testing::TCommandRun run =
        Tabrix("run example/sales.tfm -o kept.xlsx --pdf printed.pdf --param to=2026-01-15");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, Folder + "kept.xlsx\n" + Folder + "printed.pdf\n");
    EXPECT_EQ(OrderIds(Folder + "kept.xlsx"), (std::vector<std::string>{"1001", "1003", "1004", "1006"}));
    EXPECT_GE(Pages(Folder + "printed.pdf"), 4);
}

TEST_F(RunPdf, WithoutLibreOfficeTheErrorSaysSoAndNothingIsLeft) {
    const testing::TCommandRun run =
        Shell("PATH=/nonexistent TMPDIR='" + TempDir + "' '" + TABRIX_EXE + "' run example/sales.tfm -o report.pdf");
    EXPECT_EQ(run.Status, 1);
    EXPECT_THAT(run.Err, HasSubstr("LibreOffice is not installed"));
    EXPECT_EQ(run.Out, "");
    EXPECT_FALSE(FileExists(Folder + "report.pdf"));
    EXPECT_TRUE(TempFiles().empty());

    const testing::TCommandRun twice = Tabrix("run example/sales.tfm -o a.pdf --pdf b.pdf");
    EXPECT_EQ(twice.Status, 2);
    EXPECT_THAT(twice.Err, HasSubstr("give the PDF once"));
}

}  // namespace
}  // namespace tabrix
