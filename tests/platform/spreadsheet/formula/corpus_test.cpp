// Every formula of the real workbooks in the shared corpus parses and comes
// back unchanged: English re-emission, the German dialect and back, and a
// copy moved forth and back.

#include <gtest/gtest.h>

#include <filesystem>
#include <pugixml.hpp>

#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/package/package.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

namespace fs = std::filesystem;

struct TCorpusFormula {
    std::string File;
    std::string Text;
    bool DefinedName = false;
};

std::vector<TCorpusFormula> LoadCorpusFormulas(int& workbooks) {
    std::vector<TCorpusFormula> result;
    const fs::path root = fs::path(TABRIX_SOURCE_DIR) / ".." / "shared" / "corpus" / "xlsx";
    if (!fs::is_directory(root)) return result;
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (entry.is_regular_file() && (ext == ".xlsx" || ext == ".xlsm")) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        TPackage package;
        try {
            package = TPackage::Open(file.string());
        } catch (const Exception&) {
            continue;  // files that are no workbooks are the package layer's concern
        }
        ++workbooks;
        const std::string name = fs::relative(file, root).string();
        for (const std::string& part : package.PartNames()) {
            const bool sheet = part.rfind("xl/worksheets/", 0) == 0 && part.size() > 4 &&
                               part.compare(part.size() - 4, 4, ".xml") == 0;
            const bool book = part == "xl/workbook.xml";
            if (!sheet && !book) continue;
            const std::string xml = package.ReadPart(part);
            pugi::xml_document doc;
            if (!doc.load_buffer(xml.data(), xml.size())) continue;
            if (sheet) {
                for (const pugi::xpath_node& f : doc.select_nodes("//*[local-name()='c']/*[local-name()='f']")) {
                    const std::string text = f.node().text().get();
                    if (!text.empty()) result.push_back({name, text, false});
                }
            } else {
                for (const pugi::xpath_node& n : doc.select_nodes("//*[local-name()='definedName']")) {
                    const std::string text = n.node().text().get();
                    if (!text.empty()) result.push_back({name, text, true});
                }
            }
        }
    }
    return result;
}

class FormulaCorpus : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Formulas = new std::vector<TCorpusFormula>(LoadCorpusFormulas(Workbooks)); }
    static void TearDownTestSuite() { delete Formulas; }
    void SetUp() override {
        if (Formulas->empty()) GTEST_SKIP() << "no corpus beside the repository";
    }
    static TParseOptions Options(const TCorpusFormula& f) {
        TParseOptions o;
        o.AllowUnknownFunctions = true;  // user-defined functions of macro workbooks
        o.AllowTopLevelUnion = f.DefinedName;
        return o;
    }
    static inline std::vector<TCorpusFormula>* Formulas = nullptr;
    static inline int Workbooks = 0;
};

TEST_F(FormulaCorpus, EveryFormulaParsesAndComesBackUnchanged) {
    const TFormulaDialect en = TFormulaDialect::English();
    int parsed = 0, strict = 0, names = 0;
    for (const TCorpusFormula& f : *Formulas) {
        try {
            const TFormula formula = ParseFormula(f.Text, en, Options(f));
            EXPECT_EQ(FormatFormula(formula, en), f.Text) << f.File;
            ++parsed;
            names += f.DefinedName;
        } catch (const EFormulaError& e) {
            ADD_FAILURE() << f.File << ": " << e.Message();
            continue;
        }
        try {
            TParseOptions o = Options(f);
            o.AllowUnknownFunctions = false;
            ParseFormula(f.Text, en, o);
            ++strict;
        } catch (const EFormulaError&) {}
    }
    std::printf("corpus: %d workbooks, %zu formulas, %d parsed (%d defined names), %d without unknown functions\n",
                Workbooks, Formulas->size(), parsed, names, strict);
    EXPECT_GT(parsed, 5000);
}

TEST_F(FormulaCorpus, GermanDialectRoundTrip) {
    const TFormulaDialect en = TFormulaDialect::English();
    const TFormulaDialect de = TFormulaDialect::Local(tabrix::testing::GermanSettings());
    for (const TCorpusFormula& f : *Formulas) {
        const std::string local = TranslateFormula(f.Text, en, de, Options(f));
        EXPECT_EQ(TranslateFormula(local, de, en, Options(f)), f.Text) << f.File << ": " << local;
    }
}

TEST_F(FormulaCorpus, MovedForthAndBackIsTheSame) {
    for (const TCorpusFormula& f : *Formulas) {
        if (f.DefinedName) continue;
        const std::string moved = ShiftFormula(f.Text, 3, 2);
        ASSERT_NO_THROW(ParseFormula(moved, TFormulaDialect::English(), Options(f))) << moved;
        if (moved.find("#REF!") != std::string::npos) continue;
        // Files write references as the spreadsheet does, so moving them back restores the text.
        EXPECT_EQ(ShiftFormula(moved, -3, -2), f.Text) << f.File;
    }
}

}  // namespace
}  // namespace tabrix::xl
