#include "platform/rtl/strings.h"

#include <langinfo.h>
#include <locale.h>
#include <wchar.h>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwctype>

namespace tabrix {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at s[i]; advances i.
char32_t DecodeUtf8(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + len > s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not text.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

void EncodeUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::wstring ToWide(std::string_view s) {
    std::wstring w;
    w.reserve(s.size());
    for (size_t i = 0; i < s.size();) w += static_cast<wchar_t>(DecodeUtf8(s, i));
    return w;
}

std::string FromWide(const std::wstring& w) {
    std::string out;
    out.reserve(w.size());
    for (wchar_t c : w) EncodeUtf8(out, static_cast<char32_t>(c));
    return out;
}

// Locale for case mapping (C.UTF-8 knows every letter) and for collation
// (the user's LC_COLLATE when it is a UTF-8 locale).
locale_t CaseLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return l ? l : newlocale(LC_CTYPE_MASK, "C", nullptr);
    }();
    return loc;
}

locale_t CollateLocale() {
    static locale_t loc = [] {
        locale_t l = newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "", nullptr);
        if (l) {
            // The wide-character collation only works under a UTF-8 codeset.
            const char* name = nullptr;
#ifdef __GLIBC__
            name = nl_langinfo_l(CODESET, l);
#endif
            if (name && std::string_view(name) == "UTF-8") return l;
            freelocale(l);
        }
        return newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "C.UTF-8", nullptr);
    }();
    return loc;
}

std::wstring WideUpper(std::wstring w) {
    for (auto& c : w) c = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(c), CaseLocale()));
    return w;
}

std::wstring WideLower(std::wstring w) {
    for (auto& c : w) c = static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), CaseLocale()));
    return w;
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

int Collate(const std::wstring& a, const std::wstring& b) {
    locale_t loc = CollateLocale();
    int r = loc ? wcscoll_l(a.c_str(), b.c_str(), loc) : wcscmp(a.c_str(), b.c_str());
    // Texts that collate equal but differ are still different names.
    if (r == 0) r = wcscmp(a.c_str(), b.c_str());
    return Sign(r);
}

bool IsTrimmed(unsigned char c) { return c <= 32; }

// Length of the ASCII run from i, eight bytes at a time.
size_t AsciiRun(std::string_view s, size_t i) noexcept {
    const size_t start = i;
    while (i + 8 <= s.size()) {
        uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ull) break;
        i += 8;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
    return i - start;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t codePoint) { EncodeUtf8(out, codePoint); }

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) noexcept {
    if (at >= text.size()) return 0;
    if (static_cast<unsigned char>(text[at]) < 0x80) return 1;
    size_t i = at;
    DecodeUtf8(text, i);
    return i == at + 1 ? 0 : i - at;
}

bool IsValidUtf8(std::string_view text) noexcept {
    for (size_t i = 0; i < text.size();) {
        i += AsciiRun(text, i);
        if (i >= text.size()) break;
        size_t at = i;
        DecodeUtf8(text, i);
        if (i == at + 1) return false;  // a lead byte >= 0x80 alone is never text
    }
    return true;
}

AnsiString ToValidUtf8(std::string_view text) {
    AnsiString out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size();) {
        size_t run = AsciiRun(text, i);
        out.append(text.data() + i, run);
        i += run;
        if (i >= text.size()) break;
        size_t at = i;
        DecodeUtf8(text, i);
        if (i == at + 1)
            EncodeUtf8(out, kReplacement);
        else
            out.append(text.data() + at, i - at);
    }
    return out;
}

UnicodeString Utf8ToUnicode(std::string_view text) {
    UnicodeString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x80) {  // fast path for ASCII
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        char32_t cp = DecodeUtf8(text, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

AnsiString UnicodeToUtf8(std::u16string_view text) {
    AnsiString out;
    // ASCII (nearly every cell text) is copied in one pass.
    size_t ascii = 0;
    while (ascii < text.size() && text[ascii] < 0x80) ++ascii;
    out.resize(ascii);
    for (size_t i = 0; i < ascii; ++i) out[i] = static_cast<char>(text[i]);
    if (ascii == text.size()) return out;
    out.reserve(text.size() + (text.size() - ascii) * 2);
    for (size_t i = ascii; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        EncodeUtf8(out, c);
    }
    return out;
}

AnsiString Trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsTrimmed(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && IsTrimmed(static_cast<unsigned char>(s[e - 1]))) --e;
    return AnsiString(s.substr(b, e - b));
}

AnsiString TrimLeft(std::string_view s) {
    size_t b = 0;
    while (b < s.size() && IsTrimmed(static_cast<unsigned char>(s[b]))) ++b;
    return AnsiString(s.substr(b));
}

AnsiString TrimRight(std::string_view s) {
    size_t e = s.size();
    while (e > 0 && IsTrimmed(static_cast<unsigned char>(s[e - 1]))) --e;
    return AnsiString(s.substr(0, e));
}

UnicodeString Trim(std::u16string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] <= 32) ++b;
    while (e > b && s[e - 1] <= 32) --e;
    return UnicodeString(s.substr(b, e - b));
}

AnsiString UpperCase(std::string_view s) {
    AnsiString r(s);
    for (auto& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

AnsiString LowerCase(std::string_view s) {
    AnsiString r(s);
    for (auto& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

int CompareText(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z') ca -= 32;
        if (cb >= 'a' && cb <= 'z') cb -= 32;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }

AnsiString AnsiUpperCase(std::string_view s) { return FromWide(WideUpper(ToWide(s))); }
AnsiString AnsiLowerCase(std::string_view s) { return FromWide(WideLower(ToWide(s))); }

namespace {

// Equal ASCII texts but for letter case: the common answer of a group
// comparison (the next record in the same group), found without wide copies.
bool SameAsciiText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if ((x | y) & 0x80) return false;
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

}  // namespace

int AnsiCompareText(std::string_view a, std::string_view b) {
    if (SameAsciiText(a, b)) return 0;
    return Collate(WideUpper(ToWide(a)), WideUpper(ToWide(b)));
}

int AnsiCompareStr(std::string_view a, std::string_view b) { return a == b ? 0 : Collate(ToWide(a), ToWide(b)); }

bool AnsiSameText(std::string_view a, std::string_view b) { return WideUpper(ToWide(a)) == WideUpper(ToWide(b)); }

size_t Pos(std::string_view sub, std::string_view s) {
    const size_t p = s.find(sub);
    return p == std::string_view::npos ? 0 : p + 1;
}

}  // namespace tabrix
