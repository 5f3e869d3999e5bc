#pragma once
// What the report tests share: a fresh folder per test that is both the
// temporary folder ($TMPDIR) and the application folder, holding a copy of
// the example template (three sheets: Cover, Report, Notes), so that every
// file a build leaves behind can be seen.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/automation.h"
#include "platform/rtl/files.h"
#include "platform/ui/terminal.h"

namespace tabrix::testing {

inline std::string ExampleFile(const std::string& name) { return std::string(TABRIX_SOURCE_DIR) + "/examples/" + name; }

class TReportFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "tabrix-report-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Folder = IncludeTrailingPathDelimiter(pattern);
        TempDir = Folder + "tmp/";
        std::filesystem::create_directory(TempDir);
        const char* old = std::getenv("TMPDIR");
        FOldTmp = old ? old : "";
        FHadTmp = old != nullptr;
        ::setenv("TMPDIR", TempDir.c_str(), 1);
        FOldAppFolder = ApplicationFolder();
        SetApplicationFolder(Folder);
        // Nothing is opened in a viewer: a shown report's path is printed.
        ::unsetenv("TABRIX_VIEWER");
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        FOldTerminal = SetCurrentTerminal(nullptr);
        Template = Folder + "sales.xlsx";
        ASSERT_TRUE(CopyFileTo(ExampleFile("sales.xlsx"), Template, false));
    }
    void TearDown() override {
        SetCurrentTerminal(std::move(FOldTerminal));
        SetApplicationFolder(FOldAppFolder);
        if (FHadTmp)
            ::setenv("TMPDIR", FOldTmp.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
        std::error_code ec;
        if (!Folder.empty()) std::filesystem::remove_all(Folder, ec);
    }

    // Names of the files in the temporary folder.
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(TempDir))
            names.push_back(e.path().filename().string());
        return names;
    }

    // Every cell of every sheet of a workbook as the engine reads it back:
    // sheet name, then "A1=text" lines.
    static std::vector<std::string> SheetDump(const std::string& file, const std::string& sheetName) {
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook book = app.Workbooks().Open(file, {.ReadOnly = true});
        std::vector<std::string> lines;
        for (int i = 1; i <= book.Worksheets().Count(); ++i) {
            TExcelWorksheet sheet = book.Worksheets().Item(i);
            if (UnicodeToUtf8(sheet.Name()) != sheetName) continue;
            TExcelRange used = sheet.UsedRange();
            TVariantArray2D cells = used.FormulaArray();
            for (int r = 1; r <= used.RowCount(); ++r)
                for (int c = 1; c <= used.ColumnCount(); ++c) {
                    const Variant& v = cells(r, c);
                    if (!v.IsEmpty() && !(v.IsString() && v.AsAnsiString().empty()))
                        lines.push_back(std::to_string(used.Row() + r - 1) + ":" +
                                        std::to_string(used.Column() + c - 1) + "=" + v.AsAnsiString());
                }
        }
        app.Quit();
        return lines;
    }

    static std::vector<std::string> SheetNames(const std::string& file) {
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorkbook book = app.Workbooks().Open(file, {.ReadOnly = true});
        std::vector<std::string> names;
        for (int i = 1; i <= book.Worksheets().Count(); ++i)
            names.push_back(UnicodeToUtf8(book.Worksheets().Item(i).Name()));
        app.Quit();
        return names;
    }

    std::string Folder;
    std::string TempDir;
    std::string Template;

private:
    std::string FOldTmp;
    bool FHadTmp = false;
    std::string FOldAppFolder;
    std::unique_ptr<TTerminal> FOldTerminal;
};

// A report folder that also holds a copy of the whole example (form, SQLite
// database, template) in Example, for the tests that run the command.
class TExampleCopyFolder : public TReportFolder {
protected:
    void SetUp() override {
        TReportFolder::SetUp();
        Example = Folder + "example/";
        std::filesystem::create_directory(Example);
        for (const char* f : {"sales.tfm", "sales.db", "sales.xlsx"})
            ASSERT_TRUE(CopyFileTo(ExampleFile(f), Example + f, false));
    }

    std::string Example;
};

}  // namespace tabrix::testing
