#pragma once
// ASCII character helpers for every layer. Syntax of formulas, form files,
// SQL parameters, cell addresses and ISO dates is ASCII (names compare
// ignoring ASCII case, whatever the locale); texts are UTF-8 (char) or
// UTF-16 (char16_t), so the helpers take either unit.
//
//   ascii::IsDigit(u'7');                      // true
//   ascii::EqualsNoCase("sum", "SUM");         // true (second argument upper case)
//   ascii::CharCount("\xC3\xA4x");             // 2 characters in 3 bytes

#include <cstddef>
#include <string_view>

namespace tabrix::ascii {

template <class C>
constexpr bool IsUpperLetter(C c) noexcept {
    return c >= C('A') && c <= C('Z');
}
template <class C>
constexpr bool IsLetter(C c) noexcept {
    return IsUpperLetter(c) || (c >= C('a') && c <= C('z'));
}
template <class C>
constexpr bool IsDigit(C c) noexcept {
    return c >= C('0') && c <= C('9');
}
template <class C>
constexpr C Upper(C c) noexcept {
    return (c >= C('a') && c <= C('z')) ? C(c - C('a') + C('A')) : c;
}

// upper is given in upper case.
inline bool StartsWithNoCase(std::string_view s, std::string_view upper) noexcept {
    if (s.size() < upper.size()) return false;
    for (std::size_t i = 0; i < upper.size(); ++i)
        if (Upper(s[i]) != upper[i]) return false;
    return true;
}
inline bool EqualsNoCase(std::string_view s, std::string_view upper) noexcept {
    return s.size() == upper.size() && StartsWithNoCase(s, upper);
}

// Characters (code points) of UTF-8 text.
inline std::size_t CharCount(std::string_view utf8) noexcept {
    std::size_t n = 0;
    for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace tabrix::ascii
