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

using Kind = TCellValue::Kind;
using THandler = TValue (*)(TEvaluator&, const TFormulaNode&);

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
bool Num(TEvaluator& e, const TFormulaNode& call, int i, double& out, TValue& err) {
    TCellValue bad;
    if (!ToNumber(e.ScalarArg(call, i), out, bad)) {
        err = TValue::Of(bad);
        return false;
    }
    return true;
}
bool NumOr(TEvaluator& e, const TFormulaNode& call, int i, double def, double& out, TValue& err) {
    if (IsMissing(e, call, i)) {
        out = def;
        return true;
    }
    return Num(e, call, i, out, err);
}
bool Str(TEvaluator& e, const TFormulaNode& call, int i, std::string& out, TValue& err) {
    const TCellValue v = e.ScalarArg(call, i);
    if (v.kind == Kind::Error) {
        err = TValue::Of(v);
        return false;
    }
    out = ToText(v);
    return true;
}
bool Bool(TEvaluator& e, const TFormulaNode& call, int i, bool& out, TValue& err) {
    TCellValue bad;
    if (!ToBool(e.ScalarArg(call, i), out, bad)) {
        err = TValue::Of(bad);
        return false;
    }
    return true;
}

TValue NumResult(double d) {
    if (!std::isfinite(d)) return TValue::Err(kNum);
    return TValue::Num(d);
}

// ---- numbers of aggregate arguments ----

// Numbers of the arguments from index `from` as SUM sees them: numbers,
// Booleans and numeric text given directly count; in references and arrays
// only numbers do (countA: every non-empty value, as COUNTA). Stops at the
// first error, which it returns.
template <class Fn>
bool ForEachNumber(TEvaluator& e, const TFormulaNode& call, int from, Fn&& fn, TValue& err) {
    for (int i = from; i < Argc(call); ++i) {
        const TValue v = e.Eval(e.Arg(call, i));
        if (v.type == TValue::Type::Scalar) {
            double d = 0;
            TCellValue bad;
            if (!ToNumber(v.scalar, d, bad)) {
                err = TValue::Of(bad);
                return false;
            }
            fn(d);
            continue;
        }
        bool ok = true;
        e.ForEach(v, [&](const TCellValue& c) {
            if (c.kind == Kind::Error) {
                err = TValue::Of(c);
                return ok = false;
            }
            if (c.kind == Kind::Number) fn(c.number);
            return true;
        });
        if (!ok) return false;
    }
    return true;
}

bool Collect(TEvaluator& e, const TFormulaNode& call, int from, std::vector<double>& out, TValue& err) {
    return ForEachNumber(
        e, call, from, [&](double d) { out.push_back(d); }, err);
}

TValue Sum(TEvaluator& e, const TFormulaNode& call) {
    double s = 0;
    TValue err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { s += d; }, err))
        return err;
    return NumResult(s);
}
TValue Product(TEvaluator& e, const TFormulaNode& call) {
    double p = 1;
    int n = 0;
    TValue err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { p *= d, ++n; }, err))
        return err;
    return NumResult(n ? p : 0);
}
TValue SumSq(TEvaluator& e, const TFormulaNode& call) {
    double s = 0;
    TValue err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { s += d * d; }, err))
        return err;
    return NumResult(s);
}
TValue Average(TEvaluator& e, const TFormulaNode& call) {
    double s = 0;
    int n = 0;
    TValue err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { s += d, ++n; }, err))
        return err;
    return n ? NumResult(s / n) : TValue::Err(kDiv0);
}
TValue MinMax(TEvaluator& e, const TFormulaNode& call, bool max) {
    double m = 0;
    bool any = false;
    TValue err;
    if (!ForEachNumber(
            e, call, 0, [&](double d) { m = !any ? d : (max ? std::max(m, d) : std::min(m, d)), any = true; }, err))
        return err;
    return TValue::Num(any ? m : 0);
}
TValue Min(TEvaluator& e, const TFormulaNode& call) { return MinMax(e, call, false); }
TValue Max(TEvaluator& e, const TFormulaNode& call) { return MinMax(e, call, true); }

// COUNT counts numbers (and numeric text given directly); COUNTA every non-empty value.
TValue CountImpl(TEvaluator& e, const TFormulaNode& call, int from, bool countA) {
    double n = 0;
    for (int i = from; i < Argc(call); ++i) {
        const TValue v = e.Eval(e.Arg(call, i));
        if (v.type == TValue::Type::Scalar) {
            if (countA) {
                ++n;
            } else {
                double d = 0;
                TCellValue bad;
                if (v.scalar.kind != Kind::Error && ToNumber(v.scalar, d, bad)) ++n;
            }
            continue;
        }
        e.ForEach(v, [&](const TCellValue& c) {
            if (countA ? c.kind != Kind::Empty : c.kind == Kind::Number) ++n;
            return true;
        });
    }
    return TValue::Num(n);
}
TValue Count(TEvaluator& e, const TFormulaNode& call) { return CountImpl(e, call, 0, false); }
TValue CountA(TEvaluator& e, const TFormulaNode& call) { return CountImpl(e, call, 0, true); }

double CellsOf(const TValue& v) {
    double n = 0;
    for (const TRect& r : v.areas) n += r.Size();
    return n;
}

TValue CountBlank(TEvaluator& e, const TFormulaNode& call) {
    const TValue v = e.Eval(e.Arg(call, 0));
    if (v.type != TValue::Type::Ref) return TValue::Err(kValue);
    double filled = 0;
    e.ForEach(v, [&](const TCellValue& c) {
        if (!(c.kind == Kind::Empty || (c.kind == Kind::Text && c.text.empty()))) ++filled;
        return true;
    });
    return TValue::Num(CellsOf(v) - filled);
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
TValue VarianceOf(TEvaluator& e, const TFormulaNode& call, int from, bool sample, bool root) {
    std::vector<double> x;
    TValue err;
    if (!Collect(e, call, from, x, err)) return err;
    double v = 0;
    if (!Variance(x, sample, v)) return TValue::Err(kDiv0);
    return NumResult(root ? std::sqrt(v) : v);
}
TValue StDev(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, true, true); }
TValue StDevP(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, false, true); }
TValue Var(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, true, false); }
TValue VarP(TEvaluator& e, const TFormulaNode& c) { return VarianceOf(e, c, 0, false, false); }

TValue Median(TEvaluator& e, const TFormulaNode& call) {
    std::vector<double> x;
    TValue err;
    if (!Collect(e, call, 0, x, err)) return err;
    if (x.empty()) return TValue::Err(kNum);
    std::sort(x.begin(), x.end());
    const std::size_t n = x.size();
    return TValue::Num(n % 2 ? x[n / 2] : (x[n / 2 - 1] + x[n / 2]) / 2);
}

