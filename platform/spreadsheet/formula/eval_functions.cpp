// The worksheet functions the evaluator implements. Others are left
// unevaluated: the workbook computes them when it is opened.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "platform/rtl/ascii.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/strings.h"
#include "platform/spreadsheet/formula/eval_internal.h"
#include "platform/spreadsheet/formula/number_format.h"
#include "platform/spreadsheet/formula/typed_input.h"
#include "platform/spreadsheet/limits.h"

namespace tabrix::xl::eval {

namespace {

using Kind = TScalar::Kind;
using THandler = TOperand (*)(TEvaluator&, const TFormulaNode&);

int Argc(const TFormulaNode& call) { return call.ChildCount; }

// The whole part of a number argument as an int, clamped: 1E+300 is a legal
// argument where a count or a position is expected.
int ToInt(double d) {
    if (std::isnan(d)) return 0;
    d = std::trunc(d);
    return d > 1e9 ? 1000000000 : d < -1e9 ? -1000000000 : int(d);
}
bool IsMissing(TEvaluator& e, const TFormulaNode& call, int i) {
    return i >= Argc(call) || e.Arg(call, i).Kind == TNodeKind::Missing;
}

// Numeric argument; false with err set when it is an error or no number.
bool Num(TEvaluator& e, const TFormulaNode& call, int i, double& out, TOperand& err) {
    TScalar bad;
    if (!ToNumber(e.ScalarArg(call, i), out, bad)) {
        err = TOperand::Of(bad);
        return false;
    }
    return true;
}
bool NumOr(TEvaluator& e, const TFormulaNode& call, int i, double def, double& out, TOperand& err) {
    if (IsMissing(e, call, i)) {
        out = def;
        return true;
    }
    return Num(e, call, i, out, err);
}
bool Str(TEvaluator& e, const TFormulaNode& call, int i, std::string& out, TOperand& err) {
    const TScalar v = e.ScalarArg(call, i);
    if (v.kind == Kind::Error) {
        err = TOperand::Of(v);
        return false;
    }
    out = ToText(v);
    return true;
}
bool Bool(TEvaluator& e, const TFormulaNode& call, int i, bool& out, TOperand& err) {
    TScalar bad;
    if (!ToBool(e.ScalarArg(call, i), out, bad)) {
        err = TOperand::Of(bad);
        return false;
    }
    return true;
}

TOperand NumResult(double d) {
    if (!std::isfinite(d)) return TOperand::Err(kNum);
    return TOperand::Num(d);
}

// ---- numbers of aggregate arguments ----

// Numbers of the arguments from index `from` as SUM sees them: numbers,
// Booleans and numeric text given directly count; in references and arrays
// only numbers do (countA: every non-empty value, as COUNTA). Stops at the
// first error, which it returns.
template <class Fn>
bool ForEachNumber(TEvaluator& e, const TFormulaNode& call, int from, Fn&& fn, TOperand& err) {
    for (int i = from; i < Argc(call); ++i) {
        const TOperand v = e.Eval(e.Arg(call, i));
        if (v.type == TOperand::Type::Scalar) {
            double d = 0;
            TScalar bad;
            if (!ToNumber(v.scalar, d, bad)) {
                err = TOperand::Of(bad);
                return false;
            }
            fn(d);
            continue;
        }
        bool ok = true;
        e.ForEach(v, [&](const TScalar& c) {
            if (c.kind == Kind::Error) {
                err = TOperand::Of(c);
                return ok = false;
            }
            if (c.kind == Kind::Number) fn(c.number);
            return true;
        });
        if (!ok) return false;
    }
    return true;
}

bool Collect(TEvaluator& e, const TFormulaNode& call, int from, std::vector<double>& out, TOperand& err) {
    return ForEachNumber(
        e, call, from, [&](double d) { out.push_back(d); }, err);
}

TOperand Sum(TEvaluator& e, const TFormulaNode& call) {
    double s = 0;
    TOperand err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { s += d; }, err))
        return err;
    return NumResult(s);
}
TOperand Product(TEvaluator& e, const TFormulaNode& call) {
    double p = 1;
    int n = 0;
    TOperand err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { p *= d, ++n; }, err))
        return err;
    return NumResult(n ? p : 0);
}
TOperand SumSq(TEvaluator& e, const TFormulaNode& call) {
    double s = 0;
    TOperand err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { s += d * d; }, err))
        return err;
    return NumResult(s);
}
TOperand Average(TEvaluator& e, const TFormulaNode& call) {
    double s = 0;
    int n = 0;
    TOperand err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { s += d, ++n; }, err))
        return err;
    return n ? NumResult(s / n) : TOperand::Err(kDiv0);
}
TOperand MinMax(TEvaluator& e, const TFormulaNode& call, bool max) {
    double m = 0;
    bool any = false;
    TOperand err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { m = !any ? d : (max ? std::max(m, d) : std::min(m, d)), any = true; }, err))
        return err;
    return TOperand::Num(any ? m : 0);
}
TOperand Min(TEvaluator& e, const TFormulaNode& call) { return MinMax(e, call, false); }
TOperand Max(TEvaluator& e, const TFormulaNode& call) { return MinMax(e, call, true); }

// COUNT counts numbers (and numeric text given directly); COUNTA every non-empty value.
TOperand CountImpl(TEvaluator& e, const TFormulaNode& call, int from, bool countA) {
    double n = 0;
    for (int i = from; i < Argc(call); ++i) {
        const TOperand v = e.Eval(e.Arg(call, i));
        if (v.type == TOperand::Type::Scalar) {
            if (countA) {
                ++n;
            } else {
                double d = 0;
                TScalar bad;
                if (v.scalar.kind != Kind::Error && ToNumber(v.scalar, d, bad)) ++n;
            }
            continue;
        }
        e.ForEach(v, [&](const TScalar& c) {
            if (countA ? c.kind != Kind::Empty : c.kind == Kind::Number) ++n;
            return true;
        });
    }
    return TOperand::Num(n);
}
TOperand Count(TEvaluator& e, const TFormulaNode& call) { return CountImpl(e, call, 0, false); }
TOperand CountA(TEvaluator& e, const TFormulaNode& call) { return CountImpl(e, call, 0, true); }

double CellsOf(const TOperand& v) {
    double n = 0;
    for (const TRect& r : v.areas) n += r.Size();
    return n;
}

TOperand CountBlank(TEvaluator& e, const TFormulaNode& call) {
    const TOperand v = e.Eval(e.Arg(call, 0));
    if (v.type != TOperand::Type::Ref) return TOperand::Err(kValue);
    double filled = 0;
    e.ForEach(v, [&](const TScalar& c) {
        if (!(c.kind == Kind::Empty || (c.kind == Kind::Text && c.text.empty()))) ++filled;
        return true;
    });
    return TOperand::Num(CellsOf(v) - filled);
}

// Sample (sample = true) or population variance.
bool Variance(const std::vector<double>& x, bool sample, double& var) {
    const std::size_t n = x.size();
    if (n < (sample ? 2u : 1u)) return false;
    double mean = 0;
    for (double d : x) mean += d;
    mean /= double(n);
    double ss = 0;
    for (double d : x) ss += (d - mean) * (d - mean);
    var = ss / double(sample ? n - 1 : n);
    return true;
}
TOperand VarianceOf(TEvaluator& e, const TFormulaNode& call, int from, bool sample, bool root) {
    std::vector<double> x;
    TOperand err;
    if (!Collect(e, call, from, x, err)) return err;
    double v = 0;
    if (!Variance(x, sample, v)) return TOperand::Err(kDiv0);
    return NumResult(root ? std::sqrt(v) : v);
}
TOperand StDev(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, true, true); }
TOperand StDevP(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, false, true); }
TOperand Var(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, true, false); }
TOperand VarP(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, false, false); }

TOperand Median(TEvaluator& e, const TFormulaNode& call) {
    std::vector<double> x;
    TOperand err;
    if (!Collect(e, call, 0, x, err)) return err;
    if (x.empty()) return TOperand::Err(kNum);
    std::sort(x.begin(), x.end());
    const std::size_t n = x.size();
    return TOperand::Num(n % 2 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2);
}

TOperand LargeSmall(TEvaluator& e, const TFormulaNode& call, bool large) {
    std::vector<double> x;
    TOperand err;
    const TOperand v = e.Eval(e.Arg(call, 0));
    if (v.type == TOperand::Type::Scalar && v.scalar.kind != Kind::Error) {
        // A value given directly counts as a number when it reads as one (TRUE, "2.3").
        double d = 0;
        TScalar bad;
        if (!ToNumber(v.scalar, d, bad)) return TOperand::Of(bad);
        x.push_back(d);
    }
    bool ok = true;
    if (v.type != TOperand::Type::Scalar || v.scalar.kind == Kind::Error)
        e.ForEach(v, [&](const TScalar& c) {
            if (c.kind == Kind::Error) return ok = false, err = TOperand::Of(c), false;
            if (c.kind == Kind::Number) x.push_back(c.number);
            return true;
        });
    if (!ok) return err;
    double k = 0;
    if (!Num(e, call, 1, k, err)) return err;
    const long kk = ToInt(std::ceil(k));
    if (kk < 1 || std::size_t(kk) > x.size()) return TOperand::Err(kNum);
    std::sort(x.begin(), x.end());
    return TOperand::Num(large ? x[x.size() - std::size_t(kk)] : x[std::size_t(kk) - 1]);
}
TOperand Large(TEvaluator& e, const TFormulaNode& c) { return LargeSmall(e, c, true); }
TOperand Small(TEvaluator& e, const TFormulaNode& c) { return LargeSmall(e, c, false); }

