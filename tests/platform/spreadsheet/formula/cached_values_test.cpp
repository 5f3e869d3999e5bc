// Values a reader that does not calculate shows: each case is a value that
// once came out wrong, in the C and the German locale.

#include <gtest/gtest.h>

#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/formula/number_format.h"
#include "tests/platform/spreadsheet/formula/test_context.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

using V = TScalar;

struct TCase {
    const char* Formula;  // English form
    const char* Want;     // the value as text: "n:..", "s:..", "b:..", "e:..", "-" = no value
};

class CachedValues : public ::testing::Test {
protected:
    void SetUp() override {
        // A1:A40 = 1.5, 3, ..., A35 = 12.93; B1:B40 = 1..40; C1:C3 texts with accents
        for (int r = 1; r <= 40; ++r) {
            Ctx.Set(r, 1, V::Number(r * 1.5));
            Ctx.Set(r, 2, V::Number(r));
        }
        Ctx.Set(35, 1, V::Number(12.93));
        Ctx.Set(1, 3, V::Text("Äpfel"));
        Ctx.Set(2, 3, V::Text("c"));
        Ctx.Set(3, 3, V::Text("Zitrone"));
    }
    std::string Shown(const char* formula) {
        TParseOptions o;
        o.AllowUnknownFunctions = true;
        const V v = EvaluateFormula(ParseFormula(formula, TFormulaDialect::English(), o), Ctx, 1, 10);
        if (v.IsNotEvaluated()) return "-";
        switch (v.kind) {
            case V::Kind::Number: {
                char buf[40];
                std::snprintf(buf, sizeof buf, "n:%.15g", v.number);
                return buf;
            }
            case V::Kind::Text:
                return "s:" + v.text;
            case V::Kind::Boolean:
                return v.boolean ? "b:TRUE" : "b:FALSE";
            case V::Kind::Error:
                return "e:" + v.text;
            default:
                return "empty";
        }
    }
    void Check(const std::vector<TCase>& cases) {
        for (const TCase& c : cases) EXPECT_EQ(Shown(c.Formula), c.Want) << "=" << c.Formula;
    }
    test::TMapContext Ctx;
};

TEST_F(CachedValues, GermanNumbersInTextReadBackAsNumbers) {
    TFormatSettingsScope de(tabrix::testing::GermanSettings());
    // A1:A40 above 12.93: 1.5 * 9..40 except A35 itself, which is 12.93
    double want = 0;
    for (int r = 1; r <= 40; ++r) {
        const double a = r == 35 ? 12.93 : r * 1.5;
        if (a > 12.93) want += r;
    }
    char sum[40];
    std::snprintf(sum, sizeof sum, "n:%.15g", want);
    Check({
        {"SUMIF(A1:A40,\">\"&A35,B1:B40)", sum},
        {"VALUE(A35&\"\")", "n:12.93"},
        {"A35&\"\"", "s:12,93"},
        {"CONCATENATE(\"x\",A35)", "s:x12,93"},
        {"LEFT(A35,4)", "s:12,9"},
        {"TEXT(A35,\"0,00\")", "s:12,93"},
        {"TEXT(1234.5,\"#.##0\")", "s:1.235"},
        {"COUNTIF(A1:A40,\"<=\"&A35)", "n:9"},
    });
}

TEST_F(CachedValues, TextRoundsHalvesAwayFromZeroAndGroups) {
    TFormatSettingsScope c(TFormatSettings::FromLocale("C"));
    Check({
        {"TEXT(32.5,\"0\")", "s:33"},
        {"TEXT(0.125,\"0.00\")", "s:0.13"},
        {"TEXT(-2.5,\"0\")", "s:-3"},
        {"TEXT(2.675,\"0.00\")", "s:2.68"},  // its binary value lies just below
        {"TEXT(1234.5,\"#,##0\")", "s:1,235"},
        {"TEXT(999.995,\"#,##0.00\")", "s:1,000.00"},
        {"TEXT(1234567,\"#,\")", "s:1235"},
        {"TEXT(0.5,\"#.#\")", "s:.5"},
        {"TEXT(3,\"0.0#\")", "s:3.0"},
    });
}

