// tabrix run and tabrix template through the real command, on a copy of the
// example (SQLite database, three-sheet template, form file); the report is
// read back by openpyxl as well as by the engine.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rtl/files.h"
#include "tests/report/report_fixture.h"
#include "tests/support/shell.h"

namespace tabrix {
namespace {

using Lines = std::vector<std::string>;

struct TRun {
    int Status = -1;
    std::string Output;  // standard output and error
};

class CommandLine : public testing::TExampleCopyFolder {
protected:
    // Runs the command with TMPDIR set to the test's temporary folder.
    TRun Tabrix(const std::string& args) { return Shell("TMPDIR='" + TempDir + "' '" + TABRIX_EXE + "' " + args); }

    TRun Shell(const std::string& command) {
        const testing::TShellRun shell = testing::RunShell("cd '" + Folder + "' && " + command + " 2>&1");
        return {shell.Status, shell.Out};
    }

    // What openpyxl reads: one line per sheet, "name: value|value|...".
    std::string ReadWithOpenpyxl(const std::string& file) {
        std::string script =
            "import openpyxl,sys\n"
            "wb=openpyxl.load_workbook(sys.argv[1])\n"
            "for ws in wb:\n"
            "  vals=[str(c.value) for r in ws.iter_rows() for c in r if c.value is not None]\n"
            "  print(ws.title+': '+'|'.join(vals))\n";
        WriteFileBytes(Folder + "read.py", script);
        return testing::RunShell("/usr/bin/python3 '" + Folder + "read.py' '" + file + "' 2>&1").Out;
    }
};

TEST_F(CommandLine, RunWithOutputBuildsTheReportSheetAndKeepsTheOthers) {
    TRun run = Tabrix("run example/sales.tfm -o out/../report.xlsx");
    ASSERT_EQ(run.Status, 0) << run.Output;
    std::string report = Folder + "report.xlsx";
    EXPECT_EQ(run.Output, report + "\n") << "the written file's name alone";
    EXPECT_EQ(SheetNames(report), (Lines{"Cover", "Report", "Products", "Notes"}));
    EXPECT_EQ(SheetDump(report, "Cover"), SheetDump(Example + "sales.xlsx", "Cover"));
    EXPECT_EQ(SheetDump(report, "Notes"), SheetDump(Example + "sales.xlsx", "Notes"));
    Lines built = SheetDump(report, "Report");
    ASSERT_FALSE(built.empty());
    EXPECT_EQ(built.front(), "1:1=Sales by region and customer");
    EXPECT_EQ(SheetDump(report, "Products").front(), "1:1=Sales by product");
    EXPECT_TRUE(TempFiles().empty()) << "no working copy left behind";

    std::string independent = ReadWithOpenpyxl(report);
    if (independent.find("No module named") != std::string::npos) GTEST_SKIP() << "python3-openpyxl is not installed";
    EXPECT_NE(independent.find("Cover: Sales by region|Built by tabrix from sales.db|Printed on|"), std::string::npos)
        << independent;
    EXPECT_NE(independent.find("Report: Sales by region and customer|"), std::string::npos) << independent;
    EXPECT_NE(independent.find("|Region North|Baker & Sons|1001|"), std::string::npos) << independent;
    EXPECT_NE(independent.find("Notes: Notes|Prices are net, in EUR.|Quantities in pieces.|=LEN(A2)"),
              std::string::npos)
        << independent;
}

TEST_F(CommandLine, TheReportOpensInLibreOfficeWithEverySheet) {
    TRun run = Tabrix("run example/sales.tfm -o report.xlsx");
    ASSERT_EQ(run.Status, 0) << run.Output;
    std::string csv = Folder + "csv/";
    TRun lo = Shell("/usr/bin/python3 '" + std::string(TABRIX_SOURCE_DIR) +
                    "/tests/integration/lo_convert.py' --recalc '" + csv + "' '" + Folder + "report.xlsx'");
    if (lo.Status == 77) GTEST_SKIP() << "LibreOffice is not installed";
    ASSERT_EQ(lo.Status, 0) << lo.Output;
    EXPECT_NE(ReadFileBytes(csv + "report-Cover.csv").find("Sales by region"), std::string::npos);
    EXPECT_NE(ReadFileBytes(csv + "report-Notes.csv").find("Prices are net, in EUR."), std::string::npos);
    // Every total recalculated by LibreOffice: 13 order lines of 3,222
    // pieces for 572.80.
    std::string report = ReadFileBytes(csv + "report-Report.csv");
    EXPECT_NE(report.find("\"Grand total\",9,\"orders\",\"3,222\",,572.80"), std::string::npos) << report;
    EXPECT_NE(ReadFileBytes(csv + "report-Products.csv").find("\"All products\",\"3,222\",572.80"), std::string::npos);
}

TEST_F(CommandLine, StoredTemplateRunsWithoutTheTemplateFileAndLeavesNoTemporaryFile) {
    TRun store = Tabrix("template store example/sales.tfm --from example/sales.xlsx");
    ASSERT_EQ(store.Status, 0) << store.Output;
    std::string form = ReadFileBytes(Example + "sales.tfm");
    EXPECT_NE(form.find("XLTemplate = {"), std::string::npos);
    EXPECT_NE(form.find("StoreInDFM = True"), std::string::npos);
    EXPECT_EQ(form.find("\n    Template = "), std::string::npos) << "the file name is dropped";

    std::string original = ReadFileBytes(Example + "sales.xlsx");
    ASSERT_TRUE(DeleteFileAt(Example + "sales.xlsx"));
    TRun run = Tabrix("run example/sales.tfm -o stored.xlsx");
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(SheetNames(Folder + "stored.xlsx"), (Lines{"Cover", "Report", "Products", "Notes"}));
    EXPECT_EQ(SheetDump(Folder + "stored.xlsx", "Report").front(), "1:1=Sales by region and customer");
    EXPECT_TRUE(TempFiles().empty());

    TRun extract = Tabrix("template extract example/sales.tfm -o copy.xlsx");
    ASSERT_EQ(extract.Status, 0) << extract.Output;
    EXPECT_EQ(ReadFileBytes(Folder + "copy.xlsx"), original);
}

TEST_F(CommandLine, ABigStoredTemplateRunsAndExtractsAsItWasStored) {
    // The example template with 30 MiB of picture data beside its parts:
    // its form is larger than 64 MiB.
    TRun make = Shell(
        "/usr/bin/python3 -c \"import os,sys,zipfile; z=zipfile.ZipFile(sys.argv[2],'a'); "
        "z.writestr('xl/media/filler.bin', os.urandom(30 << 20), zipfile.ZIP_STORED); z.close()\" x '" +
        Example + "sales.xlsx'");
    ASSERT_EQ(make.Status, 0) << make.Output;
    const std::string original = ReadFileBytes(Example + "sales.xlsx");
    TRun store = Tabrix("template store example/sales.tfm --from example/sales.xlsx");
    ASSERT_EQ(store.Status, 0) << store.Output;
    EXPECT_GT(ReadFileBytes(Example + "sales.tfm").size(), size_t{64} << 20);
    ASSERT_TRUE(DeleteFileAt(Example + "sales.xlsx"));

    TRun run = Tabrix("run example/sales.tfm -o big.xlsx");
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(SheetDump(Folder + "big.xlsx", "Report").front(), "1:1=Sales by region and customer");
    TRun extract = Tabrix("template extract example/sales.tfm -o copy.xlsx");
    ASSERT_EQ(extract.Status, 0) << extract.Output;
    EXPECT_TRUE(ReadFileBytes(Folder + "copy.xlsx") == original);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(CommandLine, ATemplateTooLargeForAFormIsRefusedAtStoreWithTheLimit) {
    const std::string form = ReadFileBytes(Example + "sales.tfm");
    std::filesystem::resize_file(Example + "sales.xlsx", (size_t{64} << 20) - 3);  // sparse
    TRun store = Tabrix("template store example/sales.tfm --from example/sales.xlsx");
    EXPECT_NE(store.Status, 0);
    EXPECT_NE(store.Output.find("a template of 67108861 bytes is too large to store in a form file (at most "
                                "67108860 bytes)"),
              std::string::npos)
        << store.Output;
    EXPECT_EQ(ReadFileBytes(Example + "sales.tfm"), form) << "the form is not written";
}

TEST_F(CommandLine, WithoutOutputTheReportIsLeftToTheUser) {
    TRun run = Tabrix("run example/sales.tfm");
    ASSERT_EQ(run.Status, 0) << run.Output;
    // No display: the shown report's path is printed.
    std::string shown = run.Output.substr(0, run.Output.find('\n'));
    EXPECT_EQ(ExtractFilePath(shown), TempDir) << run.Output;
    EXPECT_EQ(SheetNames(shown), (Lines{"Cover", "Report", "Products", "Notes"}));
    EXPECT_EQ(TempFiles(), Lines{ExtractFileName(shown)});
}

TEST_F(CommandLine, ErrorsPrintTheMessageAndExitNonZero) {
    TRun missing = Tabrix("run nowhere.tfm -o x.xlsx");
    EXPECT_NE(missing.Status, 0);
    EXPECT_NE(missing.Output.find("nowhere.tfm"), std::string::npos) << missing.Output;

    TRun wrongName = Tabrix("run example/sales.tfm --report NoSuchReport -o x.xlsx");
    EXPECT_NE(wrongName.Status, 0);
    EXPECT_NE(wrongName.Output.find("NoSuchReport"), std::string::npos) << wrongName.Output;

    ASSERT_TRUE(DeleteFileAt(Example + "sales.xlsx"));
    TRun noTemplate = Tabrix("run example/sales.tfm -o x.xlsx");
    EXPECT_NE(noTemplate.Status, 0);
    EXPECT_NE(noTemplate.Output.find("File \"" + Example + "sales.xlsx\" does not exist. "), std::string::npos)
        << noTemplate.Output;
    EXPECT_FALSE(FileExists(Folder + "x.xlsx"));

    TRun nothingStored = Tabrix("template extract example/sales.tfm -o t.xlsx");
    EXPECT_NE(nothingStored.Status, 0);
    EXPECT_NE(nothingStored.Output.find("holds no stored template"), std::string::npos) << nothingStored.Output;
}

TEST_F(CommandLine, AReportQueryCannotChangeTheDatabase) {
    std::string form = ReadFileBytes(Example + "sales.tfm");
    const std::string products =
        "'select product, sum(qty) as qty, sum(qty * price) as amount'\n"
        "      '  from order_lines group by product order by product'";
    ASSERT_NE(form.find(products), std::string::npos);
    form.replace(form.find(products), products.size(),
                 "'delete from order_lines returning product, qty, qty * price as amount'");
    WriteFileBytes(Example + "sales.tfm", form);
    const std::string before = ReadFileBytes(Example + "sales.db");
    TRun run = Tabrix("run example/sales.tfm -o x.xlsx");
    EXPECT_NE(run.Status, 0);
    EXPECT_NE(run.Output.find("the connection Db is read-only"), std::string::npos) << run.Output;
    EXPECT_EQ(ReadFileBytes(Example + "sales.db"), before);

    // A form that says its connection writes gets what it asked for.
    form.replace(form.find("    Database = 'sales.db'\n"), 0, "    ReadOnly = False\n");
    WriteFileBytes(Example + "sales.tfm", form);
    run = Tabrix("run example/sales.tfm -o x.xlsx");
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(ReadFileBytes(Example + "sales.db"), before);
}

TEST_F(CommandLine, AFailedRunWithOutputLeavesNothingBehindUnlessAskedToKeepIt) {
    // The sub-report's query fails once the first report sheet is built.
    std::string form = ReadFileBytes(Example + "sales.tfm");
    const std::string from = "  from order_lines group by product";
    ASSERT_NE(form.find(from), std::string::npos);
    form.replace(form.find(from), from.size(), "  from no_such_table group by product");
    WriteFileBytes(Example + "sales.tfm", form);

    TRun run = Tabrix("run example/sales.tfm -o report.xlsx");
    EXPECT_NE(run.Status, 0);
    EXPECT_NE(run.Output.find("no such table: no_such_table"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("nothing was written (--keep-partial keeps what was built)"), std::string::npos)
        << run.Output;
    EXPECT_EQ(TempFiles(), Lines{}) << "no partial report in the temporary folder";
    EXPECT_FALSE(FileExists(Folder + "report.xlsx"));

    run = Tabrix("run example/sales.tfm -o report.xlsx --keep-partial");
    EXPECT_NE(run.Status, 0);
    EXPECT_NE(run.Output.find("what was built is in " + Folder + "report.partial.xlsx"), std::string::npos)
        << run.Output;
    EXPECT_EQ(TempFiles(), Lines{});
    EXPECT_FALSE(FileExists(Folder + "report.xlsx"));
    EXPECT_EQ(SheetDump(Folder + "report.partial.xlsx", "Report").front(), "1:1=Sales by region and customer");
    EXPECT_NE(ReadWithOpenpyxl(Folder + "report.partial.xlsx").find("Report: Sales by region and customer|"),
              std::string::npos);
}

TEST_F(CommandLine, HelpExplainsTheVerbsWithAnExample) {
    TRun run = Tabrix("run --help");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Output.find("tabrix run examples/sales.tfm -o sales-report.xlsx"), std::string::npos) << run.Output;
    TRun templ = Tabrix("template --help");
    EXPECT_NE(templ.Output.find("store"), std::string::npos);
    EXPECT_NE(templ.Output.find("extract"), std::string::npos);
}

// tabrix edit with TABRIX_VIEWER set to a script standing in for the
// spreadsheet program: the form is rewritten only when the workbook changed.
class EditCommand : public CommandLine {
protected:
    void SetUp() override {
        CommandLine::SetUp();
        TRun store = Tabrix("template store example/sales.tfm --report Report --from example/sales.xlsx");
        ASSERT_EQ(store.Status, 0) << store.Output;
        Form = Example + "sales.tfm";
    }
    // Runs tabrix edit with a viewer script of the given body ($1 = file).
    TRun Edit(const std::string& body) {
        std::string script = Folder + "viewer.sh";
        WriteFileBytes(script, "#!/bin/sh\necho \"$1\" > '" + Folder + "viewed'\n" + body + "\n");
        ::chmod(script.c_str(), 0755);
        return Shell("TABRIX_VIEWER='" + script + "' TMPDIR='" + TempDir + "' '" + TABRIX_EXE +
                     "' edit example/sales.tfm --report Report");
    }
    std::string Viewed() { return Trim(ReadFileBytes(Folder + "viewed")); }
    static ino_t Inode(const std::string& file) {
        struct stat st {};
        ::stat(file.c_str(), &st);
        return st.st_ino;
    }
    // Sets Notes!A1 of the workbook $1 (openpyxl judges files by their
    // extension, so it is given an open file).
    static std::string SetNotesA1(const std::string& text) {
        return "/usr/bin/python3 -c \"import openpyxl,sys; wb=openpyxl.load_workbook(open(sys.argv[1],'rb')); "
               "wb['Notes']['A1']='" +
               text + "'; wb.save(sys.argv[1])\" \"$1\"";
    }
    std::string Form;
};

TEST_F(EditCommand, AChangedWorkbookIsStoredBackAndTheFormStillReadsAndRuns) {
    std::string before = ReadFileBytes(Form);
    ino_t inode = Inode(Form);
    TRun edit = Edit(SetNotesA1("edited in the program"));
    ASSERT_EQ(edit.Status, 0) << edit.Output;
    EXPECT_NE(edit.Output.find("Stored the changed template in example/sales.tfm"), std::string::npos) << edit.Output;
    EXPECT_EQ(ExtractFileExt(Viewed()), ".tmp") << "the temporary copy of the stored template";
    EXPECT_NE(ReadFileBytes(Form), before);
    EXPECT_NE(Inode(Form), inode) << "a complete new file took the place of the old one";
    EXPECT_EQ(TempFiles(), Lines{}) << "the copy is gone";
    Lines left;
    for (const auto& e : std::filesystem::directory_iterator(Example)) left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Lines{"sales.db", "sales.tfm", "sales.xlsx"})) << "nothing half-written beside the form";

