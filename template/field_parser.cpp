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

void TTabrixFieldParser::Assign(const TTabrixFieldParser& Source) {
    if (&Source == this) return;
    FSign = Source.FSign;
    FFields = Source.FFields;
    FFieldString = Source.FFieldString;
    FFuncs = Source.FFuncs;
    FTexts = Source.FTexts;
    FValues = Source.FValues;
}

void TTabrixFieldParser::SetFieldString(const UnicodeString& S) {
    FFields.clear();
    FTexts.clear();
    FValues.clear();
    FFuncs.clear();
    FFieldString = S;

    const char16_t sign = static_cast<unsigned char>(FSign);
    // "#=..." is a formula made of fields: parsed without its sign.
    const std::u16string_view w =
        std::u16string_view(S).substr((S.size() >= 2 && S[0] == sign && S[1] == u'=') ? 1 : 0);
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
                    Format(SFieldNameNotDetermined, {UnicodeToUtf8(S), UnicodeToUtf8(UnicodeString(1, sign))}));
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

int TTabrixFieldParser::AddText(const UnicodeString& S) {
    FTexts.push_back(S);
    return static_cast<int>(FTexts.size()) - 1;
}

void TTabrixFieldParser::AddFunc(const AnsiString& S) {
    const size_t open = S.find('(');
    if (open == AnsiString::npos) {
        FFields.push_back(S);
        FFuncs.push_back(TTabrixFieldFunc::ffNone);
        return;
    }
    if (S.back() != ')') throw ETabrixFieldParserError(Format(SFieldLastSymbolBracket, {S}));
    const AnsiString keyword = UpperCase(std::string_view(S).substr(0, open));
    for (size_t f = static_cast<size_t>(TTabrixFieldFunc::ffSum); f <= static_cast<size_t>(TTabrixFieldFunc::ffCnt);
         ++f) {
        if (keyword == TabrixFieldFuncKeywords[f]) {
            FFields.push_back(S.substr(open + 1, S.size() - 1 - (open + 1)));
            FFuncs.push_back(static_cast<TTabrixFieldFunc>(f));
            return;
        }
    }
    throw ETabrixFieldParserError(Format(SUnknownFunctionName, {S}));
}

const AnsiString& TTabrixFieldParser::GetField(int Index) const {
    CheckIndex(FFields, Index);
    return FFields[Index];
}

TTabrixFieldFunc TTabrixFieldParser::GetFunc(int Index) const {
    CheckIndex(FFuncs, Index);
    return FFuncs[Index];
}

void TTabrixFieldParser::SetFunc(int Index, TTabrixFieldFunc Func) {
    CheckIndex(FFuncs, Index);
    FFuncs[Index] = Func;
}

const UnicodeString& TTabrixFieldParser::GetText(int Index) const {
    CheckIndex(FTexts, Index);
    return FTexts[Index];
}

AnsiString TTabrixFieldParser::GetValue(int Index) {
    CheckIndex(FValues, Index);
    return FValues[Index];
}

void TTabrixFieldParser::SetValue(int Index, const AnsiString& S) {
    CheckIndex(FValues, Index);
    FValues[Index] = S;
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
