// The form file text: a lexer and parser into values, and the printer back.
#include "platform/classes/formtext.h"

#include <charconv>
#include <cmath>

#include "platform/rtl/ascii.h"
#include "platform/rtl/convert.h"
#include "platform/rtl/format.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

enum class TTok : uint8_t { Eof, Ident, Int, Float, String, Binary, Symbol };

struct TToken {
    TTok Kind = TTok::Eof;
    int Line = 1;
    char Symbol = 0;
    int64_t Int = 0;
    double Float = 0;
    std::string Text;
};

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

class TLexer {
public:
    TLexer(std::string_view text, const std::string& fileName) : FText(text), FFileName(fileName) {}

    const TToken& Current() const { return FTok; }
    int Line() const { return FTok.Line; }

    [[noreturn]] void Fail(int line, const std::string& message) const {
        throw EParserError(Format("%s, line %d: %s", {FFileName, line, message}));
    }

    void Next() {
        SkipBlanks();
        FTok = TToken();
        FTok.Line = FLine;
        if (FPos >= FText.size()) return;
        char c = FText[FPos];
        if (IsIdentStart(c)) {
            size_t start = FPos;
            while (FPos < FText.size() &&
                   (IsIdentStart(FText[FPos]) || ascii::IsDigit(FText[FPos]) || FText[FPos] == '.'))
                ++FPos;
            FTok.Kind = TTok::Ident;
            FTok.Text = std::string(FText.substr(start, FPos - start));
        } else if (ascii::IsDigit(c) || c == '$' ||
                   (c == '-' && FPos + 1 < FText.size() &&
                    (ascii::IsDigit(FText[FPos + 1]) || FText[FPos + 1] == '$'))) {
            Number();
        } else if (c == '\'' || c == '#') {
            String();
        } else if (c == '{') {
            Binary();
        } else {
            FTok.Kind = TTok::Symbol;
            FTok.Symbol = c;
            ++FPos;
        }
    }

private:
    void SkipBlanks() {
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (c == '\n') {
                ++FLine;
                ++FPos;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++FPos;
            } else if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
                while (FPos < FText.size() && FText[FPos] != '\n') ++FPos;
            } else {
                break;
            }
        }
    }

    void Number() {
        size_t start = FPos;
        bool negative = FText[FPos] == '-';
        if (negative) ++FPos;
        if (FText[FPos] == '$') {
            ++FPos;
            uint64_t v = 0;
            size_t digits = 0;
            while (FPos < FText.size() && HexDigit(FText[FPos]) >= 0) {
                if (++digits > 16) Fail(FLine, "hexadecimal number too long");
                v = v * 16 + static_cast<uint64_t>(HexDigit(FText[FPos++]));
            }
            if (digits == 0) Fail(FLine, "hexadecimal digits expected after $");
            FTok.Kind = TTok::Int;
            FTok.Int = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
            return;
        }
        bool isFloat = false;
        while (FPos < FText.size() && ascii::IsDigit(FText[FPos])) ++FPos;
        if (FPos + 1 < FText.size() && FText[FPos] == '.' && ascii::IsDigit(FText[FPos + 1])) {
            isFloat = true;
            ++FPos;
            while (FPos < FText.size() && ascii::IsDigit(FText[FPos])) ++FPos;
        }
        if (FPos < FText.size() && (FText[FPos] == 'e' || FText[FPos] == 'E')) {
            size_t p = FPos + 1;
            if (p < FText.size() && (FText[p] == '+' || FText[p] == '-')) ++p;
            if (p < FText.size() && ascii::IsDigit(FText[p])) {
                isFloat = true;
                FPos = p;
                while (FPos < FText.size() && ascii::IsDigit(FText[FPos])) ++FPos;
            }
        }
        std::string_view num = FText.substr(start, FPos - start);
        const char* first = num.data();
        const char* last = num.data() + num.size();
        if (isFloat) {
            double v = 0;
            auto r = std::from_chars(first, last, v);
            if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v)) Fail(FLine, Format("bad number %s", {num}));
            FTok.Kind = TTok::Float;
            FTok.Float = v;
        } else {
            int64_t v = 0;
            auto r = std::from_chars(first, last, v);
            if (r.ec != std::errc() || r.ptr != last) Fail(FLine, Format("integer %s is out of range", {num}));
            FTok.Kind = TTok::Int;
            FTok.Int = v;
        }
        if (FPos < FText.size() && (IsIdentStart(FText[FPos]) || ascii::IsDigit(FText[FPos])))
            Fail(FLine, Format("bad number %s", {std::string(num) + FText[FPos]}));
    }

    // Quoted pieces and #n characters standing next to each other make one
    // string; #n are UTF-16 code units (pairs make one character), quoted
    // text is taken as it stands (UTF-8).
    void String() {
        FTok.Kind = TTok::String;
        std::u16string units;
        auto flush = [&] {
            if (units.empty()) return;
            FTok.Text += UnicodeToUtf8(units);
            units.clear();
        };
        while (FPos < FText.size()) {
            char c = FText[FPos];
            if (c == '\'') {
                flush();
                ++FPos;
                for (;;) {
                    if (FPos >= FText.size() || FText[FPos] == '\n' || FText[FPos] == '\r')
                        Fail(FLine, "unterminated string");
                    if (FText[FPos] == '\'') {
                        if (FPos + 1 < FText.size() && FText[FPos + 1] == '\'') {
                            FTok.Text += '\'';
                            FPos += 2;
                            continue;
                        }
                        ++FPos;
                        break;
                    }
                    FTok.Text += FText[FPos++];
                }
            } else if (c == '#') {
                ++FPos;
                uint32_t cp = 0;
                size_t digits = 0;
                bool hex = FPos < FText.size() && FText[FPos] == '$';
                if (hex) ++FPos;
                while (FPos < FText.size() && digits < 8) {
                    int d = hex ? HexDigit(FText[FPos]) : (ascii::IsDigit(FText[FPos]) ? FText[FPos] - '0' : -1);
                    if (d < 0) break;
                    cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
                    ++FPos;
                    ++digits;
                }
                if (digits == 0 || cp > 0x10FFFF) Fail(FLine, "character code expected after #");
                if (cp >= 0x10000) {
                    units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
                    units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                } else {
                    units += static_cast<char16_t>(cp);
                }
            } else {
                break;
            }
        }
        flush();
    }

    void Binary() {
        int startLine = FLine;
        ++FPos;  // '{'
        FTok.Kind = TTok::Binary;
        int high = -1;
        for (;;) {
            if (FPos >= FText.size()) Fail(startLine, "'}' expected at the end of binary data");
            char c = FText[FPos++];
            if (c == '}') break;
            if (c == '\n') {
                ++FLine;
                continue;
            }
            if (c == ' ' || c == '\t' || c == '\r') continue;
            int d = HexDigit(c);
            if (d < 0)
                Fail(FLine, Format("hexadecimal digit expected in binary data but '%s' found", {std::string(1, c)}));
            if (high < 0) {
                high = d;
            } else {
                if (FTok.Text.size() == kFormMaxBinarySize)
                    Fail(startLine,
                         Format("binary data larger than %d bytes", {static_cast<int64_t>(kFormMaxBinarySize)}));
                FTok.Text += static_cast<char>(high * 16 + d);
                high = -1;
            }
        }
        if (high >= 0) Fail(FLine, "odd number of hexadecimal digits in binary data");
    }

    std::string_view FText;
    const std::string& FFileName;
    size_t FPos = 0;
    int FLine = 1;
    TToken FTok;
};

