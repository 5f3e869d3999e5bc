#pragma once
// The evaluator: computes a formula's value over what a workbook tells it.

#include <functional>
#include <string>
#include <string_view>

namespace tabrix::xl {

class TFormula;

struct TCellValue {
    enum class Kind { Empty, Number, Text, Boolean, Error } kind = Kind::Empty;
    double number = 0;
    bool boolean = false;
    std::string text;  // UTF-8; the error code ("#DIV/0!") for Error; "" with Error: not evaluated

    static TCellValue Number(double v) {
        TCellValue c;
        c.kind = Kind::Number;
        c.number = v;
        return c;
    }
    static TCellValue Text(std::string s) {
        TCellValue c;
        c.kind = Kind::Text;
        c.text = std::move(s);
        return c;
    }
    static TCellValue Boolean(bool b) {
        TCellValue c;
        c.kind = Kind::Boolean;
        c.boolean = b;
        return c;
    }
    static TCellValue Error(std::string code) {
        TCellValue c;
        c.kind = Kind::Error;
        c.text = std::move(code);
        return c;
    }
    // The evaluator could not compute the value (a function it does not implement).
    static TCellValue NotEvaluated() { return Error(std::string()); }
    bool IsNotEvaluated() const noexcept { return kind == Kind::Error && text.empty(); }
};

bool operator==(const TCellValue& a, const TCellValue& b);

// What the evaluator asks of the workbook.
class IFormulaContext {
public:
    virtual ~IFormulaContext() = default;
    virtual TCellValue CellValue(std::string_view sheet /* "" = the formula's sheet */, int row, int col) = 0;
    // Visits the non-empty cells of a rectangle (ranges can be large: whole
    // columns); return false from fn to stop.
    virtual void ForEachCell(std::string_view sheet, int row1, int col1, int row2, int col2,
                             const std::function<bool(int row, int col, const TCellValue&)>& fn) = 0;
    // Defined names: the English formula text the name stands for.
    virtual bool ResolveName(std::string_view /*name*/, std::string& /*englishFormulaText*/) { return false; }
};

// The value of a formula placed at (row, col) of the context's sheet.
// Functions the evaluator does not implement give TCellValue::NotEvaluated();
// names it cannot resolve give "#NAME?".
TCellValue EvaluateFormula(const TFormula& f, IFormulaContext& context, int row, int col);

struct TEvaluateOptions {
    // An array formula ({=...}, t="array" in files): ranges in arithmetic,
    // comparisons and IF are taken element by element instead of by implicit
    // intersection; the value is the result's top-left element.
    bool ArrayFormula = false;
};
TCellValue EvaluateFormula(const TFormula& f, IFormulaContext& context, int row, int col,
                           const TEvaluateOptions& options);

}  // namespace tabrix::xl
