// Re-emitting a parsed formula in a dialect.

#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/formula/functions.h"

namespace tabrix::xl {

namespace {

void AppendUpper(std::string& out, std::string_view s) {
    for (char c : s) out += (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

}  // namespace

std::string FormatFormula(const TFormula& f, const TFormulaDialect& dialect) {
    const std::string& text = f.Text();
    const TFormulaDialect& from = f.Dialect();
    std::string out;
    out.reserve(text.size() + 8);
    for (const TToken& t : f.Tokens()) {
        const std::string_view raw = std::string_view(text).substr(t.Pos, t.Len);
        switch (t.Kind) {
        case TTokenKind::Number:
            for (char c : raw) out += c == from.DecimalSeparator ? dialect.DecimalSeparator : c;
            break;
        case TTokenKind::ListSeparator: out += dialect.ListSeparator; break;
        case TTokenKind::ArrayColumnSeparator: out += dialect.ArrayColumnSeparator; break;
        case TTokenKind::ArrayRowSeparator: out += dialect.ArrayRowSeparator; break;
        case TTokenKind::Boolean:
        case TTokenKind::Error: AppendUpper(out, raw); break;
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
            if (dialect.FunctionPrefixes && (info.Flags & ffPrefixed)) {
                out += "_xlfn.";
                if (info.Flags & ffWorksheet) out += "_xlws.";
            }
            AppendUpper(out, bare);
            break;
        }
        default: out.append(raw); break;
        }
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
