// Formula text from anywhere (typed by a user, read from a file) is parsed,
// re-emitted, translated and evaluated. The first byte picks the dialect.
// Checks: no crash or hang; what parses re-emits to text that parses to the
// same text again, and its file form survives a trip through the user's form.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/spreadsheet/formula/formula.h"
#include "tests/support/test_support.h"

namespace {

using namespace tabrix;
using namespace tabrix::xl;

class TSmallBook : public IFormulaContext {
public:
    TScalar CellValue(std::string_view, int row, int col) override {
        if (row > 4 || col > 4) return TScalar{};
        switch ((row + col) % 4) {
            case 0:
                return TScalar::Number(row * 1.5 - col);
            case 1:
                return TScalar::Text(row == 1 ? "12" : "ab*");
            case 2:
                return TScalar::Boolean(col % 2 == 0);
            default:
                return TScalar{};
        }
    }
    void ForEachCell(std::string_view sheet, int row1, int col1, int row2, int col2,
                     const std::function<bool(int, int, const TScalar&)>& fn) override {
        for (int r = std::max(row1, 1); r <= std::min(row2, 4); ++r)
            for (int c = std::max(col1, 1); c <= std::min(col2, 4); ++c) {
                const TScalar v = CellValue(sheet, r, c);
                if (v.kind != TScalar::Kind::Empty && !fn(r, c, v)) return;
            }
    }
    bool ResolveName(std::string_view name, std::string& text) override {
        if (name == "Self")
            text = "Self+1";
        else if (name == "Area")
            text = "$A$1:$B$3,$D$2";
        else
            return false;
        return true;
    }
};

TFormatSettings German() { return tabrix::testing::GermanSettings(); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const TFormulaDialect kEnglish = TFormulaDialect::English();
    static const TFormatSettings kGermanSettings = German();
    static const TFormulaDialect kGerman = TFormulaDialect::Local(kGermanSettings);
    const bool german = data[0] & 1;
    const TFormulaDialect& dialect = german ? kGerman : kEnglish;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    TTypedInput typed;
    ParseTypedInput(text, kGermanSettings, typed);

    TParseOptions options;
    options.AllowUnknownFunctions = data[0] & 2;
    options.AllowTopLevelUnion = data[0] & 4;
    TFormula f;
    try {
        f = ParseFormula(text, dialect, options);
    } catch (const EFormulaError&) {
        return 0;
    }
    // The file form spells '@' and '#' as calls, so it may pass the length limit.
    if (FormatFormula(f, kEnglish).size() > 8192) return 0;
    const std::string again = FormatFormula(f, dialect);
    const std::string twice = FormatFormula(ParseFormula(again, dialect, options), dialect);
    if (twice != again) std::abort();
    // The file form survives a trip through the user's form. Spills spelled as
    // calls nest deeper, which may pass the nesting limit right at its edge.
    const std::string file = FormatFormula(f, kEnglish);
    try {
        const std::string local = TranslateFormula(file, kEnglish, kGerman, options);
        if (TranslateFormula(local, kGerman, kEnglish, options) != file) std::abort();
    } catch (const EFormulaError& e) {
        if (e.Message().find("nested too deeply") == std::string::npos) throw;
    }

    TSmallBook book;
    TEvaluateOptions evaluate;
    evaluate.ArrayFormula = data[0] & 8;
    EvaluateFormula(f, book, 2, 2, evaluate);
    return 0;
}
