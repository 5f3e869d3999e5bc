// Data values never become formulas and lose nothing: cell texts built from
// data set values are written through the automation face as typed input,
// saved, and read back with openpyxl as an independent reader.

#include <gtest/gtest.h>
#include <stdio.h>

#include <map>
#include <random>

#include "platform/rtl/convert.h"
#include "platform/rtl/files.h"
#include "platform/rtl/locale.h"
#include "platform/spreadsheet/worksheet.h"
#include "template/data_text.h"
#include "tests/report/templ_fixture.h"
#include "tests/support/shell.h"

namespace tabrix::testing {
namespace {

// openpyxl's reading of one cell: data type and repr of the value.
struct TRead {
    std::string Kind, Value;
    bool operator==(const TRead&) const = default;
};
std::ostream& operator<<(std::ostream& os, const TRead& r) { return os << r.Kind << " " << r.Value; }

class DataText : public TTemplFixture {
protected:
    // Writes every output of the band, one per record, into a new report
    // workbook as the row buffer does (the marked text as typed input) and
    // reads it back with openpyxl: address -> what it read.
    std::map<std::string, TRead> WriteAndRead(TTabrixBand* band, TDataSet* records) {
        TExcelWorkbook report = App.Workbooks().Add();
        TExcelWorksheet sheet = report.Worksheets().Item(1);
        int row = 1;
        for (records->First(); !records->Eof(); records->Next(), ++row) {
            for (int c = band->GetRangeLeft(); c <= band->GetRangeRight(); ++c) {
                const UnicodeString text = Parser->GetValue(band, nullptr, band->GetRangeTop(), c, row);
                Texts.push_back(text);
                sheet.Cells(row, c - band->GetRangeLeft() + 1).SetFormulaLocal(Variant(text));
            }
        }
        const std::string file = Folder + "report.xlsx";
        report.SaveAs(file);
        const std::string out = ReadCellsWithOpenpyxl(file);
        std::map<std::string, TRead> cells;
        size_t at = 0;
        while (at < out.size()) {
            size_t end = out.find('\n', at);
            std::string line = out.substr(at, end - at);
            at = end == std::string::npos ? out.size() : end + 1;
            size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1);
            if (t1 == std::string::npos || t2 == std::string::npos) {
                ADD_FAILURE() << "openpyxl: " << line;
                continue;
            }
            cells[line.substr(0, t1)] = {line.substr(t1 + 1, t2 - t1 - 1), line.substr(t2 + 1)};
        }
        return cells;
    }
    std::vector<UnicodeString> Texts;
};

// Python's repr of a str, for the texts of these tests (no backslashes).
std::string Repr(const std::string& s) {
    if (s.find('\'') != std::string::npos && s.find('"') == std::string::npos) return "\"" + s + "\"";
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("\\'") : std::string(1, c);
    return out + "'";
}

TEST_F(DataText, TextValuesThatTypedInputWouldMisreadArriveAsTheExactText) {
    const std::vector<std::string> misread = {"=HYPERLINK(\"http://x\",\"y\")",
                                              "=1+1",
                                              "@SUM(A1)",
                                              "+abc",
                                              "-abc",
                                              "'quoted",
                                              "00123",
                                              "4111111111111111111",
                                              "TRUE",
                                              "1/2/2024",
                                              "50%",
                                              " 12",
                                              "1E5",
                                              "(5)"};
    std::string csv = "Name\n";
    for (const auto& v : misread) {
        std::string quoted = "\"";
        for (char c : v) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        csv += quoted + "\"\n";
    }
    csv += "123\n-5\n12.5\nplain\n";
    TMemTable* names = Table("Names", csv);
    Report->SetDataSet(names);
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:A1");
    Cell("A1", u"#Name");
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, names);
    for (size_t i = 0; i < misread.size(); ++i) {
        const std::string address = "A" + std::to_string(i + 1);
        EXPECT_EQ(cells[address], (TRead{"s", Repr(misread[i])})) << misread[i];
        EXPECT_TRUE(TabrixIsMarkedText(Texts[i])) << misread[i];
        EXPECT_EQ(UnicodeToUtf8(TabrixUnmarkText(Texts[i])), misread[i]) << "what OnSetCellValue sees";
    }
    const size_t n = misread.size();
    EXPECT_EQ(cells["A" + std::to_string(n + 1)], (TRead{"n", "123"})) << "text that reads back the same";
    EXPECT_EQ(cells["A" + std::to_string(n + 2)], (TRead{"n", "-5"}));
    EXPECT_EQ(cells["A" + std::to_string(n + 3)], (TRead{"n", "12.5"}));
    EXPECT_EQ(cells["A" + std::to_string(n + 4)], (TRead{"s", "'plain'"}));
    EXPECT_FALSE(TabrixIsMarkedText(Texts[n])) << "a number is not marked";
}