TValue LargeSmall(TEvaluator& e, const TFormulaNode& call, bool large) {
    std::vector<double> x;
    TValue err;
    const TValue v = e.Eval(e.Arg(call, 0));
    bool ok = true;
    e.ForEach(v, [&](const TCellValue& c) {
        if (c.kind == Kind::Error) return ok = false, err = TValue::Of(c), false;
        if (c.kind == Kind::Number) x.push_back(c.number);
        return true;
    });
    if (!ok) return err;
    double k = 0;
    if (!Num(e, call, 1, k, err)) return err;
    const long kk = ToInt(std::ceil(k));
    if (kk < 1 || std::size_t(kk) > x.size()) return TValue::Err(kNum);
    std::sort(x.begin(), x.end());
    return TValue::Num(large ? x[x.size() - std::size_t(kk)] : x[std::size_t(kk) - 1]);
}
TValue Large(TEvaluator& e, const TFormulaNode& c) { return LargeSmall(e, c, true); }
TValue Small(TEvaluator& e, const TFormulaNode& c) { return LargeSmall(e, c, false); }

TValue Subtotal(TEvaluator& e, const TFormulaNode& call) {
    double fn = 0;
    TValue err;
    if (!Num(e, call, 0, fn, err)) return err;
    const int code = ToInt(fn) % 100;
    // Rows hidden by a filter (codes 101-111) are beyond what the context tells.
    if (ToInt(fn) > 100) throw TNotEvaluated{};
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
            return TValue::Err(kValue);
    }
    if (!Collect(e, call, 1, x, err)) return err;
    double r = 0;
    switch (code) {
        case 1:
            if (x.empty()) return TValue::Err(kDiv0);
            for (double d : x) r += d;
            return NumResult(r / double(x.size()));
        case 4:
            return TValue::Num(x.empty() ? 0 : *std::max_element(x.begin(), x.end()));
        case 5:
            return TValue::Num(x.empty() ? 0 : *std::min_element(x.begin(), x.end()));
        case 6:
            r = x.empty() ? 0 : 1;
            for (double d : x) r *= d;
            return NumResult(r);
        default:
            for (double d : x) r += d;
            return NumResult(r);
    }
}

TValue SumProduct(TEvaluator& e, const TFormulaNode& call) {
    std::vector<TArray> arrays;
    for (int i = 0; i < Argc(call); ++i) arrays.push_back(e.ToArray(e.Eval(e.Arg(call, i), true)));
    const TArray& first = arrays.front();
    for (const TArray& a : arrays)
        if (a.Rows != first.Rows || a.Cols != first.Cols) return TValue::Err(kValue);
    double s = 0;
    for (std::size_t k = 0; k < first.Cells.size(); ++k) {
        double p = 1;
        for (const TArray& a : arrays) {
            const TCellValue& c = a.Cells[k];
            if (c.kind == Kind::Error) return TValue::Of(c);
            p *= c.kind == Kind::Number ? c.number : 0;
        }
        s += p;
    }
    return NumResult(s);
}

// ---- criteria of SUMIF, COUNTIF and their kin ----

bool WildcardMatch(std::string_view pattern, std::string_view text) {
    // Both upper-cased by the caller; '~' escapes the next character.
    std::size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '~' && p + 1 < pattern.size() && pattern[p + 1] == text[t]) {
            p += 2, ++t;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || (pattern[p] == text[t] && pattern[p] != '*' && pattern[p] != '~'))) {
            ++p, ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++, starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1, t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

struct TCriterion {
    char Op = '=';
    TCellValue Value;
    bool Wildcards = false;
    std::string Upper;  // Text criteria, upper case

    explicit TCriterion(const TCellValue& c) {
        if (c.kind != Kind::Text) {
            Value = c.kind == Kind::Empty ? TCellValue::Number(0) : c;
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
            Value = TCellValue::Number(in.number);
        } else if (in.kind == TTypedInput::Kind::Boolean) {
            Value = TCellValue::Boolean(in.boolean);
        } else {
            Value = TCellValue::Text(std::string(s));
            Upper = AnsiUpperCase(s);
            Wildcards = (Op == '=' || Op == 'n') && Upper.find_first_of("*?~") != std::string::npos;
        }
    }

    bool Equal(const TCellValue& cell) const {
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

    bool Matches(const TCellValue& cell) const {
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
    bool MatchesEmpty() const { return Matches(TCellValue{}); }
};

bool SingleArea(const TValue& v, TRect& r) {
    if (v.type != TValue::Type::Ref || v.areas.size() != 1) return false;
    r = v.areas.front();
    return true;
}

// What the *IF functions do with the matching values.
struct TConditional {
    double Sum = 0, Count = 0, Min = 0, Max = 0;
    bool Any = false;
    void Add(const TCellValue& v) {
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
        e.ForEachCell(ranges[k], [&](int row, int col, const TCellValue& c) {
            const int dr = row - ranges[k].Row1, dc = col - ranges[k].Col1;
            if (criteria[k].Matches(c) && allMatch(dr, dc, k)) hit(dr, dc);
            return true;
        });
        return true;
    }
    // Every criterion takes empty cells: walk the values, or every position of a small range.
    if (valueRange != nullptr) {
        e.ForEachCell(*valueRange, [&](int row, int col, const TCellValue&) {
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
TValue SingleIf(TEvaluator& e, const TFormulaNode& call, TIfKind kind) {
    TRect range;
    if (!SingleArea(e.Eval(e.Arg(call, 0)), range)) return TValue::Err(kValue);
    const TCellValue crit = e.ScalarArg(call, 1);
    if (crit.kind == Kind::Error) return TValue::Of(crit);
    const TCriterion criterion(crit);
    if (kind == TIfKind::Count) {
        if (criterion.MatchesEmpty()) {
            double misses = 0;
            e.ForEachCell(range, [&](int, int, const TCellValue& c) {
                misses += !criterion.Matches(c);
                return true;
            });
            return TValue::Num(range.Size() - misses);
        }
        double n = 0;
        e.ForEachCell(range, [&](int, int, const TCellValue& c) {
            n += criterion.Matches(c);
            return true;
        });
        return TValue::Num(n);
    }
    TRect values = range;
    if (!IsMissing(e, call, 2)) {
        TRect given;
        if (!SingleArea(e.Eval(e.Arg(call, 2)), given)) return TValue::Err(kValue);
        // The sum range takes the criteria range's shape from its top-left cell.
        values =
            TRect{given.Sheet, given.Row1, given.Col1, given.Row1 + range.Rows() - 1, given.Col1 + range.Cols() - 1};
        if (values.Row2 > kMaxRows || values.Col2 > kMaxColumns) return TValue::Err(kRef);
    }
    TConditional acc;
    ForEachMatch(e, {range}, {criterion}, &values,
                 [&](int dr, int dc) { acc.Add(e.Cell(values.Sheet, values.Row1 + dr, values.Col1 + dc)); });
    if (kind == TIfKind::Average) return acc.Count != 0 ? NumResult(acc.Sum / acc.Count) : TValue::Err(kDiv0);
    return NumResult(acc.Sum);
}
TValue SumIf(TEvaluator& e, const TFormulaNode& c) { return SingleIf(e, c, TIfKind::Sum); }
TValue CountIf(TEvaluator& e, const TFormulaNode& c) { return SingleIf(e, c, TIfKind::Count); }
TValue AverageIf(TEvaluator& e, const TFormulaNode& c) { return SingleIf(e, c, TIfKind::Average); }

// SUMIFS(values, range1, criterion1, ...), COUNTIFS(range1, criterion1, ...), ...
TValue MultiIf(TEvaluator& e, const TFormulaNode& call, TIfKind kind) {
    const int first = kind == TIfKind::Count ? 0 : 1;
    if ((Argc(call) - first) % 2 != 0) return TValue::Err(kValue);
    TRect values;
    if (first == 1 && !SingleArea(e.Eval(e.Arg(call, 0)), values)) return TValue::Err(kValue);
    std::vector<TRect> ranges;
    std::vector<TCriterion> criteria;
    for (int i = first; i < Argc(call); i += 2) {
        TRect r;
        if (!SingleArea(e.Eval(e.Arg(call, i)), r)) return TValue::Err(kValue);
        const TCellValue c = e.ScalarArg(call, i + 1);
        if (c.kind == Kind::Error) return TValue::Of(c);
        ranges.push_back(r);
        criteria.emplace_back(c);
    }
    if (first == 1 && (values.Rows() != ranges[0].Rows() || values.Cols() != ranges[0].Cols()))
        return TValue::Err(kValue);
    TConditional acc;
    double count = 0;
    if (!ForEachMatch(e, ranges, criteria, first == 1 ? &values : nullptr, [&](int dr, int dc) {
            if (kind == TIfKind::Count)
                ++count;
            else
                acc.Add(e.Cell(values.Sheet, values.Row1 + dr, values.Col1 + dc));
        }))
        return TValue::Err(kValue);
    switch (kind) {
        case TIfKind::Count:
            return TValue::Num(count);
        case TIfKind::Sum:
            return NumResult(acc.Sum);
        case TIfKind::Average:
            return acc.Count != 0 ? NumResult(acc.Sum / acc.Count) : TValue::Err(kDiv0);
        case TIfKind::Min:
            return TValue::Num(acc.Any ? acc.Min : 0);
        case TIfKind::Max:
            return TValue::Num(acc.Any ? acc.Max : 0);
    }
    return TValue::Err(kValue);
}
TValue SumIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Sum); }
TValue CountIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Count); }
TValue AverageIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Average); }
TValue MaxIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Max); }
TValue MinIfs(TEvaluator& e, const TFormulaNode& c) { return MultiIf(e, c, TIfKind::Min); }