std::string DescribeToken(const TToken& t) {
    switch (t.Kind) {
        case TTok::Eof:
            return "end of file";
        case TTok::Ident:
            return "'" + t.Text + "'";
        case TTok::Int:
            return "number " + IntToStr(t.Int);
        case TTok::Float:
            return "number";
        case TTok::String:
            return "string";
        case TTok::Binary:
            return "binary data";
        case TTok::Symbol:
            return std::string("'") + t.Symbol + "'";
    }
    return "token";
}

class TParser {
public:
    TParser(std::string_view text, const std::string& fileName) : FLex(text, fileName) { FLex.Next(); }

    TFormValues Parse() {
        ParseObject(0);
        if (Tok().Kind != TTok::Eof) Expected("end of file");
        return std::move(FOut);
    }

private:
    const TToken& Tok() const { return FLex.Current(); }
    [[noreturn]] void Expected(const std::string& what) const {
        FLex.Fail(Tok().Line, what + " expected but " + DescribeToken(Tok()) + " found");
    }
    bool IsKeyword(const char* word) const { return Tok().Kind == TTok::Ident && SameText(Tok().Text, word); }
    bool IsSymbol(char c) const { return Tok().Kind == TTok::Symbol && Tok().Symbol == c; }
    void ExpectSymbol(char c) {
        if (!IsSymbol(c)) Expected(std::string("'") + c + "'");
        FLex.Next();
    }
    std::string ExpectIdent(const char* what, bool allowDots) {
        if (Tok().Kind != TTok::Ident || !IsValidIdent(Tok().Text, allowDots)) Expected(what);
        std::string s = Tok().Text;
        FLex.Next();
        return s;
    }
    void Push(TValueType type, int line) {
        TFormValue v;
        v.Type = type;
        v.Line = line;
        FOut.push_back(std::move(v));
    }
    void Enter(int depth) const {
        if (depth > kFormMaxNesting) FLex.Fail(Tok().Line, "values nested too deeply");
    }
    bool AtObject() const { return IsKeyword("object") || IsKeyword("inherited") || IsKeyword("inline"); }

