#pragma once
// The frame of the integration tests: a template that a Python script makes
// with openpyxl, in a folder of the test's own, and the written files read
// back as JSON by another script (tests/integration/*.py), with the copy
// into a new workbook they all make. Header only.
//
//   class X14Rules : public TScriptedTemplate {
//   protected:
//       X14Rules() : TScriptedTemplate("x14", "make_x14_template.py", "read_x14_rules.py") {}
//   };
//   TEST_F(X14Rules, ...) { ...; EXPECT_EQ(Read(result)["Report"]["cf"].size(), 1u); }

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>

#include "automation/automation.h"
#include "platform/rtl/files.h"
#include "tests/support/shell.h"

namespace tabrix::testing {

// Runs a command with its errors in the output; the exit status.
inline int Shell(const std::string& command, std::string* output = nullptr) {
    TShellRun run = RunShell(command + " 2>&1");
    if (output) *output = std::move(run.Out);
    return run.Status;
}

// The command line of a script of tests/integration.
inline std::string Script(const char* name) {
    return std::string("/usr/bin/python3 " TABRIX_SOURCE_DIR "/tests/integration/") + name;
}

class TScriptedTemplate : public ::testing::Test {
protected:
    // stem names the folder; readScript may be null when the test reads otherwise.
    TScriptedTemplate(const char* stem, const char* makeScript, const char* readScript)
        : FStem(stem), FMakeScript(makeScript), FReadScript(readScript) {}

    void SetUp() override {
        Folder = std::filesystem::path(TempFolder()) / ("tbr_" + FStem + "_" + std::to_string(::getpid()));
        std::filesystem::create_directories(Folder);
        Template = (Folder / "template.xlsx").string();
        std::string out;
        if (Shell(Script(FMakeScript) + " '" + Template + "'", &out) != 0)
            GTEST_SKIP() << "openpyxl could not write the template: " << out;
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    // The template's first sheet's range first:last copied into a new
    // workbook (another origin: formats are merged by content) at each of
    // the places, saved as file.
    void CopyToNewWorkbook(TExcelApplication& app, const char* first, const char* last,
                           std::initializer_list<const char*> places, const std::string& file) {
        TWorkbookOpenArgs readOnly;
        readOnly.ReadOnly = Variant(true);
        TExcelWorkbook source = app.Workbooks().Open(Template, readOnly);
        TExcelWorkbook blank = app.Workbooks().Add();
        for (const char* at : places)
            source.Worksheets().Item(1).Range(first, last).Copy(blank.Worksheets().Item(1).Range(at));
        blank.Close(Variant(true), Variant(file));
        source.Close(Variant(false));
    }

    // What the read script says of a file.
    nlohmann::json Read(const std::string& file) {
        std::string out;
        EXPECT_EQ(Shell(Script(FReadScript) + " '" + file + "'", &out), 0) << out;
        return nlohmann::json::parse(out);
    }

    std::filesystem::path Folder;
    std::string Template;

private:
    std::string FStem;
    const char* FMakeScript;
    const char* FReadScript;
};

}  // namespace tabrix::testing