TEST_F(DataText, NumericFieldsStayNumbersAndLongIntegersStayWhole) {
    TMemTable* t = Table("T", "Qty,Price,Big,Day\n-5,-1.25,4111111111111111111,2024-01-05\n");
    Report->SetDataSet(t);
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:D1");
    Cells({{"A1", u"#Qty"}, {"B1", u"#Price"}, {"C1", u"#Big"}, {"D1", u"#Day"}});
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, t);
    EXPECT_EQ(cells["A1"], (TRead{"n", "-5"}));
    EXPECT_EQ(cells["B1"], (TRead{"n", "-1.25"}));
    EXPECT_EQ(cells["C1"], (TRead{"s", "'4111111111111111111'"})) << "19 digits do not survive as a number";
    EXPECT_EQ(cells["D1"], (TRead{"d", "datetime.datetime(2024, 1, 5, 0, 0)"}));
}

TEST_F(DataText, InGermanTextThatReadsBackTheSameIsStillANumber) {
    TFormatSettings german = TFormatSettings::FromLocale("de_DE.UTF-8");
    german.DecimalSeparator = ',';
    german.ThousandSeparator = '.';
    german.ListSeparator = ';';
    TFormatSettingsScope scope(german);
    TMemTable* t = Table("T", "Name\n\"12,5\"\n1.234\n=1+1\nx\n");
    Report->SetDataSet(t);
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:A1");
    Cell("A1", u"#Name");
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, t);
    EXPECT_EQ(cells["A1"], (TRead{"n", "12.5"}));
    EXPECT_EQ(cells["A2"], (TRead{"s", "'1.234'"})) << "a thousands separator does not read back";
    EXPECT_EQ(cells["A3"], (TRead{"s", "'=1+1'"}));
}

TEST_F(DataText, ADataValueInAFormulaIsANumberOrAStringConstant) {
    TMemTable* t = Table("T", "Price,Name\n-5,\"1)+EVIL(\"\n2.5,\"a\"\"b\"\n,\n");
    Report->SetDataSet(t);
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:C1");
    Cells({{"A1", u"#=#Price*2"}, {"B1", u"#=LEN(#Name)"}, {"C1", u"=\"Dear #Name\""}});
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, t);
    EXPECT_EQ(cells["A1"], (TRead{"f", "'=-5*2'"}));
    EXPECT_EQ(cells["B1"], (TRead{"f", "'=LEN(\"1)+EVIL(\")'"}));
    EXPECT_EQ(cells["C1"], (TRead{"f", "'=\"Dear 1)+EVIL(\"'"}));
    EXPECT_EQ(cells["A2"], (TRead{"f", "'=2.5*2'"}));
    EXPECT_EQ(cells["B2"], (TRead{"f", "'=LEN(\"a\"\"b\")'"}));
    EXPECT_EQ(cells["C2"], (TRead{"f", "'=\"Dear a\"\"b\"'"}));
    EXPECT_EQ(cells["A3"], (TRead{"f", "'=\"\"*2'"})) << "an empty number keeps the formula whole";
    EXPECT_EQ(cells["B3"], (TRead{"f", "'=LEN(\"\")'"}));
}

TEST_F(DataText, ACellBuiltFromSeveralDataValuesIsMarkedAsAWhole) {
    TMemTable* t = Table("T", "A,B\n=,1+1\nx,=1\n");
    Report->SetDataSet(t);
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:B1");
    Cells({{"A1", u"#A#B"}, {"B1", u"Name: #B"}});
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, t);
    EXPECT_EQ(cells["A1"], (TRead{"s", "'=1+1'"}));
    EXPECT_EQ(cells["B1"], (TRead{"s", "'Name: 1+1'"}));
    EXPECT_EQ(cells["A2"], (TRead{"s", "'x=1'"}));
    EXPECT_EQ(cells["B2"], (TRead{"s", "'Name: =1'"}));
}

TEST_F(DataText, AnApostropheOfTheTemplateTextItselfIsKept) {
    TMemTable* t = Table("T", "Code\nABC\n");
    Report->SetDataSet(t);
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:A1");
    Cell("A1", u"''s #Code");  // the text "'s #Code"
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, t);
    EXPECT_EQ(cells["A1"], (TRead{"s", "\"'s ABC\""}));
}

