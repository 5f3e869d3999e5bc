#include "template/field_parser.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tabrix {
namespace {

struct Parsed {
    std::vector<std::string> texts;  // pieces, GetText(0..GetCount)
    std::vector<std::string> fields;
    std::vector<TTabrixFieldFunc> funcs;
};

Parsed Parse(const std::u16string& text, char sign = '#') {
    TTabrixFieldParser parser(sign);
    parser.SetFieldString(text);
    Parsed p;
    for (int i = 0; i <= parser.GetCount(); ++i) p.texts.push_back(UnicodeToUtf8(parser.GetText(i)));
    for (int i = 0; i < parser.GetCount(); ++i) {
        p.fields.push_back(parser.GetField(i));
        p.funcs.push_back(parser.GetFunc(i));
    }
    return p;
}

Parsed Parse(const std::string& utf8, char sign = '#') { return Parse(Utf8ToUnicode(utf8), sign); }

std::string ErrorOf(const std::string& utf8) {
    return tabrix::testing::RaisedMessage<ETabrixFieldParserError>([&] { Parse(utf8); });
}

std::string Result(const std::string& utf8) {
    TTabrixFieldParser parser('#');
    parser.SetFieldString(Utf8ToUnicode(utf8));
    return UnicodeToUtf8(parser.GetResultString());
}

using Texts = std::vector<std::string>;

TEST(FieldParser, SplitsLiteralsAndPlainFields) {
    Parsed p = Parse("Total: #Qty pcs");
    EXPECT_EQ(p.texts, (Texts{"Total: ", " pcs"}));
    EXPECT_EQ(p.fields, (Texts{"Qty"}));
    EXPECT_EQ(p.funcs[0], TTabrixFieldFunc::ffNone);

    p = Parse("=ROUND(#Price,2)");
    EXPECT_EQ(p.texts, (Texts{"=ROUND(", ",2)"}));
    EXPECT_EQ(p.fields, (Texts{"Price"}));

    p = Parse("(#Qty)");
    EXPECT_EQ(p.texts, (Texts{"(", ")"}));
    EXPECT_EQ(p.fields, (Texts{"Qty"}));

    p = Parse("#Orders.Qty_2*#Main.Orders.Qty");
    EXPECT_EQ(p.fields, (Texts{"Orders.Qty_2", "Main.Orders.Qty"}));
    EXPECT_EQ(p.texts, (Texts{"", "*", ""}));

    p = Parse("plain text, no sign");
    EXPECT_EQ(p.texts, (Texts{"plain text, no sign"}));
    EXPECT_TRUE(p.fields.empty());
}

TEST(FieldParser, FunctionWrappers) {
    for (const char* text : {"#SUM(Qty)", "#sum(Qty)", "#Sum(Qty)"}) {
        Parsed p = Parse(text);
        EXPECT_EQ(p.texts, (Texts{"", ""})) << text;
        EXPECT_EQ(p.fields, (Texts{"Qty"})) << text;
        EXPECT_EQ(p.funcs, (std::vector<TTabrixFieldFunc>{TTabrixFieldFunc::ffSum})) << text;
    }
    Parsed p = Parse("#AVG(a) #MAX(b) #MIN(c) #COUNT(Orders.ID)");
    EXPECT_EQ(p.funcs, (std::vector<TTabrixFieldFunc>{TTabrixFieldFunc::ffAvg, TTabrixFieldFunc::ffMax,
                                                      TTabrixFieldFunc::ffMin, TTabrixFieldFunc::ffCnt}));
    EXPECT_EQ(p.fields, (Texts{"a", "b", "c", "Orders.ID"}));

    p = Parse("#SUM()");
    EXPECT_EQ(p.fields, (Texts{""}));
    EXPECT_EQ(p.funcs[0], TTabrixFieldFunc::ffSum);

    p = Parse("#SUM(MAX(x))");
    EXPECT_EQ(p.fields, (Texts{"MAX(x)"}));
    EXPECT_EQ(p.funcs[0], TTabrixFieldFunc::ffSum);

    // A ")" with no "(" open before it ends the name.
    p = Parse("=ROUND(#SUM(Qty)),2)");
    EXPECT_EQ(p.fields, (Texts{"Qty"}));
    EXPECT_EQ(p.texts, (Texts{"=ROUND(", "),2)"}));

    p = Parse("#'AVG(Unit Price)'");
    EXPECT_EQ(p.fields, (Texts{"Unit Price"}));
    EXPECT_EQ(p.funcs[0], TTabrixFieldFunc::ffAvg);
}

TEST(FieldParser, QuotedNames) {
    Parsed p = Parse("#'Order Date' and #\"x y\"");
    EXPECT_EQ(p.fields, (Texts{"Order Date", "x y"}));
    EXPECT_EQ(p.texts, (Texts{"", " and ", ""}));

    // Inside quotes anything but the same quote is part of the name.
    p = Parse("#'a \"#b\" c'!");
    EXPECT_EQ(p.fields, (Texts{"a \"#b\" c"}));
    EXPECT_EQ(p.texts, (Texts{"", "!"}));

    p = Parse("#\"it's\"");
    EXPECT_EQ(p.fields, (Texts{"it's"}));
}

TEST(FieldParser, SignEscapes) {
    Parsed p = Parse("50## off");
    EXPECT_TRUE(p.fields.empty());
    EXPECT_EQ(Result("50## off"), "50# off");

    p = Parse("###Qty");
    EXPECT_EQ(p.texts, (Texts{"#", ""}));
    EXPECT_EQ(p.fields, (Texts{"Qty"}));

    p = Parse("####Qty");
    EXPECT_TRUE(p.fields.empty());
    EXPECT_EQ(Result("####Qty"), "##Qty");

    p = Parse("a##b#c##d#e");
    EXPECT_EQ(p.texts, (Texts{"a#b", "#d", ""}));
    EXPECT_EQ(p.fields, (Texts{"c", "e"}));
}

TEST(FieldParser, SignAtTheEndIsDropped) {
    Parsed p = Parse("Price#");
    EXPECT_TRUE(p.fields.empty());
    EXPECT_EQ(Result("Price#"), "Price");
    EXPECT_EQ(Result("Price#'"), "Price");
    EXPECT_EQ(Result("Price#\""), "Price");
    EXPECT_EQ(Result("#"), "");
}

TEST(FieldParser, FormulaMarker) {
    TTabrixFieldParser parser('#');
    parser.SetFieldString(u"#=#Price*2");
    ASSERT_EQ(parser.GetCount(), 1);
    EXPECT_EQ(parser.GetField(0), "Price");
    EXPECT_EQ(parser.GetText(0), u"=");
    EXPECT_EQ(parser.GetText(1), u"*2");
    EXPECT_EQ(parser.GetFieldString(), u"#=#Price*2");
    parser.SetValue(0, "12,5");
    EXPECT_EQ(parser.GetResultString(), u"=12,5*2");

    EXPECT_EQ(Result("#=A1+1"), "=A1+1");
    EXPECT_EQ(Result("#="), "=");
    // Only at the very start, and only with two or more characters.
    EXPECT_EQ(Parse(" #=x").fields, (Texts{""}));
}

TEST(FieldParser, EmptyNames) {
    Parsed p = Parse("#1st");
    EXPECT_EQ(p.texts, (Texts{"", "1st"}));
    EXPECT_EQ(p.fields, (Texts{""}));
    EXPECT_EQ(p.funcs[0], TTabrixFieldFunc::ffNone);

    p = Parse("a # b");
    EXPECT_EQ(p.texts, (Texts{"a ", " b"}));
    EXPECT_EQ(p.fields, (Texts{""}));

    p = Parse("#)x");
    EXPECT_EQ(p.texts, (Texts{"", ")x"}));
    EXPECT_EQ(p.fields, (Texts{""}));
}

TEST(FieldParser, ErrorMessagesCarryTheirArguments) {
    EXPECT_EQ(ErrorOf("#SUM(Qty"), "The last symbol of the field \"SUM(Qty\" must be a bracket \")\". ");
    EXPECT_EQ(ErrorOf("#SUM( Qty)"), "The last symbol of the field \"SUM(\" must be a bracket \")\". ");
    EXPECT_EQ(ErrorOf("#SUMM(Qty)"), "Unknown function name: SUMM(Qty). ");
    EXPECT_EQ(ErrorOf("#(Qty)"), "Unknown function name: (Qty). ");
    EXPECT_EQ(ErrorOf("#'Price (net)'"), "Unknown function name: Price (net). ");
    EXPECT_EQ(ErrorOf("x #'Qty"),
              "Cell value (x #'Qty) contains field sign (#), but field name cannot be determined. ");
    EXPECT_EQ(ErrorOf("#''"), "Cell value (#'') contains field sign (#), but field name cannot be determined. ");
    EXPECT_EQ(ErrorOf("#\"\"y"), "Cell value (#\"\"y) contains field sign (#), but field name cannot be determined. ");
}

TEST(FieldParser, OtherSigns) {
    Parsed p = Parse("@@ @Qty and #x", '@');
    EXPECT_EQ(p.texts, (Texts{"@ ", " and #x"}));
    EXPECT_EQ(p.fields, (Texts{"Qty"}));

    TTabrixFieldParser parser('&');
    try {
        parser.SetFieldString(u"&'open");
        FAIL();
    } catch (const ETabrixFieldParserError& e) {
        EXPECT_EQ(e.Message(), "Cell value (&'open) contains field sign (&), but field name cannot be determined. ");
    }
    // A sign above ASCII matches the code unit of the same value.
    p = Parse(u"\u00A7Qty \u00A7\u00A7", '\xA7');
    EXPECT_EQ(p.fields, (Texts{"Qty"}));
    EXPECT_EQ(p.texts, (Texts{"", " \u00A7"}));
}

TEST(FieldParser, NonAsciiCharactersAreClassedByTheirLowBits) {
    // Ł (U+0141) has the low bits of "A": it continues the name.
    Parsed p = Parse("#Łx");
    EXPECT_EQ(p.fields, (Texts{"Łx"}));
    // Ö (U+00D6) is no name character: an empty name, then the text.
    p = Parse("#Öx");
    EXPECT_EQ(p.fields, (Texts{""}));
    EXPECT_EQ(p.texts, (Texts{"", "Öx"}));
    // Ģ (U+0122) has the low bits of a double quote, so it quotes a name.
    p = Parse("#Ģa bĢ!");
    EXPECT_EQ(p.fields, (Texts{"a b"}));
    EXPECT_EQ(p.texts, (Texts{"", "!"}));
    // Ĩ (U+0128) is classed as a bracket but opens no depth.
    p = Parse("#aĨb)c");
    EXPECT_EQ(p.fields, (Texts{"aĨb"}));
    EXPECT_EQ(p.texts, (Texts{"", ")c"}));
    // Literal pieces keep any text, and so do quoted names.
    p = Parse("Größe: #'Größe' €");
    EXPECT_EQ(p.fields, (Texts{"Größe"}));
    EXPECT_EQ(p.texts, (Texts{"Größe: ", " €"}));
}

TEST(FieldParser, ResultJoinsPiecesAndValues) {
    TTabrixFieldParser parser('#');
    parser.SetFieldString(u"Total: #Qty pcs of #'Name' ##1");
    ASSERT_EQ(parser.GetCount(), 2);
    EXPECT_EQ(parser.GetValue(0), "");
    EXPECT_EQ(parser.GetResultString(), u"Total:  pcs of  #1");
    parser.SetValue(0, "12");
    parser.SetValue(1, "Müller");
    EXPECT_EQ(parser.GetResultString(), u"Total: 12 pcs of Müller #1");
    // A new parse starts empty.
    parser.SetFieldString(u"#A");
    EXPECT_EQ(parser.GetValue(0), "");
}

// What the cell parser builds on: values come from the virtual GetValue,
// and the holder given at construction is kept for the subclass.
class UpperFieldParser : public TTabrixFieldParser {
public:
    explicit UpperFieldParser(int* holder) : TTabrixFieldParser(holder, '#') {}
    AnsiString GetValue(int Index) override { return "<" + UpperCase(GetField(Index)) + ">"; }
    int* HeldValue() const { return static_cast<int*>(Holder()); }
};

TEST(FieldParser, ResultAsksTheOverriddenValue) {
    int held = 42;
    UpperFieldParser parser(&held);
    parser.SetFieldString(u"#=#a*#'b c'+1");
    EXPECT_EQ(parser.GetResultString(), u"=<A>*<B C>+1");
    EXPECT_EQ(*parser.HeldValue(), 42);
}

TEST(FieldParser, AssignCopiesTheParse) {
    TTabrixFieldParser source('@');
    source.SetFieldString(u"x @SUM(Qty) y");
    source.SetValue(0, "5");
    TTabrixFieldParser copy('#');
    copy.Assign(source);
    EXPECT_EQ(copy.GetSign(), '@');
    EXPECT_EQ(copy.GetFieldString(), u"x @SUM(Qty) y");
    EXPECT_EQ(copy.GetField(0), "Qty");
    EXPECT_EQ(copy.GetFunc(0), TTabrixFieldFunc::ffSum);
    EXPECT_EQ(copy.GetResultString(), u"x 5 y");
    copy.SetFunc(0, TTabrixFieldFunc::ffNone);
    EXPECT_EQ(source.GetFunc(0), TTabrixFieldFunc::ffSum);
}

TEST(FieldParser, IndexOutOfRangeIsAListError) {
    TTabrixFieldParser parser('#');
    parser.SetFieldString(u"#a");
    EXPECT_THROW(parser.GetField(1), EListError);
    EXPECT_THROW(parser.GetFunc(-1), EListError);
    EXPECT_THROW(parser.SetValue(1, "x"), EListError);
    EXPECT_THROW(parser.GetText(2), EListError);
    EXPECT_NO_THROW(parser.GetText(1));
}

TEST(FieldParser, ClassNameOfTheError) {
    try {
        Parse("#X(");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_STREQ(e.ClassName(), "ETabrixFieldParserError");
    }
}

}  // namespace
}  // namespace tabrix