TOperand SubtotalOf(TEvaluator& e, const TFormulaNode& call, int code) {
    TOperand err;
    std::vector<double> x;
    switch (code) {
        case 2:
            return CountImpl(e, call, 1, false);
        case 3:
            return CountImpl(e, call, 1, true);
        case 7:
            return VarianceOf(e, call, 1, true, true);
        case 8:
            return VarianceOf(e, call, 1, false, true);
        case 10:
            return VarianceOf(e, call, 1, true, false);
        case 11:
            return VarianceOf(e, call, 1, false, false);
        case 1:
        case 4:
        case 5:
        case 6:
        case 9:
            break;
        default:
            return TOperand::Err(kValue);
    }
    if (!Collect(e, call, 1, x, err)) return err;
    double r = 0;
    switch (code) {
        case 1:
            if (x.empty()) return TOperand::Err(kDiv0);
            for (double d : x) r += d;
            return NumResult(r / double(x.size()));
        case 4:
            return TOperand::Num(x.empty() ? 0 : *std::max_element(x.begin(), x.end()));
        case 5:
            return TOperand::Num(x.empty() ? 0 : *std::min_element(x.begin(), x.end()));
        case 6:
            r = x.empty() ? 0 : 1;
            for (double d : x) r *= d;
            return NumResult(r);
        default:
            for (double d : x) r += d;
            return NumResult(r);
    }
}

// SUBTOTAL reads its ranges without the cells of other subtotals (no
// double counting in group footers over a whole column) and without rows
// hidden by a filter; codes 101-111 leave out every hidden row. The
// arguments are evaluated first, so that only SUBTOTAL's own ranges are seen
// that way, not those of functions inside its arguments.
TOperand Subtotal(TEvaluator& e, const TFormulaNode& call) {
    double fn = 0;
    TOperand err;
    if (!Num(e, call, 0, fn, err)) return err;
    const int whole = ToInt(fn);
    if (whole < 1 || (whole > 11 && whole < 101) || whole > 111) return TOperand::Err(kValue);
    for (int i = 1; i < Argc(call); ++i) {
        TOperand v = e.Eval(e.Arg(call, i));
        e.Given[&e.Arg(call, i)] = std::move(v);
    }
    const auto saved = e.View;
    e.View = whole > 100 ? TEvaluator::TRangeView::SubtotalVisible : TEvaluator::TRangeView::Subtotal;
    const auto restore = [&] {
        e.View = saved;
        for (int i = 1; i < Argc(call); ++i) e.Given.erase(&e.Arg(call, i));
    };
    try {
        TOperand r = SubtotalOf(e, call, whole % 100);
        restore();
        return r;
    } catch (...) {
        restore();
        throw;
    }
}

TOperand SumProduct(TEvaluator& e, const TFormulaNode& call) {
    std::vector<TArray> arrays;
    for (int i = 0; i < Argc(call); ++i) arrays.push_back(e.ToArray(e.Eval(e.Arg(call, i), true)));
    const TArray& first = arrays.front();
    for (const TArray& a : arrays)
        if (a.Rows != first.Rows || a.Cols != first.Cols) return TOperand::Err(kValue);
    double s = 0;
    for (std::size_t k = 0; k < first.Cells.size(); ++k) {
        double p = 1;
        for (const TArray& a : arrays) {
            const TScalar& c = a.Cells[k];
            if (c.kind == Kind::Error) return TOperand::Of(c);
            if (c.kind == Kind::Text) throw TNotEvaluated{};  // the writer gives #VALUE! in some shapes, 0 in others
            p *= c.kind == Kind::Number ? c.number : 0;
        }
        s += p;
    }
    return NumResult(s);
}

// ---- criteria of SUMIF, COUNTIF and their kin ----

// Bytes of the UTF-8 character at text[at]: '?' stands for one character.
std::size_t CharBytes(std::string_view text, std::size_t at) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const std::size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(n, text.size() - at);
}

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    // Both upper-cased by the caller; '~' escapes the next character.
    std::size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '~' && p + 1 < pattern.size() && pattern[p + 1] == text[t]) {
            p += 2, ++t;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p, t += CharBytes(text, t);
        } else if (p < pattern.size() && pattern[p] == text[t] && pattern[p] != '*' && pattern[p] != '~') {
            ++p, ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++, starT = t;
        } else if (starP != std::string_view::npos) {
            starT += CharBytes(text, starT);
            p = starP + 1, t = starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

struct TCriterion {
    char Op = '=';
    TScalar Value;
    bool Wildcards = false;
    std::string Upper;  // Text criteria, upper case

    explicit TCriterion(const TScalar& c) {
        if (c.kind != Kind::Text) {
            Value = c.kind == Kind::Empty ? TScalar::Number(0) : c;
            return;
        }
        std::string_view s = c.text;
        if (s.rfind("<=", 0) == 0)
            Op = 'l', s.remove_prefix(2);
        else if (s.rfind(">=", 0) == 0)
            Op = 'g', s.remove_prefix(2);
        else if (s.rfind("<>", 0) == 0)
            Op = 'n', s.remove_prefix(2);
        else if (s.rfind("<", 0) == 0)
            Op = '<', s.remove_prefix(1);
        else if (s.rfind(">", 0) == 0)
            Op = '>', s.remove_prefix(1);
        else if (s.rfind("=", 0) == 0)
            Op = '=', s.remove_prefix(1);
        const TTypedInput in = ParseTypedInput(s, FormatSettings());
        if (!s.empty() && in.kind == TTypedInput::Kind::Number) {
            Value = TScalar::Number(in.number);
        } else if (in.kind == TTypedInput::Kind::Boolean) {
            Value = TScalar::Boolean(in.boolean);
        } else {
            Value = TScalar::Text(std::string(s));
            Upper = AnsiUpperCase(s);
            Wildcards = (Op == '=' || Op == 'n') && Upper.find_first_of("*?~") != std::string::npos;
        }
    }

    bool Equal(const TScalar& cell) const {
        if (Value.kind == Kind::Text) {
            if (Value.text.empty()) return cell.kind == Kind::Empty || (cell.kind == Kind::Text && cell.text.empty());
            if (cell.kind != Kind::Text) return false;
            const std::string u = AnsiUpperCase(cell.text);
            return Wildcards ? WildcardMatch(Upper, u) : u == Upper;
        }
        if (Value.kind == Kind::Number) {
            if (cell.kind == Kind::Number) return NumbersEqual(cell.number, Value.number);
            if (cell.kind == Kind::Text) {
                const TTypedInput in = ParseTypedInput(cell.text, FormatSettings());
                return in.kind == TTypedInput::Kind::Number && NumbersEqual(in.number, Value.number);
            }
            return false;
        }
        return cell.kind == Value.kind && cell == Value;
    }

    bool Matches(const TScalar& cell) const {
        switch (Op) {
            case '=':
                return Equal(cell);
            case 'n':
                return !Equal(cell);
            default: {
                const bool comparable = (Value.kind == Kind::Number && cell.kind == Kind::Number) ||
                                        (Value.kind == Kind::Text && cell.kind == Kind::Text) ||
                                        (Value.kind == Kind::Boolean && cell.kind == Kind::Boolean);
                if (!comparable) return false;
                const int c = Compare(cell, Value);
                return Op == '<' ? c < 0 : Op == '>' ? c > 0 : Op == 'l' ? c <= 0 : c >= 0;
            }
        }
    }
    bool MatchesEmpty() const { return Matches(TScalar{}); }
};

bool SingleArea(const TOperand& v, TRect& r) {
    if (v.type != TOperand::Type::Ref || v.areas.size() != 1) return false;
    r = v.areas.front();
    return true;
}

// What the *IF functions do with the matching values.
struct TConditional {
    double Sum = 0, Count = 0, Min = 0, Max = 0;
    bool Any = false;
    void Add(const TScalar& v) {
        if (v.kind != Kind::Number) return;
        Sum += v.number, ++Count;
        Min = Any ? std::min(Min, v.number) : v.number;
        Max = Any ? std::max(Max, v.number) : v.number;
        Any = true;
    }
};

// Runs the criteria (pairs of a range and a criterion) over their ranges,
// calling hit(rowOffset, colOffset) for every position where all match.
bool ForEachMatch(TEvaluator& e, const std::vector<TRect>& ranges, const std::vector<TCriterion>& criteria,
                  const TRect* valueRange, const std::function<void(int, int)>& hit) {
    const TRect& first = ranges.front();
    for (const TRect& r : ranges)
        if (r.Rows() != first.Rows() || r.Cols() != first.Cols()) return false;
    const auto allMatch = [&](int dr, int dc, std::size_t skip) {
        for (std::size_t k = 0; k < ranges.size(); ++k) {
            if (k == skip) continue;
            if (!criteria[k].Matches(e.Cell(ranges[k].Sheet, ranges[k].Row1 + dr, ranges[k].Col1 + dc))) return false;
        }
        return true;
    };
    // Walk the non-empty cells of a range whose criterion needs a value.
    for (std::size_t k = 0; k < ranges.size(); ++k) {
        if (criteria[k].MatchesEmpty()) continue;
        e.ForEachCell(ranges[k], [&](int row, int col, const TScalar& c) {
            const int dr = row - ranges[k].Row1, dc = col - ranges[k].Col1;
            if (criteria[k].Matches(c) && allMatch(dr, dc, k)) hit(dr, dc);
            return true;
        });
        return true;
    }
    // Every criterion takes empty cells: walk the values, or every position of a small range.
    if (valueRange != nullptr) {
        e.ForEachCell(*valueRange, [&](int row, int col, const TScalar&) {
            const int dr = row - valueRange->Row1, dc = col - valueRange->Col1;
            if (dr < first.Rows() && dc < first.Cols() && allMatch(dr, dc, std::size_t(-1))) hit(dr, dc);
            return true;
        });
        return true;
    }
    if (first.Size() > 100000) throw TNotEvaluated{};
    for (int dr = 0; dr < first.Rows(); ++dr)
        for (int dc = 0; dc < first.Cols(); ++dc)
            if (allMatch(dr, dc, std::size_t(-1))) hit(dr, dc);
    return true;
}

enum class TIfKind { Sum, Count, Average, Min, Max };

// SUMIF(range, criterion, [sum_range]), COUNTIF(range, criterion), AVERAGEIF(...).
TOperand SingleIf(TEvaluator& e, const TFormulaNode& call, TIfKind kind) {
    TRect range;
    if (!SingleArea(e.Eval(e.Arg(call, 0)), range)) return TOperand::Err(kValue);
    // A criterion given as a range: the writer does not take its intersection.
    const TOperand critArg = e.Eval(e.Arg(call, 1));
    if (critArg.type == TOperand::Type::Ref && (critArg.areas.size() != 1 || critArg.areas.front().Size() > 1))
        throw TNotEvaluated{};
    const TScalar crit = e.Scalar(critArg);
    if (crit.kind == Kind::Error) throw TNotEvaluated{};  // counts the cells holding that error
    const TCriterion criterion(crit);
    if (kind == TIfKind::Count) {
        if (criterion.MatchesEmpty()) {
            double misses = 0;
            e.ForEachCell(range, [&](int, int, const TScalar& c) {
                misses += !criterion.Matches(c);
                return true;
            });
            return TOperand::Num(range.Size() - misses);
        }
        double n = 0;
        e.ForEachCell(range, [&](int, int, const TScalar& c) {
            n += criterion.Matches(c);
            return true;
        });
        return TOperand::Num(n);
    }
    TRect values = range;
    if (!IsMissing(e, call, 2)) {
        TRect given;
        if (!SingleArea(e.Eval(e.Arg(call, 2)), given)) return TOperand::Err(kValue);
        // The sum range takes the criteria range's shape from its top-left cell.
        values =
            TRect{given.Sheet, given.Row1, given.Col1, given.Row1 + range.Rows() - 1, given.Col1 + range.Cols() - 1};
        if (values.Row2 > kMaxRows || values.Col2 > kMaxColumns) return TOperand::Err(kRef);
    }
    TConditional acc;
    ForEachMatch(e, {range}, {criterion}, &values,
                 [&](int dr, int dc) { acc.Add(e.Cell(values.Sheet, values.Row1 + dr, values.Col1 + dc)); });
    if (kind == TIfKind::Average) return acc.Count != 0 ? NumResult(acc.Sum / acc.Count) : TOperand::Err(kDiv0);
    return NumResult(acc.Sum);
}
TOperand SumIf(TEvaluator& e, const TFormulaNode& c) { return SingleIf(e, c, TIfKind::Sum); }
TOperand CountIf(TEvaluator& e, const TFormulaNode& c) { return SingleIf(e, c, TIfKind::Count); }
TOperand AverageIf(TEvaluator& e, const TFormulaNode& c) { return SingleIf(e, c, TIfKind::Average); }

// SUMIFS(values, range1, criterion1, ...), COUNTIFS(range1, criterion1, ...), ...
TOperand MultiIf(TEvaluator& e, const TFormulaNode& call, TIfKind kind) {
    const int first = kind == TIfKind::Count ? 0 : 1;
    if ((Argc(call) - first) % 2 != 0) return TOperand::Err(kValue);
    TRect values;
    if (first == 1 && !SingleArea(e.Eval(e.Arg(call, 0)), values)) return TOperand::Err(kValue);
    std::vector<TRect> ranges;
    std::vector<TCriterion> criteria;
    for (int i = first; i < Argc(call); i += 2) {
        TRect r;
        if (!SingleArea(e.Eval(e.Arg(call, i)), r)) return TOperand::Err(kValue);
        const TScalar c = e.ScalarArg(call, i + 1);
        if (c.kind == Kind::Error) return TOperand::Of(c);
        ranges.push_back(r);
        criteria.emplace_back(c);
    }
    if (first == 1 && (values.Rows() != ranges[0].Rows() || values.Cols() != ranges[0].Cols()))
        return TOperand::Err(kValue);
    TConditional acc;
    double count = 0;
    if (!ForEachMatch(e, ranges, criteria, first == 1 ? &values : nullptr, [&](int dr, int dc) {
            if (kind == TIfKind::Count)
                ++count;
            else
                acc.Add(e.Cell(values.Sheet, values.Row1 + dr, values.Col1 + dc));
        }))
        return TOperand::Err(kValue);
    switch (kind) {
        case TIfKind::Count:
            return TOperand::Num(count);
        case TIfKind::Sum:
            return NumResult(acc.Sum);
        case TIfKind::Average:
            return acc.Count != 0 ? NumResult(acc.Sum / acc.Count) : TOperand::Err(kDiv0);
        case TIfKind::Min:
            return TOperand::Num(acc.Any ? acc.Min : 0);
        case TIfKind::Max:
            return TOperand::Num(acc.Any ? acc.Max : 0);
    }
    return TOperand::Err(kValue);
}
TOperand SumIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Sum); }
TOperand CountIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Count); }
TOperand AverageIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Average); }
TOperand MaxIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Max); }
TOperand MinIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Min); }