TEST_F(CachedValues, TextWithNamesFractionsExponentsAndSections) {
    TFormatSettingsScope us(tabrix::testing::UsSettings());
    Check({
        {"TEXT(DATE(2026,3,7),\"dddd\")", "s:Saturday"},
        {"TEXT(DATE(2026,3,7),\"ddd dd mmm yyyy\")", "s:Sat 07 Mar 2026"},
        {"TEXT(DATE(2026,9,1),\"mmmm mmmmm\")", "s:September S"},
        {"TEXT(1.25,\"# ?/?\")", "s:1 1/4"},
        {"TEXT(0.3333,\"?/??\")", "s:1/3 "},
        {"TEXT(2.5,\"# ?/8\")", "s:2 4/8"},
        {"TEXT(12345.678,\"0.000E+00\")", "s:1.235E+04"},
        {"TEXT(0.00012,\"0.0E+0\")", "s:1.2E-4"},
        {"TEXT(-3.14,\"0.0;(0.0)\")", "s:(3.1)"},
        {"TEXT(0,\"0.0;(0.0);\"\"zero\"\"\")", "s:zero"},
        {"TEXT(5,\"[Red]0.0\")", "s:5.0"},
        // Left to the spreadsheet: conditions, locale codes, fills, AM/PM, whole fractions.
        {"TEXT(5,\"[>3]0;0\")", "-"},
        {"TEXT(5,\"[$-409]0\")", "-"},
        {"TEXT(5,\"*-0\")", "-"},
        {"TEXT(0.5,\"h AM/PM\")", "-"},
        {"TEXT(2,\"# ?/?\")", "-"},
        // Numerators beyond a long and denominators the search cannot afford.
        {"TEXT(1E+63,\"?/?\")", "-"},
        {"TEXT(0.5,\"?/??????????\")", "-"},
        {"TEXT(0.5,\"?/1000000000000000000000\")", "-"},
    });
    TFormatSettingsScope de(tabrix::testing::GermanSettings());
    Check({
        {"TEXT(DATE(2026,3,7),\"TTTT, T. MMMM JJJJ\")", "s:Samstag, 7. März 2026"},
        {"TEXT(DATE(2026,12,24),\"ttt mmm\")", "s:Do Dez"},
        {"TEXT(DATE(2026,12,24),\"TT.MM.JJ hh:mm\")", "s:24.12.26 00:00"},
        // German codes write days and years with T and J: the English letters are none.
        {"TEXT(DATE(2026,12,24),\"dd.mm.yyyy\")", "-"},
        {"TEXT(1234.5678,\"0,000E+00\")", "s:1,235E+03"},
    });
}

TEST_F(CachedValues, TextsCompareByCollation) {
    Check({
        {"C1<C2", "b:TRUE"},  // "Äpfel" < "c": letters before bytes
        {"C3>C2", "b:TRUE"},
        {"\"a\"<\"ä\"", "b:TRUE"},  // the accent counts after the letters
        {"\"ä\"<\"b\"", "b:TRUE"},
        {"\"Äpfel\"=\"äpfel\"", "b:TRUE"},  // case never counts
        {"\"Apfel\"=\"Äpfel\"", "b:FALSE"},
        {"\"straße\"<\"strasse1\"", "b:TRUE"},
        {"\"9\"<\"a\"", "b:TRUE"},
        {"COUNTIF(C1:C3,\"<d\")", "n:2"},
        {"SUMPRODUCT((C1:C3>\"b\")*1)", "n:2"},
    });
}

TEST_F(CachedValues, WildcardsStandForCharactersAndEmptyCellsForZero) {
    Check({
        {"COUNTIF(C1:C3,\"?pfel\")", "n:1"},  // '?' is the whole "Ä", not one of its bytes
        {"COUNTIF(C1:C3,\"??pfel\")", "n:0"},
        {"COUNTIF(C1:C3,\"?itr?ne\")", "n:1"},
        {"SEARCH(\"?p\",C1)", "n:1"},
        {"VALUE(Z1)", "n:0"},
        {"VALUE(\"\")", "e:#VALUE!"},
    });
}

TEST_F(CachedValues, ResiduesOfAdditionAreDropped) {
    Check({
        {"0.1+0.2-0.3", "n:0"},
        {"1.1-1-0.1", "n:0"},
        {"A35-12.93", "n:0"},
        {"0.3-0.1-0.2", "n:0"},
        {"1E-20+1-1", "n:0"},
        {"1E-20-0", "n:1e-20"},  // tiny in itself is kept
        {"1-0.9999999999", "n:1.00000008274037e-10"},
    });
}

TEST_F(CachedValues, DateDifferencesAndErrorTypes) {
    Check({
        {"DATEDIF(DATE(2020,2,29),DATE(2026,2,28),\"Y\")", "n:5"},
        {"DATEDIF(DATE(2020,1,31),DATE(2020,3,1),\"M\")", "n:1"},
        {"DATEDIF(DATE(2020,1,15),DATE(2021,3,14),\"YM\")", "n:1"},
        {"DATEDIF(DATE(2020,1,1),DATE(2020,12,31),\"d\")", "n:365"},
        {"DATEDIF(DATE(2021,1,1),DATE(2020,1,1),\"Y\")", "e:#NUM!"},
        {"DATEDIF(DATE(2020,1,1),DATE(2021,1,1),\"X\")", "e:#NUM!"},
        {"DATEDIF(DATE(2020,1,10),DATE(2021,3,25),\"MD\")", "n:15"},
        {"DATEDIF(DATE(2020,1,25),DATE(2021,3,10),\"MD\")", "n:13"},  // 25 Feb to 10 Mar 2021
        {"DATEDIF(DATE(2021,1,31),DATE(2021,3,1),\"MD\")", "-"},      // no 31 February: odd results
        {"DATEDIF(DATE(2019,5,10),DATE(2021,7,20),\"YD\")", "n:71"},
        {"DATEDIF(DATE(2019,11,10),DATE(2021,1,20),\"YD\")", "n:71"},  // from 10 Nov 2020
        {"DATEDIF(DATE(2019,1,10),DATE(2020,7,20),\"YD\")", "-"},      // past 29 February 2020
        {"DATEDIF(DATE(2020,2,29),DATE(2021,7,20),\"YD\")", "-"},
        {"ERROR.TYPE(1/0)", "n:2"},
        {"ERROR.TYPE(#N/A)", "n:7"},
        {"ERROR.TYPE(NA())+ERROR.TYPE(#NULL!)", "n:8"},
        {"ERROR.TYPE(1)", "e:#N/A"},
        {"IFERROR(ERROR.TYPE(\"x\"),-1)", "n:-1"},
    });
}

}  // namespace
}  // namespace tabrix::xl
