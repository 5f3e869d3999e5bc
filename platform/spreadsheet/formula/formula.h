#pragma once
// The formula language of the spreadsheet engine: lexer, parser with
// validation, re-emitter in the English (file) and the user's local dialect,
// reference moving for copies, typed input and the evaluator. Pure functions
// of text: nothing here knows the cell model.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/locale.h"
#include "platform/spreadsheet/formula/dialect.h"
#include "platform/spreadsheet/formula/evaluate.h"
#include "platform/spreadsheet/formula/lexer.h"
#include "platform/spreadsheet/formula/typed_input.h"

namespace tabrix::xl {

enum class TNodeKind : unsigned char {
    Number,
    String,
    Boolean,
    Error,
    Reference,
    Name,
    StructuredRef,
    Missing,
    Function,
    Unary,
    Binary,
    Percent,
    Spill,
    Array,
    Parentheses,
    Union
};

// One node of the syntax tree. Operands are the node's children, stored as a
// run of indices in TFormula::Children().
struct TFormulaNode {
    TNodeKind Kind = TNodeKind::Missing;
    int Token = -1;      // the token it came from (-1 for Missing)
    int FirstChild = 0;  // index into TFormula::Children()
    int ChildCount = 0;
    int Function = -1;     // index into the function table, -1 unknown
    int ArrayColumns = 0;  // Array: columns per row (children are row-major)
    int FirstToken = -1;   // the tokens the node spans, its brackets included
    int LastToken = -1;
    char Op = 0;  // Unary '+' '-' '@'; Binary '+' '-' '*' '/' '^' '&' '=' '<' '>'
                  // 'l' (<=) 'g' (>=) 'n' (<>) ':' (range) ' ' (intersection)
};

struct TParseOptions {
    // Calls of names outside the function table pass (user-defined functions
    // of macro workbooks, add-ins); names prefixed "_xll." or "_xludf." always do.
    bool AllowUnknownFunctions = false;
    // Unions without parentheses at the top level, as defined names hold them
    // ("Sheet1!$A$1:$B$2,Sheet1!$D$1").
    bool AllowTopLevelUnion = false;
};

// A parsed and validated formula: its text, its tokens and its syntax tree.
class TFormula {
public:
    const std::string& Text() const noexcept { return FText; }
    const TFormulaDialect& Dialect() const noexcept { return FDialect; }
    const std::vector<TToken>& Tokens() const noexcept { return FTokens; }
    const std::vector<TFormulaNode>& Nodes() const noexcept { return FNodes; }
    const std::vector<int>& Children() const noexcept { return FChildren; }
    int Root() const noexcept { return FRoot; }
    std::string_view TokenText(int token) const;
    const TFormulaNode& Child(const TFormulaNode& node, int i) const { return FNodes[FChildren[node.FirstChild + i]]; }
    // True when the formula calls a volatile function (NOW, TODAY, RAND, OFFSET, INDIRECT...).
    bool IsVolatile() const noexcept { return FVolatile; }

private:
    friend class TParser;
    friend class TFormulaShapes;
    std::string FText;
    TFormulaDialect FDialect;
    std::vector<TToken> FTokens;
    std::vector<TFormulaNode> FNodes;
    std::vector<int> FChildren;
    int FRoot = -1;
    bool FVolatile = false;
};

// Parses a formula (without its leading '='); raises EFormulaError naming the
// fault, its position and the formula.
TFormula ParseFormula(std::string_view text, const TFormulaDialect& dialect);
TFormula ParseFormula(std::string_view text, const TFormulaDialect& dialect, const TParseOptions& options);

// Parsed formulas remembered by their shape, for evaluating many formulas
// that a copy made ("C6*D6", "C7*D7", ...): they read alike but for the
// references that moved with their cell, so that one parse serves them all
// and the others are only tokenized. English text; one set of options for
// all. Positions are 1-based.
class TFormulaShapes {
public:
    explicit TFormulaShapes(const TParseOptions& options) : FOptions(options) {}
    // As ParseFormula(englishText, English, options) gives it, for a formula
    // in the cell at (row, column).
    TFormula Parse(std::string_view englishText, int row, int column);

private:
    void MakeKey(std::string_view text, int row, int column);

    TParseOptions FOptions;
    std::unordered_map<std::string, TFormula> FShapes;
    std::vector<TToken> FTokens;  // of the formula asked for
    std::string FKey;
};

// The formula's text in a dialect: separators and decimal points of that
// dialect, function prefixes as the dialect keeps them; everything else
// (spacing, case of names, references) as it was written.
std::string FormatFormula(const TFormula& f, const TFormulaDialect& dialect);

// Parse in one dialect and re-emit in the other. Validation as ParseFormula
// with the given options.
std::string TranslateFormula(std::string_view text, const TFormulaDialect& from, const TFormulaDialect& to);
std::string TranslateFormula(std::string_view text, const TFormulaDialect& from, const TFormulaDialect& to,
                             const TParseOptions& options);

// Moves relative references as a spreadsheet does when the formula's cell is
// copied by (dRow, dCol); a reference moved outside 1..1048576 / 1..16384
// becomes #REF!. English text in and out; the text comes back unchanged when
// there is nothing to move. Raises EFormulaError on text the lexer rejects.
std::string ShiftFormula(std::string_view englishText, int dRow, int dCol);

// What a formula reads, for deciding whether its cached value can follow a
// change elsewhere in the workbook.
struct TFormulaReach {
    std::vector<std::string> Sheets;  // sheets named by its references and names, as written (quotes removed)
    std::vector<std::string> Names;   // defined names it uses ("Sheet1!Rate" for a sheet's own)
    bool OwnSheet = false;            // a reference without a sheet
    // It may read any cell: a volatile or indirect function (INDIRECT,
    // OFFSET, NOW...), a function the table does not know (a user's), a
    // table reference, another workbook or a range of sheets.
    bool Anything = false;
    bool Subtotal = false;  // it calls SUBTOTAL or AGGREGATE
};
// English text without '='; raises EFormulaError where the lexer does.
TFormulaReach FormulaReach(std::string_view englishText);
// The sheet a reference's prefix names ("Sheet1", "'My ''x'' sheet'", a
// trailing '!' allowed), its quotes removed: "My 'x' sheet".
std::string SheetNameOfPrefix(std::string_view prefix);
// Whether the formula calls SUBTOTAL or AGGREGATE (cells that other
// subtotals skip); false for text the lexer rejects.
bool CallsSubtotal(std::string_view englishText);

}  // namespace tabrix::xl