// ---- logic ----

// IF over an array of conditions picks element by element.
TOperand IfArray(TEvaluator& e, const TFormulaNode& call, const TOperand& condition) {
    const TArray c = e.ToArray(condition);
    const TArray yes = e.ToArray(e.Eval(e.Arg(call, 1)));
    const TArray no = Argc(call) < 3 ? TArray{1, 1, {TScalar::Boolean(false)}} : e.ToArray(e.Eval(e.Arg(call, 2)));
    TArray r;
    r.Rows = std::max({c.Rows, yes.Rows, no.Rows});
    r.Cols = std::max({c.Cols, yes.Cols, no.Cols});
    e.SpendArrayCells(double(r.Rows) * r.Cols);
    const auto at = [](const TArray& m, int i, int j) -> TScalar {
        const int ii = m.Rows == 1 ? 0 : i, jj = m.Cols == 1 ? 0 : j;
        if (ii >= m.Rows || jj >= m.Cols) return TScalar::Error(kNA);
        return m.At(ii, jj);
    };
    for (int i = 0; i < r.Rows; ++i)
        for (int j = 0; j < r.Cols; ++j) {
            bool b = false;
            TScalar bad;
            const TScalar ci = at(c, i, j);
            if (!ToBool(ci, b, bad))
                r.Cells.push_back(bad);
            else
                r.Cells.push_back(at(b ? yes : no, i, j));
        }
    return TOperand::Arr(std::move(r));
}

TOperand If(TEvaluator& e, const TFormulaNode& call) {
    if (e.ArrayMode) {
        const TOperand condition = e.Eval(e.Arg(call, 0));
        const bool multi = condition.type == TOperand::Type::Array ||
                           (condition.type == TOperand::Type::Ref &&
                            (condition.areas.size() != 1 || condition.areas.front().Size() > 1));
        if (multi) return IfArray(e, call, condition);
        bool cond = false;
        TScalar bad;
        if (!ToBool(e.Scalar(condition), cond, bad)) return TOperand::Of(bad);
        if (cond) return e.Eval(e.Arg(call, 1));
        return Argc(call) < 3 ? TOperand::Bool(false) : e.Eval(e.Arg(call, 2));
    }
    bool cond = false;
    TOperand err;
    if (!Bool(e, call, 0, cond, err)) return err;
    if (cond) return e.Eval(e.Arg(call, 1));
    if (Argc(call) < 3) return TOperand::Bool(false);
    return e.Eval(e.Arg(call, 2));
}
TOperand IfError(TEvaluator& e, const TFormulaNode& call) {
    TOperand v = e.Eval(e.Arg(call, 0));
    const TScalar s = e.Scalar(v);
    if (s.kind == Kind::Error) return e.Eval(e.Arg(call, 1));
    return v;
}
TOperand IfNa(TEvaluator& e, const TFormulaNode& call) {
    TOperand v = e.Eval(e.Arg(call, 0));
    const TScalar s = e.Scalar(v);
    if (s.kind == Kind::Error && s.text == kNA) return e.Eval(e.Arg(call, 1));
    return v;
}
TOperand Ifs(TEvaluator& e, const TFormulaNode& call) {
    if (Argc(call) % 2) return TOperand::Err(kValue);
    for (int i = 0; i < Argc(call); i += 2) {
        bool cond = false;
        TOperand err;
        if (!Bool(e, call, i, cond, err)) return err;
        if (cond) return e.Eval(e.Arg(call, i + 1));
    }
    return TOperand::Err(kNA);
}
TOperand Switch(TEvaluator& e, const TFormulaNode& call) {
    const TScalar v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TOperand::Of(v);
    int i = 1;
    for (; i + 1 < Argc(call); i += 2) {
        const TScalar c = e.ScalarArg(call, i);
        if (c.kind == Kind::Error) return TOperand::Of(c);
        if (c.kind == v.kind && Compare(v, c) == 0) return e.Eval(e.Arg(call, i + 1));
    }
    return i < Argc(call) ? e.Eval(e.Arg(call, i)) : TOperand::Err(kNA);
}

// AND, OR, XOR: Booleans and numbers count, text in references is skipped.
TOperand Logical(TEvaluator& e, const TFormulaNode& call, char op) {
    int trues = 0, seen = 0;
    for (int i = 0; i < Argc(call); ++i) {
        const TOperand v = e.Eval(e.Arg(call, i));
        if (v.type == TOperand::Type::Scalar) {
            bool b = false;
            TScalar bad;
            if (!ToBool(v.scalar, b, bad)) return TOperand::Of(bad);
            trues += b, ++seen;
            continue;
        }
        TOperand err;
        bool ok = true;
        e.ForEach(v, [&](const TScalar& c) {
            if (c.kind == Kind::Error) return err = TOperand::Of(c), ok = false;
            if (c.kind == Kind::Number || c.kind == Kind::Boolean) {
                trues += c.kind == Kind::Number ? c.number != 0 : c.boolean;
                ++seen;
            }
            return true;
        });
        if (!ok) return err;
    }
    if (seen == 0) return TOperand::Err(kValue);
    if (op == '&') return TOperand::Bool(trues == seen);
    if (op == '|') return TOperand::Bool(trues > 0);
    return TOperand::Bool(trues % 2 == 1);
}
TOperand And(TEvaluator& e, const TFormulaNode& c) { return Logical(e, c, '&'); }
TOperand Or(TEvaluator& e, const TFormulaNode& c) { return Logical(e, c, '|'); }
TOperand Xor(TEvaluator& e, const TFormulaNode& c) { return Logical(e, c, '^'); }
TOperand Not(TEvaluator& e, const TFormulaNode& call) {
    bool b = false;
    TOperand err;
    if (!Bool(e, call, 0, b, err)) return err;
    return TOperand::Bool(!b);
}
TOperand True(TEvaluator&, const TFormulaNode&) { return TOperand::Bool(true); }
TOperand False(TEvaluator&, const TFormulaNode&) { return TOperand::Bool(false); }

