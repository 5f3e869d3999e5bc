#include "platform/spreadsheet/xml_reader.h"

#include <cstring>

#include "platform/rtl/strings.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameEnd(char c) { return IsSpace(c) || c == '>' || c == '/' || c == '='; }

// What an XML name may hold, to the byte: ASCII letters, digits and ".-_:",
// and any byte of a multi-byte character. A quote or a control byte in a
// name is refused, since the kept text after the rows is later scanned by a
// lighter reader that takes a quote for the start of a value.
bool IsNameByte(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '.' ||
           u == '-' || u == '_' || u == ':';
}

// The code point of "&#65;" or "&#x41;" (digits between '#' and ';'), 0
// when it is no character XML can hold.
char32_t NumericReference(std::string_view digits) {
    bool hex = !digits.empty() && digits[0] == 'x';
    if (hex) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 8) return 0;
    char32_t cp = 0;
    for (char c : digits) {
        int d = c >= '0' && c <= '9'          ? c - '0'
                : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                              : -1;
        if (d < 0) return 0;
        cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(d);
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return cp;
}

}  // namespace

TXmlReader::TXmlReader(std::string_view xml, std::string where) : FXml(xml), FWhere(std::move(where)) {
    FOpen.reserve(16);
    FAttributes.reserve(16);
    if (FXml.size() >= 3 && FXml.compare(0, 3, "\xEF\xBB\xBF") == 0) FPos = 3;  // a UTF-8 byte order mark
}

void TXmlReader::FailAt(std::string_view what, size_t offset) const {
    throw ESpreadsheetError(FWhere + ": malformed XML, " + std::string(what) + ", at offset " + std::to_string(offset));
}

void TXmlReader::Fail(std::string_view what) const { FailAt(what, FPos); }

void TXmlReader::CheckName(std::string_view name, size_t at) const {
    for (size_t k = 0; k < name.size(); ++k)
        if (!IsNameByte(name[k])) FailAt("a character that no name may hold", at + k);
}

size_t TXmlReader::SkipPast(std::string_view terminator, size_t from, std::string_view what) const {
    size_t e = FXml.find(terminator, from);
    if (e == std::string_view::npos) FailAt(std::string(what) + " is not closed", from);
    return e + terminator.size();
}

std::string_view TXmlReader::LocalName() const { return xl::LocalName(FName); }

TXmlReader::TToken TXmlReader::Next() {
    if (FPendingEnd) {
        FPendingEnd = false;
        FOpen.pop_back();
        if (FOpen.empty()) FRootDone = true;
        return FToken = TToken::EndTag;
    }
    while (FPos < FXml.size()) {
        if (FXml[FPos] != '<') {
            size_t e = FXml.find('<', FPos);
            if (e == std::string_view::npos) e = FXml.size();
            std::string_view text = FXml.substr(FPos, e - FPos);
            if (FOpen.empty()) {
                for (char c : text)
                    if (!IsSpace(c)) Fail("text outside the root element");
                FPos = e;
                continue;
            }
            FText = text;
            FCData = false;
            FPos = e;
            return FToken = TToken::Text;
        }
        std::string_view rest = FXml.substr(FPos);
        if (rest.starts_with("<!--")) {
            FPos = SkipPast("-->", FPos + 4, "a comment");
        } else if (rest.starts_with("<?")) {
            FPos = SkipPast("?>", FPos + 2, "a processing instruction");
        } else if (rest.starts_with("<![CDATA[")) {
            if (FOpen.empty()) Fail("a CDATA section outside the root element");
            size_t end = SkipPast("]]>", FPos + 9, "a CDATA section");
            FText = FXml.substr(FPos + 9, end - 3 - FPos - 9);
            FCData = true;
            FPos = end;
            return FToken = TToken::Text;
        } else if (rest.starts_with("<!")) {
            if (!FOpen.empty() || FRootDone) Fail("a declaration inside the document");
            SkipDoctype();
        } else if (rest.starts_with("</")) {
            ReadEndTag();
            return FToken = TToken::EndTag;
        } else {
            ReadStartTag();
            return FToken = TToken::Start;
        }
    }
    if (!FOpen.empty()) Fail("the part ends inside <" + std::string(FOpen.back()) + ">");
    return FToken = TToken::End;
}

