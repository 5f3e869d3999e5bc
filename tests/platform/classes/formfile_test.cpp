// Form files: writing, reading back, hand-written text, errors with their
// file and line, inherited forms.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/classes/formtext.h"
#include "platform/rtl/files.h"
#include "tests/platform/classes/test_classes.h"

namespace tabrix::testing {
namespace {

class FormFile : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterTestClasses();
        Application().Methods().Bind<void(TComponent*, int&)>("OrdersOpen",
                                                              [this](TComponent*, int& rows) { rows = ++Opened; });
    }
    void TearDown() override { Application().Methods().Unbind("OrdersOpen"); }

    // A module with one of everything.
    std::unique_ptr<TDataModule> MakeModule() {
        auto dm = std::make_unique<TDataModule>();
        dm->SetName("SalesModule");
        auto* report = new TTestReport(dm.get());  // before the query: a forward reference
        report->SetName("Report");
        auto* db = new TTestConnection(dm.get());
        db->SetName("Db");
        db->Database = "sales.db";
        auto* q = new TTestQuery(dm.get());
        q->SetName("Orders");
        q->SetConnection(db);
        q->SQL()->Add("select * from orders");
        q->SQL()->Add("where name = 'O''Brien'\tand x = 1");
        q->MaxRows = 500;
        q->Ratio = 0.25;
        q->Active = true;
        q->Kind = TQueryKind::qkProc;
        q->Options = (1u << qoUnique) | (1u << qoCached);
        q->OnOpen = TEvent<void(TComponent*, int&)>("OrdersOpen", [](TComponent*, int&) {});
        report->SetDataSet(q);
        auto* f1 = static_cast<TTestField*>(report->Fields()->Add());
        f1->FieldName = "Qty";
        auto* f2 = static_cast<TTestField*>(report->Fields()->Add());
        f2->FieldName = "Amount";
        f2->Width = 12;
        report->Options()->Title = "Sales by región ✓";
        report->Options()->Blob = std::string("\x00\x01\xFFPK", 5);
        return dm;
    }
    int Opened = 0;
};

TEST_F(FormFile, WrittenFormReadsBackAsTheSameForm) {
    auto dm = MakeModule();
    std::string text = WriteFormText(*dm);
    EXPECT_NE(text.find("object SalesModule: TDataModule\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    SQL.Strings = (\n      'select * from orders'\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    Options.Blob = {\n      0001FF504B}"), std::string::npos) << text;
    EXPECT_NE(text.find("    Fields = <\n      item\n        FieldName = 'Qty'\n      end\n      item"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Options = [qoUnique, qoCached]"), std::string::npos);
    EXPECT_EQ(text.find("Width = 10"), std::string::npos);  // the default is not written

    std::unique_ptr<TComponent> back = ReadFormText(text, "sales.tfm");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->ClassName(), "TDataModule");
    EXPECT_EQ(WriteFormText(*back), text);

    auto* q = dynamic_cast<TTestQuery*>(back->FindComponent("Orders"));
    auto* report = dynamic_cast<TTestReport*>(back->FindComponent("Report"));
    ASSERT_TRUE(q && report);
    EXPECT_EQ(report->DataSet(), q);  // forward reference resolved
    EXPECT_EQ(q->Connection(), back->FindComponent("Db"));
    EXPECT_EQ(q->SQL()->Strings(1), "where name = 'O''Brien'\tand x = 1");
    EXPECT_EQ(q->MaxRows, 500);
    EXPECT_DOUBLE_EQ(q->Ratio, 0.25);
    EXPECT_EQ(q->Kind, TQueryKind::qkProc);
    EXPECT_EQ(q->Options, (1u << qoUnique) | (1u << qoCached));
    int rows = 0;
    q->OnOpen(q, rows);  // bound to the program's method, not the writer's lambda
    EXPECT_EQ(rows, 1);
    EXPECT_EQ(report->Options()->Title, "Sales by región ✓");
    EXPECT_EQ(report->Options()->Blob, std::string("\x00\x01\xFFPK", 5));
    ASSERT_EQ(report->Fields()->Count(), 2);
    EXPECT_EQ(CollectionItem<TTestField>(*report->Fields(), 1)->Width, 12);
    EXPECT_EQ(q->LoadedCalls, 1);
    EXPECT_FALSE(q->HasState(csLoading));
    EXPECT_EQ(Application().FindGlobalComponent("SalesModule"), dm.get());  // the first one opened
}

TEST_F(FormFile, HandWrittenTextWithCommentsJoinedStringsAndAnyCase) {
    const char* text =
        "// edited by hand\n"
        "OBJECT M: TDataModule\n"
        "  object Q: TTestQuery   // the orders\n"
        "    maxrows = $10\n"
        "    Ratio = -1.5E2\n"
        "    Active = true\n"
        "    Kind = QKVIEW\n"
        "    Options = []\n"
        "    SQL.Strings = ('select ' + \n"
        "      'x'#13#10'y' 'second'\n"
        "      #$E9#55357#56832'!'#128512)\n"
        "    OnOpen = ordersopen\n"
        "  End\n"
        "end\n";
    auto m = ReadFormText(text, "hand.tfm");
    auto* q = dynamic_cast<TTestQuery*>(m->FindComponent("q"));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->MaxRows, 16);
    EXPECT_DOUBLE_EQ(q->Ratio, -150.0);
    EXPECT_TRUE(q->Active);
    EXPECT_EQ(q->Kind, TQueryKind::qkView);
    ASSERT_EQ(q->SQL()->Count(), 3);
    EXPECT_EQ(q->SQL()->Strings(0), "select x\r\ny");
    EXPECT_EQ(q->SQL()->Strings(1), "second");
    EXPECT_EQ(q->SQL()->Strings(2), "é😀!😀");  // code units in pairs, or a code point
    EXPECT_TRUE(static_cast<bool>(q->OnOpen));
}

