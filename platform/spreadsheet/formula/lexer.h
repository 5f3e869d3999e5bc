#pragma once
// The formula lexer: splits a formula text into tokens that keep their exact
// text (positions into the source), so that a formula can be re-emitted
// unchanged or with only some tokens replaced.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/formula/dialect.h"

namespace tabrix::xl {

enum class TTokenKind : unsigned char {
    Number,         // 12  1.5E+3  (in the dialect's decimal separator)
    String,         // "text with ""quotes"""
    Boolean,        // TRUE FALSE
    Error,          // #DIV/0! #N/A ...
    Reference,      // A1  $A$1:B2  A:A  1:1  Sheet1!A1  'My sheet'!A1  [1]Sheet1!A1  Sheet1!#REF!
    Name,           // a defined name, maybe qualified: Total  Sheet1!Total  [1]!Total
    StructuredRef,  // Table1[Col]  Table1[[#This Row],[Col]]  [@Col]
    Function,       // the name of a call; the next token is OpenParen
    OpenParen,
    CloseParen,
    OpenBrace,
    CloseBrace,
    ListSeparator,  // between arguments; the union operator inside parentheses
    ArrayColumnSeparator,
    ArrayRowSeparator,
    Operator,    // + - * / ^ & = <> < > <= >= % : @ and the spill '#'
    Whitespace,  // blanks and line breaks; the intersection operator between operands
};

// The rectangle a reference token names. Rows and columns are 1-based.
struct TArea {
    enum class Kind : unsigned char { Cell, Range, Columns, Rows, Error };
    Kind AreaKind = Kind::Cell;
    bool AbsRow1 = false, AbsCol1 = false, AbsRow2 = false, AbsCol2 = false;
    int Row1 = 0, Col1 = 0, Row2 = 0, Col2 = 0;  // Columns: rows 1..kMaxRows; Rows: cols 1..kMaxColumns
};

struct TToken {
    TTokenKind Kind = TTokenKind::Operator;
    std::uint32_t Pos = 0;  // byte offset in the formula text
    std::uint32_t Len = 0;
    std::uint32_t PrefixLen = 0;  // Reference/Name/StructuredRef: length of "Sheet1!" etc. (with the '!')
    TArea Area;                   // Reference only
};

// Raises EFormulaError (unclosed string, bracket or quote, an unknown
// character, a reference beyond the sheet).
std::vector<TToken> Tokenize(std::string_view text, const TFormulaDialect& dialect);
void Tokenize(std::string_view text, const TFormulaDialect& dialect, std::vector<TToken>& tokens);

// Column number for "A".."XFD" (case ignored), 0 when the letters are no column.
int ColumnFromLetters(std::string_view letters) noexcept;
// Letters of a column 1..16384 into out; returns their count.
int ColumnLetters(int column, char out[4]) noexcept;
// Appends an area as A1 text with its $ markers ("#REF!" for Kind::Error).
void AppendArea(std::string& out, const TArea& area);

// "... at position N in formula =TEXT" for messages of the formula layer.
std::string FormulaErrorText(std::string_view what, std::size_t pos, std::string_view formula);

}  // namespace tabrix::xl