    TRun extract = Tabrix("template extract example/sales.tfm --report Report -o edited.xlsx");
    ASSERT_EQ(extract.Status, 0) << extract.Output;
    EXPECT_NE(ReadWithOpenpyxl(Folder + "edited.xlsx").find("Notes: edited in the program"), std::string::npos);
    TRun run = Tabrix("run example/sales.tfm -o report.xlsx");
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(ReadWithOpenpyxl(Folder + "report.xlsx").find("Notes: edited in the program"), std::string::npos);
}

TEST_F(EditCommand, AnUnchangedWorkbookLeavesTheFormAlone) {
    std::string before = ReadFileBytes(Form);
    TRun slow = Edit("sleep 3.5");
    ASSERT_EQ(slow.Status, 0) << slow.Output;
    EXPECT_NE(slow.Output.find("The template was not changed"), std::string::npos) << slow.Output;
    EXPECT_EQ(ReadFileBytes(Form), before);
    EXPECT_EQ(TempFiles(), Lines{});

    // A program that returns at once may still be editing: the copy stays.
    TRun quick = Edit("");
    ASSERT_EQ(quick.Status, 0) << quick.Output;
    EXPECT_EQ(ReadFileBytes(Form), before);
    EXPECT_NE(quick.Output.find("tabrix template store example/sales.tfm --report Report --from " + Viewed()),
              std::string::npos)
        << quick.Output;
    EXPECT_TRUE(FileExists(Viewed()));
}

TEST_F(EditCommand, AWorkbookThatNoLongerOpensIsNotStoredAndTheCopyIsKept) {
    std::string before = ReadFileBytes(Form);
    TRun edit = Edit("echo broken > \"$1\"");
    EXPECT_NE(edit.Status, 0) << edit.Output;
    EXPECT_EQ(ReadFileBytes(Form), before);
    EXPECT_EQ(ReadFileBytes(Viewed()), "broken\n") << "the user's work is not thrown away";
}

TEST_F(EditCommand, ATemplateFileIsOpenedItselfAndTheFormIsNotWritten) {
    ASSERT_TRUE(CopyFileTo(testing::ExampleFile("sales.tfm"), Form, false));  // Template = 'sales.xlsx'
    std::string before = ReadFileBytes(Form);
    TRun edit = Edit(SetNotesA1("edited in place"));
    ASSERT_EQ(edit.Status, 0) << edit.Output;
    EXPECT_EQ(Viewed(), Example + "sales.xlsx");
    EXPECT_EQ(ReadFileBytes(Form), before);
    EXPECT_NE(ReadWithOpenpyxl(Example + "sales.xlsx").find("Notes: edited in place"), std::string::npos);
}

TEST_F(EditCommand, AProgramThatCannotStartIsAnError) {
    std::string before = ReadFileBytes(Form);
    TRun edit = Shell("TABRIX_VIEWER='" + Folder + "no-such-program' TMPDIR='" + TempDir + "' '" + TABRIX_EXE +
                      "' edit example/sales.tfm --report Report");
    EXPECT_NE(edit.Status, 0);
    EXPECT_NE(edit.Output.find("Cannot start the viewer"), std::string::npos) << edit.Output;
    EXPECT_EQ(ReadFileBytes(Form), before);
    EXPECT_EQ(TempFiles(), Lines{});
}

}  // namespace
}  // namespace tabrix
