#pragma once
// Lexical classes of field references in template cells ("#Qty",
// "#SUM(Orders.Qty)", "#'Order Date'"). The field parser reads references with
// them, and the reference renewal uses them to leave field names alone.
// The classes look only at the low eight bits of a UTF-16 code unit, as the
// field syntax has always done; bracket depth counts only "(" and ")" itself.

#include <cstddef>
#include <string_view>

namespace tabrix::field_syntax {

constexpr unsigned char LowByte(char16_t c) { return static_cast<unsigned char>(c & 0xFF); }

constexpr bool IsDigit(char16_t c) { return LowByte(c) >= '0' && LowByte(c) <= '9'; }

// Letters A-Z, a-z, digits, "_" and ".".
constexpr bool IsNameChar(char16_t c) {
    const unsigned char b = LowByte(c);
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_' || b == '.';
}

constexpr bool IsQuote(char16_t c) { return LowByte(c) == '"' || LowByte(c) == '\''; }

constexpr bool IsBracket(char16_t c) { return LowByte(c) == '(' || LowByte(c) == ')'; }

// The end (exclusive) of the unquoted field name that begins at `start`, the
// character after the field sign: name characters and brackets that keep the
// depth at 0 or more; a digit cannot begin the name. Returns `start` for an
// empty name.
inline size_t NameEnd(std::u16string_view text, size_t start) {
    int depth = 0;
    size_t k = start;
    for (; k < text.size(); ++k) {
        const char16_t c = text[k];
        if (IsNameChar(c)) {
            if (k == start && IsDigit(c)) break;
            continue;
        }
        if (!IsBracket(c)) break;
        if (c == u'(')
            ++depth;
        else if (c == u')')
            --depth;
        if (depth < 0) break;
    }
    return k;
}

}  // namespace tabrix::field_syntax
