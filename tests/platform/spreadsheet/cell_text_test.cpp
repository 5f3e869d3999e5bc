#include <gtest/gtest.h>

#include <cmath>

#include "platform/spreadsheet/cell_text.h"
#include "platform/spreadsheet/workbook.h"
#include "tests/platform/spreadsheet/engine_fixture.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

class TypedCells : public ::testing::Test {
protected:
    void SetUp() override {
        FBook = TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx");
        FGerman = tabrix::testing::GermanSettings();
    }
    TWorksheet& Sheet() { return FBook->Sheet(0); }
    void Type(int row, int col, std::string_view text) {
        EnterText(Sheet(), row, col, text, TTextForm::Local, FGerman);
    }
    std::string Read(int row, int col) { return CellText(Sheet(), row, col, TTextForm::Local, FGerman); }

    std::unique_ptr<TWorkbook> FBook;
    TFormatSettings FGerman;
};

TEST_F(TypedCells, TypedNumbersBooleansAndTextBecomeTheirValues) {
    Type(10, 1, "1.234,5");
    EXPECT_EQ(Sheet().Content(10, 1).Value, (TStoredValue{TCellKind::Number, 1234.5, {}}));
    EXPECT_EQ(Read(10, 1), "1234,5");
    Type(10, 2, "TRUE");
    EXPECT_EQ(Sheet().Content(10, 2).Kind, TCellKind::Boolean);
    Type(10, 3, "'0042");
    EXPECT_EQ(Sheet().Content(10, 3).Value.Text, "0042");
    Type(10, 4, "Text 1,5");
    EXPECT_EQ(Sheet().Content(10, 4).Value.Text, "Text 1,5");
    // A number in a cell formatted as text stays text.
    uint32_t textStyle = FBook->Styles().WithNumberFormat(0, "@");
    Sheet().SetStyle(10, 5, textStyle);
    Type(10, 5, "123");
    EXPECT_EQ(Sheet().Content(10, 5).Value, (TStoredValue{TCellKind::String, 0, "123"}));
}

TEST_F(TypedCells, EmptyInputClearsTheContentAndKeepsTheStyle) {
    ASSERT_EQ(Sheet().Content(1, 1).Style, 1u);
    Type(1, 1, "");
    EXPECT_EQ(Sheet().Content(1, 1).Kind, TCellKind::Empty);
    EXPECT_EQ(Sheet().Content(1, 1).Style, 1u);
    EnterVariant(Sheet(), 3, 1, Variant(), TTextForm::Local, FGerman);
    EXPECT_EQ(Sheet().FindCell(3, 1)->Kind, TCellKind::Empty);
}

TEST_F(TypedCells, DatesAndPercentagesTakeAFittingFormatOnlyInGeneralCells) {
    Type(11, 1, "01.03.2024");
    EXPECT_EQ(Sheet().Content(11, 1).Value.Number, 45352);
    EXPECT_EQ(FBook->Styles().NumberFormatKind(Sheet().Style(11, 1)), TNumberFormatKind::Date);
    EXPECT_EQ(Read(11, 1), "01.03.2024");
    // The cell with "#,##0.00" keeps its format.
    Type(5, 3, "01.03.2024");
    EXPECT_EQ(Sheet().Style(5, 3), 3u);
    Type(11, 2, "12,5%");
    EXPECT_DOUBLE_EQ(Sheet().Content(11, 2).Value.Number, 0.125);
    EXPECT_EQ(FBook->Styles().NumberFormatKind(Sheet().Style(11, 2)), TNumberFormatKind::Percent);
    EXPECT_EQ(Read(11, 2), "12,5%");
    // A date variant is a date too.
    EnterVariant(Sheet(), 11, 3, Variant::FromDate(45352.5), TTextForm::Local, FGerman);
    EXPECT_EQ(Read(11, 3), "01.03.2024 12:00:00");
}

TEST_F(TypedCells, FormulasAreTranslatedBetweenTheLocalAndTheEnglishForm) {
    Type(12, 1, "=SUM(A3:A4;0,5)");
    EXPECT_EQ(Sheet().Content(12, 1).Formula, "SUM(A3:A4,0.5)");
    EXPECT_EQ(Read(12, 1), "=SUM(A3:A4;0,5)");
    EXPECT_EQ(CellText(Sheet(), 12, 1, TTextForm::English, FGerman), "=SUM(A3:A4,0.5)");
    EnterText(Sheet(), 12, 2, "=ROUND(B3,1)", TTextForm::English, FGerman);
    EXPECT_EQ(Read(12, 2), "=ROUND(B3;1)");
    // Reading what the file holds: the shared formula's dependent.
    EXPECT_EQ(Read(4, 3), "=A4*B4");
}

TEST_F(TypedCells, ABadFormulaFailsNamingTheCellAndTheFormulaAndChangesNothing) {
    for (const char* bad : {"=SUM(A1", "=NOSUCHFUNCTION(1)", "=\"open", "=A1+", "=IF()", "=XFE1"}) {
        try {
            Type(3, 1, bad);
            ADD_FAILURE() << bad << " was accepted";
        } catch (const ESpreadsheetError& e) {
            EXPECT_NE(e.Message().find("cell A3"), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find(bad), std::string::npos) << e.Message();
        }
        EXPECT_EQ(Sheet().Content(3, 1).Value.Number, 2) << bad;
    }
}

