// A whole report over data values that typed input would misread: built by
// Show, saved, and read back with openpyxl. OnSetCellValue sees the values
// themselves.

#include <gtest/gtest.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "platform/db/db.h"
#include "report/tabrix.h"
#include "tests/report/report_fixture.h"
#include "tests/support/shell.h"

namespace tabrix::testing {
namespace {

using DataTextReport = TReportFolder;

TEST_F(DataTextReport, MisreadableValuesArriveAsTheirTextAndHandlersSeeThemUnmarked) {
    RegisterDbClasses();
    const std::string templ = Folder + "data.xlsx";
    {
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook book = app.Workbooks().Add();
        TExcelWorksheet sheet = book.Worksheets().Item(1);
        sheet.Range("A1").SetFormulaLocal(Variant(u"#Name"));
        sheet.Range("B1").SetFormulaLocal(Variant(u"#=LEN(#Name)"));
        sheet.Range("C1").SetFormulaLocal(Variant(u"#Qty"));
        book.SaveAs(templ);
        app.Quit();
    }
    TMemTable names;
    names.LoadFromCsv("Name,Qty\n\"=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",-5\n=1+1,2\n@SUM(A1),3\n00123,4\n",
                      "Names");
    TTabrix report(nullptr);
    report.SetDataSet(&names);
    report.SetTemplate(templ);
    report.Options = {tbxoTotalsAsFormula};
    report.Bands()->AddBand(tbxbtMasterData)->SetRange("A1:C1");
    std::vector<std::string> seen;
    report.OnSetCellValue = [&](TComponent*, TTabrixBand*, int, int, int column, Variant& value) {
        if (column == 1) seen.push_back(value.AsAnsiString());
    };
    const std::string out = Folder + "out.xlsx";
    report.Show(out);
    EXPECT_EQ(seen, (std::vector<std::string>{"=HYPERLINK(\"http://x\",\"y\")", "=1+1", "@SUM(A1)", "00123"}));
    EXPECT_EQ(ReadCellsWithOpenpyxl(out),
              "A1\ts\t'=HYPERLINK(\"http://x\",\"y\")'\n"
              "B1\tf\t'=LEN(\"=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\")'\n"
              "C1\tn\t-5\n"
              "A2\ts\t'=1+1'\n"
              "B2\tf\t'=LEN(\"=1+1\")'\n"
              "C2\tn\t2\n"
              "A3\ts\t'@SUM(A1)'\n"
              "B3\tf\t'=LEN(\"@SUM(A1)\")'\n"
              "C3\tn\t3\n"
              "A4\ts\t'00123'\n"
              "B4\tf\t'=LEN(\"00123\")'\n"
              "C4\tn\t4\n");
}

}  // namespace
}  // namespace tabrix::testing
