// Moving relative references when a formula's cell is copied.

#include "platform/spreadsheet/formula/formula.h"

namespace tabrix::xl {

namespace {

// Moves one coordinate; false when it leaves 1..limit.
bool Move(int& value, bool absolute, int delta, int limit) {
    if (absolute || delta == 0) return true;
    const long moved = long(value) + delta;
    if (moved < 1 || moved > limit) return false;
    value = int(moved);
    return true;
}

bool Moves(const TArea& a, int dRow, int dCol) {
    switch (a.AreaKind) {
        case TArea::Kind::Error:
            return false;
        case TArea::Kind::Columns:
            return dCol != 0 && !(a.AbsCol1 && a.AbsCol2);
        case TArea::Kind::Rows:
            return dRow != 0 && !(a.AbsRow1 && a.AbsRow2);
        case TArea::Kind::Cell:
        case TArea::Kind::Range:
            return (dRow != 0 && !(a.AbsRow1 && a.AbsRow2)) || (dCol != 0 && !(a.AbsCol1 && a.AbsCol2));
    }
    return false;
}

// The moved area, or Kind::Error when a moved end leaves the sheet.
TArea Shifted(TArea a, int dRow, int dCol) {
    bool ok = true;
    if (a.AreaKind != TArea::Kind::Columns) {
        ok = ok && Move(a.Row1, a.AbsRow1, dRow, kMaxRows) && Move(a.Row2, a.AbsRow2, dRow, kMaxRows);
    }
    if (a.AreaKind != TArea::Kind::Rows) {
        ok = ok && Move(a.Col1, a.AbsCol1, dCol, kMaxColumns) && Move(a.Col2, a.AbsCol2, dCol, kMaxColumns);
    }
    if (!ok) {
        a.AreaKind = TArea::Kind::Error;
        return a;
    }
    // A mixed range such as A$5:A6 moved up turns round; keep it top-left first.
    if (a.Row1 > a.Row2) std::swap(a.Row1, a.Row2), std::swap(a.AbsRow1, a.AbsRow2);
    if (a.Col1 > a.Col2) std::swap(a.Col1, a.Col2), std::swap(a.AbsCol1, a.AbsCol2);
    return a;
}

// Cells need digits and whole columns a colon; text without either holds no reference.
bool MayHoldReferences(std::string_view text) {
    for (char c : text)
        if ((c >= '0' && c <= '9') || c == ':') return true;
    return false;
}

}  // namespace

std::string ShiftFormula(std::string_view englishText, int dRow, int dCol) {
    if ((dRow == 0 && dCol == 0) || !MayHoldReferences(englishText)) return std::string(englishText);
    thread_local std::vector<TToken> tokens;
    Tokenize(englishText, TFormulaDialect::English(), tokens);
    std::string out;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const TToken& t = tokens[i];
        if (t.Kind != TTokenKind::Reference || !Moves(t.Area, dRow, dCol)) continue;
        if (out.empty()) out.reserve(englishText.size() + 8);
        const std::size_t body = t.Pos + t.PrefixLen;
        out.append(englishText.substr(copied, body - copied));
        const TArea moved = Shifted(t.Area, dRow, dCol);
        AppendArea(out, moved);
        copied = t.Pos + t.Len;
        // A spilled range that left the sheet is #REF! without its '#'.
        if (moved.AreaKind == TArea::Kind::Error && i + 1 < tokens.size() && tokens[i + 1].Pos == copied &&
            tokens[i + 1].Kind == TTokenKind::Operator && englishText[copied] == '#')
            copied += 1, ++i;
    }
    if (copied == 0) return std::string(englishText);
    out.append(englishText.substr(copied));
    return out;
}

}  // namespace tabrix::xl