// ---- information ----

TOperand IsKind(TEvaluator& e, const TFormulaNode& call, int what) {
    const TScalar v = e.ScalarArg(call, 0);
    switch (what) {
        case 0:
            return TOperand::Bool(v.kind == Kind::Empty);
        case 1:
            return TOperand::Bool(v.kind == Kind::Number);
        case 2:
            return TOperand::Bool(v.kind == Kind::Text);
        case 3:
            return TOperand::Bool(v.kind != Kind::Text);
        case 4:
            return TOperand::Bool(v.kind == Kind::Boolean);
        case 5:
            return TOperand::Bool(v.kind == Kind::Error);
        case 6:
            return TOperand::Bool(v.kind == Kind::Error && v.text != kNA);
        default:
            return TOperand::Bool(v.kind == Kind::Error && v.text == kNA);
    }
}
TOperand IsBlank(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 0); }
TOperand IsNumber(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 1); }
TOperand IsText(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 2); }
TOperand IsNonText(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 3); }
TOperand IsLogical(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 4); }
TOperand IsError(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 5); }
TOperand IsErr(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 6); }
TOperand IsNa(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 7); }
TOperand Na(TEvaluator&, const TFormulaNode&) { return TOperand::Err(kNA); }
TOperand IsEvenOdd(TEvaluator& e, const TFormulaNode& call, bool even) {
    double d = 0;
    TOperand err;
    if (!Num(e, call, 0, d, err)) return err;
    const bool isEven = std::fmod(std::trunc(d), 2) == 0;
    return TOperand::Bool(isEven == even);
}
TOperand IsEven(TEvaluator& e, const TFormulaNode& c) { return IsEvenOdd(e, c, true); }
TOperand IsOdd(TEvaluator& e, const TFormulaNode& c) { return IsEvenOdd(e, c, false); }

// ---- arithmetic ----

double Pow10(int n) { return std::pow(10.0, n); }

// The spreadsheet works to 15 significant digits: 2.675 rounds to 2.68 although
// its binary value lies just below.
double To15Digits(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", d);
    return std::strtod(buf, nullptr);
}

enum class TRoundMode { Nearest, Up, Down };

TOperand RoundImpl(TEvaluator& e, const TFormulaNode& call, TRoundMode mode) {
    double x = 0, digits = 0;
    TOperand err;
    if (!Num(e, call, 0, x, err) || !Num(e, call, 1, digits, err)) return err;
    const int d = ToInt(digits);
    if (d > 15 || d < -15) return TOperand::Num(d > 0 ? x : 0);
    const double p = Pow10(std::abs(d));
    double scaled = To15Digits(d >= 0 ? x * p : x / p);
    switch (mode) {
        case TRoundMode::Nearest:
            scaled = std::round(scaled);
            break;
        case TRoundMode::Up:
            scaled = scaled < 0 ? std::floor(scaled) : std::ceil(scaled);
            break;
        case TRoundMode::Down:
            scaled = std::trunc(scaled);
            break;
    }
    return NumResult(d >= 0 ? scaled / p : scaled * p);
}
TOperand Round(TEvaluator& e, const TFormulaNode& c) { return RoundImpl(e, c, TRoundMode::Nearest); }
TOperand RoundUp(TEvaluator& e, const TFormulaNode& c) { return RoundImpl(e, c, TRoundMode::Up); }
TOperand RoundDown(TEvaluator& e, const TFormulaNode& c) { return RoundImpl(e, c, TRoundMode::Down); }

template <double (*Fn)(double)>
TOperand Unary(TEvaluator& e, const TFormulaNode& call) {
    double x = 0;
    TOperand err;
    if (!Num(e, call, 0, x, err)) return err;
    return NumResult(Fn(x));
}
double FnAbs(double x) { return std::fabs(x); }
double FnInt(double x) { return std::floor(x); }
double FnSign(double x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); }
double FnExp(double x) { return std::exp(x); }
double FnSin(double x) { return std::sin(x); }
double FnCos(double x) { return std::cos(x); }
double FnTan(double x) { return std::tan(x); }
double FnAtan(double x) { return std::atan(x); }
double FnRadians(double x) { return x * M_PI / 180; }
double FnDegrees(double x) { return x * 180 / M_PI; }
double FnSqrt(double x) { return x < 0 ? NAN : std::sqrt(x); }
double FnLn(double x) { return x <= 0 ? NAN : std::log(x); }
double FnLog10(double x) { return x <= 0 ? NAN : std::log10(x); }
double FnEven(double x) {
    const double a = std::ceil(std::fabs(x) / 2) * 2;
    return x < 0 ? -a : a;
}
double FnOdd(double x) {
    double a = std::ceil(std::fabs(x));
    if (std::fmod(a, 2) == 0) a += 1;
    return x < 0 ? -a : a;
}
double FnFact(double x) {
    if (x < 0) return NAN;
    double r = 1;
    if (x > 170) return NAN;
    for (int i = 2; i <= int(x); ++i) r *= i;
    return r;
}

TOperand Trunc(TEvaluator& e, const TFormulaNode& call) {
    double x = 0, d = 0;
    TOperand err;
    if (!Num(e, call, 0, x, err) || !NumOr(e, call, 1, 0, d, err)) return err;
    const double p = Pow10(std::clamp(ToInt(d), -300, 300));
    return NumResult(std::trunc(To15Digits(x * p)) / p);
}
TOperand Mod(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TOperand err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    if (b == 0) return TOperand::Err(kDiv0);
    return NumResult(a - b * std::floor(a / b));
}
TOperand Quotient(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TOperand err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    if (b == 0) return TOperand::Err(kDiv0);
    return NumResult(std::trunc(a / b));
}
TOperand Power(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TOperand err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    if (a == 0 && b <= 0) return TOperand::Err(b == 0 ? kNum : kDiv0);
    return NumResult(std::pow(a, b));
}
TOperand Log(TEvaluator& e, const TFormulaNode& call) {
    double x = 0, base = 0;
    TOperand err;
    if (!Num(e, call, 0, x, err) || !NumOr(e, call, 1, 10, base, err)) return err;
    if (x <= 0 || base <= 0) return TOperand::Err(kNum);
    if (base == 1) return TOperand::Err(kDiv0);
    return NumResult(std::log(x) / std::log(base));
}
TOperand Pi(TEvaluator&, const TFormulaNode&) { return TOperand::Num(M_PI); }
TOperand Atan2(TEvaluator& e, const TFormulaNode& call) {
    double x = 0, y = 0;
    TOperand err;
    if (!Num(e, call, 0, x, err) || !Num(e, call, 1, y, err)) return err;
    if (x == 0 && y == 0) return TOperand::Err(kDiv0);
    return NumResult(std::atan2(y, x));
}
// CEILING and FLOOR to a multiple with the sign rules of the classic functions.
TOperand CeilingFloor(TEvaluator& e, const TFormulaNode& call, bool ceiling) {
    double x = 0, m = 0;
    TOperand err;
    if (!Num(e, call, 0, x, err) || !Num(e, call, 1, m, err)) return err;
    if (m == 0) return ceiling ? TOperand::Num(0) : (x == 0 ? TOperand::Num(0) : TOperand::Err(kDiv0));
    if (x > 0 && m < 0) return TOperand::Err(kNum);
    // The multiple of m in the direction of the function on the quotient:
    // FLOOR(-2.5,-2) is -2, CEILING(-2.5,-2) is -4, FLOOR(-2.5,2) is -4.
    const double q = To15Digits(x / m);
    return NumResult((ceiling ? std::ceil(q) : std::floor(q)) * m);
}
TOperand Ceiling(TEvaluator& e, const TFormulaNode& c) { return CeilingFloor(e, c, true); }
TOperand Floor(TEvaluator& e, const TFormulaNode& c) { return CeilingFloor(e, c, false); }

// ---- text (UTF-8, counted in characters) ----

std::size_t CharLength(std::string_view s) { return ascii::CharCount(s); }
// Byte offset of the character index (0-based), s.size() past the end.
std::size_t ByteOffset(std::string_view s, std::size_t chars) {
    std::size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
        --chars;
    }
    return i;
}
std::string_view CharSubstr(std::string_view s, std::size_t from, std::size_t count) {
    const std::size_t a = ByteOffset(s, from);
    const std::size_t b = a + ByteOffset(s.substr(a), count);
    return s.substr(a, b - a);
}