bool TXmlReader::NextChild(int parentDepth) {
    for (;;) {
        TToken t = Next();
        if (t == TToken::Start && Depth() == parentDepth + 1) return true;
        if (t == TToken::EndTag && Depth() == parentDepth - 1) return false;
        if (t == TToken::End) return false;
    }
}

void TXmlReader::NextStart() {
    while (Next() != TToken::Start)
        if (FToken == TToken::End) Fail("the part holds no element");
}

// "<!DOCTYPE x [ <!ENTITY ...> ]>": skipped with its internal subset;
// nothing in it is ever expanded.
void TXmlReader::SkipDoctype() {
    char quote = 0;
    int brackets = 0;
    for (size_t i = FPos + 2; i < FXml.size(); ++i) {
        char c = FXml[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '[') {
            ++brackets;
        } else if (c == ']') {
            --brackets;
        } else if (c == '>' && brackets <= 0) {
            FPos = i + 1;
            return;
        }
    }
    Fail("a declaration is not closed");
}

void TXmlReader::ReadEndTag() {
    FTagBegin = FPos;
    size_t i = FPos + 2;
    size_t n = i;
    while (n < FXml.size() && !IsNameEnd(FXml[n])) ++n;
    FName = FXml.substr(i, n - i);
    while (n < FXml.size() && IsSpace(FXml[n])) ++n;
    if (n >= FXml.size() || FXml[n] != '>') Fail("an end tag is not closed");
    if (FOpen.empty()) Fail("the end tag </" + std::string(FName) + "> closes no element");
    if (FOpen.back() != FName)
        Fail("the end tag </" + std::string(FName) + "> does not close <" + std::string(FOpen.back()) + ">");
    FOpen.pop_back();
    if (FOpen.empty()) FRootDone = true;
    FPos = n + 1;
    FTagEnd = FPos;
    FSelfClosing = false;
}

void TXmlReader::ReadStartTag() {
    FTagBegin = FPos;
    if (FOpen.empty() && FRootDone) Fail("a second root element");
    size_t i = FPos + 1;
    size_t n = i;
    while (n < FXml.size() && !IsNameEnd(FXml[n])) ++n;
    if (n == i) Fail("a tag without a name");
    FName = FXml.substr(i, n - i);
    CheckName(FName, i);
    FAttributes.clear();
    FSelfClosing = false;
    const size_t size = FXml.size();
    for (;;) {
        bool spaced = false;
        while (n < size && IsSpace(FXml[n])) {
            ++n;
            spaced = true;
        }
        if (n >= size) Fail("the tag <" + std::string(FName) + "> is not closed");
        char c = FXml[n];
        if (c == '>') {
            ++n;
            break;
        }
        if (c == '/') {
            if (n + 1 >= size || FXml[n + 1] != '>') Fail("a '/' inside the tag <" + std::string(FName) + ">");
            FSelfClosing = true;
            n += 2;
            break;
        }
        if (!spaced) Fail("attributes of <" + std::string(FName) + "> are not separated");
        size_t a = n;
        while (n < size && !IsNameEnd(FXml[n])) ++n;
        if (n == a) Fail("an attribute without a name in <" + std::string(FName) + ">");
        std::string_view name = FXml.substr(a, n - a);
        CheckName(name, a);
        while (n < size && IsSpace(FXml[n])) ++n;
        if (n >= size || FXml[n] != '=') Fail("the attribute " + std::string(name) + " has no value");
        ++n;
        while (n < size && IsSpace(FXml[n])) ++n;
        if (n >= size || (FXml[n] != '"' && FXml[n] != '\''))
            Fail("the value of " + std::string(name) + " is not quoted");
        char quote = FXml[n];
        size_t v = n + 1;
        size_t e = FXml.find(quote, v);
        if (e == std::string_view::npos) Fail("the value of " + std::string(name) + " is not closed");
        std::string_view raw = FXml.substr(v, e - v);
        if (std::memchr(raw.data(), '<', raw.size())) FailAt("a '<' in the value of " + std::string(name), v);
        FAttributes.push_back({name, raw});
        n = e + 1;
    }
    FPos = n;
    FTagEnd = n;
    FOpen.push_back(FName);
    if (static_cast<int>(FOpen.size()) > kMaxXmlDepth)
        FailAt("elements nest deeper than " + std::to_string(kMaxXmlDepth) + " levels", FTagBegin);
    FPendingEnd = FSelfClosing;
}

