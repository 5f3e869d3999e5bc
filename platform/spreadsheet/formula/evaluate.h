#pragma once
// The evaluator: computes a formula's value over what a workbook tells it.

#include <functional>
#include <string>
#include <string_view>

namespace tabrix::xl {

class TFormula;

// One value the evaluator gives or reads from a cell; unlike the store's
// TStoredValue it can say "not evaluated".
struct TScalar {
    enum class Kind { Empty, Number, Text, Boolean, Error } kind = Kind::Empty;
    double number = 0;
    bool boolean = false;
    std::string text;  // UTF-8; the error code ("#DIV/0!") for Error; "" with Error: not evaluated

    static TScalar Number(double v) {
        TScalar c;
        c.kind = Kind::Number;
        c.number = v;
        return c;
    }
    static TScalar Text(std::string s) {
        TScalar c;
        c.kind = Kind::Text;
        c.text = std::move(s);
        return c;
    }
    static TScalar Boolean(bool b) {
        TScalar c;
        c.kind = Kind::Boolean;
        c.boolean = b;
        return c;
    }
    static TScalar Error(std::string code) {
        TScalar c;
        c.kind = Kind::Error;
        c.text = std::move(code);
        return c;
    }
    // The evaluator could not compute the value (a function it does not implement).
    static TScalar NotEvaluated() { return Error(std::string()); }
    bool IsNotEvaluated() const noexcept { return kind == Kind::Error && text.empty(); }
};

bool operator==(const TScalar& a, const TScalar& b);

// What the evaluator asks of the workbook.
class IFormulaContext {
public:
    virtual ~IFormulaContext() = default;
    virtual TScalar CellValue(std::string_view sheet /* "" = the formula's sheet */, int row, int col) = 0;
    // Visits the non-empty cells of a rectangle (ranges can be large: whole
    // columns); return false from fn to stop.
    virtual void ForEachCell(std::string_view sheet, int row1, int col1, int row2, int col2,
                             const std::function<bool(int row, int col, const TScalar&)>& fn) = 0;
    // The non-empty cells of a rectangle as SUBTOTAL sees them: cells whose
    // formula calls SUBTOTAL or AGGREGATE are left out, and with
    // skipHiddenRows the cells of hidden rows. Rows hidden by a filter are
    // always left out; a context that cannot tell them from rows hidden by
    // hand gives TScalar::NotEvaluated() for the cells of a hidden row when
    // hidden rows are counted. The default knows neither formulas nor hidden
    // rows: it visits every cell, and cannot tell which rows to leave out.
    virtual void ForEachSubtotalCell(std::string_view sheet, int row1, int col1, int row2, int col2,
                                     bool skipHiddenRows,
                                     const std::function<bool(int row, int col, const TScalar&)>& fn) {
        if (skipHiddenRows)
            fn(row1, col1, TScalar::NotEvaluated());
        else
            ForEachCell(sheet, row1, col1, row2, col2, fn);
    }
    // Defined names: the English formula text the name stands for.
    virtual bool ResolveName(std::string_view /*name*/, std::string& /*englishFormulaText*/) { return false; }
};

// The value of a formula placed at (row, col) of the context's sheet.
// Functions the evaluator does not implement give TScalar::NotEvaluated();
// names it cannot resolve give "#NAME?".
TScalar EvaluateFormula(const TFormula& f, IFormulaContext& context, int row, int col);

struct TEvaluateOptions {
    // An array formula ({=...}, t="array" in files): ranges in arithmetic,
    // comparisons and IF are taken element by element instead of by implicit
    // intersection; the value is the result's top-left element.
    bool ArrayFormula = false;
};
TScalar EvaluateFormula(const TFormula& f, IFormulaContext& context, int row, int col, const TEvaluateOptions& options);

}  // namespace tabrix::xl
