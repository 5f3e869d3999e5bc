// Reference renewal against an independent implementation of the
// spreadsheet's own adjustment (openpyxl's formula translator), on generated
// formulas of the kinds templates hold. The generator keeps to what both
// define alike: references that stay on the sheet.

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cells/cell_address.h"
#include "cells/renew_references.h"
#include "platform/rtl/files.h"
#include "tests/support/shell.h"

namespace tabrix {
namespace {

class FormulaGenerator {
public:
    explicit FormulaGenerator(unsigned seed) : FRandom(seed) {}

    std::string Formula() {
        std::string f = "=" + Term();
        const int terms = Pick(0, 5);
        static const char* const kOps[] = {"+", "-", "*", "/", "&", ">=", "<>"};
        for (int i = 0; i < terms; ++i) f += std::string(kOps[Pick(0, 6)]) + Term();
        return f;
    }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(FRandom); }

    std::string Ref() {
        std::string col = TabrixGetRange(1, Pick(3, 250));
        col.pop_back();
        const std::string row = std::to_string(Pick(30, 60000));
        return (Pick(0, 3) == 0 ? "$" : "") + col + (Pick(0, 3) == 0 ? "$" : "") + row;
    }

    // One side of a whole-column (letters) or whole-row (digits) range.
    std::string Line(bool column) {
        std::string text = column ? TabrixGetRange(1, Pick(3, 250)) : std::to_string(Pick(30, 60000));
        if (column) text.pop_back();
        return (Pick(0, 3) == 0 ? "$" : "") + text;
    }

    std::string Term() {
        switch (Pick(0, 9)) {
            case 0:
                return "SUM(" + Ref() + ":" + Ref() + ")";
            case 1:
                return "Sheet2!" + Ref();
            case 2:
                return "'Q1 2024'!" + Ref();
            case 3:
                return "\"" + Ref() + " text\"";
            case 4:
                return "LOG10(" + Ref() + ")";
            case 5:
                return Pick(0, 1) ? "ROUND(" + Ref() + ",2)" : "1E5";
            case 6:
                return Pick(0, 1) ? "SUM(" + Line(true) + ":" + Line(true) + ")" : Line(false) + ":" + Line(false);
            case 7:
                return "(" + Ref() + "-" + Ref() + ")";
            default:
                return Ref();
        }
    }

    std::mt19937 FRandom;
};

TEST(RenewCellReferencesOracle, AgreesWithOpenpyxlTranslator) {
    FormulaGenerator gen(20240601);
    std::mt19937 offsets(7);
    struct Case {
        int rows, cols;
        std::string formula;
    };
    std::vector<Case> cases;
    for (int i = 0; i < 400; ++i) {
        const int rows = std::uniform_int_distribution<int>(-25, 25)(offsets);
        const int cols = std::uniform_int_distribution<int>(-2, 2)(offsets);
        cases.push_back({rows, cols, gen.Formula()});
    }

    TTempFileGuard input(CreateUniqueTempFile(TempFolder(), "TBR"));
    std::string text;
    for (const Case& c : cases)
        text += std::to_string(c.rows) + "\t" + std::to_string(c.cols) + "\t" + c.formula + "\n";
    WriteFileBytes(input.Name(), text);

    const std::string cmd = std::string("/usr/bin/python3 ") + TABRIX_SOURCE_DIR +
                            "/tests/cells/openpyxl_translate.py " + input.Name() + " 2>&1";
    const testing::TShellRun run = testing::RunShell(cmd);
    const std::string& output = run.Out;
    ASSERT_EQ(run.Status, 0) << output;

    std::istringstream lines(output);
    std::string expected;
    for (const Case& c : cases) {
        ASSERT_TRUE(std::getline(lines, expected)) << output;
        const std::string ours =
            UnicodeToUtf8(TabrixRenewCellReferences(Utf8ToUnicode(c.formula), c.rows, c.cols, '#'));
        EXPECT_EQ(ours, expected) << c.formula << " moved by " << c.rows << " rows, " << c.cols << " columns";
    }
}

}  // namespace
}  // namespace tabrix
