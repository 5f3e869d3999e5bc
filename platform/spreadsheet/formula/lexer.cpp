#include "platform/spreadsheet/formula/lexer.h"
#include "platform/rtl/ascii.h"

#include <array>
#include <cstring>
#include <utility>

namespace tabrix::xl {

namespace {

constexpr std::array<std::string_view, 15> kErrorLiterals = {
    "#NULL!",  "#DIV/0!", "#VALUE!", "#REF!",     "#NAME?",    "#NUM!",  "#N/A",     "#GETTING_DATA",
    "#SPILL!", "#CALC!",  "#FIELD!", "#BLOCKED!", "#CONNECT!", "#BUSY!", "#UNKNOWN!"};

using ascii::IsDigit;
using ascii::IsLetter;
using ascii::Upper;

// Characters of names and unquoted sheet names; bytes of UTF-8 sequences count
// as letters, so names in any script pass.
bool IsNameStart(char c) noexcept {
    return IsLetter(c) || c == '_' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) noexcept { return IsNameStart(c) || IsDigit(c) || c == '.' || c == '?'; }
bool IsBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool StartsWithNoCase(std::string_view text, std::size_t pos, std::string_view upper) noexcept {
    return ascii::StartsWithNoCase(text.substr(pos), upper);
}

enum class TMatch { None, Found, Beyond };

class TLexer {
public:
    TLexer(std::string_view text, const TFormulaDialect& dialect, std::vector<TToken>& tokens)
        : FText(text), FDialect(dialect), FTokens(tokens) {}

    void Run() {
        FTokens.clear();
        const std::size_t n = FText.size();
        std::size_t i = 0;
        while (i < n) {
            const char c = FText[i];
            if (IsBlank(c)) {
                std::size_t j = i + 1;
                while (j < n && IsBlank(FText[j])) ++j;
                Add(TTokenKind::Whitespace, i, j);
                i = j;
            } else if (c == '"') {
                i = LexString(i);
            } else if (c == '#') {
                i = LexHash(i);
            } else if (IsDigit(c) || (c == FDialect.DecimalSeparator && i + 1 < n && IsDigit(FText[i + 1]))) {
                i = LexNumberOrRows(i);
            } else if (c == '$' || c == '\'' || c == '[' || IsNameStart(c)) {
                i = LexOperand(i);
            } else if (c == '(') {
                Add(TTokenKind::OpenParen, i, i + 1), ++i;
            } else if (c == ')') {
                Add(TTokenKind::CloseParen, i, i + 1), ++i;
            } else if (c == '{') {
                if (FInBraces) Fail("nested array constant", i);
                FInBraces = true;
                Add(TTokenKind::OpenBrace, i, i + 1), ++i;
            } else if (c == '}') {
                FInBraces = false;
                Add(TTokenKind::CloseBrace, i, i + 1), ++i;
            } else if (FInBraces && c == FDialect.ArrayColumnSeparator) {
                Add(TTokenKind::ArrayColumnSeparator, i, i + 1), ++i;
            } else if (FInBraces && c == FDialect.ArrayRowSeparator) {
                Add(TTokenKind::ArrayRowSeparator, i, i + 1), ++i;
            } else if (!FInBraces && c == FDialect.ListSeparator) {
                Add(TTokenKind::ListSeparator, i, i + 1), ++i;
            } else if (c == '<' && i + 1 < n && (FText[i + 1] == '=' || FText[i + 1] == '>')) {
                Add(TTokenKind::Operator, i, i + 2), i += 2;
            } else if (c == '>' && i + 1 < n && FText[i + 1] == '=') {
                Add(TTokenKind::Operator, i, i + 2), i += 2;
            } else if (std::strchr("+-*/^&=<>%:@", c) != nullptr && c != '\0') {
                Add(TTokenKind::Operator, i, i + 1), ++i;
            } else {
                Fail(std::string("unexpected character '") + c + "'", i);
            }
        }
    }

private:
    [[noreturn]] void Fail(std::string_view what, std::size_t pos) const {
        throw EFormulaError(FormulaErrorText(what, pos, FText));
    }

