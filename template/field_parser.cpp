#include "template/field_parser.h"

#include <algorithm>

#include "cells/field_syntax.h"
#include "messages/messages.h"
#include "platform/rtl/format.h"

namespace tabrix {

namespace {

template <class List>
void CheckIndex(const List& list, int index) {
    if (index < 0 || static_cast<size_t>(index) >= list.size()) RaiseListIndexError(index);
}

}  // namespace

void TTabrixFieldParser::Assign(const TTabrixFieldParser& source) {
    if (&source == this) return;
    FSign = source.FSign;
    FFields = source.FFields;
    FFieldString = source.FFieldString;
    FFuncs = source.FFuncs;
    FTexts = source.FTexts;
    FValues = source.FValues;
}

void TTabrixFieldParser::SetFieldString(const UnicodeString& text) {
    FFields.clear();
    FTexts.clear();
    FValues.clear();
    FFuncs.clear();
    FFieldString = text;

    const char16_t sign = static_cast<unsigned char>(FSign);
    // "#=..." is a formula made of fields: parsed without its sign.
    const std::u16string_view w =
        std::u16string_view(text).substr((text.size() >= 2 && text[0] == sign && text[1] == u'=') ? 1 : 0);
    UnicodeString literal;  // the current piece, with "##" already made one sign
    size_t b = 0;           // the unparsed rest is w[b..]
    size_t p = w.find(sign, b);
    while (p != std::u16string_view::npos) {
        if (p + 1 < w.size() && w[p + 1] == sign) {
            // "##" is one literal sign; look for the next sign after the pair.
            literal.append(w.substr(b, p + 1 - b));
            b = p + 2;
            p = w.find(sign, b);
            continue;
        }
        literal.append(w.substr(b, p - b));
        AddText(literal);
        literal.clear();
        if (p + 1 == w.size()) {  // a sign at the very end is dropped
            b = w.size();
            break;
        }
        const char16_t q = w[p + 1];
        if (field_syntax::IsQuote(q)) {
            if (p + 2 == w.size()) {  // so are a sign and a lone quote
                b = w.size();
                break;
            }
            const size_t nameStart = p + 2;
            const size_t close = w.find(q, nameStart);
            if (close == std::u16string_view::npos || close == nameStart)
                throw ETabrixFieldParserError(
                    Format(SFieldNameNotDetermined, {UnicodeToUtf8(text), UnicodeToUtf8(UnicodeString(1, sign))}));
            AddFunc(UnicodeToUtf8(w.substr(nameStart, close - nameStart)));
            b = close + 1;
        } else {
            const size_t end = field_syntax::NameEnd(w, p + 1);
            AddFunc(UnicodeToUtf8(w.substr(p + 1, end - (p + 1))));
            b = end;
        }
        p = w.find(sign, b);
    }
    literal.append(w.substr(std::min(b, w.size())));
    AddText(literal);
    FValues.assign(FFields.size(), AnsiString());
}

int TTabrixFieldParser::AddText(const UnicodeString& text) {
    FTexts.push_back(text);
    return static_cast<int>(FTexts.size()) - 1;
}

void TTabrixFieldParser::AddFunc(const AnsiString& text) {
    const size_t open = text.find('(');
    if (open == AnsiString::npos) {
        FFields.push_back(text);
        FFuncs.push_back(TTabrixFieldFunc::ffNone);
        return;
    }
    if (text.back() != ')') throw ETabrixFieldParserError(Format(SFieldLastSymbolBracket, {text}));
    const AnsiString keyword = UpperCase(std::string_view(text).substr(0, open));
    for (size_t f = static_cast<size_t>(TTabrixFieldFunc::ffSum); f <= static_cast<size_t>(TTabrixFieldFunc::ffCnt);
         ++f) {
        if (keyword == TabrixFieldFuncKeywords[f]) {
            FFields.push_back(text.substr(open + 1, text.size() - 1 - (open + 1)));
            FFuncs.push_back(static_cast<TTabrixFieldFunc>(f));
            return;
        }
    }
    throw ETabrixFieldParserError(Format(SUnknownFunctionName, {text}));
}

const AnsiString& TTabrixFieldParser::GetField(int index) const {
    CheckIndex(FFields, index);
    return FFields[index];
}

TTabrixFieldFunc TTabrixFieldParser::GetFunc(int index) const {
    CheckIndex(FFuncs, index);
    return FFuncs[index];
}

void TTabrixFieldParser::SetFunc(int index, TTabrixFieldFunc func) {
    CheckIndex(FFuncs, index);
    FFuncs[index] = func;
}

const UnicodeString& TTabrixFieldParser::GetText(int index) const {
    CheckIndex(FTexts, index);
    return FTexts[index];
}

AnsiString TTabrixFieldParser::GetValue(int index) {
    CheckIndex(FValues, index);
    return FValues[index];
}

void TTabrixFieldParser::SetValue(int index, const AnsiString& text) {
    CheckIndex(FValues, index);
    FValues[index] = text;
}

UnicodeString TTabrixFieldParser::GetResultString() {
    UnicodeString result;
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        result += GetText(i);
        result += Utf8ToUnicode(GetValue(i));
    }
    result += GetText(count);
    return result;
}

}  // namespace tabrix
