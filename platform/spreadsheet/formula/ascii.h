#pragma once
// Character helpers of the formula layer: formula syntax is ASCII (names of
// functions, errors, Booleans and columns compare ignoring ASCII case), texts
// are UTF-8 and counted in characters.

#include <cstddef>
#include <string_view>

namespace tabrix::xl::ascii {

inline bool IsLetter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
inline char Upper(char c) noexcept { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

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

}  // namespace tabrix::xl::ascii
