#include "template/data_text.h"

#include "platform/rtl/convert.h"
#include "platform/spreadsheet/formula/typed_input.h"

namespace tabrix {

namespace {

// Characters with which typed input can begin anything but plain text.
bool MayBeTyped(char16_t c, const TFormatSettings& settings) {
    if (c <= u' ') return true;  // blanks are skipped before a number is read
    if (c >= u'0' && c <= u'9') return true;
    switch (c) {
        case u'+':
        case u'-':
        case u'(':
        case u'T':
        case u't':
        case u'F':
        case u'f':
            return true;
        default:
            return c == static_cast<unsigned char>(settings.DecimalSeparator);
    }
}

// More than 15 digits do not survive as a cell's number.
bool IntegerTextFits(std::u16string_view text) {
    size_t digits = 0;
    for (char16_t c : text)
        if (c >= u'0' && c <= u'9') ++digits;
    return digits <= 15;
}

}  // namespace

bool TabrixDataTextNeedsMark(std::u16string_view text, TTabrixDataKind kind, const TFormatSettings& settings) {
    if (text.empty()) return false;
    const char16_t first = text.front();
    if (first == u'=' || first == u'@' || first == kTabrixTextMark) return true;
    switch (kind) {
        case TTabrixDataKind::Integer:
            return !IntegerTextFits(text);
        case TTabrixDataKind::Number:
        case TTabrixDataKind::DateTime:
        case TTabrixDataKind::Boolean:
            // The field's own text is written to read back as its value.
            return false;
        case TTabrixDataKind::Text:
            break;
    }
    if (!MayBeTyped(first, settings)) return false;
    thread_local xl::TTypedInput input;
    thread_local std::string utf8;
    utf8 = UnicodeToUtf8(text);
    xl::ParseTypedInput(utf8, settings, input);
    switch (input.kind) {
        case xl::TTypedInput::Kind::Empty:
            return false;
        case xl::TTypedInput::Kind::Text:
            // "+x" and "-x" start a formula in a spreadsheet program.
            return first == u'+' || first == u'-';
        case xl::TTypedInput::Kind::Number:
            // Only a number whose text comes back unchanged is the value.
            return FloatToStr(input.number, settings) != utf8;
        case xl::TTypedInput::Kind::Formula:
        case xl::TTypedInput::Kind::Boolean:
            return true;
    }
    return true;
}

bool TabrixMarkDataText(UnicodeString& text, TTabrixDataKind kind, const TFormatSettings& settings) {
    if (!TabrixDataTextNeedsMark(text, kind, settings)) return false;
    text.insert(text.begin(), kTabrixTextMark);
    return true;
}

void TabrixAppendFormulaString(UnicodeString& formula, std::u16string_view value, bool insideString) {
    if (!insideString) formula += u'"';
    for (char16_t c : value) {
        if (c == u'"') formula += u'"';
        formula += c;
    }
    if (!insideString) formula += u'"';
}

}  // namespace tabrix