    void ParseObject(int depth) {
        Enter(depth);
        TFormValue header;
        header.Type = TValueType::vaObject;
        header.Line = Tok().Line;
        if (IsKeyword("inherited"))
            header.Flags = ffInherited;
        else if (IsKeyword("inline"))
            header.Flags = ffInline;
        else if (!IsKeyword("object"))
            Expected("'object'");
        FLex.Next();
        std::string first = ExpectIdent("component name or class name", false);
        if (IsSymbol(':')) {
            FLex.Next();
            header.Name = first;
            header.Text = ExpectIdent("class name", false);
        } else {
            header.Text = first;
        }
        if (IsSymbol('[')) {  // a child position: kept by order alone here
            FLex.Next();
            if (Tok().Kind != TTok::Int) Expected("position");
            FLex.Next();
            ExpectSymbol(']');
        }
        FOut.push_back(std::move(header));
        while (!IsKeyword("end") && !AtObject()) ParseProperty(depth);
        Push(TValueType::vaNull, Tok().Line);
        while (AtObject()) ParseObject(depth + 1);
        if (!IsKeyword("end")) Expected("'end'");
        FLex.Next();
        Push(TValueType::vaNull, Tok().Line);
    }

    void ParseProperty(int depth) {
        if (Tok().Kind != TTok::Ident || !IsValidIdent(Tok().Text, true)) Expected("property name");
        TFormValue name;
        name.Type = TValueType::vaPropName;
        name.Line = Tok().Line;
        name.Text = Tok().Text;
        FOut.push_back(std::move(name));
        FLex.Next();
        ExpectSymbol('=');
        ParseValue(depth + 1);
    }

    void ParseValue(int depth) {
        Enter(depth);
        const TToken& t = Tok();
        TFormValue v;
        v.Line = t.Line;
        switch (t.Kind) {
            case TTok::Int:
                v.Type = TValueType::vaInt;
                v.Int = t.Int;
                FOut.push_back(std::move(v));
                FLex.Next();
                return;
            case TTok::Float:
                v.Type = TValueType::vaExtended;
                v.Float = t.Float;
                FOut.push_back(std::move(v));
                FLex.Next();
                return;
            case TTok::String: {
                v.Type = TValueType::vaString;
                v.Text = t.Text;
                FLex.Next();
                while (IsSymbol('+')) {
                    FLex.Next();
                    if (Tok().Kind != TTok::String) Expected("string");
                    v.Text += Tok().Text;
                    FLex.Next();
                }
                FOut.push_back(std::move(v));
                return;
            }
            case TTok::Binary:
                v.Type = TValueType::vaBinary;
                v.Text = t.Text;
                FOut.push_back(std::move(v));
                FLex.Next();
                return;
            case TTok::Ident: {
                if (!IsValidIdent(t.Text, true) || IsKeyword("end") || AtObject()) Expected("value");
                if (SameText(t.Text, "True"))
                    v.Type = TValueType::vaTrue;
                else if (SameText(t.Text, "False"))
                    v.Type = TValueType::vaFalse;
                else if (SameText(t.Text, "nil"))
                    v.Type = TValueType::vaNil;
                else {
                    v.Type = TValueType::vaIdent;
                    v.Text = t.Text;
                }
                FOut.push_back(std::move(v));
                FLex.Next();
                return;
            }
            case TTok::Symbol:
                if (t.Symbol == '[') return ParseSet();
                if (t.Symbol == '(') return ParseList(depth);
                if (t.Symbol == '<') return ParseCollection(depth);
                break;
            case TTok::Eof:
                break;
        }
        Expected("value");
    }

