// Re-emitting a parsed formula in a dialect.

#include "platform/rtl/ascii.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/formula/functions.h"

#include <string>
#include <vector>

namespace tabrix::xl {

namespace {

void AppendUpper(std::string& out, std::string_view s) {
    for (char c : s) out += ascii::Upper(c);
}

// Files know no '@' and no spill '#': there they are the functions SINGLE and
// ANCHORARRAY around the operand. Texts to put before, instead of and after
// tokens; empty when the formula has neither.
struct TFileForms {
    std::vector<std::string> Before, Instead, After;
    std::vector<bool> Replaced;
};

bool NeedsFileForms(const TFormula& f, TFileForms& forms) {
    bool any = false;
    for (const TFormulaNode& n : f.Nodes()) {
        const bool single = n.Kind == TNodeKind::Unary && n.Op == '@';
        if (!single && n.Kind != TNodeKind::Spill) continue;
        if (!any) {
            const std::size_t count = f.Tokens().size();
            forms.Before.assign(count, std::string());
            forms.Instead.assign(count, std::string());
            forms.After.assign(count, std::string());
            forms.Replaced.assign(count, false);
            any = true;
        }
        const TFormulaNode& operand = f.Child(n, 0);
        if (single) {
            forms.Instead[std::size_t(n.Token)] = "_xlfn.SINGLE(";
            forms.After[std::size_t(operand.LastToken)] += ')';
        } else {
            forms.Before[std::size_t(operand.FirstToken)].insert(0, "_xlfn.ANCHORARRAY(");
            forms.Instead[std::size_t(n.Token)] = ")";
        }
        forms.Replaced[std::size_t(n.Token)] = true;
    }
    return any;
}

}  // namespace

std::string FormatFormula(const TFormula& f, const TFormulaDialect& dialect) {
    const std::string& text = f.Text();
    const TFormulaDialect& from = f.Dialect();
    std::string out;
    out.reserve(text.size() + 8);
    TFileForms forms;
    const bool fileForms = dialect.FunctionPrefixes && NeedsFileForms(f, forms);
    for (std::size_t i = 0; i < f.Tokens().size(); ++i) {
        const TToken& t = f.Tokens()[i];
        const std::string_view raw = std::string_view(text).substr(t.Pos, t.Len);
        if (fileForms) {
            out += forms.Before[i];
            if (forms.Replaced[i]) {
                out += forms.Instead[i];
                out += forms.After[i];
                continue;
            }
        }
        switch (t.Kind) {
            case TTokenKind::Number:
                for (char c : raw) out += c == from.DecimalSeparator ? dialect.DecimalSeparator : c;
                break;
            case TTokenKind::ListSeparator:
                out += dialect.ListSeparator;
                break;
            case TTokenKind::ArrayColumnSeparator:
                out += dialect.ArrayColumnSeparator;
                break;
            case TTokenKind::ArrayRowSeparator:
                out += dialect.ArrayRowSeparator;
                break;
            case TTokenKind::Boolean:
            case TTokenKind::Error:
                AppendUpper(out, raw);
                break;
            case TTokenKind::Reference:
                // The sheet keeps its spelling; the cell part is written as the spreadsheet writes it.
                out.append(raw.substr(0, t.PrefixLen));
                AppendUpper(out, raw.substr(t.PrefixLen));
                break;
            case TTokenKind::Function: {
                const int index = t.PrefixLen == 0 ? FindFunction(raw) : -1;
                if (index < 0) {
                    out.append(raw);
                    break;
                }
                const TFunctionInfo& info = FunctionInfo(index);
                const std::string_view bare = StripFunctionPrefix(raw);
                if (dialect.FunctionPrefixes && (info.Flags & TFunctionInfo::kPrefixed)) {
                    out += "_xlfn.";
                    if (info.Flags & TFunctionInfo::kWorksheet) out += "_xlws.";
                }
                AppendUpper(out, bare);
                break;
            }
            default:
                out.append(raw);
                break;
        }
        if (fileForms) out += forms.After[i];
    }
    return out;
}

std::string TranslateFormula(std::string_view text, const TFormulaDialect& from, const TFormulaDialect& to) {
    return FormatFormula(ParseFormula(text, from), to);
}

std::string TranslateFormula(std::string_view text, const TFormulaDialect& from, const TFormulaDialect& to,
                             const TParseOptions& options) {
    return FormatFormula(ParseFormula(text, from, options), to);
}

}  // namespace tabrix::xl
