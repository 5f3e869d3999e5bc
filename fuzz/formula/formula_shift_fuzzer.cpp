// Moving the references of a formula copied by (dRow, dCol), the first two
// bytes. Checks: no crash; the result lexes; moved forth and back (when
// nothing fell off the sheet) every reference names the same area again.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/spreadsheet/formula/formula.h"

using namespace tabrix::xl;

namespace {

int Refs(const std::vector<TToken>& tokens) {
    int n = 0;
    for (const TToken& t : tokens)
        n += t.Kind == TTokenKind::Error || (t.Kind == TTokenKind::Reference && t.Area.AreaKind == TArea::Kind::Error);
    return n;
}

// The same cells with the same markers; where both ends share a row (or a
// column) the order of their markers carries no meaning.
bool SameArea(const TArea& a, const TArea& b) {
    if (a.AreaKind != b.AreaKind || a.Row1 != b.Row1 || a.Col1 != b.Col1 || a.Row2 != b.Row2 || a.Col2 != b.Col2)
        return false;
    const bool rows = a.Row1 == a.Row2 ? (a.AbsRow1 + a.AbsRow2 == b.AbsRow1 + b.AbsRow2)
                                       : (a.AbsRow1 == b.AbsRow1 && a.AbsRow2 == b.AbsRow2);
    const bool cols = a.Col1 == a.Col2 ? (a.AbsCol1 + a.AbsCol2 == b.AbsCol1 + b.AbsCol2)
                                       : (a.AbsCol1 == b.AbsCol1 && a.AbsCol2 == b.AbsCol2);
    return rows && cols;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Small moves mostly, now and then far ones that leave the sheet.
    const int dRow =
        (data[0] & 0x80) ? int(static_cast<std::int8_t>(data[0])) * 9000 : static_cast<std::int8_t>(data[0] << 1) / 2;
    const int dCol = static_cast<std::int8_t>(data[1]);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const TFormulaDialect en = TFormulaDialect::English();
    std::vector<TToken> before;
    try {
        TParseOptions lenient;
        lenient.AllowUnknownFunctions = true;
        before = ParseFormula(text, en, lenient).Tokens();
    } catch (const EFormulaError&) {
        return 0;
    }
    // A letters-only name beside the range operator ("A:A62") may read as a
    // column range once the cell beside it moves; such texts are left out.
    for (std::size_t i = 0; i + 1 < before.size(); ++i) {
        const bool colon = before[i + 1].Kind == TTokenKind::Operator && text[before[i + 1].Pos] == ':';
        const bool colonBefore = before[i].Kind == TTokenKind::Operator && text[before[i].Pos] == ':';
        if ((before[i].Kind == TTokenKind::Name && colon) || (colonBefore && before[i + 1].Kind == TTokenKind::Name))
            return 0;
    }
    const std::string moved = ShiftFormula(text, dRow, dCol);
    const std::vector<TToken> after = Tokenize(moved, en);
    if (Refs(after) != Refs(before)) return 0;  // something left the sheet
    if (after.size() != before.size()) std::abort();
    const std::vector<TToken> back = Tokenize(ShiftFormula(moved, -dRow, -dCol), en);
    if (back.size() != before.size()) std::abort();
    for (std::size_t i = 0; i < back.size(); ++i) {
        if (back[i].Kind != before[i].Kind) std::abort();
        if (back[i].Kind == TTokenKind::Reference && !SameArea(back[i].Area, before[i].Area)) std::abort();
    }
    return 0;
}