// ---- logic ----

// IF over an array of conditions picks element by element.
TValue IfArray(TEvaluator& e, const TFormulaNode& call, const TValue& condition) {
    const TArray c = e.ToArray(condition);
    const TArray yes = e.ToArray(e.Eval(e.Arg(call, 1)));
    const TArray no = Argc(call) < 3 ? TArray{1, 1, {TCellValue::Boolean(false)}} : e.ToArray(e.Eval(e.Arg(call, 2)));
    TArray r;
    r.Rows = std::max({c.Rows, yes.Rows, no.Rows});
    r.Cols = std::max({c.Cols, yes.Cols, no.Cols});
    e.SpendArrayCells(double(r.Rows) * r.Cols);
    const auto at = [](const TArray& m, int i, int j) -> TCellValue {
        const int ii = m.Rows == 1 ? 0 : i, jj = m.Cols == 1 ? 0 : j;
        if (ii >= m.Rows || jj >= m.Cols) return TCellValue::Error(kNA);
        return m.At(ii, jj);
    };
    for (int i = 0; i < r.Rows; ++i)
        for (int j = 0; j < r.Cols; ++j) {
            bool b = false;
            TCellValue bad;
            const TCellValue ci = at(c, i, j);
            if (!ToBool(ci, b, bad))
                r.Cells.push_back(bad);
            else
                r.Cells.push_back(at(b ? yes : no, i, j));
        }
    return TValue::Arr(std::move(r));
}

TValue If(TEvaluator& e, const TFormulaNode& call) {
    if (e.ArrayMode) {
        const TValue condition = e.Eval(e.Arg(call, 0));
        const bool multi = condition.type == TValue::Type::Array ||
                           (condition.type == TValue::Type::Ref &&
                            (condition.areas.size() != 1 || condition.areas.front().Size() > 1));
        if (multi) return IfArray(e, call, condition);
        bool cond = false;
        TCellValue bad;
        if (!ToBool(e.Scalar(condition), cond, bad)) return TValue::Of(bad);
        if (cond) return e.Eval(e.Arg(call, 1));
        return Argc(call) < 3 ? TValue::Bool(false) : e.Eval(e.Arg(call, 2));
    }
    bool cond = false;
    TValue err;
    if (!Bool(e, call, 0, cond, err)) return err;
    if (cond) return e.Eval(e.Arg(call, 1));
    if (Argc(call) < 3) return TValue::Bool(false);
    return e.Eval(e.Arg(call, 2));
}
TValue IfError(TEvaluator& e, const TFormulaNode& call) {
    TValue v = e.Eval(e.Arg(call, 0));
    const TCellValue s = e.Scalar(v);
    if (s.kind == Kind::Error) return e.Eval(e.Arg(call, 1));
    return v;
}
TValue IfNa(TEvaluator& e, const TFormulaNode& call) {
    TValue v = e.Eval(e.Arg(call, 0));
    const TCellValue s = e.Scalar(v);
    if (s.kind == Kind::Error && s.text == kNA) return e.Eval(e.Arg(call, 1));
    return v;
}
TValue Ifs(TEvaluator& e, const TFormulaNode& call) {
    if (Argc(call) % 2) return TValue::Err(kValue);
    for (int i = 0; i < Argc(call); i += 2) {
        bool cond = false;
        TValue err;
        if (!Bool(e, call, i, cond, err)) return err;
        if (cond) return e.Eval(e.Arg(call, i + 1));
    }
    return TValue::Err(kNA);
}
TValue Switch(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TValue::Of(v);
    int i = 1;
    for (; i + 1 < Argc(call); i += 2) {
        const TCellValue c = e.ScalarArg(call, i);
        if (c.kind == Kind::Error) return TValue::Of(c);
        if (c.kind == v.kind && Compare(v, c) == 0) return e.Eval(e.Arg(call, i + 1));
    }
    return i < Argc(call) ? e.Eval(e.Arg(call, i)) : TValue::Err(kNA);
}