    TToken& Add(TTokenKind kind, std::size_t from, std::size_t to) {
        TToken t;
        t.Kind = kind;
        t.Pos = static_cast<std::uint32_t>(from);
        t.Len = static_cast<std::uint32_t>(to - from);
        FTokens.push_back(t);
        return FTokens.back();
    }

    std::size_t LexString(std::size_t i) {
        const std::size_t n = FText.size();
        std::size_t j = i + 1;
        for (;;) {
            if (j >= n) Fail("unclosed string", i);
            if (FText[j] == '"') {
                if (j + 1 < n && FText[j + 1] == '"') {
                    j += 2;
                    continue;
                }
                break;
            }
            ++j;
        }
        Add(TTokenKind::String, i, j + 1);
        return j + 1;
    }

    // '#' is the spill operator right after a reference, a name or a closing
    // parenthesis, else it starts an error literal.
    std::size_t LexHash(std::size_t i) {
        if (!FTokens.empty() && FTokens.back().Pos + FTokens.back().Len == i) {
            const TTokenKind k = FTokens.back().Kind;
            if (k == TTokenKind::Reference || k == TTokenKind::Name || k == TTokenKind::CloseParen) {
                Add(TTokenKind::Operator, i, i + 1);
                return i + 1;
            }
        }
        for (std::string_view e : kErrorLiterals) {
            if (!StartsWithNoCase(FText, i, e)) continue;
            // "#REF!A1": a reference whose sheet is gone.
            if (e == "#REF!" && i + 5 < FText.size() && (FText[i + 5] == '$' || IsLetter(FText[i + 5])))
                return LexBody(i, i + 5);
            Add(TTokenKind::Error, i, i + e.size());
            return i + e.size();
        }
        Fail("unknown error value", i);
    }

    std::size_t LexNumberOrRows(std::size_t i) {
        TArea area;
        const std::size_t end = MatchRows(i, area);
        if (end != 0) return AddReference(i, i, end, area);
        const std::size_t n = FText.size();
        std::size_t j = i;
        while (j < n && IsDigit(FText[j])) ++j;
        if (j < n && FText[j] == FDialect.DecimalSeparator) {
            ++j;
            while (j < n && IsDigit(FText[j])) ++j;
        }
        if (j < n && (FText[j] == 'E' || FText[j] == 'e')) {
            std::size_t k = j + 1;
            if (k < n && (FText[k] == '+' || FText[k] == '-')) ++k;
            if (k < n && IsDigit(FText[k])) {
                while (k < n && IsDigit(FText[k])) ++k;
                j = k;
            }
        }
        Add(TTokenKind::Number, i, j);
        return j;
    }

    // Scans a bracketed run from '[' with its nested brackets; "'" escapes the
    // next character as in table column names.
    std::size_t MatchBrackets(std::size_t i) const {
        int depth = 0;
        for (std::size_t j = i; j < FText.size(); ++j) {
            const char c = FText[j];
            if (c == '\'') {
                ++j;
                continue;
            }
            if (c == '[')
                ++depth;
            else if (c == ']' && --depth == 0)
                return j + 1;
        }
        Fail("unclosed bracket", i);
    }

    std::size_t ScanName(std::size_t j) const {
        while (j < FText.size() && IsNameChar(FText[j])) ++j;
        return j;
    }

