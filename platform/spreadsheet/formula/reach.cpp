// What a formula reads, from its tokens: the sheets and names it refers to,
// and whether it can read anything at all (volatile and indirect functions,
// other workbooks, tables, user functions).

#include "platform/rtl/strings.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/formula/functions.h"

namespace tabrix::xl {

namespace {

// "Sheet1!", "'My sheet'!": the sheet's name; "" for a prefix beyond one
// sheet of this workbook ("[1]Sheet1!", "Sheet1:Sheet3!").
bool SheetOfPrefix(std::string_view prefix, std::string& sheet) {
    sheet = SheetNameOfPrefix(prefix);
    return !sheet.empty() && sheet.find('[') == std::string::npos && sheet.find(':') == std::string::npos;
}

void AddOnce(std::vector<std::string>& list, std::string item) {
    for (const std::string& s : list)
        if (AnsiSameText(s, item)) return;
    list.push_back(std::move(item));
}

}  // namespace

std::string SheetNameOfPrefix(std::string_view prefix) {
    if (!prefix.empty() && prefix.back() == '!') prefix.remove_suffix(1);
    if (prefix.size() < 2 || prefix.front() != '\'') return std::string(prefix);
    prefix = prefix.substr(1, prefix.size() - 2);
    std::string sheet;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        sheet += prefix[i];
        if (prefix[i] == '\'' && i + 1 < prefix.size() && prefix[i + 1] == '\'') ++i;
    }
    return sheet;
}

TFormulaReach FormulaReach(std::string_view englishText) {
    TFormulaReach reach;
    const std::vector<TToken> tokens = Tokenize(englishText, TFormulaDialect::English());
    std::string sheet;
    for (const TToken& t : tokens) {
        const std::string_view text = englishText.substr(t.Pos, t.Len);
        switch (t.Kind) {
            case TTokenKind::Reference:
                if (t.PrefixLen == 0)
                    reach.OwnSheet = true;
                else if (SheetOfPrefix(text.substr(0, t.PrefixLen), sheet))
                    AddOnce(reach.Sheets, sheet);
                else
                    reach.Anything = true;
                break;
            case TTokenKind::Name:
                if (t.PrefixLen == 0) {
                    AddOnce(reach.Names, std::string(text));
                } else if (SheetOfPrefix(text.substr(0, t.PrefixLen), sheet)) {
                    AddOnce(reach.Names, std::string(text));
                    AddOnce(reach.Sheets, sheet);
                } else {
                    reach.Anything = true;
                }
                break;
            case TTokenKind::StructuredRef:
                reach.Anything = true;  // a table lives on a sheet the formula does not name
                break;
            case TTokenKind::Function: {
                const int f = FindFunction(text);
                if (f < 0 || (FunctionInfo(f).Flags & TFunctionInfo::kVolatile)) reach.Anything = true;
                const std::string_view name = f < 0 ? std::string_view() : FunctionInfo(f).Name;
                if (name == "SUBTOTAL" || name == "AGGREGATE") reach.Subtotal = true;
                break;
            }
            default:
                break;
        }
    }
    return reach;
}

bool CallsSubtotal(std::string_view englishText) {
    // Most formulas name neither function: a text search decides them.
    const auto has = [&](std::string_view word) {
        for (std::size_t i = 0; i + word.size() <= englishText.size(); ++i)
            if (AnsiSameText(englishText.substr(i, word.size()), word)) return true;
        return false;
    };
    if (!has("SUBTOTAL") && !has("AGGREGATE")) return false;
    try {
        return FormulaReach(englishText).Subtotal;
    } catch (const EFormulaError&) {
        return false;
    }
}

}  // namespace tabrix::xl