// AND, OR, XOR: Booleans and numbers count, text in references is skipped.
TValue Logical(TEvaluator& e, const TFormulaNode& call, char op) {
    int trues = 0, seen = 0;
    for (int i = 0; i < Argc(call); ++i) {
        const TValue v = e.Eval(e.Arg(call, i));
        if (v.type == TValue::Type::Scalar) {
            bool b = false;
            TCellValue bad;
            if (!ToBool(v.scalar, b, bad)) return TValue::Of(bad);
            trues += b, ++seen;
            continue;
        }
        TValue err;
        bool ok = true;
        e.ForEach(v, [&](const TCellValue& c) {
            if (c.kind == Kind::Error) return err = TValue::Of(c), ok = false;
            if (c.kind == Kind::Number || c.kind == Kind::Boolean) {
                trues += c.kind == Kind::Number ? c.number != 0 : c.boolean;
                ++seen;
            }
            return true;
        });
        if (!ok) return err;
    }
    if (seen == 0) return TValue::Err(kValue);
    if (op == '&') return TValue::Bool(trues == seen);
    if (op == '|') return TValue::Bool(trues > 0);
    return TValue::Bool(trues % 2 == 1);
}
TValue And(TEvaluator& e, const TFormulaNode& c) { return Logical(e, c, '&'); }
TValue Or(TEvaluator& e, const TFormulaNode& c) { return Logical(e, c, '|'); }
TValue Xor(TEvaluator& e, const TFormulaNode& c) { return Logical(e, c, '^'); }
TValue Not(TEvaluator& e, const TFormulaNode& call) {
    bool b = false;
    TValue err;
    if (!Bool(e, call, 0, b, err)) return err;
    return TValue::Bool(!b);
}
TValue True(TEvaluator&, const TFormulaNode&) { return TValue::Bool(true); }
TValue False(TEvaluator&, const TFormulaNode&) { return TValue::Bool(false); }

// ---- information ----

TValue IsKind(TEvaluator& e, const TFormulaNode& call, int what) {
    const TCellValue v = e.ScalarArg(call, 0);
    switch (what) {
        case 0:
            return TValue::Bool(v.kind == Kind::Empty);
        case 1:
            return TValue::Bool(v.kind == Kind::Number);
        case 2:
            return TValue::Bool(v.kind == Kind::Text);
        case 3:
            return TValue::Bool(v.kind != Kind::Text);
        case 4:
            return TValue::Bool(v.kind == Kind::Boolean);
        case 5:
            return TValue::Bool(v.kind == Kind::Error);
        case 6:
            return TValue::Bool(v.kind == Kind::Error && v.text != kNA);
        default:
            return TValue::Bool(v.kind == Kind::Error && v.text == kNA);
    }
}
TValue IsBlank(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 0); }
TValue IsNumber(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 1); }
TValue IsText(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 2); }
TValue IsNonText(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 3); }
TValue IsLogical(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 4); }
TValue IsError(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 5); }
TValue IsErr(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 6); }
TValue IsNa(TEvaluator& e, const TFormulaNode& c) { return IsKind(e, c, 7); }
TValue Na(TEvaluator&, const TFormulaNode&) { return TValue::Err(kNA); }
TValue IsEvenOdd(TEvaluator& e, const TFormulaNode& call, bool even) {
    double d = 0;
    TValue err;
    if (!Num(e, call, 0, d, err)) return err;
    const bool isEven = std::fmod(std::trunc(d), 2) == 0;
    return TValue::Bool(isEven == even);
}
TValue IsEven(TEvaluator& e, const TFormulaNode& c) { return IsEvenOdd(e, c, true); }
TValue IsOdd(TEvaluator& e, const TFormulaNode& c) { return IsEvenOdd(e, c, false); }

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