TOperand Len(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    return TOperand::Num(double(CharLength(s)));
}
TOperand LeftRight(TEvaluator& e, const TFormulaNode& call, bool left) {
    std::string s;
    double n = 1;
    TOperand err;
    if (!Str(e, call, 0, s, err) || !NumOr(e, call, 1, 1, n, err)) return err;
    if (n < 0) return TOperand::Err(kValue);
    const std::size_t len = CharLength(s), k = std::min<std::size_t>(len, std::size_t(n));
    return TOperand::Str(std::string(left ? CharSubstr(s, 0, k) : CharSubstr(s, len - k, k)));
}
TOperand Left(TEvaluator& e, const TFormulaNode& c) { return LeftRight(e, c, true); }
TOperand Right(TEvaluator& e, const TFormulaNode& c) { return LeftRight(e, c, false); }
TOperand Mid(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    double start = 0, n = 0;
    TOperand err;
    if (!Str(e, call, 0, s, err) || !Num(e, call, 1, start, err) || !Num(e, call, 2, n, err)) return err;
    if (start < 1 || n < 0) return TOperand::Err(kValue);
    return TOperand::Str(std::string(CharSubstr(s, std::size_t(ToInt(start)) - 1, std::size_t(ToInt(n)))));
}
TOperand Upper(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    return TOperand::Str(AnsiUpperCase(s));
}
TOperand Lower(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    return TOperand::Str(AnsiLowerCase(s));
}
TOperand Proper(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    std::string out;
    bool start = true;
    for (std::size_t i = 0; i < s.size();) {
        std::size_t j = i + 1;
        while (j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) ++j;
        const std::string_view ch(s.data() + i, j - i);
        const bool letter = ch.size() > 1 || std::isalpha(static_cast<unsigned char>(ch[0]));
        out += start ? AnsiUpperCase(ch) : AnsiLowerCase(ch);
        start = !letter;
        i = j;
    }
    return TextResult(std::move(out));
}
TOperand Trim(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    // Blanks at both ends go, runs of blanks inside become one.
    std::string out;
    for (char c : s) {
        if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return TextResult(std::move(out));
}
TOperand Concatenate(TEvaluator& e, const TFormulaNode& call) {
    std::string out;
    for (int i = 0; i < Argc(call); ++i) {
        std::string s;
        TOperand err;
        if (!Str(e, call, i, s, err)) return err;
        out += s;
    }
    return TextResult(std::move(out));
}
// CONCAT and TEXTJOIN take ranges whole.
bool JoinValues(TEvaluator& e, const TFormulaNode& call, int from, std::string_view sep, bool skipEmpty,
                std::string& out, TOperand& err) {
    bool first = true, ok = true;
    for (int i = from; i < Argc(call); ++i) {
        const TOperand v = e.Eval(e.Arg(call, i));
        const auto add = [&](const TScalar& c) {
            if (c.kind == Kind::Error) return err = TOperand::Of(c), ok = false;
            const std::string t = ToText(c);
            if (skipEmpty && t.empty()) return true;
            if (!first) out += sep;
            out += t;
            first = false;
            return true;
        };
        if (v.type == TOperand::Type::Scalar)
            add(v.scalar);
        else if (v.type == TOperand::Type::Array)
            e.ForEach(v, add);
        else {
            // Every cell in order, empty ones too (TEXTJOIN may keep them).
            for (const TRect& r : v.areas) {
                if (r.Size() > 100000) throw TNotEvaluated{};
                for (int row = r.Row1; row <= r.Row2 && ok; ++row)
                    for (int col = r.Col1; col <= r.Col2 && ok; ++col) add(e.Cell(r.Sheet, row, col));
            }
        }
        if (!ok) return false;
    }
    return true;
}
TOperand Concat(TEvaluator& e, const TFormulaNode& call) {
    std::string out;
    TOperand err;
    if (!JoinValues(e, call, 0, "", false, out, err)) return err;
    return TextResult(std::move(out));
}
TOperand TextJoin(TEvaluator& e, const TFormulaNode& call) {
    std::string sep, out;
    bool skip = false;
    TOperand err;
    if (!Str(e, call, 0, sep, err) || !Bool(e, call, 1, skip, err)) return err;
    if (!JoinValues(e, call, 2, sep, skip, out, err)) return err;
    return TextResult(std::move(out));
}
TOperand Rept(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    double n = 0;
    TOperand err;
    if (!Str(e, call, 0, s, err) || !Num(e, call, 1, n, err)) return err;
    if (n < 0 || n > double(kMaxCellChars) || s.size() * std::size_t(n) > kMaxCellChars) return TOperand::Err(kValue);
    std::string out;
    for (int i = 0; i < int(n); ++i) out += s;
    return TextResult(std::move(out));
}
TOperand Substitute(TEvaluator& e, const TFormulaNode& call) {
    std::string s, from, to;
    double nth = 0;
    TOperand err;
    if (!Str(e, call, 0, s, err) || !Str(e, call, 1, from, err) || !Str(e, call, 2, to, err) ||
        !NumOr(e, call, 3, 0, nth, err))
        return err;
    if (!IsMissing(e, call, 3) && nth < 1) return TOperand::Err(kValue);
    if (from.empty()) return TOperand::Str(s);
    std::string out;
    std::size_t pos = 0;
    int seen = 0;
    for (;;) {
        const std::size_t hit = s.find(from, pos);
        if (hit == std::string::npos) break;
        ++seen;
        out.append(s, pos, hit - pos);
        out += (nth == 0 || seen == ToInt(nth)) ? to : from;
        pos = hit + from.size();
        if (out.size() > 4 * kMaxCellChars) return TOperand::Err(kValue);  // UTF-8 bytes of the longest text
    }
    out.append(s, pos, std::string::npos);
    return TextResult(std::move(out));
}
TOperand Replace(TEvaluator& e, const TFormulaNode& call) {
    std::string s, with;
    double start = 0, n = 0;
    TOperand err;
    if (!Str(e, call, 0, s, err) || !Num(e, call, 1, start, err) || !Num(e, call, 2, n, err) ||
        !Str(e, call, 3, with, err))
        return err;
    if (start < 1 || n < 0) return TOperand::Err(kValue);
    const std::size_t a = ByteOffset(s, std::size_t(ToInt(start)) - 1);
    const std::size_t b = a + ByteOffset(std::string_view(s).substr(a), std::size_t(ToInt(n)));
    return TextResult(s.substr(0, a) + with + s.substr(b));
}
TOperand FindSearch(TEvaluator& e, const TFormulaNode& call, bool search) {
    std::string what, in;
    double start = 1;
    TOperand err;
    if (!Str(e, call, 0, what, err) || !Str(e, call, 1, in, err) || !NumOr(e, call, 2, 1, start, err)) return err;
    if (start < 1 || std::size_t(ToInt(start)) > CharLength(in) + 1) return TOperand::Err(kValue);
    if (search) {
        what = AnsiUpperCase(what);
        in = AnsiUpperCase(in);
        if (what.find_first_of("*?~") != std::string::npos) {
            // Wildcards: try each start position.
            const std::size_t len = CharLength(in);
            for (std::size_t k = std::size_t(ToInt(start)) - 1; k <= len; ++k) {
                const std::string_view rest = std::string_view(in).substr(ByteOffset(in, k));
                if (WildcardMatch(what + "*", rest)) return TOperand::Num(double(k + 1));
            }
            return TOperand::Err(kValue);
        }
    }
    const std::size_t from = ByteOffset(in, std::size_t(ToInt(start)) - 1);
    const std::size_t hit = in.find(what, from);
    if (hit == std::string::npos) return TOperand::Err(kValue);
    return TOperand::Num(double(CharLength(std::string_view(in).substr(0, hit)) + 1));
}
TOperand Find(TEvaluator& e, const TFormulaNode& c) { return FindSearch(e, c, false); }
TOperand Search(TEvaluator& e, const TFormulaNode& c) { return FindSearch(e, c, true); }
TOperand Exact(TEvaluator& e, const TFormulaNode& call) {
    std::string a, b;
    TOperand err;
    if (!Str(e, call, 0, a, err) || !Str(e, call, 1, b, err)) return err;
    return TOperand::Bool(a == b);
}
TOperand Value(TEvaluator& e, const TFormulaNode& call) {
    const TScalar v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TOperand::Of(v);
    if (v.kind == Kind::Number) return TOperand::Of(v);
    if (v.kind == Kind::Empty) return TOperand::Num(0);  // an empty cell, unlike "", reads as 0
    const std::string text = ToText(v);
    const TTypedInput in = ParseTypedInput(text, FormatSettings());
    if (in.kind == TTypedInput::Kind::Number) return TOperand::Num(in.number);
    // Digits with currency signs, groupings or dates the typed input does
    // not read ("$1,000") may still be a number to the spreadsheet.
    if (text.find_first_of("0123456789") != std::string::npos) throw TNotEvaluated{};
    return TOperand::Err(kValue);
}
TOperand T(TEvaluator& e, const TFormulaNode& call) {
    // Over a range the writer takes neither the intersection nor the first cell.
    const TOperand arg = e.Eval(e.Arg(call, 0));
    if (arg.type == TOperand::Type::Ref && (arg.areas.size() != 1 || arg.areas.front().Size() > 1))
        throw TNotEvaluated{};
    const TScalar v = e.Scalar(arg);
    if (v.kind == Kind::Error) return TOperand::Of(v);
    return TOperand::Str(v.kind == Kind::Text ? v.text : std::string());
}
TOperand N(TEvaluator& e, const TFormulaNode& call) {
    const TScalar v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TOperand::Of(v);
    if (v.kind == Kind::Number) return TOperand::Of(v);
    return TOperand::Num(v.kind == Kind::Boolean && v.boolean ? 1 : 0);
}
void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80)
        out += char(cp);
    else if (cp < 0x800)
        out += char(0xC0 | (cp >> 6)), out += char(0x80 | (cp & 0x3F));
    else if (cp < 0x10000)
        out += char(0xE0 | (cp >> 12)), out += char(0x80 | ((cp >> 6) & 0x3F)), out += char(0x80 | (cp & 0x3F));
    else
        out += char(0xF0 | (cp >> 18)), out += char(0x80 | ((cp >> 12) & 0x3F)), out += char(0x80 | ((cp >> 6) & 0x3F)),
            out += char(0x80 | (cp & 0x3F));
}
TOperand Char(TEvaluator& e, const TFormulaNode& call) {
    double n = 0;
    TOperand err;
    if (!Num(e, call, 0, n, err)) return err;
    if (n < 1 || n > 255) return TOperand::Err(kValue);
    // Codes above 127 are those of the Windows code page 1252 in the spreadsheet;
    // its Latin-1 part is shared, the 0x80-0x9F block is left to the workbook.
    if (n >= 0x80 && n < 0xA0) throw TNotEvaluated{};
    std::string out;
    AppendUtf8(out, unsigned(n));
    return TextResult(std::move(out));
}
TOperand Code(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    if (s.empty()) return TOperand::Err(kValue);
    const unsigned char c = static_cast<unsigned char>(s[0]);
    if (c < 0x80) return TOperand::Num(c);
    throw TNotEvaluated{};
}
TOperand Clean(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TOperand err;
    if (!Str(e, call, 0, s, err)) return err;
    std::string out;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 32) out += c;
    return TextResult(std::move(out));
}