struct TBadForm {
    const char* Text;
    const char* Message;  // expected what(), exactly
};

TEST_F(FormFile, MalformedFormsNameTheFileTheLineAndWhatWasExpected) {
    const TBadForm cases[] = {
        {"", "bad.tfm, line 1: 'object' expected but end of file found"},
        {"object M: TDataModule\n  Q = \nend\n", "bad.tfm, line 3: value expected but 'end' found"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    MaxRows 5\n  end\nend\n",
         "bad.tfm, line 3: '=' expected but number 5 found"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    SQL.Strings = ('abc)\n  end\nend\n",
         "bad.tfm, line 3: unterminated string"},
        {"object M: TDataModule\n  object R: TTestReport\n    Options.Blob = {0A1}\n  end\nend\n",
         "bad.tfm, line 3: odd number of hexadecimal digits in binary data"},
        {"object M: TDataModule\n  object Q: TTestQuery\n  end\n",
         "bad.tfm, line 4: 'end' expected but end of file found"},
        {"object M: TDataModule\nend\nend\n", "bad.tfm, line 3: end of file expected but 'end' found"},
        {"object M: TDataModule\n  object X: TNoSuchClass\n  end\nend\n",
         "bad.tfm, line 2: class TNoSuchClass is not registered"},
        {"object M: TTestQuery\nend\n",
         "bad.tfm, line 1: the root object M is a TTestQuery; a data module or form expected"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    Colour = 5\n  end\nend\n",
         "bad.tfm, line 3: TTestQuery has no property Colour"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    Kind = qkNone\n  end\nend\n",
         "bad.tfm, line 3: invalid value qkNone for property Kind (one of qkTable, qkView, qkProc expected)"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    MaxRows = 2000000\n  end\nend\n",
         "bad.tfm, line 3: value 2000000 is out of range for property MaxRows"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    MaxRows = 'x'\n  end\nend\n",
         "bad.tfm, line 3: integer expected but string 'x' found"},
        {"object M: TDataModule\n  object Q: TTestQuery\n\n    Connection = Nowhere\n  end\nend\n",
         "bad.tfm, line 4: component Nowhere of property Connection is not found"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    Connection = P\n  end\n  object P: TTestQuery\n  "
         "end\nend\n",
         "bad.tfm, line 3: property Connection takes a TTestConnection, but P is a TTestQuery"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    OnOpen = NotBound\n  end\nend\n",
         "bad.tfm, line 3: method NotBound of property OnOpen is not bound"},
        {"object M: TDataModule\n  object Q: TTestQuery\n  end\n  object q: TTestQuery\n  end\nend\n",
         "bad.tfm, line 4: a component named q already exists"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    SQL = 'x'\n  end\nend\n",
         "bad.tfm, line 3: property SQL holds an object; give its own values as SQL.<name>"},
        {"object M: TDataModule\n  inherited Q: TTestQuery\n  end\nend\n",
         "bad.tfm, line 2: inherited component Q is not in the ancestor form"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    Name = 'two words'\n  end\nend\n",
         "bad.tfm, line 3: \"two words\" is not a valid component name"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    SQL.Strings = ('a' 5)\n  end\nend\n",
         "bad.tfm, line 3: string expected but integer 5 found"},
        {"object M: TDataModule\n  object Q: TTestQuery\n    MaxRows.Value = 1\n  end\nend\n",
         "bad.tfm, line 3: TTestQuery has no object property MaxRows (in MaxRows.Value)"},
        {"object M: TDataModule\n  object R: TTestReport\n    Fields = <\n      item\n        Width = 1\n      end\n"
         "      thing\n    >\n  end\nend\n",
         "bad.tfm, line 7: 'item' or '>' expected but 'thing' found"},
    };
    for (const TBadForm& c : cases) {
        try {
            ReadFormText(c.Text, "bad.tfm");
            ADD_FAILURE() << "no error for:\n" << c.Text;
        } catch (const EReadError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message) << c.Text;
        } catch (const Exception& e) {
            ADD_FAILURE() << e.ClassName() << ": " << e.what() << "\nfor:\n" << c.Text;
        }
    }
    EXPECT_EQ(Application().FindGlobalComponent("M"), nullptr);  // failed loads leave nothing open
}