bool TXmlReader::Attribute(std::string_view name, std::string_view& raw) const {
    for (const TAttribute& a : FAttributes)
        if (a.Name == name) {
            raw = a.Raw;
            return true;
        }
    return false;
}

std::string_view TXmlReader::ElementText(std::string& scratch) {
    const int depth = Depth();
    std::string_view only;
    int pieces = 0;
    bool firstIsCData = false;
    for (;;) {
        TToken t = Next();
        if (t == TToken::EndTag && Depth() == depth - 1) break;
        if (t == TToken::Start) {
            SkipElement();
        } else if (t == TToken::Text) {
            std::string_view raw = FText;
            if (pieces == 0) {
                only = raw;
                firstIsCData = FCData;
            } else {
                if (pieces == 1) {
                    std::string first(only);
                    scratch.clear();
                    if (firstIsCData)
                        scratch = first;
                    else
                        AppendDecoded(scratch, first);
                }
                if (FCData)
                    scratch += raw;
                else
                    AppendDecoded(scratch, raw);
            }
            ++pieces;
        } else if (t == TToken::End) {
            break;
        }
    }
    if (pieces == 0) return {};
    if (pieces > 1) return scratch;
    return firstIsCData ? only : Decode(only, scratch);
}

void TXmlReader::SkipElement() {
    const int depth = Depth();
    while (Depth() >= depth)
        if (Next() == TToken::End) break;
}

std::string_view TXmlReader::Decode(std::string_view raw, std::string& scratch) {
    if (raw.find_first_of("&\r") == std::string_view::npos) return raw;
    scratch.clear();
    AppendDecoded(scratch, raw);
    return scratch;
}

void TXmlReader::AppendDecoded(std::string& out, std::string_view raw) {
    size_t run = 0;
    for (size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\r') {
            out.append(raw.data() + run, i - run);
            out += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
            run = i + 1;
            continue;
        }
        if (c != '&') continue;
        size_t semi = raw.find(';', i + 1);
        if (semi == std::string_view::npos || semi - i > 12) continue;  // kept as written
        std::string_view name = raw.substr(i + 1, semi - i - 1);
        char32_t cp = 0;
        if (name == "lt")
            cp = '<';
        else if (name == "gt")
            cp = '>';
        else if (name == "amp")
            cp = '&';
        else if (name == "quot")
            cp = '"';
        else if (name == "apos")
            cp = '\'';
        else if (!name.empty() && name[0] == '#')
            cp = NumericReference(name.substr(1));
        if (cp == 0) continue;  // an unknown entity stays as written: it is never expanded
        out.append(raw.data() + run, i - run);
        AppendUtf8(out, cp);
        i = semi;
        run = i + 1;
    }
    out.append(raw.data() + run, raw.size() - run);
}

void RequireUtf8Encoding(std::string_view xml, std::string_view where) {
    bool utf16 = xml.starts_with("\xFF\xFE") || xml.starts_with("\xFE\xFF") ||
                 (xml.size() >= 2 && (xml[0] == '\0' || xml[1] == '\0'));
    if (utf16)
        throw ESpreadsheetError(std::string(where) +
                                " is not UTF-8: it is encoded as UTF-16, and the engine reads UTF-8 parts only");
}

}  // namespace tabrix::xl