    // A sheet prefix ending in '!' at i: 'quoted', Sheet1, Sheet1:Sheet3,
    // [1]Sheet1, [1]. Returns the position after '!', or 0.
    std::size_t MatchPrefix(std::size_t i) const {
        const std::size_t n = FText.size();
        if (FText[i] == '\'') {
            std::size_t j = i + 1;
            for (;;) {
                if (j >= n) Fail("unclosed quoted sheet name", i);
                if (FText[j] == '\'') {
                    if (j + 1 < n && FText[j + 1] == '\'') {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            if (j + 1 >= n || FText[j + 1] != '!') Fail("quoted sheet name without '!'", i);
            return j + 2;
        }
        std::size_t j = i;
        if (FText[j] == '[') {
            const std::size_t close = FText.find(']', j);
            if (close == std::string_view::npos) Fail("unclosed bracket", i);
            j = close + 1;
            if (j < n && FText[j] == '!') return j + 1;
            if (j >= n || !IsNameStart(FText[j])) return 0;
        } else if (!IsNameStart(FText[j])) {
            return 0;
        }
        j = ScanName(j);
        if (j < n && FText[j] == ':' && j + 1 < n && IsNameStart(FText[j + 1])) {
            const std::size_t k = ScanName(j + 1);
            if (k < n && FText[k] == '!') return k + 1;
            return 0;
        }
        if (j < n && FText[j] == '!') return j + 1;
        return 0;
    }

    // $A$1 at i; the end position in end.
    TMatch MatchCell(std::size_t i, int& row, int& col, bool& absRow, bool& absCol, std::size_t& end) const {
        const std::size_t n = FText.size();
        std::size_t j = i;
        absCol = j < n && FText[j] == '$';
        if (absCol) ++j;
        const std::size_t letters = j;
        while (j < n && IsLetter(FText[j])) ++j;
        const std::size_t letterCount = j - letters;
        if (letterCount < 1 || letterCount > 3) return TMatch::None;
        absRow = j < n && FText[j] == '$';
        if (absRow) ++j;
        const std::size_t digits = j;
        while (j < n && IsDigit(FText[j])) ++j;
        const std::size_t digitCount = j - digits;
        if (digitCount == 0) return TMatch::None;
        if (j < n && (IsNameChar(FText[j]) || FText[j] == '(' || FText[j] == '[')) return TMatch::None;
        end = j;
        col = ColumnFromLetters(FText.substr(letters, letterCount));
        if (digitCount > 7) return TMatch::Beyond;
        row = 0;
        for (std::size_t k = digits; k < j; ++k) row = row * 10 + (FText[k] - '0');
        if (row == 0) return TMatch::None;
        if (col == 0 || row > kMaxRows) return TMatch::Beyond;
        return TMatch::Found;
    }

    // $A:$C at i.
    std::size_t MatchColumns(std::size_t i, TArea& area) const {
        const std::size_t n = FText.size();
        int cols[2] = {0, 0};
        bool abs[2] = {false, false};
        std::size_t j = i;
        for (int side = 0; side < 2; ++side) {
            if (side == 1) {
                if (j >= n || FText[j] != ':') return 0;
                ++j;
            }
            abs[side] = j < n && FText[j] == '$';
            if (abs[side]) ++j;
            const std::size_t from = j;
            while (j < n && IsLetter(FText[j])) ++j;
            if (j - from < 1 || j - from > 3) return 0;
            cols[side] = ColumnFromLetters(FText.substr(from, j - from));
            if (cols[side] == 0) return 0;
        }
        if (j < n && (IsNameChar(FText[j]) || FText[j] == '(' || FText[j] == '[')) return 0;
        area.AreaKind = TArea::Kind::Columns;
        area.Col1 = cols[0], area.Col2 = cols[1], area.AbsCol1 = abs[0], area.AbsCol2 = abs[1];
        area.Row1 = 1, area.Row2 = kMaxRows, area.AbsRow1 = area.AbsRow2 = true;
        return j;
    }

    // $1:$3 at i.
    std::size_t MatchRows(std::size_t i, TArea& area) const {
        const std::size_t n = FText.size();
        long rows[2] = {0, 0};
        bool abs[2] = {false, false};
        std::size_t j = i;
        for (int side = 0; side < 2; ++side) {
            if (side == 1) {
                if (j >= n || FText[j] != ':') return 0;
                ++j;
            }
            abs[side] = j < n && FText[j] == '$';
            if (abs[side]) ++j;
            const std::size_t from = j;
            while (j < n && IsDigit(FText[j])) {
                if (rows[side] <= kMaxRows) rows[side] = rows[side] * 10 + (FText[j] - '0');
                ++j;
            }
            if (j == from) return 0;
        }
        if (j < n && (IsNameChar(FText[j]) || FText[j] == FDialect.DecimalSeparator)) return 0;
        for (long r : rows)
            if (r < 1 || r > kMaxRows) Fail("reference beyond the sheet", i);
        area.AreaKind = TArea::Kind::Rows;
        area.Row1 = int(rows[0]), area.Row2 = int(rows[1]), area.AbsRow1 = abs[0], area.AbsRow2 = abs[1];
        area.Col1 = 1, area.Col2 = kMaxColumns, area.AbsCol1 = area.AbsCol2 = true;
        return j;
    }

    std::size_t AddReference(std::size_t start, std::size_t body, std::size_t end, const TArea& area) {
        TToken& t = Add(TTokenKind::Reference, start, end);
        t.PrefixLen = static_cast<std::uint32_t>(body - start);
        t.Area = area;
        // B5:A2 names the same cells as A2:B5; the area is kept top-left first.
        TArea& a = t.Area;
        if (a.Row1 > a.Row2) std::swap(a.Row1, a.Row2), std::swap(a.AbsRow1, a.AbsRow2);
        if (a.Col1 > a.Col2) std::swap(a.Col1, a.Col2), std::swap(a.AbsCol1, a.AbsCol2);
        return end;
    }

    std::size_t LexOperand(std::size_t i) {
        if (FText[i] == '[') {
            const std::size_t body = MatchPrefix(i);
            if (body == 0) {  // [@Col], [[#This Row],[Col]]: a table column of the formula's own table
                const std::size_t end = MatchBrackets(i);
                Add(TTokenKind::StructuredRef, i, end);
                return end;
            }
            return LexBody(i, body);
        }
        const std::size_t body = MatchPrefix(i);
        return LexBody(i, body == 0 ? i : body);
    }

    // What follows an optional sheet prefix: a cell, range, columns, rows,
    // #REF!, a name, a table reference or a function name.
    std::size_t LexBody(std::size_t start, std::size_t p) {
        const std::size_t n = FText.size();
        const bool hasPrefix = p != start;
        if (p >= n) Fail("reference expected after the sheet name", start);
        if (hasPrefix && StartsWithNoCase(FText, p, "#REF!")) {
            TArea area;
            area.AreaKind = TArea::Kind::Error;
            return AddReference(start, p, p + 5, area);
        }
        TArea area;
        std::size_t end = 0;
        switch (MatchCell(p, area.Row1, area.Col1, area.AbsRow1, area.AbsCol1, end)) {
            case TMatch::Beyond:
                Fail("reference beyond the sheet", p);
            case TMatch::Found: {
                area.AreaKind = TArea::Kind::Cell;
                area.Row2 = area.Row1, area.Col2 = area.Col1, area.AbsRow2 = area.AbsRow1, area.AbsCol2 = area.AbsCol1;
                std::size_t end2 = 0;
                TArea second;
                if (end < n && FText[end] == ':') {
                    const TMatch m = MatchCell(end + 1, second.Row1, second.Col1, second.AbsRow1, second.AbsCol1, end2);
                    if (m == TMatch::Beyond) Fail("reference beyond the sheet", end + 1);
                    if (m == TMatch::Found) {
                        area.AreaKind = TArea::Kind::Range;
                        area.Row2 = second.Row1, area.Col2 = second.Col1;
                        area.AbsRow2 = second.AbsRow1, area.AbsCol2 = second.AbsCol1;
                        end = end2;
                    }
                }
                return AddReference(start, p, end, area);
            }
            case TMatch::None:
                break;
        }
        if ((end = MatchColumns(p, area)) != 0) return AddReference(start, p, end, area);
        if ((end = MatchRows(p, area)) != 0) return AddReference(start, p, end, area);
        if (!IsNameStart(FText[p])) {
            if (hasPrefix) Fail("reference expected after the sheet name", p);
            Fail(std::string("unexpected character '") + FText[p] + "'", p);
        }
        const std::size_t q = ScanName(p);
        TTokenKind kind = TTokenKind::Name;
        std::size_t stop = q;
        if (q < n && FText[q] == '(') {
            kind = TTokenKind::Function;
        } else if (q < n && FText[q] == '[') {
            kind = TTokenKind::StructuredRef;
            stop = MatchBrackets(q);
        } else if (!hasPrefix) {
            const std::string_view word = FText.substr(p, q - p);
            if ((word.size() == 4 && StartsWithNoCase(word, 0, "TRUE")) ||
                (word.size() == 5 && StartsWithNoCase(word, 0, "FALSE")))
                kind = TTokenKind::Boolean;
        }
        TToken& t = Add(kind, start, stop);
        t.PrefixLen = static_cast<std::uint32_t>(p - start);
        return stop;
    }

    std::string_view FText;
    const TFormulaDialect& FDialect;
    std::vector<TToken>& FTokens;
    bool FInBraces = false;
};

}  // namespace

void Tokenize(std::string_view text, const TFormulaDialect& dialect, std::vector<TToken>& tokens) {
    TLexer(text, dialect, tokens).Run();
}

std::vector<TToken> Tokenize(std::string_view text, const TFormulaDialect& dialect) {
    std::vector<TToken> tokens;
    Tokenize(text, dialect, tokens);
    return tokens;
}

int ColumnFromLetters(std::string_view letters) noexcept {
    if (letters.empty() || letters.size() > 3) return 0;
    int col = 0;
    for (char c : letters) {
        if (!IsLetter(c)) return 0;
        col = col * 26 + (Upper(c) - 'A' + 1);
    }
    return col <= kMaxColumns ? col : 0;
}

int ColumnLetters(int column, char out[4]) noexcept {
    char rev[4];
    int n = 0;
    while (column > 0 && n < 3) {
        const int r = (column - 1) % 26;
        rev[n++] = char('A' + r);
        column = (column - 1) / 26;
    }
    for (int k = 0; k < n; ++k) out[k] = rev[n - 1 - k];
    out[n] = '\0';
    return n;
}

namespace {
void AppendColumn(std::string& out, int col, bool abs) {
    if (abs) out += '$';
    char letters[4];
    out.append(letters, ColumnLetters(col, letters));
}
void AppendRow(std::string& out, int row, bool abs) {
    if (abs) out += '$';
    char digits[12];
    int n = 0;
    do {
        digits[n++] = char('0' + row % 10);
        row /= 10;
    } while (row > 0);
    while (n > 0) out += digits[--n];
}
}  // namespace

void AppendArea(std::string& out, const TArea& a) {
    switch (a.AreaKind) {
        case TArea::Kind::Error:
            out += "#REF!";
            break;
        case TArea::Kind::Cell:
            AppendColumn(out, a.Col1, a.AbsCol1);
            AppendRow(out, a.Row1, a.AbsRow1);
            break;
        case TArea::Kind::Range:
            AppendColumn(out, a.Col1, a.AbsCol1);
            AppendRow(out, a.Row1, a.AbsRow1);
            out += ':';
            AppendColumn(out, a.Col2, a.AbsCol2);
            AppendRow(out, a.Row2, a.AbsRow2);
            break;
        case TArea::Kind::Columns:
            AppendColumn(out, a.Col1, a.AbsCol1);
            out += ':';
            AppendColumn(out, a.Col2, a.AbsCol2);
            break;
        case TArea::Kind::Rows:
            AppendRow(out, a.Row1, a.AbsRow1);
            out += ':';
            AppendRow(out, a.Row2, a.AbsRow2);
            break;
    }
}

std::string FormulaErrorText(std::string_view what, std::size_t pos, std::string_view formula) {
    std::string s(what);
    s += " at position ";
    s += std::to_string(pos + 1);
    s += " in formula =";
    s += formula;
    return s;
}

}  // namespace tabrix::xl
