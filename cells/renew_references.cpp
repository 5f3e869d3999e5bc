#include "cells/renew_references.h"

#include <cstdint>

#include "cells/field_syntax.h"
#include "cells/report_limits.h"
#include "platform/rtl/ascii.h"
#include "platform/spreadsheet/cell_address.h"

namespace tabrix {

namespace {

constexpr bool IsNameChar(char16_t c) { return c == u'$' || ascii::IsDigit(c) || ascii::IsLetter(c); }
// Letters of other scripts belong to the name they touch: the spreadsheet
// reads "ÄA1" as one defined name, so such a name is never a reference.
constexpr bool IsForeign(char16_t c) { return c >= 0x80; }

// The position after the "=" (or sign and "=") that makes the text a
// formula, or npos for a plain value.
size_t FormulaBodyStart(std::u16string_view formula, char16_t sign) {
    size_t b = 0, e = formula.size();
    while (b < e && formula[b] <= u' ') ++b;
    while (e > b && formula[e - 1] <= u' ') --e;
    if (b == e) return std::u16string_view::npos;
    if (formula[b] == u'=') return b + 1;
    if (e - b >= 2 && formula[b] == sign && formula[b + 1] == u'=') return b + 2;
    return std::u16string_view::npos;
}

// Column number of one or two letters (either case); 0 when not letters.
int ColumnOf(std::u16string_view letters) {
    int col = 0;
    for (char16_t c : letters) {
        if (!ascii::IsLetter(c)) return 0;
        col = col * 26 + (ascii::Upper(c) - u'A' + 1);
    }
    return col;
}

void AppendRow(int row, UnicodeString& out) {
    char16_t buf[12];
    int n = 0;
    for (; row > 0; row /= 10) buf[n++] = static_cast<char16_t>(u'0' + row % 10);
    while (n > 0) out += buf[--n];
}

// Appends the name moved by the offsets when it is a cell reference that
// stays on the sheet; otherwise appends nothing and returns false.
// `name` holds ASCII name characters.
bool AppendMovedReference(std::u16string_view name, int rowOffset, int colOffset, UnicodeString& out) {
    size_t digits = name.size();
    while (digits > 0 && ascii::IsDigit(name[digits - 1])) --digits;
    if (digits == 0 || digits == name.size()) return false;
    // Row value with leading zeros skipped; anything past kReportMaxRow (including
    // values too long for any integer) is no row of the sheet.
    int64_t row = 0;
    for (size_t k = digits; k < name.size(); ++k) {
        row = row * 10 + (name[k] - u'0');
        if (row > kReportMaxRow) return false;
    }
    const size_t p = digits - 1;  // last character that is not a digit
    const bool rowAbsolute = name[p] == u'$';
    if (!rowAbsolute) {
        row += rowOffset;
        if (row < 1 || row > kReportMaxRow) return false;
    }
    const std::u16string_view colPart = name.substr(0, rowAbsolute ? p : p + 1);
    if (colPart.empty()) return false;

    const bool colAbsolute = colPart[0] == u'$';
    const std::u16string_view letters = colPart.substr(colAbsolute ? 1 : 0);
    if (letters.empty() || letters.size() > 2) return false;
    int64_t col = ColumnOf(letters);
    if (col < 1 || col > kReportMaxColumn) return false;
    if (!colAbsolute) {
        col += colOffset;
        if (col < 1 || col > kReportMaxColumn) return false;
    }

    if (colAbsolute)
        out += colPart;
    else
        xl::AppendColumnLetters(out, static_cast<int>(col));
    if (rowAbsolute)
        out += name.substr(p);
    else
        AppendRow(static_cast<int>(row), out);
    return true;
}

// One side of a whole-column range ("C", "$C") or a whole-row range ("5",
// "$5"), which the spreadsheet moves like the references of a cell.
enum class TLineKind { None, Column, Row };

struct TLineRef {
    TLineKind Kind = TLineKind::None;
    bool Absolute = false;
    int Value = 0;
};

TLineRef ParseLine(std::u16string_view s) {
    TLineRef ref;
    ref.Absolute = !s.empty() && s[0] == u'$';
    const std::u16string_view rest = s.substr(ref.Absolute ? 1 : 0);
    if (rest.empty()) return ref;
    if (ascii::IsLetter(rest[0])) {
        const int col = rest.size() <= 2 ? ColumnOf(rest) : 0;
        if (col >= 1 && col <= kReportMaxColumn) ref = {TLineKind::Column, ref.Absolute, col};
        return ref;
    }
    int64_t row = 0;
    for (char16_t c : rest) {
        if (!ascii::IsDigit(c)) return ref;
        row = row * 10 + (c - u'0');
        if (row > kReportMaxRow) return ref;
    }
    if (row >= 1) ref = {TLineKind::Row, ref.Absolute, static_cast<int>(row)};
    return ref;
}

// Appends one side moved by the offset of its kind; false when it would
// leave the sheet.
bool AppendMovedLine(std::u16string_view text, const TLineRef& ref, int offset, UnicodeString& out) {
    if (ref.Absolute) {
        out += text;
        return true;
    }
    const int64_t moved = int64_t(ref.Value) + offset;
    if (moved < 1 || moved > (ref.Kind == TLineKind::Column ? kReportMaxColumn : kReportMaxRow)) return false;
    if (ref.Kind == TLineKind::Column)
        xl::AppendColumnLetters(out, static_cast<int>(moved));
    else
        AppendRow(static_cast<int>(moved), out);
    return true;
}

// Appends "first:last" moved when both sides are whole columns or both
// whole rows (unchanged, as a whole, when a side would leave the sheet);
// returns false, appending nothing, when they are no such range.
bool AppendRenewedLineRange(std::u16string_view first, std::u16string_view last, int rowOffset, int colOffset,
                            UnicodeString& out) {
    const TLineRef a = ParseLine(first);
    const TLineRef b = ParseLine(last);
    if (a.Kind == TLineKind::None || a.Kind != b.Kind) return false;
    const int offset = a.Kind == TLineKind::Column ? colOffset : rowOffset;
    const size_t mark = out.size();
    if (AppendMovedLine(first, a, offset, out)) {
        out += u':';
        if (AppendMovedLine(last, b, offset, out)) return true;
    }
    out.resize(mark);
    out += first;
    out += u':';
    out += last;
    return true;
}

}  // namespace

UnicodeString TabrixRenewCellReferences(std::u16string_view formula, int rowOffset, int colOffset, char fieldSign) {
    const char16_t sign = static_cast<unsigned char>(fieldSign);
    const size_t body =
        (rowOffset == 0 && colOffset == 0) ? std::u16string_view::npos : FormulaBodyStart(formula, sign);
    if (body == std::u16string_view::npos) return UnicodeString(formula);
    // A sign that is itself a name, quote or bracket character cannot mark a
    // field reference apart from the formula's own syntax.
    const bool signMarksFields = !IsNameChar(sign) && sign != u'"' && sign != u'\'' && sign != u'[' && sign != u']';

    UnicodeString out;
    out.reserve(formula.size() + 8);
    out.append(formula.substr(0, body));
    const size_t n = formula.size();
    size_t nameStart = std::u16string_view::npos;
    bool nameForeign = false;
    auto finishName = [&](size_t end) {
        if (nameStart == std::u16string_view::npos) return;
        const std::u16string_view name = formula.substr(nameStart, end - nameStart);
        if (nameForeign)
            out += name;
        else if (!AppendMovedReference(name, rowOffset, colOffset, out))
            out += name;
        nameStart = std::u16string_view::npos;
        nameForeign = false;
    };

    size_t i = body;
    while (i < n) {
        const char16_t c = formula[i];
        if (c == u'"' || c == u'\'') {
            // A string constant, or a sheet name in apostrophes: copied
            // through its closing quote (a doubled quote reopens it at once).
            finishName(i);
            const size_t close = formula.find(c, i + 1);
            const size_t stop = close == std::u16string_view::npos ? n : close + 1;
            out += formula.substr(i, stop - i);
            i = stop;
            continue;
        }
        if (c == u'[') {
            // Workbook names and table columns: never cell references.
            finishName(i);
            size_t k = i + 1;
            for (int depth = 1; k < n && depth > 0; ++k) {
                if (formula[k] == u'[')
                    ++depth;
                else if (formula[k] == u']')
                    --depth;
            }
            out += formula.substr(i, k - i);
            i = k;
            continue;
        }
        if (signMarksFields && c == sign) {
            // An odd run of signs starts a field reference ("##" is a literal
            // sign); the field's name is data, not a reference.
            finishName(i);
            size_t k = i;
            while (k < n && formula[k] == sign) ++k;
            const bool field = (k - i) % 2 == 1;
            size_t end = k;
            if (field && k < n && field_syntax::IsQuote(formula[k])) {
                const size_t close = formula.find(formula[k], k + 1);
                end = close == std::u16string_view::npos ? n : close + 1;
            } else if (field) {
                end = field_syntax::NameEnd(formula, k);
            }
            out += formula.substr(i, end - i);
            i = end;
            continue;
        }
        if (IsNameChar(c) || IsForeign(c)) {
            if (nameStart == std::u16string_view::npos) nameStart = i;
            nameForeign = nameForeign || IsForeign(c);
            ++i;
            continue;
        }
        if (c == u':' && nameStart != std::u16string_view::npos && !nameForeign) {
            size_t j = i + 1;
            while (j < n && IsNameChar(formula[j])) ++j;
            if (j > i + 1 && (j == n || !IsForeign(formula[j])) &&
                AppendRenewedLineRange(formula.substr(nameStart, i - nameStart), formula.substr(i + 1, j - i - 1),
                                       rowOffset, colOffset, out)) {
                nameStart = std::u16string_view::npos;
                i = j;
                continue;
            }
        }
        finishName(i);
        out += c;
        ++i;
    }
    finishName(n);
    return out;
}

}  // namespace tabrix
