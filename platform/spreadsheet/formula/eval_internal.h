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
    std::vector<TCellValue> Cells;  // row-major
    const TCellValue& At(int r, int c) const { return Cells[std::size_t(r) * Cols + c]; }
};

// A value during evaluation: a scalar, one or more rectangles, or an array.
struct TValue {
    enum class Type { Scalar, Ref, Array } type = Type::Scalar;
    TCellValue scalar;
    std::vector<TRect> areas;             // Ref
    std::shared_ptr<const TArray> array;  // Array

    static TValue Of(TCellValue v) {
        TValue x;
        x.scalar = std::move(v);
        return x;
    }
    static TValue Num(double d) { return Of(TCellValue::Number(d)); }
    static TValue Bool(bool b) { return Of(TCellValue::Boolean(b)); }
    static TValue Str(std::string s) { return Of(TCellValue::Text(std::move(s))); }
    static TValue Err(const char* code) { return Of(TCellValue::Error(code)); }
    static TValue Area(TRect r) {
        TValue x;
        x.type = Type::Ref;
        x.areas.push_back(std::move(r));
        return x;
    }
    static TValue Arr(TArray a) {
        TValue x;
        x.type = Type::Array;
        x.array = std::make_shared<const TArray>(std::move(a));
        return x;
    }
    bool IsError() const { return type == Type::Scalar && scalar.kind == TCellValue::Kind::Error; }
};

class TEvaluator {
public:
    TEvaluator(const TFormula& f, IFormulaContext& context, int row, int col, int depth = 0)
        : F(f), Context(context), Row(row), Col(col), Depth(depth) {}

    TValue Eval(const TFormulaNode& node);
    TValue Eval(const TFormulaNode& node, bool arrayMode);
    const TFormulaNode& Arg(const TFormulaNode& call, int i) const { return F.Child(call, i); }

    // A scalar for a value: a one-cell reference gives its cell, a larger one
    // the cell in the formula's row or column (implicit intersection), an
    // array its first element.
    TCellValue Scalar(const TValue& v);
    TCellValue ScalarArg(const TFormulaNode& call, int i) { return Scalar(Eval(Arg(call, i))); }
    TCellValue Cell(const std::string& sheet, int row, int col);
    // Visits every value of a reference (non-empty cells), an array or a scalar.
    void ForEach(const TValue& v, const std::function<bool(const TCellValue&)>& fn);
    void ForEachCell(const TRect& r, const std::function<bool(int row, int col, const TCellValue&)>& fn);
    // The value as an array (references read cell by cell; limited in size).
    TArray ToArray(const TValue& v);

    const TFormula& F;
    IFormulaContext& Context;
    int Row, Col;
    int Depth;
    bool ArrayMode = false;
    // Cells read into arrays so far by this formula (with its names); over a
    // budget the formula is left unevaluated rather than eat the memory.
    double ArrayCells = 0;

    void SpendArrayCells(double n);
    // Values standing in for nodes while a function is applied element by
    // element in an array formula.
    std::unordered_map<const TFormulaNode*, TValue> Given;

private:
    TValue EvalName(const TFormulaNode& node);
    TValue EvalBinary(const TFormulaNode& node);
    TValue EvalRange(const TValue& a, const TValue& b);
};

// A text result; #VALUE! past the spreadsheet's 32,767 characters of a cell.
TValue TextResult(std::string s);

// Conversions as the spreadsheet does them; errors come back as the Error
// kind in err (which the caller returns).
bool ToNumber(const TCellValue& v, double& out, TCellValue& err);
bool ToBool(const TCellValue& v, bool& out, TCellValue& err);
std::string ToText(const TCellValue& v);
std::string NumberToText(double d);
// <0, 0, >0 in the spreadsheet's order: numbers < text < Booleans, text
// ignoring case; empty counts as 0, "" or FALSE.
int Compare(const TCellValue& a, const TCellValue& b);
bool NumbersEqual(double a, double b);
// Texts in the spreadsheet's collation: letters before accents, case ignored
// ("Äpfel" < "c", "a" < "ä", "A" = "a"); <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
// a + b with the residue of the last digits dropped where the result is tiny
// against its operands (0.1 + 0.2 - 0.3 gives 0), as spreadsheets add.
double AddAsSpreadsheet(double a, double b);

// The function library: false when the function is not implemented.
bool CallFunction(TEvaluator& e, const TFormulaNode& call, std::string_view name, TValue& result);

}  // namespace tabrix::xl::eval