    void ParseSet() {
        Push(TValueType::vaSet, Tok().Line);
        FLex.Next();
        if (!IsSymbol(']')) {
            for (;;) {
                TFormValue v;
                v.Type = TValueType::vaIdent;
                v.Line = Tok().Line;
                v.Text = ExpectIdent("set element", false);
                FOut.push_back(std::move(v));
                if (IsSymbol(']')) break;
                ExpectSymbol(',');
            }
        }
        Push(TValueType::vaNull, Tok().Line);
        FLex.Next();
    }

    void ParseList(int depth) {
        Push(TValueType::vaList, Tok().Line);
        FLex.Next();
        while (!IsSymbol(')')) ParseValue(depth + 1);
        Push(TValueType::vaNull, Tok().Line);
        FLex.Next();
    }

    void ParseCollection(int depth) {
        Push(TValueType::vaCollection, Tok().Line);
        FLex.Next();
        while (!IsSymbol('>')) {
            if (IsSymbol('[')) {
                FLex.Next();
                if (Tok().Kind != TTok::Int) Expected("item index");
                TFormValue v;
                v.Type = TValueType::vaInt;
                v.Line = Tok().Line;
                v.Int = Tok().Int;
                FOut.push_back(std::move(v));
                FLex.Next();
                ExpectSymbol(']');
            }
            if (!IsKeyword("item")) Expected("'item' or '>'");
            Push(TValueType::vaList, Tok().Line);
            FLex.Next();
            while (!IsKeyword("end")) ParseProperty(depth + 1);
            Push(TValueType::vaNull, Tok().Line);
            FLex.Next();
        }
        Push(TValueType::vaNull, Tok().Line);
        FLex.Next();
    }

    TLexer FLex;
    TFormValues FOut;
};

// ---- printer

class TPrinter {
public:
    explicit TPrinter(const TFormValues& values) : FValues(values) {}

    std::string Print() {
        if (FValues.empty()) return {};
        Object(0);
        if (FPos != FValues.size()) Fail("values after the root object");
        return std::move(FOut);
    }

private:
    [[noreturn]] void Fail(const char* what) const {
        throw EWriteError(Format("Cannot write form text: %s (value %d)", {what, static_cast<int64_t>(FPos)}));
    }
    const TFormValue& Take() {
        if (FPos >= FValues.size()) Fail("the values end early");
        return FValues[FPos++];
    }
    TValueType Next() const { return FPos < FValues.size() ? FValues[FPos].Type : TValueType::vaNull; }
    void Indent(int n) { FOut.append(static_cast<size_t>(n), ' '); }
    void NewLine(int n) {
        FOut += '\n';
        Indent(n);
    }
    void TakeNull() {
        if (Take().Type != TValueType::vaNull) Fail("end of list expected");
    }

    void Object(int indent) {
        const TFormValue& h = Take();
        if (h.Type != TValueType::vaObject) Fail("object expected");
        Indent(indent);
        FOut += (h.Flags & ffInherited) ? "inherited " : (h.Flags & ffInline) ? "inline " : "object ";
        if (!h.Name.empty()) FOut += h.Name + ": ";
        FOut += h.Text;
        while (Next() == TValueType::vaPropName) {
            NewLine(indent + 2);
            Property(indent + 2);
        }
        TakeNull();
        while (Next() == TValueType::vaObject) {
            FOut += '\n';
            Object(indent + 2);
        }
        TakeNull();
        NewLine(indent);
        FOut += "end";
        if (indent == 0) FOut += '\n';
    }

    void Property(int indent) {
        FOut += Take().Text;
        FOut += " = ";
        Value(indent);
    }