// TEXT: the format code in the user's locale (German "0,00"); codes the
// evaluator cannot be sure of are left to the workbook.
TOperand Text(TEvaluator& e, const TFormulaNode& call) {
    const TScalar v = e.ScalarArg(call, 0);
    std::string format;
    TOperand err;
    if (v.kind == Kind::Error) return TOperand::Of(v);
    if (!Str(e, call, 1, format, err)) return err;
    if (format == "@") return TOperand::Str(ToText(v));
    if (v.kind == Kind::Boolean) throw TNotEvaluated{};
    double x = 0;
    TScalar bad;
    if (!ToNumber(v, x, bad)) {
        // Text given to a format: the text section's "@" would place it, else it shows as it is.
        if (format.find('@') != std::string::npos || format.find(';') != std::string::npos) throw TNotEvaluated{};
        return TOperand::Str(ToText(v));
    }
    std::string out;
    if (!FormatNumberCode(x, format, FormatSettings(), out)) throw TNotEvaluated{};
    // TEXT's General fits a number into 11 characters (1E+11, 1.234567891),
    // a rounding the engine's General does not make.
    if (SameText(format, "General") && !out.empty() && out.size() - (out[0] == '-' ? 1 : 0) > 11) throw TNotEvaluated{};
    return TextResult(std::move(out));
}

// ---- dates: serial numbers of the 1900 date system ----

// Serial to calendar date; serial 60 is the 29 February 1900 the system counts.
bool SerialToDate(double serial, int& y, int& m, int& d) {
    if (serial < 0 || serial >= 2958466) return false;
    const double day = std::floor(serial);
    if (day == 60) {
        y = 1900, m = 2, d = 29;
        return true;
    }
    if (day == 0) {
        y = 1900, m = 1, d = 0;
        return true;
    }
    DecodeDate(day < 60 ? day + 1 : day, y, m, d);
    return true;
}
double DateToSerial(TDateTime d) { return d < 61 ? d - 1 : d; }

TOperand DateFn(TEvaluator& e, const TFormulaNode& call) {
    double y = 0, m = 0, d = 0;
    TOperand err;
    if (!Num(e, call, 0, y, err) || !Num(e, call, 1, m, err) || !Num(e, call, 2, d, err)) return err;
    int year = ToInt(y), month = ToInt(m) - 1;
    if (year < 0 || year > 10000 || std::abs(month) > 120000) return TOperand::Err(kNum);
    if (year < 1900) year += 1900;
    year += month >= 0 ? month / 12 : -((11 - month) / 12);
    month = ((month % 12) + 12) % 12 + 1;
    TDateTime first = 0;
    if (year > 9999 || !TryEncodeDate(year, month, 1, first)) return TOperand::Err(kNum);
    // Serial numbers run on through the system's 29 February 1900, so days add plainly.
    const double serial = DateToSerial(first) + std::trunc(d) - 1;
    if (serial < 0 || serial > 2958465) return TOperand::Err(kNum);
    return TOperand::Num(serial);
}
TOperand DatePart(TEvaluator& e, const TFormulaNode& call, int which) {
    double s = 0;
    TOperand err;
    if (!Num(e, call, 0, s, err)) return err;
    int y = 0, m = 0, d = 0;
    if (!SerialToDate(s, y, m, d)) return TOperand::Err(kNum);
    return TOperand::Num(which == 0 ? y : which == 1 ? m : d);
}
TOperand Year(TEvaluator& e, const TFormulaNode& c) { return DatePart(e, c, 0); }
TOperand Month(TEvaluator& e, const TFormulaNode& c) { return DatePart(e, c, 1); }
TOperand Day(TEvaluator& e, const TFormulaNode& c) { return DatePart(e, c, 2); }
TOperand TimePart(TEvaluator& e, const TFormulaNode& call, int which) {
    double s = 0;
    TOperand err;
    if (!Num(e, call, 0, s, err)) return err;
    if (s < 0) return TOperand::Err(kNum);
    const long secs = std::lround((s - std::floor(s)) * 86400) % 86400;
    return TOperand::Num(static_cast<double>(which == 0 ? secs / 3600 : which == 1 ? (secs / 60) % 60 : secs % 60));
}
TOperand Hour(TEvaluator& e, const TFormulaNode& c) { return TimePart(e, c, 0); }
TOperand Minute(TEvaluator& e, const TFormulaNode& c) { return TimePart(e, c, 1); }
TOperand Second(TEvaluator& e, const TFormulaNode& c) { return TimePart(e, c, 2); }
TOperand Time(TEvaluator& e, const TFormulaNode& call) {
    double h = 0, m = 0, s = 0;
    TOperand err;
    if (!Num(e, call, 0, h, err) || !Num(e, call, 1, m, err) || !Num(e, call, 2, s, err)) return err;
    const double total = std::trunc(h) * 3600 + std::trunc(m) * 60 + std::trunc(s);
    if (total < 0) return TOperand::Err(kNum);
    return TOperand::Num(std::fmod(total, 86400) / 86400);
}
TOperand Today(TEvaluator&, const TFormulaNode&) { return TOperand::Num(std::floor(Now())); }
TOperand NowFn(TEvaluator&, const TFormulaNode&) { return TOperand::Num(Now()); }
TOperand Weekday(TEvaluator& e, const TFormulaNode& call) {
    double s = 0, type = 1;
    TOperand err;
    if (!Num(e, call, 0, s, err) || !NumOr(e, call, 1, 1, type, err)) return err;
    if (s < 0 || s > 2958465) return TOperand::Err(kNum);
    const long day = long(std::floor(s));
    // Serial 1 is a Sunday in the system's calendar.
    const long sunday0 = ((day - 1) % 7 + 7) % 7;  // 0 = Sunday
    switch (ToInt(type)) {
        case 1:
            return TOperand::Num(double(sunday0 + 1));
        case 2:
            return TOperand::Num(double((sunday0 + 6) % 7 + 1));
        case 3:
            return TOperand::Num(double((sunday0 + 6) % 7));
        default:
            throw TNotEvaluated{};
    }
}
TOperand EDateImpl(TEvaluator& e, const TFormulaNode& call, bool endOfMonth) {
    double s = 0, months = 0;
    TOperand err;
    if (!Num(e, call, 0, s, err) || !Num(e, call, 1, months, err)) return err;
    int y = 0, m = 0, d = 0;
    if (!SerialToDate(s, y, m, d)) return TOperand::Err(kNum);
    if (s < 61) throw TNotEvaluated{};  // months around the system's 29 February 1900
    long total = long(y) * 12 + (m - 1) + ToInt(months);
    y = int(total / 12), m = int(total % 12) + 1;
    if (y < 1900 || y > 9999) return TOperand::Err(kNum);
    const int last = DaysInMonth(y, m);
    const TDateTime r = EncodeDate(y, m, endOfMonth ? last : std::min(d, last));
    return TOperand::Num(DateToSerial(r));
}
TOperand EDate(TEvaluator& e, const TFormulaNode& c) { return EDateImpl(e, c, false); }
TOperand EOMonth(TEvaluator& e, const TFormulaNode& c) { return EDateImpl(e, c, true); }
TOperand Days(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TOperand err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    return TOperand::Num(std::floor(a) - std::floor(b));
}

// DATEDIF "MD": the days between the start's day of the month and the
// end's, counted back into the end's previous month when the end's day is
// smaller. A start day past the end of that month gives the spreadsheet's
// documented odd results (negative days): left to the spreadsheet.
TOperand DateDifDays(int d1, int y2, int m2, int d2) {
    if (d2 >= d1) return TOperand::Num(d2 - d1);
    const int previous = DaysInMonth(m2 == 1 ? y2 - 1 : y2, m2 == 1 ? 12 : m2 - 1);
    if (d1 > previous) throw TNotEvaluated{};
    return TOperand::Num(previous - d1 + d2);
}

// DATEDIF "YD": the days from the last anniversary of the start (its day and
// month in the end's year, or the year before) to the end. Spreadsheets
// differ by a day where a 29 February lies on the way: no value then.
TOperand DateDifDaysOfYear(double end, int m1, int d1, int y2, int m2, int d2) {
    if ((m1 == 2 && d1 == 29) || (m2 == 2 && d2 == 29)) throw TNotEvaluated{};
    const int year = (m1 < m2 || (m1 == m2 && d1 <= d2)) ? y2 : y2 - 1;
    const bool leapDayAfterStart = IsLeapYear(year) && m1 <= 2 && (year < y2 || m2 > 2);
    const bool leapDayBeforeEnd = year < y2 && IsLeapYear(y2) && m2 > 2;
    if (leapDayAfterStart || leapDayBeforeEnd) throw TNotEvaluated{};
    return TOperand::Num(end - DateToSerial(EncodeDate(year, m1, d1)));
}

