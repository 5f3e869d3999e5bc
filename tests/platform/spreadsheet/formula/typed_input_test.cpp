#include <gtest/gtest.h>

#include "platform/rtl/datetime.h"
#include "platform/spreadsheet/formula/typed_input.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

using Kind = TTypedInput::Kind;

TTypedInput De(std::string_view s) { return ParseTypedInput(s, tabrix::testing::GermanSettings()); }
TTypedInput Us(std::string_view s) { return ParseTypedInput(s, tabrix::testing::UsSettings()); }

void ExpectNumber(const TTypedInput& in, double value, std::string_view format) {
    EXPECT_EQ(in.kind, Kind::Number) << in.text;
    EXPECT_DOUBLE_EQ(in.number, value);
    EXPECT_EQ(in.numberFormat, format);
}

TEST(TypedInput, NumbersInTheLocalesForm) {
    ExpectNumber(De("12,5"), 12.5, "");
    ExpectNumber(De(" -3 "), -3, "");
    ExpectNumber(De("1.234.567,5"), 1234567.5, "#,##0.00");
    ExpectNumber(De("1.234"), 1234, "#,##0");
    ExpectNumber(Us("1,234"), 1234, "#,##0");
    ExpectNumber(Us(".5"), 0.5, "");
    ExpectNumber(Us("+1.5E+3"), 1500, "0.00E+00");
    ExpectNumber(Us("(42)"), -42, "");
    ExpectNumber(De("12,5 %"), 0.125, "0.0%");
    ExpectNumber(Us("7%"), 0.07, "0%");
    ExpectNumber(Us("-2.25%"), -0.0225, "0.00%");
}

TEST(TypedInput, WhatLooksAlmostLikeANumberStaysText) {
    for (std::string_view s : {"12.5.", "1,23", "1,2345", "12a", "1e", "--1", "+", "(5", "1 2", "5%%", "1,,000"}) {
        const TTypedInput in = Us(s);
        EXPECT_EQ(in.kind, Kind::Text) << s;
        EXPECT_EQ(in.text, s);
    }
    // A US decimal point is no German number.
    EXPECT_EQ(De("3.14159").kind, Kind::Text);
}

TEST(TypedInput, DatesAndTimes) {
    ExpectNumber(De("24.12.2026"), EncodeDate(2026, 12, 24), "dd.mm.yyyy");
    ExpectNumber(Us("12/24/2026"), EncodeDate(2026, 12, 24), "mm/dd/yyyy");
    ExpectNumber(De("1.3.26"), EncodeDate(2026, 3, 1), "dd.mm.yyyy");
    ExpectNumber(De("1.3.95"), EncodeDate(1995, 3, 1), "dd.mm.yyyy");
    ExpectNumber(De("2026-03-01"), EncodeDate(2026, 3, 1), "dd.mm.yyyy");
    ExpectNumber(De("13:45"), (13 * 60 + 45) / 1440.0, "h:mm");
    ExpectNumber(Us("1:05:30 PM"), (13 * 3600 + 5 * 60 + 30) / 86400.0, "h:mm:ss AM/PM");
    ExpectNumber(De("25:30"), 25.5 / 24, "[h]:mm:ss");
    ExpectNumber(De("24.12.2026 18:30"), EncodeDate(2026, 12, 24) + 18.5 / 24, "dd.mm.yyyy h:mm");
    int year = 0, m = 0, d = 0;
    DecodeDate(Date(), year, m, d);
    // A German "1.5" is the first of May of this year, not one and a half.
    ExpectNumber(De("1.5."), EncodeDate(year, 5, 1), "d-mmm");
    ExpectNumber(De("1.5"), EncodeDate(year, 5, 1), "d-mmm");
    ExpectNumber(Us("5/2024"), EncodeDate(2024, 5, 1), "mmm-yy");
    // The spreadsheet's calendar counts a 29 February 1900.
    ExpectNumber(Us("01/01/1900"), 1, "mm/dd/yyyy");
    ExpectNumber(Us("03/01/1900"), 61, "mm/dd/yyyy");
}

TEST(TypedInput, ImpossibleDatesAndTimesStayText) {
    for (std::string_view s :
         {"31.02.2026", "24.12.1850", "24.12.2026 25:00", "12:60", "13:00 PM", "1.2.3.4", "24-12.2026", "24.12.2026x"})
        EXPECT_EQ(De(s).kind, Kind::Text) << s;
}

TEST(TypedInput, FormulasBooleansTextAndEmpty) {
    TTypedInput in = De("=SUMME(A1)");
    EXPECT_EQ(in.kind, Kind::Formula);
    EXPECT_EQ(in.text, "SUMME(A1)");
    in = De("'=1+2");
    EXPECT_EQ(in.kind, Kind::Text);
    EXPECT_EQ(in.text, "=1+2");
    in = De("'0042");
    EXPECT_EQ(in.kind, Kind::Text);
    EXPECT_EQ(in.text, "0042");
    in = De("true");
    EXPECT_EQ(in.kind, Kind::Boolean);
    EXPECT_TRUE(in.boolean);
    EXPECT_FALSE(De(" FALSE ").boolean);
    EXPECT_EQ(De("").kind, Kind::Empty);
    in = De("  Müller, Hans ");
    EXPECT_EQ(in.kind, Kind::Text);
    EXPECT_EQ(in.text, "  Müller, Hans ");
}

TEST(TypedInput, ReusedResultForgetsThePreviousValue) {
    TTypedInput in;
    ParseTypedInput("12,5 %", tabrix::testing::GermanSettings(), in);
    ParseTypedInput("7", tabrix::testing::GermanSettings(), in);
    EXPECT_EQ(in.kind, Kind::Number);
    EXPECT_EQ(in.numberFormat, "");
    ParseTypedInput("abc", tabrix::testing::GermanSettings(), in);
    EXPECT_EQ(in.number, 0);
    EXPECT_EQ(in.text, "abc");
}

}  // namespace
}  // namespace tabrix::xl
