#pragma once
// Data values in cell texts. The report writes every cell as typed input
// (FormulaLocal): "=" starts a formula, "12,5" becomes a number in German,
// "TRUE" a Boolean, a leading apostrophe forces text. A value read from a
// data set must not be at the mercy of those rules: a customer named
// "=HYPERLINK(...)" stays that text, the code "00123" keeps its zeros, and a
// value placed inside a formula of the template cannot change the formula.
//
// The template parser therefore returns a cell text built from data values
// that typed input would misread with a leading apostrophe, typed input's own
// force-text mark ("marked text"). The row buffer hands OnSetCellValue the
// unmarked text (the value itself) and writes the marked text when the
// handler leaves the value unchanged; a value the handler changed is trusted
// typed input.
//
//   UnicodeString cell = u"=1+1";                  // a data set value
//   TabrixMarkDataText(cell, TTabrixDataKind::Text, FormatSettings());  // "'=1+1"
//   TabrixIsMarkedText(cell);                      // true
//   TabrixUnmarkText(cell);                        // "=1+1": what the cell will hold

#include <cstdint>
#include <string_view>

#include "platform/rtl/locale.h"
#include "platform/rtl/strings.h"

namespace tabrix {

// What kind of value a cell text holds: decides which readings of typed
// input are the value itself rather than a misreading.
enum class TTabrixDataKind : uint8_t {
    Text,      // free text: only text, or a number whose text reads back the same, is safe
    Integer,   // an integer field's text: safe up to 15 digits (what a cell's number keeps)
    Number,    // a float or currency field's text: written to read back as the same number
    DateTime,  // a date or time field's text: written in the locale's date form
    Boolean,   // a Boolean field's text ("True"/"False")
};

// typed input's force-text mark
inline constexpr char16_t kTabrixTextMark = u'\'';

// Whether s begins with the force-text mark.
inline bool TabrixIsMarkedText(std::u16string_view s) { return !s.empty() && s.front() == kTabrixTextMark; }

// The text a cell holds after s was typed: s without a leading mark.
inline UnicodeString TabrixUnmarkText(std::u16string_view s) {
    return UnicodeString(TabrixIsMarkedText(s) ? s.substr(1) : s);
}

// Whether typed input in the given locale would take text, a cell text made
// from a data value of that kind, for something other than the value: a
// formula (a leading "=", or "+", "-", "@" before something that is no
// number), a number, date, percentage or Boolean that does not read back as
// the same text, or a text losing its leading apostrophe.
bool TabrixDataTextNeedsMark(std::u16string_view text, TTabrixDataKind kind, const TFormatSettings& settings);

// Puts the mark in front of text when TabrixDataTextNeedsMark; returns
// whether it did.
bool TabrixMarkDataText(UnicodeString& text, TTabrixDataKind kind, const TFormatSettings& settings);

// Appends value to a formula text as a string constant: in double quotes with
// every quote doubled, or, when the formula is already inside a string
// constant at that place (insideString), only with the quotes doubled.
void TabrixAppendFormulaString(UnicodeString& formula, std::u16string_view value, bool insideString);

}  // namespace tabrix