// DATEDIF(start, end, unit): whole years "Y", months "M", days "D", or
// months leaving out the years "YM". "MD" and "YD" are known to give odd
// results in the spreadsheet itself and are left to the workbook.
TOperand DateDif(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    std::string unit;
    TOperand err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err) || !Str(e, call, 2, unit, err)) return err;
    a = std::floor(a), b = std::floor(b);
    if (a > b) return TOperand::Err(kNum);
    const std::string u = AnsiUpperCase(unit);
    if (u == "D") return TOperand::Num(b - a);
    if (u != "Y" && u != "M" && u != "YM" && u != "MD" && u != "YD") return TOperand::Err(kNum);
    if (a < 61) throw TNotEvaluated{};  // months around the system's 29 February 1900
    int y1 = 0, m1 = 0, d1 = 0, y2 = 0, m2 = 0, d2 = 0;
    if (!SerialToDate(a, y1, m1, d1) || !SerialToDate(b, y2, m2, d2)) return TOperand::Err(kNum);
    if (u == "MD") return DateDifDays(d1, y2, m2, d2);
    if (u == "YD") return DateDifDaysOfYear(b, m1, d1, y2, m2, d2);
    int months = (y2 - y1) * 12 + (m2 - m1) - (d2 < d1 ? 1 : 0);
    if (u == "Y") return TOperand::Num(months / 12);
    if (u == "M") return TOperand::Num(months);
    return TOperand::Num(months % 12);
}

// ERROR.TYPE: the number of an error code; #N/A for what is no error.
TOperand ErrorType(TEvaluator& e, const TFormulaNode& call) {
    const TScalar v = e.ScalarArg(call, 0);
    if (v.kind != Kind::Error) return TOperand::Err(kNA);
    static constexpr const char* kCodes[] = {kNull, kDiv0, kValue, kRef, kName, kNum, kNA};
    for (std::size_t i = 0; i < std::size(kCodes); ++i)
        if (v.text == kCodes[i]) return TOperand::Num(double(i + 1));
    throw TNotEvaluated{};  // codes of newer versions (#SPILL!, #CALC!)
}

// ---- lookup and reference ----

// The values of one row or column of a reference or an array, in order.
struct TLine {
    std::vector<std::pair<int, TScalar>> Cells;  // (index from 0, value), non-empty only, ascending
    int Length = 0;
};

bool LineOf(TEvaluator& e, const TOperand& v, bool column, int which, TLine& line) {
    if (v.type == TOperand::Type::Ref) {
        if (v.areas.size() != 1) return false;
        const TRect& r = v.areas.front();
        TRect l = column ? TRect{r.Sheet, r.Row1, r.Col1 + which, r.Row2, r.Col1 + which}
                         : TRect{r.Sheet, r.Row1 + which, r.Col1, r.Row1 + which, r.Col2};
        line.Length = column ? r.Rows() : r.Cols();
        e.ForEachCell(l, [&](int row, int col, const TScalar& c) {
            line.Cells.emplace_back(column ? row - r.Row1 : col - r.Col1, c);
            return true;
        });
        std::sort(line.Cells.begin(), line.Cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        return true;
    }
    const TArray a = e.ToArray(v);
    line.Length = column ? a.Rows : a.Cols;
    for (int k = 0; k < line.Length; ++k) {
        const TScalar& c = column ? a.At(k, which) : a.At(which, k);
        if (c.kind != Kind::Empty) line.Cells.emplace_back(k, c);
    }
    return true;
}

bool SameType(const TScalar& a, const TScalar& b) {
    return a.kind == b.kind || (a.kind == Kind::Empty || b.kind == Kind::Empty);
}

// Position (0-based) of x in the line: exact (wildcards for text), or the last
// value not above x (ascending, type 1) / not below x (descending, type -1).
int FindInLine(const TLine& line, const TScalar& x, int type) {
    if (type == 0) {
        if (x.kind == Kind::Text) {
            const TCriterion crit(TScalar::Text("=" + x.text));
            for (const auto& [k, c] : line.Cells)
                if (c.kind == Kind::Text && crit.Matches(c)) return k;
            return -1;
        }
        for (const auto& [k, c] : line.Cells)
            if (c.kind == x.kind && Compare(c, x) == 0) return k;
        return -1;
    }
    // An approximate search over values out of order finds what the
    // writer's binary search happens to meet: no value rather than a guess.
    const TScalar* previous = nullptr;
    for (const auto& [k, c] : line.Cells) {
        if (c.kind != x.kind) continue;
        if (previous && (type > 0 ? Compare(*previous, c) > 0 : Compare(*previous, c) < 0)) throw TNotEvaluated{};
        previous = &c;
    }
    int found = -1;
    for (const auto& [k, c] : line.Cells) {
        if (!SameType(c, x) || c.kind == Kind::Error) continue;
        const int cmp = Compare(c, x);
        if (type > 0 ? cmp <= 0 : cmp >= 0)
            found = k;
        else
            break;
    }
    return found;
}

TOperand CellOf(TEvaluator& e, const TOperand& table, int row, int col) {
    if (table.type == TOperand::Type::Ref) {
        const TRect& r = table.areas.front();
        return TOperand::Area(TRect{r.Sheet, r.Row1 + row, r.Col1 + col, r.Row1 + row, r.Col1 + col});
    }
    const TArray a = e.ToArray(table);
    return TOperand::Of(a.At(row, col));
}

TOperand Lookup(TEvaluator& e, const TFormulaNode& call, bool vertical) {
    const TScalar x = e.ScalarArg(call, 0);
    if (x.kind == Kind::Error) return TOperand::Of(x);
    const TOperand table = e.Eval(e.Arg(call, 1));
    double index = 0;
    bool approx = true;
    TOperand err;
    if (!Num(e, call, 2, index, err)) return err;
    if (!IsMissing(e, call, 3) && !Bool(e, call, 3, approx, err)) return err;
    int rows = 0, cols = 0;
    if (table.type == TOperand::Type::Ref) {
        if (table.areas.size() != 1) return TOperand::Err(kValue);
        rows = table.areas.front().Rows(), cols = table.areas.front().Cols();
    } else if (table.type == TOperand::Type::Array) {
        rows = table.array->Rows, cols = table.array->Cols;
    } else {
        return TOperand::Err(kNA);
    }
    const int k = ToInt(index) - 1;
    if (k < 0) return TOperand::Err(kValue);
    if (k >= (vertical ? cols : rows)) return TOperand::Err(kRef);
    TLine line;
    if (!LineOf(e, table, vertical, 0, line)) return TOperand::Err(kValue);
    const int at = FindInLine(line, x, approx ? 1 : 0);
    if (at < 0) return TOperand::Err(kNA);
    return CellOf(e, table, vertical ? at : k, vertical ? k : at);
}
TOperand VLookup(TEvaluator& e, const TFormulaNode& c) { return Lookup(e, c, true); }
TOperand HLookup(TEvaluator& e, const TFormulaNode& c) { return Lookup(e, c, false); }

TOperand Match(TEvaluator& e, const TFormulaNode& call) {
    const TScalar x = e.ScalarArg(call, 0);
    if (x.kind == Kind::Error) return TOperand::Of(x);
    const TOperand range = e.Eval(e.Arg(call, 1));
    double type = 1;
    TOperand err;
    if (!NumOr(e, call, 2, 1, type, err)) return err;
    int rows = 0, cols = 0;
    if (range.type == TOperand::Type::Ref && range.areas.size() == 1) {
        rows = range.areas.front().Rows(), cols = range.areas.front().Cols();
    } else if (range.type == TOperand::Type::Array) {
        rows = range.array->Rows, cols = range.array->Cols;
    } else {
        return TOperand::Err(kNA);
    }
    if (rows != 1 && cols != 1) return TOperand::Err(kNA);
    TLine line;
    if (!LineOf(e, range, cols == 1, 0, line)) return TOperand::Err(kNA);
    const int at = FindInLine(line, x, type > 0 ? 1 : type < 0 ? -1 : 0);
    return at < 0 ? TOperand::Err(kNA) : TOperand::Num(at + 1);
}

TOperand Index(TEvaluator& e, const TFormulaNode& call) {
    const TOperand table = e.Eval(e.Arg(call, 0));
    double r = 0, c = 0;
    TOperand err;
    if (!NumOr(e, call, 1, 0, r, err) || !NumOr(e, call, 2, 0, c, err)) return err;
    if (Argc(call) > 3) throw TNotEvaluated{};
    int rows = 0, cols = 0;
    if (table.type == TOperand::Type::Ref && table.areas.size() == 1) {
        rows = table.areas.front().Rows(), cols = table.areas.front().Cols();
    } else if (table.type == TOperand::Type::Array) {
        rows = table.array->Rows, cols = table.array->Cols;
    } else if (table.type == TOperand::Type::Scalar) {
        return (r <= 1 && c <= 1) ? table : TOperand::Err(kRef);
    } else {
        throw TNotEvaluated{};
    }
    int row = ToInt(r), col = ToInt(c);
    // One index into a single row or column is a position along it.
    if (IsMissing(e, call, 2) && rows == 1 && cols > 1) col = row, row = 1;
    if (row < 0 || col < 0 || row > rows || col > cols) return TOperand::Err(kRef);
    if (row == 0 || col == 0) {
        if (table.type != TOperand::Type::Ref) throw TNotEvaluated{};
        const TRect& t = table.areas.front();
        return TOperand::Area(TRect{t.Sheet, row ? t.Row1 + row - 1 : t.Row1, col ? t.Col1 + col - 1 : t.Col1,
                                    row ? t.Row1 + row - 1 : t.Row2, col ? t.Col1 + col - 1 : t.Col2});
    }
    return CellOf(e, table, row - 1, col - 1);
}

TOperand Choose(TEvaluator& e, const TFormulaNode& call) {
    double i = 0;
    TOperand err;
    if (!Num(e, call, 0, i, err)) return err;
    const int k = ToInt(i);
    if (k < 1 || k >= Argc(call)) return TOperand::Err(kValue);
    return e.Eval(e.Arg(call, k));
}

TOperand RowColumn(TEvaluator& e, const TFormulaNode& call, bool row) {
    if (IsMissing(e, call, 0)) return TOperand::Num(row ? e.Row : e.Col);
    const TOperand v = e.Eval(e.Arg(call, 0));
    if (v.type != TOperand::Type::Ref || v.areas.size() != 1) return TOperand::Err(kValue);
    return TOperand::Num(row ? v.areas.front().Row1 : v.areas.front().Col1);
}
TOperand Row(TEvaluator& e, const TFormulaNode& c) { return RowColumn(e, c, true); }
TOperand Column(TEvaluator& e, const TFormulaNode& c) { return RowColumn(e, c, false); }
TOperand RowsColumns(TEvaluator& e, const TFormulaNode& call, bool rows) {
    const TOperand v = e.Eval(e.Arg(call, 0));
    if (v.type == TOperand::Type::Ref) {
        if (v.areas.size() != 1) return TOperand::Err(kRef);
        return TOperand::Num(rows ? v.areas.front().Rows() : v.areas.front().Cols());
    }
    if (v.type == TOperand::Type::Array) return TOperand::Num(rows ? v.array->Rows : v.array->Cols);
    return TOperand::Num(1);
}
TOperand Rows(TEvaluator& e, const TFormulaNode& c) { return RowsColumns(e, c, true); }
TOperand Columns(TEvaluator& e, const TFormulaNode& c) { return RowsColumns(e, c, false); }

const std::unordered_map<std::string_view, THandler>& Handlers() {
    static const std::unordered_map<std::string_view, THandler> table = {
        {"SUM", Sum},
        {"PRODUCT", Product},
        {"SUMSQ", SumSq},
        {"AVERAGE", Average},
        {"MIN", Min},
        {"MAX", Max},
        {"COUNT", Count},
        {"COUNTA", CountA},
        {"COUNTBLANK", CountBlank},
        {"SUBTOTAL", Subtotal},
        {"SUMPRODUCT", SumProduct},
        {"STDEV", StDev},
        {"STDEV.S", StDev},
        {"STDEVP", StDevP},
        {"STDEV.P", StDevP},
        {"VAR", Var},
        {"VAR.S", Var},
        {"VARP", VarP},
        {"VAR.P", VarP},
        {"MEDIAN", Median},
        {"LARGE", Large},
        {"SMALL", Small},
        {"SUMIF", SumIf},
        {"COUNTIF", CountIf},
        {"AVERAGEIF", AverageIf},
        {"SUMIFS", SumIfs},
        {"COUNTIFS", CountIfs},
        {"AVERAGEIFS", AverageIfs},
        {"MAXIFS", MaxIfs},
        {"MINIFS", MinIfs},
        {"IF", If},
        {"IFERROR", IfError},
        {"IFNA", IfNa},
        {"IFS", Ifs},
        {"SWITCH", Switch},
        {"AND", And},
        {"OR", Or},
        {"XOR", Xor},
        {"NOT", Not},
        {"TRUE", True},
        {"FALSE", False},
        {"ISBLANK", IsBlank},
        {"ISNUMBER", IsNumber},
        {"ISTEXT", IsText},
        {"ISNONTEXT", IsNonText},
        {"ISLOGICAL", IsLogical},
        {"ISERROR", IsError},
        {"ISERR", IsErr},
        {"ISNA", IsNa},
        {"NA", Na},
        {"ISEVEN", IsEven},
        {"ISODD", IsOdd},
        {"ROUND", Round},
        {"ROUNDUP", RoundUp},
        {"ROUNDDOWN", RoundDown},
        {"TRUNC", Trunc},
        {"INT", Unary<FnInt>},
        {"ABS", Unary<FnAbs>},
        {"SIGN", Unary<FnSign>},
        {"EXP", Unary<FnExp>},
        {"SQRT", Unary<FnSqrt>},
        {"LN", Unary<FnLn>},
        {"LOG10", Unary<FnLog10>},
        {"SIN", Unary<FnSin>},
        {"COS", Unary<FnCos>},
        {"TAN", Unary<FnTan>},
        {"ATAN", Unary<FnAtan>},
        {"RADIANS", Unary<FnRadians>},
        {"DEGREES", Unary<FnDegrees>},
        {"EVEN", Unary<FnEven>},
        {"ODD", Unary<FnOdd>},
        {"FACT", Unary<FnFact>},
        {"ATAN2", Atan2},
        {"MOD", Mod},
        {"QUOTIENT", Quotient},
        {"POWER", Power},
        {"LOG", Log},
        {"PI", Pi},
        {"CEILING", Ceiling},
        {"FLOOR", Floor},
        {"LEN", Len},
        {"LEFT", Left},
        {"RIGHT", Right},
        {"MID", Mid},
        {"UPPER", Upper},
        {"LOWER", Lower},
        {"PROPER", Proper},
        {"TRIM", Trim},
        {"CONCATENATE", Concatenate},
        {"CONCAT", Concat},
        {"TEXTJOIN", TextJoin},
        {"REPT", Rept},
        {"SUBSTITUTE", Substitute},
        {"REPLACE", Replace},
        {"FIND", Find},
        {"SEARCH", Search},
        {"EXACT", Exact},
        {"VALUE", Value},
        {"T", T},
        {"N", N},
        {"CHAR", Char},
        {"CODE", Code},
        {"CLEAN", Clean},
        {"TEXT", Text},
        {"DATE", DateFn},
        {"YEAR", Year},
        {"MONTH", Month},
        {"DAY", Day},
        {"HOUR", Hour},
        {"MINUTE", Minute},
        {"SECOND", Second},
        {"TIME", Time},
        {"TODAY", Today},
        {"NOW", NowFn},
        {"WEEKDAY", Weekday},
        {"EDATE", EDate},
        {"EOMONTH", EOMonth},
        {"DAYS", Days},
        {"DATEDIF", DateDif},
        {"ERROR.TYPE", ErrorType},
        {"VLOOKUP", VLookup},
        {"HLOOKUP", HLookup},
        {"MATCH", Match},
        {"INDEX", Index},
        {"CHOOSE", Choose},
        {"ROW", Row},
        {"COLUMN", Column},
        {"ROWS", Rows},
        {"COLUMNS", Columns},
    };
    return table;
}

}  // namespace