    void Value(int indent) {
        const TFormValue& v = Take();
        switch (v.Type) {
            case TValueType::vaInt:
                FOut += IntToStr(v.Int);
                return;
            case TValueType::vaExtended:
                Float(v.Float);
                return;
            case TValueType::vaString:
                String(v.Text, indent);
                return;
            case TValueType::vaIdent:
                FOut += v.Text;
                return;
            case TValueType::vaTrue:
                FOut += "True";
                return;
            case TValueType::vaFalse:
                FOut += "False";
                return;
            case TValueType::vaNil:
                FOut += "nil";
                return;
            case TValueType::vaSet: {
                FOut += '[';
                bool first = true;
                while (Next() == TValueType::vaIdent) {
                    if (!first) FOut += ", ";
                    FOut += Take().Text;
                    first = false;
                }
                TakeNull();
                FOut += ']';
                return;
            }
            case TValueType::vaList:
                FOut += '(';
                while (Next() != TValueType::vaNull) {
                    NewLine(indent + 2);
                    Value(indent + 2);
                }
                TakeNull();
                FOut += ')';
                return;
            case TValueType::vaCollection:
                FOut += '<';
                while (Next() != TValueType::vaNull) {
                    NewLine(indent + 2);
                    if (Next() == TValueType::vaInt) FOut += "[" + IntToStr(Take().Int) + "] ";
                    if (Take().Type != TValueType::vaList) Fail("collection item expected");
                    FOut += "item";
                    while (Next() == TValueType::vaPropName) {
                        NewLine(indent + 4);
                        Property(indent + 4);
                    }
                    TakeNull();
                    NewLine(indent + 2);
                    FOut += "end";
                }
                TakeNull();
                FOut += '>';
                return;
            case TValueType::vaBinary:
                Binary(v.Text, indent);
                return;
            default:
                Fail("value expected");
        }
    }

    void Float(double d) {
        if (!std::isfinite(d)) Fail("a float value is not a finite number");
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, d);
        std::string s(buf, r.ptr);
        if (s.find_first_of(".e") == std::string::npos) s += ".0";
        // "1e+20" reads back as a float only with a fraction before the exponent.
        size_t e = s.find('e');
        if (e != std::string::npos && s.find('.') == std::string::npos) s.insert(e, ".0");
        FOut += s;
    }

    // Quoted runs of printable characters, control characters as #n, split
    // into pieces joined by "+" so that lines stay short.
    void String(const std::string& s, int indent) {
        if (s.empty()) {
            FOut += "''";
            return;
        }
        constexpr size_t kPiece = 64;
        bool quoted = false;
        size_t pieceLen = 0;
        for (size_t i = 0; i < s.size(); ++i) {
            auto c = static_cast<unsigned char>(s[i]);
            bool leadByte = c < 0x80 || c >= 0xC0;
            if (pieceLen >= kPiece && leadByte) {
                if (quoted) FOut += '\'';
                quoted = false;
                FOut += " +";
                NewLine(indent + 2);
                pieceLen = 0;
            }
            if (c < 32) {
                if (quoted) FOut += '\'';
                quoted = false;
                FOut += '#';
                FOut += IntToStr(c);
            } else {
                if (!quoted) FOut += '\'';
                quoted = true;
                if (c == '\'') FOut += '\'';
                FOut += static_cast<char>(c);
            }
            ++pieceLen;
        }
        if (quoted) FOut += '\'';
    }

    void Binary(const std::string& bytes, int indent) {
        static const char* kHex = "0123456789ABCDEF";
        FOut += '{';
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i % 32 == 0) NewLine(indent + 2);
            auto b = static_cast<unsigned char>(bytes[i]);
            FOut += kHex[b >> 4];
            FOut += kHex[b & 15];
        }
        FOut += '}';
    }

    const TFormValues& FValues;
    size_t FPos = 0;
    std::string FOut;
};

}  // namespace

TFormValues ObjectTextToValues(std::string_view text, const std::string& fileName) {
    if (text.size() > kFormMaxTextSize)
        throw EParserError(
            Format("%s: the form file is larger than %d bytes", {fileName, static_cast<int64_t>(kFormMaxTextSize)}));
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 mark
    return TParser(text, fileName).Parse();
}

std::string ObjectValuesToText(const TFormValues& values) { return TPrinter(values).Print(); }

}  // namespace tabrix