TEST_F(DataText, UserFieldsTheDictionaryAndTotalsStayTypedInput) {
    TMemTable* t = Table("T", "Qty\n2\n");
    Report->SetDataSet(t);
    auto* field = static_cast<TTabrixField*>(Report->Dictionary()->Add());
    field->SetFieldName("Formula");
    field->SetValueAsString("=1+1");
    Report->OnGetFieldValue = [](TComponent*, const AnsiString&, Variant& value) { value = Variant("=2*3"); };
    TTabrixBand* band = AddBand(tbxbtMasterData, "A1:B1");
    Cells({{"A1", u"#Formula"}, {"B1", u"#Computed"}});
    Parse();
    std::map<std::string, TRead> cells = WriteAndRead(band, t);
    EXPECT_EQ(cells["A1"], (TRead{"f", "'=1+1'"}));
    EXPECT_EQ(cells["B1"], (TRead{"f", "'=2*3'"}));
}

// The decision without a workbook: each row is text, kind, marked?
TEST(DataTextRule, WhatIsMarkedByKind) {
    TFormatSettingsScope scope(TFormatSettings::Invariant());
    struct TCase {
        const char16_t* Text;
        TTabrixDataKind Kind;
        bool Marked;
    } cases[] = {
        {u"", TTabrixDataKind::Text, false},
        {u"abc", TTabrixDataKind::Text, false},
        {u"=1", TTabrixDataKind::Number, true},
        {u"@x", TTabrixDataKind::Text, true},
        {u"-5", TTabrixDataKind::Text, false},
        {u"-5", TTabrixDataKind::Integer, false},
        {u"123456789012345", TTabrixDataKind::Integer, false},
        {u"1234567890123456", TTabrixDataKind::Integer, true},
        {u"1234567890123456", TTabrixDataKind::Text, true},
        {u"True", TTabrixDataKind::Boolean, false},
        {u"True", TTabrixDataKind::Text, true},
        {u"01/05/2024", TTabrixDataKind::DateTime, false},
        {u"01/05/2024", TTabrixDataKind::Text, true},
        {u"1.5E20", TTabrixDataKind::Number, false},
        {u"Total 5", TTabrixDataKind::Text, false},
    };
    for (const TCase& c : cases) {
        UnicodeString text = c.Text;
        EXPECT_EQ(TabrixMarkDataText(text, c.Kind, FormatSettings()), c.Marked) << UnicodeToUtf8(c.Text);
        EXPECT_EQ(text, c.Marked ? u"'" + UnicodeString(c.Text) : UnicodeString(c.Text));
    }
}

// Random texts of the characters typed input cares about, written marked
// as needed: the cell then holds the text itself, or a number whose text is
// exactly the given one.
TEST(DataTextRule, AMarkedTextAlwaysKeepsItsValue) {
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        TFormatSettings settings = TFormatSettings::FromLocale(locale);
        if (std::string(locale) != "C") {
            settings.DecimalSeparator = ',';
            settings.ThousandSeparator = '.';
            settings.ListSeparator = ';';
        }
        TFormatSettingsScope scope(settings);
        TExcelApplication app = TExcelApplication::Create();
        TExcelWorksheet sheet = app.Workbooks().Add().Worksheets().Item(1);
        std::mt19937 random(20261208);
        const std::string alphabet = "0123456789+-=@'.,:/%E() TRUEfalse$x";
        for (int i = 0; i < 3000; ++i) {
            std::string text;
            const int length = 1 + static_cast<int>(random() % 8);
            for (int k = 0; k < length; ++k) text += alphabet[random() % alphabet.size()];
            UnicodeString typed = Utf8ToUnicode(text);
            TabrixMarkDataText(typed, TTabrixDataKind::Text, FormatSettings());
            ASSERT_EQ(UnicodeToUtf8(TabrixUnmarkText(typed)), text) << "the value before the mark";
            sheet.Cells(1, 1).SetFormulaLocal(Variant(typed));
            const xl::TCell* cell = sheet.Model().FindCell(1, 1);
            ASSERT_NE(cell, nullptr) << text;
            if (cell->Kind == xl::TCellKind::String)
                EXPECT_EQ(std::string(sheet.Model().StringOf(*cell)), text) << locale;
            else if (cell->Kind == xl::TCellKind::Number)
                EXPECT_EQ(FloatToStr(cell->Number, FormatSettings()), text) << locale;
            else
                ADD_FAILURE() << "\"" << text << "\" became a cell of kind " << static_cast<int>(cell->Kind);
        }
        app.Quit();
    }
}

}  // namespace
}  // namespace tabrix::testing