// Functions of single values: in an array formula they are applied to each
// element of a range or array given for one of their arguments.
bool TakesValues(std::string_view name) {
    static const std::unordered_map<std::string_view, bool> names = [] {
        std::unordered_map<std::string_view, bool> m;
        for (std::string_view n :
             {"ABS",     "INT",      "TRUNC",     "ROUND",     "ROUNDUP",   "ROUNDDOWN",  "MOD",     "QUOTIENT",
              "POWER",   "SQRT",     "EXP",       "LN",        "LOG",       "LOG10",      "SIGN",    "SIN",
              "COS",     "TAN",      "ATAN",      "ATAN2",     "RADIANS",   "DEGREES",    "EVEN",    "ODD",
              "FACT",    "CEILING",  "FLOOR",     "LEN",       "LEFT",      "RIGHT",      "MID",     "UPPER",
              "LOWER",   "PROPER",   "TRIM",      "CLEAN",     "REPT",      "SUBSTITUTE", "REPLACE", "FIND",
              "SEARCH",  "EXACT",    "VALUE",     "TEXT",      "T",         "N",          "CHAR",    "CODE",
              "ISBLANK", "ISNUMBER", "ISTEXT",    "ISNONTEXT", "ISLOGICAL", "ISERROR",    "ISERR",   "ISNA",
              "ISEVEN",  "ISODD",    "NOT",       "IFERROR",   "IFNA",      "DATE",       "YEAR",    "MONTH",
              "DAY",     "HOUR",     "MINUTE",    "SECOND",    "TIME",      "WEEKDAY",    "EDATE",   "EOMONTH",
              "DAYS",    "DATEDIF",  "ERROR.TYPE"})
            m.emplace(n, true);
        return m;
    }();
    return names.count(name) != 0;
}

bool IsMulti(const TOperand& v) {
    return v.type == TOperand::Type::Array ||
           (v.type == TOperand::Type::Ref && (v.areas.size() != 1 || v.areas.front().Size() > 1));
}

TOperand ApplyToElements(TEvaluator& e, const TFormulaNode& call, THandler handler) {
    std::vector<TOperand> args;
    bool multi = false;
    for (int i = 0; i < Argc(call); ++i) {
        args.push_back(e.Eval(e.Arg(call, i)));
        multi = multi || IsMulti(args.back());
    }
    const auto give = [&](int i, TOperand v) { e.Given[&e.Arg(call, i)] = std::move(v); };
    const auto forget = [&] {
        for (int i = 0; i < Argc(call); ++i) e.Given.erase(&e.Arg(call, i));
    };
    if (!multi) {
        for (int i = 0; i < Argc(call); ++i) give(i, args[std::size_t(i)]);
        TOperand r = handler(e, call);
        forget();
        return r;
    }
    std::vector<TArray> arrays;
    int rows = 1, cols = 1;
    for (const TOperand& v : args) {
        arrays.push_back(e.ToArray(v));
        rows = std::max(rows, arrays.back().Rows);
        cols = std::max(cols, arrays.back().Cols);
    }
    e.SpendArrayCells(double(rows) * cols);
    TArray r;
    r.Rows = rows, r.Cols = cols;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) {
            for (int k = 0; k < Argc(call); ++k) {
                const TArray& m = arrays[std::size_t(k)];
                const int ii = m.Rows == 1 ? 0 : i, jj = m.Cols == 1 ? 0 : j;
                give(k, ii < m.Rows && jj < m.Cols ? TOperand::Of(m.At(ii, jj)) : TOperand::Err(kNA));
            }
            r.Cells.push_back(e.Scalar(handler(e, call)));
        }
    forget();
    return TOperand::Arr(std::move(r));
}

bool CallFunction(TEvaluator& e, const TFormulaNode& call, std::string_view name, TOperand& result) {
    const auto& table = Handlers();
    const auto it = table.find(name);
    if (it == table.end()) return false;
    result = (e.ArrayMode && TakesValues(name)) ? ApplyToElements(e, call, it->second) : it->second(e, call);
    return true;
}

}  // namespace tabrix::xl::eval