TEST_F(TypedCells, VariantsAreWrittenAsTheirTypeAndNotParsed) {
    EnterVariant(Sheet(), 13, 1, Variant(int64_t(42)), TTextForm::Local, FGerman);
    EnterVariant(Sheet(), 13, 2, Variant::FromCurrency(int64_t(12345)), TTextForm::Local, FGerman);
    EnterVariant(Sheet(), 13, 3, Variant(true), TTextForm::Local, FGerman);
    EnterVariant(Sheet(), 13, 4, Variant("=1+1"), TTextForm::Local, FGerman);  // a string is typed input
    EnterVariant(Sheet(), 13, 5, Variant(u"'=1+1"), TTextForm::Local, FGerman);
    EXPECT_EQ(Sheet().Content(13, 1).Value.Number, 42);
    EXPECT_DOUBLE_EQ(Sheet().Content(13, 2).Value.Number, 1.2345);
    EXPECT_EQ(Sheet().Content(13, 3).Kind, TCellKind::Boolean);
    EXPECT_EQ(Sheet().Content(13, 4).Formula, "1+1");
    EXPECT_EQ(Sheet().Content(13, 5).Value.Text, "=1+1");
    EXPECT_EQ(Read(13, 3), "TRUE");
}

// Texts read ahead (on another thread, before the cells have their formats)
// enter exactly as texts typed at once: every kind of input, a cell shown
// as text that its formats make so only after the read, a formula that
// does not parse, and variants that are no text.
TEST_F(TypedCells, TextsReadAheadEnterAsTextsTypedAtOnce) {
    const Variant values[] = {
        Variant(u"1.234,5"), Variant(u"TRUE"),          Variant(u"'0042"),    Variant(u"Text 1,5"),
        Variant(u"123"),     Variant(u"01.03.2024"),    Variant(u"12,5%"),    Variant(u"=SUM(A3:A4;0,5)"),
        Variant(u""),        Variant("=1+1"),           Variant(int64_t(42)), Variant(true),
        Variant(),           Variant::FromDate(45352.5)};
    auto ahead = TWorkbook::FromBytes(test::TemplateWorkbookBytes(), "template.xlsx");
    const uint32_t textStyle = FBook->Styles().WithNumberFormat(0, "@");
    ASSERT_EQ(ahead->Styles().WithNumberFormat(0, "@"), textStyle);
    int column = 0;
    for (const Variant& v : values) {
        ++column;
        TTypedText read;
        ReadTypedText(v, TTextForm::Local, FGerman, read);
        // The cell is shown as text only now, after the read.
        if (column == 5) {
            Sheet().SetStyle(20, column, textStyle);
            ahead->Sheet(0).SetStyle(20, column, textStyle);
        }
        EnterVariant(Sheet(), 20, column, v, TTextForm::Local, FGerman);
        EnterVariant(ahead->Sheet(0), 20, column, v, read, TTextForm::Local, FGerman);
        EXPECT_EQ(ahead->Sheet(0).Content(20, column).Value, Sheet().Content(20, column).Value) << column;
        EXPECT_EQ(ahead->Sheet(0).Content(20, column).Formula, Sheet().Content(20, column).Formula) << column;
        EXPECT_EQ(ahead->Sheet(0).Style(20, column), Sheet().Style(20, column)) << column;
    }
    EXPECT_EQ(ahead->Sheet(0).Content(20, 5).Value.Text, "123");
    TTypedText bad;
    ReadTypedText(Variant(u"=SUM(A1"), TTextForm::Local, FGerman, bad);
    EXPECT_THROW(EnterVariant(ahead->Sheet(0), 21, 1, Variant(u"=SUM(A1"), bad, TTextForm::Local, FGerman),
                 ESpreadsheetError);
}

TEST_F(TypedCells, ReadingGivesBackWhatTypingTheTextAgainWouldStore) {
    for (double v : {0.1, -2.5, 1e-7, 123456789012345.0, 1.0 / 3.0, 1e20}) {
        Sheet().SetNumber(14, 1, v);
        std::string text = Read(14, 1);
        Type(14, 2, text);
        EXPECT_EQ(Sheet().Content(14, 2).Kind, TCellKind::Number) << text;
        EXPECT_NEAR(Sheet().Content(14, 2).Value.Number, v, std::abs(v) * 1e-14) << text;
    }
    // A time of day in a time format reads as a time, a date with a time as both.
    uint32_t time = FBook->Styles().WithNumberFormat(0, "h:mm");
    Sheet().SetStyle(14, 3, time);
    Sheet().SetNumber(14, 3, 0.75);
    EXPECT_EQ(Read(14, 3), "18:00:00");
    Sheet().SetError(14, 4, "#DIV/0!");
    EXPECT_EQ(Read(14, 4), "#DIV/0!");
    EXPECT_EQ(Read(99, 9), "");
}

}  // namespace
}  // namespace tabrix::xl
