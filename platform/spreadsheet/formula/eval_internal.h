#pragma once
// Internals of the evaluator shared by the operator core and the function
// library: intermediate values (scalars, references, arrays) and the
// evaluation state of one formula.

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/spreadsheet/formula/formula.h"

namespace tabrix::xl::eval {

// Error codes of the spreadsheet.
inline constexpr const char* kDiv0 = "#DIV/0!";
inline constexpr const char* kValue = "#VALUE!";
inline constexpr const char* kRef = "#REF!";
inline constexpr const char* kName = "#NAME?";
inline constexpr const char* kNum = "#NUM!";
inline constexpr const char* kNA = "#N/A";
inline constexpr const char* kNull = "#NULL!";

// Thrown where the evaluator cannot compute a value (an unimplemented
// function, a cell whose value is unknown): the whole formula is then not evaluated.
struct TNotEvaluated {};

struct TRect {
    std::string Sheet;  // "" = the formula's sheet
    int Row1 = 0, Col1 = 0, Row2 = 0, Col2 = 0;
    int Rows() const { return Row2 - Row1 + 1; }
    int Cols() const { return Col2 - Col1 + 1; }
    double Size() const { return double(Rows()) * Cols(); }
};

struct TArray {
    int Rows = 0, Cols = 0;
    std::vector<TScalar> Cells;  // row-major
    const TScalar& At(int r, int c) const { return Cells[std::size_t(r) * Cols + c]; }
};

// A value during evaluation: a scalar, one or more rectangles, or an array.
struct TOperand {
    enum class Type { Scalar, Ref, Array } type = Type::Scalar;
    TScalar scalar;
    std::vector<TRect> areas;             // Ref
    std::shared_ptr<const TArray> array;  // Array

    static TOperand Of(TScalar v) {
        TOperand x;
        x.scalar = std::move(v);
        return x;
    }
    static TOperand Num(double d) { return Of(TScalar::Number(d)); }
    static TOperand Bool(bool b) { return Of(TScalar::Boolean(b)); }
    static TOperand Str(std::string s) { return Of(TScalar::Text(std::move(s))); }
    static TOperand Err(const char* code) { return Of(TScalar::Error(code)); }
    static TOperand Area(TRect r) {
        TOperand x;
        x.type = Type::Ref;
        x.areas.push_back(std::move(r));
        return x;
    }
    static TOperand Arr(TArray a) {
        TOperand x;
        x.type = Type::Array;
        x.array = std::make_shared<const TArray>(std::move(a));
        return x;
    }
    bool IsError() const { return type == Type::Scalar && scalar.kind == TScalar::Kind::Error; }
};

class TEvaluator {
public:
    TEvaluator(const TFormula& f, IFormulaContext& context, int row, int col, int depth = 0)
        : F(f), Context(context), Row(row), Col(col), Depth(depth) {}

    TOperand Eval(const TFormulaNode& node);
    TOperand Eval(const TFormulaNode& node, bool arrayMode);
    const TFormulaNode& Arg(const TFormulaNode& call, int i) const { return F.Child(call, i); }

    // A scalar for a value: a one-cell reference gives its cell, a larger one
    // the cell in the formula's row or column (implicit intersection), an
    // array its first element.
    TScalar Scalar(const TOperand& v);
    TScalar ScalarArg(const TFormulaNode& call, int i) { return Scalar(Eval(Arg(call, i))); }
    TScalar Cell(const std::string& sheet, int row, int col);
    // Visits every value of a reference (non-empty cells), an array or a scalar.
    void ForEach(const TOperand& v, const std::function<bool(const TScalar&)>& fn);
    void ForEachCell(const TRect& r, const std::function<bool(int row, int col, const TScalar&)>& fn);
    // The value as an array (references read cell by cell; limited in size).
    TArray ToArray(const TOperand& v);

    const TFormula& F;
    IFormulaContext& Context;
    int Row, Col;
    int Depth;
    bool ArrayMode = false;
    // Cells read into arrays so far by this formula (with its names); over a
    // budget the formula is left unevaluated rather than eat the memory.
    double ArrayCells = 0;

    void SpendArrayCells(double n);
    // While SUBTOTAL reads its ranges: how it sees their cells.
    enum class TRangeView { Plain, Subtotal, SubtotalVisible } View = TRangeView::Plain;
    // Values standing in for nodes while a function is applied element by
    // element in an array formula.
    std::unordered_map<const TFormulaNode*, TOperand> Given;

private:
    TOperand EvalName(const TFormulaNode& node);
    TOperand EvalBinary(const TFormulaNode& node);
    TOperand EvalRange(const TOperand& a, const TOperand& b);
};

// A text result; #VALUE! past the spreadsheet's 32,767 characters of a cell.
TOperand TextResult(std::string s);

// Conversions as the spreadsheet does them; errors come back as the Error
// kind in err (which the caller returns).
bool ToNumber(const TScalar& v, double& out, TScalar& err);
bool ToBool(const TScalar& v, bool& out, TScalar& err);
std::string ToText(const TScalar& v);
std::string NumberToText(double d);
// <0, 0, >0 in the spreadsheet's order: numbers < text < Booleans, text
// ignoring case; empty counts as 0, "" or FALSE.
int Compare(const TScalar& a, const TScalar& b);
bool NumbersEqual(double a, double b);
// Texts in the spreadsheet's collation: letters before accents, case ignored
// ("Äpfel" < "c", "a" < "ä", "A" = "a"); <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
// a + b with the residue of the last digits dropped where the result is tiny
// against its operands (0.1 + 0.2 - 0.3 gives 0), as spreadsheets add.
double AddAsSpreadsheet(double a, double b);

// The function library: false when the function is not implemented.
bool CallFunction(TEvaluator& e, const TFormulaNode& call, std::string_view name, TOperand& result);

}  // namespace tabrix::xl::eval
