// The evaluator core: literals, references, names, operators and the
// conversions between values as the spreadsheet makes them.

#include "platform/spreadsheet/formula/evaluate.h"
#include "platform/rtl/ascii.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/rtl/strings.h"
#include "platform/spreadsheet/formula/eval_internal.h"
#include "platform/spreadsheet/formula/functions.h"
#include "platform/spreadsheet/formula/number_format.h"
#include "platform/spreadsheet/formula/typed_input.h"
#include "platform/spreadsheet/limits.h"

namespace tabrix::xl {

bool operator==(const TScalar& a, const TScalar& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case TScalar::Kind::Empty:
            return true;
        case TScalar::Kind::Number:
            return a.number == b.number;
        case TScalar::Kind::Boolean:
            return a.boolean == b.boolean;
        case TScalar::Kind::Text:
        case TScalar::Kind::Error:
            return a.text == b.text;
    }
    return false;
}

namespace eval {

namespace {

// Cells one formula may hold in arrays at once (SUMPRODUCT over whole columns).
constexpr double kMaxArrayCells = 1 << 21;

std::string SheetOfPrefix(std::string_view prefix) {
    if (prefix.empty()) return std::string();
    std::string sheet = SheetNameOfPrefix(prefix);
    // Other workbooks and sheet ranges are beyond what the context can give.
    if (sheet.find('[') != std::string::npos || sheet.find(':') != std::string::npos) throw TNotEvaluated{};
    return sheet;
}

TScalar ApplyArithmetic(char op, const TScalar& a, const TScalar& b) {
    TScalar err;
    double x = 0, y = 0;
    if (!ToNumber(a, x, err) || !ToNumber(b, y, err)) return err;
    double r = 0;
    switch (op) {
        case '+':
            r = AddAsSpreadsheet(x, y);
            break;
        case '-':
            r = AddAsSpreadsheet(x, -y);
            break;
        case '*':
            r = x * y;
            break;
        case '/':
            if (y == 0) return TScalar::Error(kDiv0);
            r = x / y;
            break;
        case '^':
            if (x == 0 && y == 0) return TScalar::Error(kNum);
            if (x == 0 && y < 0) return TScalar::Error(kDiv0);
            r = std::pow(x, y);
            break;
    }
    if (!std::isfinite(r)) return TScalar::Error(kNum);
    return TScalar::Number(r);
}

TScalar ApplyBinary(char op, const TScalar& a, const TScalar& b) {
    if (a.kind == TScalar::Kind::Error) return a;
    if (b.kind == TScalar::Kind::Error) return b;
    switch (op) {
        case '&':
            return TextResult(ToText(a) + ToText(b)).scalar;
        case '=':
            return TScalar::Boolean(Compare(a, b) == 0);
        case 'n':
            return TScalar::Boolean(Compare(a, b) != 0);
        case '<':
            return TScalar::Boolean(Compare(a, b) < 0);
        case '>':
            return TScalar::Boolean(Compare(a, b) > 0);
        case 'l':
            return TScalar::Boolean(Compare(a, b) <= 0);
        case 'g':
            return TScalar::Boolean(Compare(a, b) >= 0);
        default:
            return ApplyArithmetic(op, a, b);
    }
}

int Rank(const TScalar& v) {
    switch (v.kind) {
        case TScalar::Kind::Text:
            return 1;
        case TScalar::Kind::Boolean:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

TOperand TextResult(std::string s) {
    if (s.size() > kMaxCellChars) {
        if (ascii::CharCount(s) > kMaxCellChars) return TOperand::Err(kValue);
    }
    return TOperand::Str(std::move(s));
}

bool NumbersEqual(double a, double b) {
    if (a == b) return true;
    const double scale = std::max(std::fabs(a), std::fabs(b));
    return std::fabs(a - b) <= scale * 1e-15;
}

double AddAsSpreadsheet(double a, double b) {
    // Operands of opposite signs equal to within 2^-48 of their size: what is
    // left is the rounding of their binary forms, not a difference.
    constexpr double kResidue = 1.0 / (16777216.0 * 16777216.0);
    const double r = a + b;
    if (((a < 0 && b > 0) || (a > 0 && b < 0)) && std::fabs(r) < std::fabs(a) * kResidue) return 0;
    return r;
}

bool ToNumber(const TScalar& v, double& out, TScalar& err) {
    switch (v.kind) {
        case TScalar::Kind::Empty:
            out = 0;
            return true;
        case TScalar::Kind::Number:
            out = v.number;
            return true;
        case TScalar::Kind::Boolean:
            out = v.boolean ? 1 : 0;
            return true;
        case TScalar::Kind::Error:
            err = v;
            return false;
        case TScalar::Kind::Text: {
            const TTypedInput in = ParseTypedInput(v.text, FormatSettings());
            if (in.kind == TTypedInput::Kind::Number) {
                out = in.number;
                return true;
            }
            err = TScalar::Error(kValue);
            return false;
        }
    }
    return false;
}

bool ToBool(const TScalar& v, bool& out, TScalar& err) {
    switch (v.kind) {
        case TScalar::Kind::Empty:
            out = false;
            return true;
        case TScalar::Kind::Number:
            out = v.number != 0;
            return true;
        case TScalar::Kind::Boolean:
            out = v.boolean;
            return true;
        case TScalar::Kind::Error:
            err = v;
            return false;
        case TScalar::Kind::Text:
            if (SameText(v.text, "TRUE")) {
                out = true;
                return true;
            }
            if (SameText(v.text, "FALSE")) {
                out = false;
                return true;
            }
            err = TScalar::Error(kValue);
            return false;
    }
    return false;
}

// As the General format writes a number, with the decimal separator of the
// user's locale: texts made from numbers ("&", CONCATENATE, LEFT) read back
// as the same number in criteria and VALUE.
std::string NumberToText(double d) {
    std::string s = GeneralNumberText(d, FormatSettings().DecimalSeparator);
    // The writer turns 1E-05 into "0.00001"; where it stops doing so is not
    // known, so the engine's scientific form of a small number would be a guess.
    if (s.find("E-") != std::string::npos) throw TNotEvaluated{};
    return s;
}

std::string ToText(const TScalar& v) {
    switch (v.kind) {
        case TScalar::Kind::Number:
            return NumberToText(v.number);
        case TScalar::Kind::Boolean:
            return v.boolean ? "TRUE" : "FALSE";
        case TScalar::Kind::Empty:
            return std::string();
        default:
            return v.text;
    }
}

int Compare(const TScalar& a0, const TScalar& b0) {
    const TScalar* a = &a0;
    const TScalar* b = &b0;
    static const TScalar kZero = TScalar::Number(0), kEmptyText = TScalar::Text(""), kFalse = TScalar::Boolean(false);
    const auto blankFor = [&](const TScalar& other) -> const TScalar* {
        switch (other.kind) {
            case TScalar::Kind::Text:
                return &kEmptyText;
            case TScalar::Kind::Boolean:
                return &kFalse;
            default:
                return &kZero;
        }
    };
    if (a->kind == TScalar::Kind::Empty) a = blankFor(*b);
    if (b->kind == TScalar::Kind::Empty) b = blankFor(*a);
    const int ra = Rank(*a), rb = Rank(*b);
    if (ra != rb) return ra < rb ? -1 : 1;
    switch (a->kind) {
        case TScalar::Kind::Number:
            if (NumbersEqual(a->number, b->number)) return 0;
            return a->number < b->number ? -1 : 1;
        case TScalar::Kind::Boolean:
            return int(a->boolean) - int(b->boolean);
        case TScalar::Kind::Text:
            return CompareText(a->text, b->text);
        default:
            return 0;
    }
}

TScalar TEvaluator::Cell(const std::string& sheet, int row, int col) {
    TScalar v = Context.CellValue(sheet, row, col);
    if (v.IsNotEvaluated()) throw TNotEvaluated{};
    return v;
}

TScalar TEvaluator::Scalar(const TOperand& v) {
    switch (v.type) {
        case TOperand::Type::Scalar:
            return v.scalar;
        case TOperand::Type::Array:
            if (v.array->Cells.empty()) return TScalar::Error(kValue);
            return v.array->Cells.front();
        case TOperand::Type::Ref: {
            if (v.areas.size() != 1) return TScalar::Error(kValue);
            const TRect& r = v.areas.front();
            if (r.Row1 == r.Row2 && r.Col1 == r.Col2) return Cell(r.Sheet, r.Row1, r.Col1);
            if (r.Col1 == r.Col2 && Row >= r.Row1 && Row <= r.Row2) return Cell(r.Sheet, Row, r.Col1);
            if (r.Row1 == r.Row2 && Col >= r.Col1 && Col <= r.Col2) return Cell(r.Sheet, r.Row1, Col);
            return TScalar::Error(kValue);
        }
    }
    return TScalar::Error(kValue);
}

void TEvaluator::ForEachCell(const TRect& r, const std::function<bool(int, int, const TScalar&)>& fn) {
    const auto visit = [&](int row, int col, const TScalar& v) {
        if (v.IsNotEvaluated()) throw TNotEvaluated{};
        return fn(row, col, v);
    };
    if (View == TRangeView::Plain)
        Context.ForEachCell(r.Sheet, r.Row1, r.Col1, r.Row2, r.Col2, visit);
    else
        Context.ForEachSubtotalCell(r.Sheet, r.Row1, r.Col1, r.Row2, r.Col2, View == TRangeView::SubtotalVisible,
                                    visit);
}

void TEvaluator::ForEach(const TOperand& v, const std::function<bool(const TScalar&)>& fn) {
    switch (v.type) {
        case TOperand::Type::Scalar:
            fn(v.scalar);
            return;
        case TOperand::Type::Array:
            for (const TScalar& c : v.array->Cells)
                if (!fn(c)) return;
            return;
        case TOperand::Type::Ref: {
            bool go = true;
            for (const TRect& r : v.areas) {
                ForEachCell(r, [&](int, int, const TScalar& c) { return go = fn(c); });
                if (!go) return;
            }
            return;
        }
    }
}

void TEvaluator::SpendArrayCells(double n) {
    ArrayCells += n;
    if (ArrayCells > kMaxArrayCells) throw TNotEvaluated{};
}

TArray TEvaluator::ToArray(const TOperand& v) {
    TArray a;
    if (v.type == TOperand::Type::Array) {
        SpendArrayCells(double(v.array->Cells.size()));
        return *v.array;
    }
    if (v.type == TOperand::Type::Scalar) {
        a.Rows = a.Cols = 1;
        a.Cells.push_back(v.scalar);
        return a;
    }
    if (v.areas.size() != 1) {
        a.Rows = a.Cols = 1;
        a.Cells.push_back(TScalar::Error(kValue));
        return a;
    }
    const TRect& r = v.areas.front();
    SpendArrayCells(r.Size());
    a.Rows = r.Rows(), a.Cols = r.Cols();
    a.Cells.resize(std::size_t(a.Rows) * a.Cols);
    ForEachCell(r, [&](int row, int col, const TScalar& c) {
        a.Cells[std::size_t(row - r.Row1) * a.Cols + (col - r.Col1)] = c;
        return true;
    });
    return a;
}

TOperand TEvaluator::Eval(const TFormulaNode& node, bool arrayMode) {
    const bool saved = ArrayMode;
    ArrayMode = arrayMode;
    TOperand v = Eval(node);
    ArrayMode = saved;
    return v;
}

TOperand TEvaluator::EvalName(const TFormulaNode& node) {
    const std::string_view name = F.TokenText(node.Token);
    std::string text;
    if (!Context.ResolveName(name, text)) return TOperand::Err(kName);
    if (Depth >= kMaxNameDepth) throw TNotEvaluated{};
    TParseOptions options;
    options.AllowUnknownFunctions = true;
    options.AllowTopLevelUnion = true;
    TFormula named;
    try {
        named = ParseFormula(text, TFormulaDialect::English(), options);
    } catch (const EFormulaError&) {
        return TOperand::Err(kName);
    }
    TEvaluator inner(named, Context, Row, Col, Depth + 1);
    inner.ArrayMode = ArrayMode;
    inner.ArrayCells = ArrayCells;
    TOperand v = inner.Eval(named.Nodes()[named.Root()]);
    ArrayCells = inner.ArrayCells;
    return v;
}

TOperand TEvaluator::EvalRange(const TOperand& a, const TOperand& b) {
    if (a.type != TOperand::Type::Ref || b.type != TOperand::Type::Ref || a.areas.size() != 1 || b.areas.size() != 1)
        return TOperand::Err(kValue);
    const TRect& x = a.areas.front();
    const TRect& y = b.areas.front();
    if (x.Sheet != y.Sheet) return TOperand::Err(kValue);
    TRect r{x.Sheet, std::min(x.Row1, y.Row1), std::min(x.Col1, y.Col1), std::max(x.Row2, y.Row2),
            std::max(x.Col2, y.Col2)};
    return TOperand::Area(std::move(r));
}

TOperand TEvaluator::EvalBinary(const TFormulaNode& node) {
    const TOperand a = Eval(F.Child(node, 0));
    const TOperand b = Eval(F.Child(node, 1));
    if (node.Op == ':') return EvalRange(a, b);
    if (node.Op == ' ') {
        if (a.type != TOperand::Type::Ref || b.type != TOperand::Type::Ref || a.areas.size() != 1 ||
            b.areas.size() != 1)
            return TOperand::Err(kValue);
        const TRect& x = a.areas.front();
        const TRect& y = b.areas.front();
        TRect r{x.Sheet, std::max(x.Row1, y.Row1), std::max(x.Col1, y.Col1), std::min(x.Row2, y.Row2),
                std::min(x.Col2, y.Col2)};
        if (x.Sheet != y.Sheet || r.Row1 > r.Row2 || r.Col1 > r.Col2) return TOperand::Err(kNull);
        return TOperand::Area(std::move(r));
    }
    const auto isMulti = [&](const TOperand& v) {
        return v.type == TOperand::Type::Array ||
               (ArrayMode && v.type == TOperand::Type::Ref && (v.areas.size() != 1 || v.areas.front().Size() > 1));
    };
    if (!isMulti(a) && !isMulti(b)) return TOperand::Of(ApplyBinary(node.Op, Scalar(a), Scalar(b)));
    // Element by element, a single row or column stretched over the other operand.
    const TArray x = ToArray(a), y = ToArray(b);
    TArray r;
    r.Rows = std::max(x.Rows, y.Rows);
    r.Cols = std::max(x.Cols, y.Cols);
    SpendArrayCells(double(r.Rows) * r.Cols);
    r.Cells.reserve(std::size_t(r.Rows) * r.Cols);
    const auto at = [](const TArray& m, int i, int j) -> TScalar {
        const int ii = m.Rows == 1 ? 0 : i, jj = m.Cols == 1 ? 0 : j;
        if (ii >= m.Rows || jj >= m.Cols) return TScalar::Error(kNA);
        return m.At(ii, jj);
    };
    for (int i = 0; i < r.Rows; ++i)
        for (int j = 0; j < r.Cols; ++j) r.Cells.push_back(ApplyBinary(node.Op, at(x, i, j), at(y, i, j)));
    return TOperand::Arr(std::move(r));
}

TOperand TEvaluator::Eval(const TFormulaNode& node) {
    if (!Given.empty()) {
        const auto it = Given.find(&node);
        if (it != Given.end()) return it->second;
    }
    switch (node.Kind) {
        case TNodeKind::Number: {
            std::string_view text = F.TokenText(node.Token);
            char buf[64];
            std::size_t n = 0;
            for (char c : text) {
                if (n + 1 >= sizeof buf) break;
                buf[n++] = c == F.Dialect().DecimalSeparator ? '.' : c;
            }
            double d = 0;
            std::from_chars(buf, buf + n, d);
            return TOperand::Num(d);
        }
        case TNodeKind::String: {
            const std::string_view text = F.TokenText(node.Token);
            std::string s;
            s.reserve(text.size());
            for (std::size_t i = 1; i + 1 < text.size(); ++i) {
                s += text[i];
                if (text[i] == '"') ++i;
            }
            return TOperand::Str(std::move(s));
        }
        case TNodeKind::Boolean:
            return TOperand::Bool(SameText(F.TokenText(node.Token), "TRUE"));
        case TNodeKind::Error:
            return TOperand::Of(TScalar::Error(UpperCase(F.TokenText(node.Token))));
        case TNodeKind::Missing:
            return TOperand{};
        case TNodeKind::Reference: {
            const TToken& t = F.Tokens()[node.Token];
            if (t.Area.AreaKind == TArea::Kind::Error) return TOperand::Err(kRef);
            const std::string_view text = F.TokenText(node.Token);
            return TOperand::Area(
                TRect{SheetOfPrefix(text.substr(0, t.PrefixLen)), t.Area.Row1, t.Area.Col1, t.Area.Row2, t.Area.Col2});
        }
        case TNodeKind::Name:
            return EvalName(node);
        case TNodeKind::StructuredRef:
            throw TNotEvaluated{};
        case TNodeKind::Parentheses:
            return Eval(F.Child(node, 0));
        case TNodeKind::Union: {
            TOperand u;
            u.type = TOperand::Type::Ref;
            for (int i = 0; i < node.ChildCount; ++i) {
                TOperand part = Eval(F.Child(node, i));
                if (part.type != TOperand::Type::Ref) return TOperand::Err(kValue);
                for (TRect& r : part.areas) u.areas.push_back(std::move(r));
            }
            return u;
        }
        case TNodeKind::Percent: {
            const TOperand v = Eval(F.Child(node, 0));
            return TOperand::Of(ApplyArithmetic('/', Scalar(v), TScalar::Number(100)));
        }
        case TNodeKind::Unary: {
            TOperand v = Eval(F.Child(node, 0));
            if (node.Op == '@') return TOperand::Of(Scalar(v));
            if (node.Op == '+') return v;
            if (v.type == TOperand::Type::Array) {
                TArray a = *v.array;
                for (TScalar& c : a.Cells) c = ApplyArithmetic('-', TScalar::Number(0), c);
                return TOperand::Arr(std::move(a));
            }
            const TScalar s = Scalar(v);
            if (s.kind == TScalar::Kind::Error) return TOperand::Of(s);
            return TOperand::Of(ApplyArithmetic('-', TScalar::Number(0), s));
        }
        case TNodeKind::Binary:
            return EvalBinary(node);
        case TNodeKind::Array: {
            TArray a;
            a.Cols = node.ArrayColumns;
            a.Rows = a.Cols > 0 ? node.ChildCount / a.Cols : 0;
            for (int i = 0; i < node.ChildCount; ++i) a.Cells.push_back(Scalar(Eval(F.Child(node, i))));
            return TOperand::Arr(std::move(a));
        }
        case TNodeKind::Function: {
            if (node.Function < 0) throw TNotEvaluated{};
            TOperand result;
            if (!CallFunction(*this, node, FunctionInfo(node.Function).Name, result)) throw TNotEvaluated{};
            return result;
        }
        case TNodeKind::Spill:
            throw TNotEvaluated{};
    }
    throw TNotEvaluated{};
}

}  // namespace eval

TScalar EvaluateFormula(const TFormula& f, IFormulaContext& context, int row, int col) {
    return EvaluateFormula(f, context, row, col, TEvaluateOptions{});
}

TScalar EvaluateFormula(const TFormula& f, IFormulaContext& context, int row, int col,
                        const TEvaluateOptions& options) {
    if (f.Root() < 0) return TScalar::NotEvaluated();
    try {
        eval::TEvaluator e(f, context, row, col);
        TScalar v;
        if (options.ArrayFormula) {
            const eval::TOperand result = e.Eval(f.Nodes()[f.Root()], true);
            // The top-left element: the value of the formula's own cell.
            const eval::TArray a = e.ToArray(result);
            v = a.Cells.empty() ? TScalar::Error(eval::kValue) : a.Cells.front();
        } else {
            v = e.Scalar(e.Eval(f.Nodes()[f.Root()]));
        }
        // A formula showing an empty cell shows 0.
        if (v.kind == TScalar::Kind::Empty) return TScalar::Number(0);
        if (v.kind == TScalar::Kind::Number && v.number == 0) v.number = 0;  // no -0
        return v;
    } catch (const eval::TNotEvaluated&) {
        return TScalar::NotEvaluated();
    }
}

}  // namespace tabrix::xl
