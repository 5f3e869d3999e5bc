// The engine's limits hold at N and refuse N + 1, with messages that name
// the number, and the parser and the sheet store count a formula alike.
#include <gtest/gtest.h>

#include <string>

#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

// A string-constant formula of exactly `chars` characters, written with a
// two-byte letter so that bytes and characters differ.
std::string FormulaOfChars(std::size_t chars) {
    std::string text = "\"";
    for (std::size_t i = 0; i + 2 < chars; ++i) text += "\xC3\xA4";  // ä
    return text + "\"";
}

TEST(EngineLimits, FormulaLengthIsCountedInCharactersByParserAndSheet) {
    auto book = TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    const std::string longest = FormulaOfChars(kMaxFormulaChars);
    const std::string tooLong = FormulaOfChars(kMaxFormulaChars + 1);
    const TFormulaDialect en = TFormulaDialect::English();

    EXPECT_EQ(testing::RaisedMessage<EFormulaError>([&] { ParseFormula(longest, en); }), "no error");
    EXPECT_EQ(testing::RaisedMessage([&] { sheet.SetFormula(20, 1, longest); }), "no error");

    EXPECT_NE(testing::RaisedMessage<EFormulaError>([&] { ParseFormula(tooLong, en); }).find("8192 characters"),
              std::string::npos);
    EXPECT_NE(testing::RaisedMessage([&] { sheet.SetFormula(20, 2, tooLong); }).find("at most 8192 characters"),
              std::string::npos);
}

TEST(EngineLimits, RowHeightUpToTheLimit) {
    auto book = TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx");
    TWorksheet& sheet = book->Sheet(0);
    sheet.SetRowHeight(3, kMaxRowHeightPoints);
    EXPECT_DOUBLE_EQ(sheet.RowHeight(3), 409);
    EXPECT_NE(testing::RaisedMessage([&] {
                  sheet.SetRowHeight(4, kMaxRowHeightPoints + 0.25);
              }).find("between 0 and 409 points"),
              std::string::npos);
}

TEST(EngineLimits, NestingUpToTheLimit) {
    // The whole formula is one level, each bracket pair another two (the
    // bracket and the expression inside it).
    auto nested = [](int pairs) { return std::string(size_t(pairs), '(') + "1" + std::string(size_t(pairs), ')'); };
    const int deepest = (kMaxFormulaNesting - 1) / 2;
    const TFormulaDialect en = TFormulaDialect::English();
    EXPECT_EQ(testing::RaisedMessage<EFormulaError>([&] { ParseFormula(nested(deepest), en); }), "no error");
    EXPECT_NE(
        testing::RaisedMessage<EFormulaError>([&] { ParseFormula(nested(deepest + 1), en); }).find("nested too deeply"),
        std::string::npos);
}

}  // namespace
}  // namespace tabrix::xl
