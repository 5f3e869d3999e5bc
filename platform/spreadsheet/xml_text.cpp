#include "platform/spreadsheet/xml_text.h"

#include "platform/rtl/strings.h"

namespace tabrix::xl {

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// "_xHHHH_" at position i.
bool IsEscapeAt(std::string_view s, size_t i) {
    return i + 7 <= s.size() && s[i] == '_' && s[i + 1] == 'x' && IsHex(s[i + 2]) && IsHex(s[i + 3]) &&
           IsHex(s[i + 4]) && IsHex(s[i + 5]) && s[i + 6] == '_';
}

void AppendEscapeCode(std::string& out, unsigned code) {
    static const char kHex[] = "0123456789ABCDEF";
    out += "_x";
    out.push_back(kHex[(code >> 12) & 15]);
    out.push_back(kHex[(code >> 8) & 15]);
    out.push_back(kHex[(code >> 4) & 15]);
    out.push_back(kHex[code & 15]);
    out.push_back('_');
}

template <bool Attribute>
void AppendEscaped(std::string& out, std::string_view text) {
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        const char* rep = nullptr;
        bool code = false;  // written as the file format's "_xHHHH_"
        switch (c) {
            case '&':
                rep = "&amp;";
                break;
            case '<':
                rep = "&lt;";
                break;
            case '>':
                rep = "&gt;";
                break;
            case '\r':
                // Excel's own form in text; an attribute takes the character reference.
                if (Attribute)
                    rep = "&#13;";
                else
                    code = true;
                break;
            case '"':
                if (!Attribute) continue;
                rep = "&quot;";
                break;
            case '\n':
                if (!Attribute) continue;
                rep = "&#10;";
                break;
            case '\t':
                if (!Attribute) continue;
                rep = "&#9;";
                break;
            case '_':
                if (!IsEscapeAt(text, i)) continue;
                code = true;  // a literal "_x0041_" stays literal
                break;
            default:
                if (c >= 0x80) {
                    // Text from outside (a data set, a program) may hold
                    // invalid UTF-8; the part must stay well-formed XML.
                    size_t length = Utf8SequenceLength(text, i);
                    if (length) {
                        i += length - 1;
                        continue;
                    }
                    rep = "\xEF\xBF\xBD";  // U+FFFD
                    break;
                }
                if (c >= 0x20) continue;
                code = true;
        }
        out.append(text.data() + run, i - run);
        run = i + 1;
        if (code)
            AppendEscapeCode(out, c);
        else
            out += rep;
    }
    out.append(text.data() + run, text.size() - run);
}

}  // namespace

void AppendXmlText(std::string& out, std::string_view text) { AppendEscaped<false>(out, text); }

void AppendXmlAttribute(std::string& out, std::string_view text) { AppendEscaped<true>(out, text); }

bool NeedsSpacePreserve(std::string_view text) {
    if (text.empty()) return false;
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    return blank(text.front()) || blank(text.back()) || text.find('\n') != std::string_view::npos;
}

std::string DecodeXmlEscapes(std::string_view text) {
    std::string out;
    size_t run = 0;
    size_t i = text.find("_x");
    if (i == std::string_view::npos) return std::string(text);
    for (; i < text.size(); ++i) {
        if (text[i] != '_' || !IsEscapeAt(text, i)) continue;
        out.append(text.data() + run, i - run);
        unsigned code = (HexValue(text[i + 2]) << 12) | (HexValue(text[i + 3]) << 8) | (HexValue(text[i + 4]) << 4) |
                        HexValue(text[i + 5]);
        // A character beyond the basic plane is two escapes of its UTF-16
        // surrogates; a lone surrogate is no text and reads as U+FFFD.
        if (code >= 0xD800 && code <= 0xDBFF && IsEscapeAt(text, i + 7)) {
            unsigned low = (HexValue(text[i + 9]) << 12) | (HexValue(text[i + 10]) << 8) |
                           (HexValue(text[i + 11]) << 4) | HexValue(text[i + 12]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00));
                i += 13;
                run = i + 1;
                continue;
            }
        }
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
        i += 6;
        run = i + 1;
    }
    out.append(text.data() + run, text.size() - run);
    return out;
}

std::string_view LocalName(std::string_view name) {
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view NamePrefix(std::string_view name) {
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? std::string_view() : name.substr(0, colon + 1);
}

}  // namespace tabrix::xl