TEST_F(FormFile, ReferencesToAnotherOpenModuleCarryItsName) {
    TDataModule base;
    base.SetName("BaseModule");
    auto* db = new TTestConnection(&base);
    db->SetName("Db");
    TDataModule reports;
    reports.SetName("Reports");
    auto* q = new TTestQuery(&reports);
    q->SetName("Orders");
    q->SetConnection(db);
    std::string text = WriteFormText(reports);
    EXPECT_NE(text.find("Connection = BaseModule.Db\n"), std::string::npos) << text;
    reports.SetName("ReportsOld");  // the copy read next takes the name
    auto back = ReadFormText(text, "reports.tfm");
    EXPECT_EQ(dynamic_cast<TTestQuery*>(back->FindComponent("Orders"))->Connection(), db);
    auto* self =
        ReadFormText("object M2: TDataModule\n  object Q: TTestQuery\n    MasterQuery = M2.Q\n  end\nend\n", "m2.tfm")
            .release();
    std::unique_ptr<TComponent> owned(self);
    auto* selfQuery = dynamic_cast<TTestQuery*>(self->FindComponent("Q"));
    EXPECT_EQ(selfQuery->MasterQuery(), selfQuery);  // the root's own name qualifies too
}

TEST_F(FormFile, DeeplyNestedListsAreRefused) {
    std::string text = "object M: TDataModule\n  object Q: TTestQuery\n    SQL.Strings = ";
    for (int i = 0; i < 200; ++i) text += '(';
    EXPECT_THROW(ReadFormText(text, "deep.tfm"), EParserError);
}