TValue RoundImpl(TEvaluator& e, const TFormulaNode& call, TRoundMode mode) {
    double x = 0, digits = 0;
    TValue err;
    if (!Num(e, call, 0, x, err) || !Num(e, call, 1, digits, err)) return err;
    const int d = ToInt(digits);
    if (d > 15 || d < -15) return TValue::Num(d > 0 ? x : 0);
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
TValue Round(TEvaluator& e, const TFormulaNode& c) { return RoundImpl(e, c, TRoundMode::Nearest); }
TValue RoundUp(TEvaluator& e, const TFormulaNode& c) { return RoundImpl(e, c, TRoundMode::Up); }
TValue RoundDown(TEvaluator& e, const TFormulaNode& c) { return RoundImpl(e, c, TRoundMode::Down); }

template <double (*Fn)(double)>
TValue Unary(TEvaluator& e, const TFormulaNode& call) {
    double x = 0;
    TValue err;
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

TValue Trunc(TEvaluator& e, const TFormulaNode& call) {
    double x = 0, d = 0;
    TValue err;
    if (!Num(e, call, 0, x, err) || !NumOr(e, call, 1, 0, d, err)) return err;
    const double p = Pow10(std::clamp(ToInt(d), -300, 300));
    return NumResult(std::trunc(To15Digits(x * p)) / p);
}
TValue Mod(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TValue err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    if (b == 0) return TValue::Err(kDiv0);
    return NumResult(a - b * std::floor(a / b));
}
TValue Quotient(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TValue err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    if (b == 0) return TValue::Err(kDiv0);
    return NumResult(std::trunc(a / b));
}
TValue Power(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TValue err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    if (a == 0 && b <= 0) return TValue::Err(b == 0 ? kNum : kDiv0);
    return NumResult(std::pow(a, b));
}
TValue Log(TEvaluator& e, const TFormulaNode& call) {
    double x = 0, base = 0;
    TValue err;
    if (!Num(e, call, 0, x, err) || !NumOr(e, call, 1, 10, base, err)) return err;
    if (x <= 0 || base <= 0) return TValue::Err(kNum);
    if (base == 1) return TValue::Err(kDiv0);
    return NumResult(std::log(x) / std::log(base));
}
TValue Pi(TEvaluator&, const TFormulaNode&) { return TValue::Num(M_PI); }
TValue Atan2(TEvaluator& e, const TFormulaNode& call) {
    double x = 0, y = 0;
    TValue err;
    if (!Num(e, call, 0, x, err) || !Num(e, call, 1, y, err)) return err;
    if (x == 0 && y == 0) return TValue::Err(kDiv0);
    return NumResult(std::atan2(y, x));
}
// CEILING and FLOOR to a multiple with the sign rules of the classic functions.
TValue CeilingFloor(TEvaluator& e, const TFormulaNode& call, bool ceiling) {
    double x = 0, m = 0;
    TValue err;
    if (!Num(e, call, 0, x, err) || !Num(e, call, 1, m, err)) return err;
    if (m == 0) return ceiling ? TValue::Num(0) : (x == 0 ? TValue::Num(0) : TValue::Err(kDiv0));
    if (x > 0 && m < 0) return TValue::Err(kNum);
    const double q = To15Digits(x / m);
    const double n = ceiling == (m > 0 || x >= 0) ? std::ceil(q) : std::floor(q);
    return NumResult((x < 0 && m < 0) ? (ceiling ? std::floor(q) : std::ceil(q)) * m : n * m);
}
TValue Ceiling(TEvaluator& e, const TFormulaNode& c) { return CeilingFloor(e, c, true); }
TValue Floor(TEvaluator& e, const TFormulaNode& c) { return CeilingFloor(e, c, false); }

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

TValue Len(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
    if (!Str(e, call, 0, s, err)) return err;
    return TValue::Num(double(CharLength(s)));
}
TValue LeftRight(TEvaluator& e, const TFormulaNode& call, bool left) {
    std::string s;
    double n = 1;
    TValue err;
    if (!Str(e, call, 0, s, err) || !NumOr(e, call, 1, 1, n, err)) return err;
    if (n < 0) return TValue::Err(kValue);
    const std::size_t len = CharLength(s), k = std::min<std::size_t>(len, std::size_t(n));
    return TValue::Str(std::string(left ? CharSubstr(s, 0, k) : CharSubstr(s, len - k, k)));
}
TValue Left(TEvaluator& e, const TFormulaNode& c) { return LeftRight(e, c, true); }
TValue Right(TEvaluator& e, const TFormulaNode& c) { return LeftRight(e, c, false); }
TValue Mid(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    double start = 0, n = 0;
    TValue err;
    if (!Str(e, call, 0, s, err) || !Num(e, call, 1, start, err) || !Num(e, call, 2, n, err)) return err;
    if (start < 1 || n < 0) return TValue::Err(kValue);
    return TValue::Str(std::string(CharSubstr(s, std::size_t(ToInt(start)) - 1, std::size_t(ToInt(n)))));
}
TValue Upper(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
    if (!Str(e, call, 0, s, err)) return err;
    return TValue::Str(AnsiUpperCase(s));
}
TValue Lower(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
    if (!Str(e, call, 0, s, err)) return err;
    return TValue::Str(AnsiLowerCase(s));
}
TValue Proper(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
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
TValue Trim(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
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
TValue Concatenate(TEvaluator& e, const TFormulaNode& call) {
    std::string out;
    for (int i = 0; i < Argc(call); ++i) {
        std::string s;
        TValue err;
        if (!Str(e, call, i, s, err)) return err;
        out += s;
    }
    return TextResult(std::move(out));
}
// CONCAT and TEXTJOIN take ranges whole.
bool JoinValues(TEvaluator& e, const TFormulaNode& call, int from, std::string_view sep, bool skipEmpty,
                std::string& out, TValue& err) {
    bool first = true, ok = true;
    for (int i = from; i < Argc(call); ++i) {
        const TValue v = e.Eval(e.Arg(call, i));
        const auto add = [&](const TCellValue& c) {
            if (c.kind == Kind::Error) return err = TValue::Of(c), ok = false;
            const std::string t = ToText(c);
            if (skipEmpty && t.empty()) return true;
            if (!first) out += sep;
            out += t;
            first = false;
            return true;
        };
        if (v.type == TValue::Type::Scalar)
            add(v.scalar);
        else if (v.type == TValue::Type::Array)
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
TValue Concat(TEvaluator& e, const TFormulaNode& call) {
    std::string out;
    TValue err;
    if (!JoinValues(e, call, 0, "", false, out, err)) return err;
    return TextResult(std::move(out));
}
TValue TextJoin(TEvaluator& e, const TFormulaNode& call) {
    std::string sep, out;
    bool skip = false;
    TValue err;
    if (!Str(e, call, 0, sep, err) || !Bool(e, call, 1, skip, err)) return err;
    if (!JoinValues(e, call, 2, sep, skip, out, err)) return err;
    return TextResult(std::move(out));
}
TValue Rept(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    double n = 0;
    TValue err;
    if (!Str(e, call, 0, s, err) || !Num(e, call, 1, n, err)) return err;
    if (n < 0 || n > double(kMaxCellChars) || s.size() * std::size_t(n) > kMaxCellChars) return TValue::Err(kValue);
    std::string out;
    for (int i = 0; i < int(n); ++i) out += s;
    return TextResult(std::move(out));
}
TValue Substitute(TEvaluator& e, const TFormulaNode& call) {
    std::string s, from, to;
    double nth = 0;
    TValue err;
    if (!Str(e, call, 0, s, err) || !Str(e, call, 1, from, err) || !Str(e, call, 2, to, err) ||
        !NumOr(e, call, 3, 0, nth, err))
        return err;
    if (!IsMissing(e, call, 3) && nth < 1) return TValue::Err(kValue);
    if (from.empty()) return TValue::Str(s);
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
        if (out.size() > 4 * kMaxCellChars) return TValue::Err(kValue);  // UTF-8 bytes of the longest text
    }
    out.append(s, pos, std::string::npos);
    return TextResult(std::move(out));
}
TValue Replace(TEvaluator& e, const TFormulaNode& call) {
    std::string s, with;
    double start = 0, n = 0;
    TValue err;
    if (!Str(e, call, 0, s, err) || !Num(e, call, 1, start, err) || !Num(e, call, 2, n, err) ||
        !Str(e, call, 3, with, err))
        return err;
    if (start < 1 || n < 0) return TValue::Err(kValue);
    const std::size_t a = ByteOffset(s, std::size_t(ToInt(start)) - 1);
    const std::size_t b = a + ByteOffset(std::string_view(s).substr(a), std::size_t(ToInt(n)));
    return TextResult(s.substr(0, a) + with + s.substr(b));
}
TValue FindSearch(TEvaluator& e, const TFormulaNode& call, bool search) {
    std::string what, in;
    double start = 1;
    TValue err;
    if (!Str(e, call, 0, what, err) || !Str(e, call, 1, in, err) || !NumOr(e, call, 2, 1, start, err)) return err;
    if (start < 1 || std::size_t(ToInt(start)) > CharLength(in) + 1) return TValue::Err(kValue);
    if (search) {
        what = AnsiUpperCase(what);
        in = AnsiUpperCase(in);
        if (what.find_first_of("*?~") != std::string::npos) {
            // Wildcards: try each start position.
            const std::size_t len = CharLength(in);
            for (std::size_t k = std::size_t(ToInt(start)) - 1; k <= len; ++k) {
                const std::string_view rest = std::string_view(in).substr(ByteOffset(in, k));
                if (WildcardMatch(what + "*", rest)) return TValue::Num(double(k + 1));
            }
            return TValue::Err(kValue);
        }
    }
    const std::size_t from = ByteOffset(in, std::size_t(ToInt(start)) - 1);
    const std::size_t hit = in.find(what, from);
    if (hit == std::string::npos) return TValue::Err(kValue);
    return TValue::Num(double(CharLength(std::string_view(in).substr(0, hit)) + 1));
}
TValue Find(TEvaluator& e, const TFormulaNode& c) { return FindSearch(e, c, false); }
TValue Search(TEvaluator& e, const TFormulaNode& c) { return FindSearch(e, c, true); }
TValue Exact(TEvaluator& e, const TFormulaNode& call) {
    std::string a, b;
    TValue err;
    if (!Str(e, call, 0, a, err) || !Str(e, call, 1, b, err)) return err;
    return TValue::Bool(a == b);
}
TValue Value(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TValue::Of(v);
    if (v.kind == Kind::Number) return TValue::Of(v);
    const TTypedInput in = ParseTypedInput(ToText(v), FormatSettings());
    if (in.kind != TTypedInput::Kind::Number) return TValue::Err(kValue);
    return TValue::Num(in.number);
}
TValue T(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TValue::Of(v);
    return TValue::Str(v.kind == Kind::Text ? v.text : std::string());
}
TValue N(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue v = e.ScalarArg(call, 0);
    if (v.kind == Kind::Error) return TValue::Of(v);
    if (v.kind == Kind::Number) return TValue::Of(v);
    return TValue::Num(v.kind == Kind::Boolean && v.boolean ? 1 : 0);
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
TValue Char(TEvaluator& e, const TFormulaNode& call) {
    double n = 0;
    TValue err;
    if (!Num(e, call, 0, n, err)) return err;
    if (n < 1 || n > 255) return TValue::Err(kValue);
    // Codes above 127 are those of the Windows code page 1252 in the spreadsheet;
    // its Latin-1 part is shared, the 0x80-0x9F block is left to the workbook.
    if (n >= 0x80 && n < 0xA0) throw TNotEvaluated{};
    std::string out;
    AppendUtf8(out, unsigned(n));
    return TextResult(std::move(out));
}
TValue Code(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
    if (!Str(e, call, 0, s, err)) return err;
    if (s.empty()) return TValue::Err(kValue);
    const unsigned char c = static_cast<unsigned char>(s[0]);
    if (c < 0x80) return TValue::Num(c);
    throw TNotEvaluated{};
}
TValue Clean(TEvaluator& e, const TFormulaNode& call) {
    std::string s;
    TValue err;
    if (!Str(e, call, 0, s, err)) return err;
    std::string out;
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 32) out += c;
    return TextResult(std::move(out));
}

// TEXT: the format code in the user's locale (German "0,00"); codes the
// evaluator cannot be sure of are left to the workbook.
TValue Text(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue v = e.ScalarArg(call, 0);
    std::string format;
    TValue err;
    if (v.kind == Kind::Error) return TValue::Of(v);
    if (!Str(e, call, 1, format, err)) return err;
    if (format == "@") return TValue::Str(ToText(v));
    double x = 0;
    TCellValue bad;
    if (!ToNumber(v, x, bad)) {
        // Text given to a format: the text section's "@" would place it, else it shows as it is.
        if (format.find('@') != std::string::npos || format.find(';') != std::string::npos) throw TNotEvaluated{};
        return TValue::Str(ToText(v));
    }
    std::string out;
    if (!FormatNumberCode(x, format, FormatSettings(), out)) throw TNotEvaluated{};
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

TValue DateFn(TEvaluator& e, const TFormulaNode& call) {
    double y = 0, m = 0, d = 0;
    TValue err;
    if (!Num(e, call, 0, y, err) || !Num(e, call, 1, m, err) || !Num(e, call, 2, d, err)) return err;
    int year = ToInt(y), month = ToInt(m) - 1;
    if (year < 0 || year > 10000 || std::abs(month) > 120000) return TValue::Err(kNum);
    if (year < 1900) year += 1900;
    year += month >= 0 ? month / 12 : -((11 - month) / 12);
    month = ((month % 12) + 12) % 12 + 1;
    TDateTime first = 0;
    if (year > 9999 || !TryEncodeDate(year, month, 1, first)) return TValue::Err(kNum);
    // Serial numbers run on through the system's 29 February 1900, so days add plainly.
    const double serial = DateToSerial(first) + std::trunc(d) - 1;
    if (serial < 0 || serial > 2958465) return TValue::Err(kNum);
    return TValue::Num(serial);
}
TValue DatePart(TEvaluator& e, const TFormulaNode& call, int which) {
    double s = 0;
    TValue err;
    if (!Num(e, call, 0, s, err)) return err;
    int y = 0, m = 0, d = 0;
    if (!SerialToDate(s, y, m, d)) return TValue::Err(kNum);
    return TValue::Num(which == 0 ? y : which == 1 ? m : d);
}
TValue Year(TEvaluator& e, const TFormulaNode& c) { return DatePart(e, c, 0); }
TValue Month(TEvaluator& e, const TFormulaNode& c) { return DatePart(e, c, 1); }
TValue Day(TEvaluator& e, const TFormulaNode& c) { return DatePart(e, c, 2); }
TValue TimePart(TEvaluator& e, const TFormulaNode& call, int which) {
    double s = 0;
    TValue err;
    if (!Num(e, call, 0, s, err)) return err;
    if (s < 0) return TValue::Err(kNum);
    const long secs = std::lround((s - std::floor(s)) * 86400) % 86400;
    return TValue::Num(static_cast<double>(which == 0 ? secs / 3600 : which == 1 ? (secs / 60) % 60 : secs % 60));
}
TValue Hour(TEvaluator& e, const TFormulaNode& c) { return TimePart(e, c, 0); }
TValue Minute(TEvaluator& e, const TFormulaNode& c) { return TimePart(e, c, 1); }
TValue Second(TEvaluator& e, const TFormulaNode& c) { return TimePart(e, c, 2); }
TValue Time(TEvaluator& e, const TFormulaNode& call) {
    double h = 0, m = 0, s = 0;
    TValue err;
    if (!Num(e, call, 0, h, err) || !Num(e, call, 1, m, err) || !Num(e, call, 2, s, err)) return err;
    const double total = std::trunc(h) * 3600 + std::trunc(m) * 60 + std::trunc(s);
    if (total < 0) return TValue::Err(kNum);
    return TValue::Num(std::fmod(total, 86400) / 86400);
}
TValue Today(TEvaluator&, const TFormulaNode&) { return TValue::Num(std::floor(Now())); }
TValue NowFn(TEvaluator&, const TFormulaNode&) { return TValue::Num(Now()); }
TValue Weekday(TEvaluator& e, const TFormulaNode& call) {
    double s = 0, type = 1;
    TValue err;
    if (!Num(e, call, 0, s, err) || !NumOr(e, call, 1, 1, type, err)) return err;
    if (s < 0 || s > 2958465) return TValue::Err(kNum);
    const long day = long(std::floor(s));
    // Serial 1 is a Sunday in the system's calendar.
    const long sunday0 = ((day - 1) % 7 + 7) % 7;  // 0 = Sunday
    switch (ToInt(type)) {
        case 1:
            return TValue::Num(double(sunday0 + 1));
        case 2:
            return TValue::Num(double((sunday0 + 6) % 7 + 1));
        case 3:
            return TValue::Num(double((sunday0 + 6) % 7));
        default:
            throw TNotEvaluated{};
    }
}
TValue EDateImpl(TEvaluator& e, const TFormulaNode& call, bool endOfMonth) {
    double s = 0, months = 0;
    TValue err;
    if (!Num(e, call, 0, s, err) || !Num(e, call, 1, months, err)) return err;
    int y = 0, m = 0, d = 0;
    if (!SerialToDate(s, y, m, d)) return TValue::Err(kNum);
    if (s < 61) throw TNotEvaluated{};  // months around the system's 29 February 1900
    long total = long(y) * 12 + (m - 1) + ToInt(months);
    y = int(total / 12), m = int(total % 12) + 1;
    if (y < 1900 || y > 9999) return TValue::Err(kNum);
    const int last = DaysInMonth(y, m);
    const TDateTime r = EncodeDate(y, m, endOfMonth ? last : std::min(d, last));
    return TValue::Num(DateToSerial(r));
}
TValue EDate(TEvaluator& e, const TFormulaNode& c) { return EDateImpl(e, c, false); }
TValue EOMonth(TEvaluator& e, const TFormulaNode& c) { return EDateImpl(e, c, true); }
TValue Days(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    TValue err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err)) return err;
    return TValue::Num(std::floor(a) - std::floor(b));
}

// DATEDIF(start, end, unit): whole years "Y", months "M", days "D", or
// months leaving out the years "YM". "MD" and "YD" are known to give odd
// results in the spreadsheet itself and are left to the workbook.
TValue DateDif(TEvaluator& e, const TFormulaNode& call) {
    double a = 0, b = 0;
    std::string unit;
    TValue err;
    if (!Num(e, call, 0, a, err) || !Num(e, call, 1, b, err) || !Str(e, call, 2, unit, err)) return err;
    a = std::floor(a), b = std::floor(b);
    if (a > b) return TValue::Err(kNum);
    const std::string u = AnsiUpperCase(unit);
    if (u == "D") return TValue::Num(b - a);
    if (u != "Y" && u != "M" && u != "YM") {
        if (u == "MD" || u == "YD") throw TNotEvaluated{};
        return TValue::Err(kNum);
    }
    if (a < 61) throw TNotEvaluated{};  // months around the system's 29 February 1900
    int y1 = 0, m1 = 0, d1 = 0, y2 = 0, m2 = 0, d2 = 0;
    if (!SerialToDate(a, y1, m1, d1) || !SerialToDate(b, y2, m2, d2)) return TValue::Err(kNum);
    int months = (y2 - y1) * 12 + (m2 - m1) - (d2 < d1 ? 1 : 0);
    if (u == "Y") return TValue::Num(months / 12);
    if (u == "M") return TValue::Num(months);
    return TValue::Num(months % 12);
}

// ERROR.TYPE: the number of an error code; #N/A for what is no error.
TValue ErrorType(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue v = e.ScalarArg(call, 0);
    if (v.kind != Kind::Error) return TValue::Err(kNA);
    static constexpr const char* kCodes[] = {kNull, kDiv0, kValue, kRef, kName, kNum, kNA};
    for (std::size_t i = 0; i < std::size(kCodes); ++i)
        if (v.text == kCodes[i]) return TValue::Num(double(i + 1));
    throw TNotEvaluated{};  // codes of newer versions (#SPILL!, #CALC!)
}

// ---- lookup and reference ----

// The values of one row or column of a reference or an array, in order.
struct TLine {
    std::vector<std::pair<int, TCellValue>> Cells;  // (index from 0, value), non-empty only, ascending
    int Length = 0;
};

bool LineOf(TEvaluator& e, const TValue& v, bool column, int which, TLine& line) {
    if (v.type == TValue::Type::Ref) {
        if (v.areas.size() != 1) return false;
        const TRect& r = v.areas.front();
        TRect l = column ? TRect{r.Sheet, r.Row1, r.Col1 + which, r.Row2, r.Col1 + which}
                         : TRect{r.Sheet, r.Row1 + which, r.Col1, r.Row1 + which, r.Col2};
        line.Length = column ? r.Rows() : r.Cols();
        e.ForEachCell(l, [&](int row, int col, const TCellValue& c) {
            line.Cells.emplace_back(column ? row - r.Row1 : col - r.Col1, c);
            return true;
        });
        std::sort(line.Cells.begin(), line.Cells.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        return true;
    }
    const TArray a = e.ToArray(v);
    line.Length = column ? a.Rows : a.Cols;
    for (int k = 0; k < line.Length; ++k) {
        const TCellValue& c = column ? a.At(k, which) : a.At(which, k);
        if (c.kind != Kind::Empty) line.Cells.emplace_back(k, c);
    }
    return true;
}

bool SameType(const TCellValue& a, const TCellValue& b) {
    return a.kind == b.kind || (a.kind == Kind::Empty || b.kind == Kind::Empty);
}

// Position (0-based) of x in the line: exact (wildcards for text), or the last
// value not above x (ascending, type 1) / not below x (descending, type -1).
int FindInLine(const TLine& line, const TCellValue& x, int type) {
    if (type == 0) {
        if (x.kind == Kind::Text) {
            const TCriterion crit(TCellValue::Text("=" + x.text));
            for (const auto& [k, c] : line.Cells)
                if (c.kind == Kind::Text && crit.Matches(c)) return k;
            return -1;
        }
        for (const auto& [k, c] : line.Cells)
            if (c.kind == x.kind && Compare(c, x) == 0) return k;
        return -1;
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

TValue CellOf(TEvaluator& e, const TValue& table, int row, int col) {
    if (table.type == TValue::Type::Ref) {
        const TRect& r = table.areas.front();
        return TValue::Area(TRect{r.Sheet, r.Row1 + row, r.Col1 + col, r.Row1 + row, r.Col1 + col});
    }
    const TArray a = e.ToArray(table);
    return TValue::Of(a.At(row, col));
}

TValue Lookup(TEvaluator& e, const TFormulaNode& call, bool vertical) {
    const TCellValue x = e.ScalarArg(call, 0);
    if (x.kind == Kind::Error) return TValue::Of(x);
    const TValue table = e.Eval(e.Arg(call, 1));
    double index = 0;
    bool approx = true;
    TValue err;
    if (!Num(e, call, 2, index, err)) return err;
    if (!IsMissing(e, call, 3) && !Bool(e, call, 3, approx, err)) return err;
    int rows = 0, cols = 0;
    if (table.type == TValue::Type::Ref) {
        if (table.areas.size() != 1) return TValue::Err(kValue);
        rows = table.areas.front().Rows(), cols = table.areas.front().Cols();
    } else if (table.type == TValue::Type::Array) {
        rows = table.array->Rows, cols = table.array->Cols;
    } else {
        return TValue::Err(kNA);
    }
    const int k = ToInt(index) - 1;
    if (k < 0) return TValue::Err(kValue);
    if (k >= (vertical ? cols : rows)) return TValue::Err(kRef);
    TLine line;
    if (!LineOf(e, table, vertical, 0, line)) return TValue::Err(kValue);
    const int at = FindInLine(line, x, approx ? 1 : 0);
    if (at < 0) return TValue::Err(kNA);
    return CellOf(e, table, vertical ? at : k, vertical ? k : at);
}
TValue VLookup(TEvaluator& e, const TFormulaNode& c) { return Lookup(e, c, true); }
TValue HLookup(TEvaluator& e, const TFormulaNode& c) { return Lookup(e, c, false); }

TValue Match(TEvaluator& e, const TFormulaNode& call) {
    const TCellValue x = e.ScalarArg(call, 0);
    if (x.kind == Kind::Error) return TValue::Of(x);
    const TValue range = e.Eval(e.Arg(call, 1));
    double type = 1;
    TValue err;
    if (!NumOr(e, call, 2, 1, type, err)) return err;
    int rows = 0, cols = 0;
    if (range.type == TValue::Type::Ref && range.areas.size() == 1) {
        rows = range.areas.front().Rows(), cols = range.areas.front().Cols();
    } else if (range.type == TValue::Type::Array) {
        rows = range.array->Rows, cols = range.array->Cols;
    } else {
        return TValue::Err(kNA);
    }
    if (rows != 1 && cols != 1) return TValue::Err(kNA);
    TLine line;
    if (!LineOf(e, range, cols == 1, 0, line)) return TValue::Err(kNA);
    const int at = FindInLine(line, x, type > 0 ? 1 : type < 0 ? -1 : 0);
    return at < 0 ? TValue::Err(kNA) : TValue::Num(at + 1);
}

TValue Index(TEvaluator& e, const TFormulaNode& call) {
    const TValue table = e.Eval(e.Arg(call, 0));
    double r = 0, c = 0;
    TValue err;
    if (!NumOr(e, call, 1, 0, r, err) || !NumOr(e, call, 2, 0, c, err)) return err;
    if (Argc(call) > 3) throw TNotEvaluated{};
    int rows = 0, cols = 0;
    if (table.type == TValue::Type::Ref && table.areas.size() == 1) {
        rows = table.areas.front().Rows(), cols = table.areas.front().Cols();
    } else if (table.type == TValue::Type::Array) {
        rows = table.array->Rows, cols = table.array->Cols;
    } else if (table.type == TValue::Type::Scalar) {
        return (r <= 1 && c <= 1) ? table : TValue::Err(kRef);
    } else {
        throw TNotEvaluated{};
    }
    int row = ToInt(r), col = ToInt(c);
    // One index into a single row or column is a position along it.
    if (IsMissing(e, call, 2) && rows == 1 && cols > 1) col = row, row = 1;
    if (row < 0 || col < 0 || row > rows || col > cols) return TValue::Err(kRef);
    if (row == 0 || col == 0) {
        if (table.type != TValue::Type::Ref) throw TNotEvaluated{};
        const TRect& t = table.areas.front();
        return TValue::Area(TRect{t.Sheet, row ? t.Row1 + row - 1 : t.Row1, col ? t.Col1 + col - 1 : t.Col1,
                                  row ? t.Row1 + row - 1 : t.Row2, col ? t.Col1 + col - 1 : t.Col2});
    }
    return CellOf(e, table, row - 1, col - 1);
}

TValue Choose(TEvaluator& e, const TFormulaNode& call) {
    double i = 0;
    TValue err;
    if (!Num(e, call, 0, i, err)) return err;
    const int k = ToInt(i);
    if (k < 1 || k >= Argc(call)) return TValue::Err(kValue);
    return e.Eval(e.Arg(call, k));
}

TValue RowColumn(TEvaluator& e, const TFormulaNode& call, bool row) {
    if (IsMissing(e, call, 0)) return TValue::Num(row ? e.Row : e.Col);
    const TValue v = e.Eval(e.Arg(call, 0));
    if (v.type != TValue::Type::Ref || v.areas.size() != 1) return TValue::Err(kValue);
    return TValue::Num(row ? v.areas.front().Row1 : v.areas.front().Col1);
}
TValue Row(TEvaluator& e, const TFormulaNode& c) { return RowColumn(e, c, true); }
TValue Column(TEvaluator& e, const TFormulaNode& c) { return RowColumn(e, c, false); }
TValue RowsColumns(TEvaluator& e, const TFormulaNode& call, bool rows) {
    const TValue v = e.Eval(e.Arg(call, 0));
    if (v.type == TValue::Type::Ref) {
        if (v.areas.size() != 1) return TValue::Err(kRef);
        return TValue::Num(rows ? v.areas.front().Rows() : v.areas.front().Cols());
    }
    if (v.type == TValue::Type::Array) return TValue::Num(rows ? v.array->Rows : v.array->Cols);
    return TValue::Num(1);
}
TValue Rows(TEvaluator& e, const TFormulaNode& c) { return RowsColumns(e, c, true); }
TValue Columns(TEvaluator& e, const TFormulaNode& c) { return RowsColumns(e, c, false); }

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

bool IsMulti(const TValue& v) {
    return v.type == TValue::Type::Array ||
           (v.type == TValue::Type::Ref && (v.areas.size() != 1 || v.areas.front().Size() > 1));
}

TValue ApplyToElements(TEvaluator& e, const TFormulaNode& call, THandler handler) {
    std::vector<TValue> args;
    bool multi = false;
    for (int i = 0; i < Argc(call); ++i) {
        args.push_back(e.Eval(e.Arg(call, i)));
        multi = multi || IsMulti(args.back());
    }
    const auto give = [&](int i, TValue v) { e.Given[&e.Arg(call, i)] = std::move(v); };
    const auto forget = [&] {
        for (int i = 0; i < Argc(call); ++i) e.Given.erase(&e.Arg(call, i));
    };
    if (!multi) {
        for (int i = 0; i < Argc(call); ++i) give(i, args[std::size_t(i)]);
        TValue r = handler(e, call);
        forget();
        return r;
    }
    std::vector<TArray> arrays;
    int rows = 1, cols = 1;
    for (const TValue& v : args) {
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
                give(k, ii < m.Rows && jj < m.Cols ? TValue::Of(m.At(ii, jj)) : TValue::Err(kNA));
            }
            r.Cells.push_back(e.Scalar(handler(e, call)));
        }
    forget();
    return TValue::Arr(std::move(r));
}

bool CallFunction(TEvaluator& e, const TFormulaNode& call, std::string_view name, TValue& result) {
    const auto& table = Handlers();
    const auto it = table.find(name);
    if (it == table.end()) return false;
    result = (e.ArrayMode && TakesValues(name)) ? ApplyToElements(e, call, it->second) : it->second(e, call);
    return true;
}

}  // namespace tabrix::xl::eval
