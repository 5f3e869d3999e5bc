#pragma once
// Text types of the platform. UnicodeString holds UTF-16 (the texts exchanged
// with the spreadsheet); AnsiString holds UTF-8 (the system code page), so the
// conversions between the two lose nothing.

#include <string>
#include <string_view>

namespace tabrix {

using UnicodeString = std::u16string;
using AnsiString = std::string;

// Invalid UTF-8 bytes become U+FFFD; unpaired surrogates likewise.
UnicodeString Utf8ToUnicode(std::string_view text);
AnsiString UnicodeToUtf8(std::u16string_view text);
// Appends the code point as UTF-8 (the caller passes a valid one).
void AppendUtf8(std::string& out, char32_t codePoint);
// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values past U+10FFFF).
bool IsValidUtf8(std::string_view text) noexcept;
// Bytes of the UTF-8 sequence at text[at]; 0 when it is invalid there.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) noexcept;
// The text with each invalid byte replaced by U+FFFD; valid text unchanged.
AnsiString ToValidUtf8(std::string_view text);

// Blanks and control characters (code <= 32) at either end.
AnsiString Trim(std::string_view s);
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);
UnicodeString Trim(std::u16string_view s);

// ASCII letters only.
AnsiString UpperCase(std::string_view s);
AnsiString LowerCase(std::string_view s);
int CompareText(std::string_view a, std::string_view b);  // ASCII, ignoring case
bool SameText(std::string_view a, std::string_view b);

// Whole Unicode range, by simple case mapping.
AnsiString AnsiUpperCase(std::string_view s);
AnsiString AnsiLowerCase(std::string_view s);
// Locale-aware comparisons of the user's locale (collation of LC_COLLATE):
// <0, 0 or >0. AnsiCompareText ignores case, AnsiCompareStr does not.
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);

// Position of the first occurrence (1-based), 0 when absent.
size_t Pos(std::string_view sub, std::string_view s);

}  // namespace tabrix