TEST_F(FormFile, BinaryValuesUpToTheirLimitAreRead) {
    // A form of one binary value of n bytes, in hex lines as they are written.
    auto form = [](size_t n) {
        std::string text = "object M: TDataModule\n  Blob = {";
        text.reserve(text.size() + 2 * n + n / 16 + 16);
        for (size_t i = 0; i < n; ++i) {
            if (i % 32 == 0) text += "\n    ";
            text += "A5";
        }
        return text + "}\nend\n";
    };
    TFormValues values = ObjectTextToValues(form(kFormMaxBinarySize), "big.tfm");
    ASSERT_GE(values.size(), 3u);
    EXPECT_EQ(values[2].Type, TValueType::vaBinary);
    EXPECT_EQ(values[2].Text.size(), kFormMaxBinarySize);
    values.clear();
    try {
        ObjectTextToValues(form(kFormMaxBinarySize + 1), "big.tfm");
        FAIL() << "a binary value beyond the limit was read";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(),
                  "big.tfm, line 2: binary data larger than " + std::to_string(kFormMaxBinarySize) + " bytes");
    }
}

TEST_F(FormFile, InheritedFormWritesOnlyWhatDiffersAndReadsOverItsAncestor) {
    auto ancestor = MakeModule();
    std::string ancestorText = WriteFormText(*ancestor);

    auto derived = ReadFormText(ancestorText, "base.tfm");
    auto* q = dynamic_cast<TTestQuery*>(derived->FindComponent("Orders"));
    q->MaxRows = 10;
    auto* extra = new TTestConnection(derived.get());
    extra->SetName("Archive");
    std::string delta = WriteFormText(*derived, ancestor.get());
    EXPECT_EQ(delta,
              "inherited SalesModule: TDataModule\n"
              "  inherited Orders: TTestQuery\n"
              "    MaxRows = 10\n"
              "  end\n"
              "  object Archive: TTestConnection\n"
              "  end\n"
              "end\n");

    auto rebuilt = ReadFormText(ancestorText, "base.tfm");
    ReadFormTextInto(*rebuilt, delta, "derived.tfm");
    EXPECT_EQ(WriteFormText(*rebuilt), WriteFormText(*derived));
    EXPECT_EQ(WriteFormText(*rebuilt, ancestor.get()), delta);
}

TEST_F(FormFile, SavedFileLoadsBackAndReplacesTheOldOne) {
    auto dm = MakeModule();
    std::string name = TempFolder() + "tabrix_form_test.tfm";
    TTempFileGuard guard(name);
    WriteFileBytes(name, "old contents");
    ASSERT_EQ(chmod(name.c_str(), 0640), 0);
    SaveFormFile(name, *dm);
    struct stat st {};
    ASSERT_EQ(stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the user's form keeps its mode
    auto back = LoadFormFile(name);
    EXPECT_EQ(WriteFormText(*back), WriteFormText(*dm));
    EXPECT_THROW(LoadFormFile(name + ".missing"), EFOpenError);
}

TEST(FormText, ValuesPrintedAndParsedBackAreEqual) {
    TFormValues values;
    TWriter w(values);
    TFormValue h;
    h.Type = TValueType::vaObject;
    h.Text = "TDataModule";
    h.Name = "M";
    values.push_back(h);
    w.WritePropName("Long");
    w.WriteString(std::string(150, 'x') + "é" + std::string(70, 'y') + "\n");
    w.WritePropName("Float");
    w.WriteFloat(1e21);
    w.WritePropName("Whole");
    w.WriteFloat(3);
    w.WritePropName("Neg");
    w.WriteInteger(INT64_MIN);
    w.WritePropName("Empty");
    w.WriteListBegin();
    w.WriteListEnd();
    w.WritePropName("Nested");
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteListBegin();
    w.WriteString("");
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListEnd();
    std::string text = ObjectValuesToText(values);
    TFormValues back = ObjectTextToValues(text, "x");
    ASSERT_EQ(back.size(), values.size()) << text;
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(back[i].Type, values[i].Type) << i;
        EXPECT_EQ(back[i].Text, values[i].Text) << i;
        EXPECT_EQ(back[i].Int, values[i].Int) << i;
        EXPECT_EQ(back[i].Float, values[i].Float) << i;
    }
    EXPECT_EQ(ObjectValuesToText(back), text);
}

}  // namespace
}  // namespace tabrix::testing
