// Parsed formulas remembered by their shape (formula.h).

#include <cstring>

#include "platform/rtl/ascii.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"

namespace tabrix::xl {

namespace {

// Shapes remembered at most: a sheet of formulas that are all different
// costs a tokenizing each and no more memory.
constexpr std::size_t kMaxShapes = 10000;

// A piece of the key: its kind, its length and its text, so that no two
// sequences of pieces make the same key.
void AppendPiece(std::string& key, char kind, std::string_view text) {
    char head[1 + sizeof(std::uint32_t)];
    head[0] = kind;
    const auto length = static_cast<std::uint32_t>(text.size());
    std::memcpy(head + 1, &length, sizeof length);
    key.append(head, sizeof head);
    key.append(text);
}

// A reference as a piece of fixed size: each coordinate as written where
// it stays, from the cell where it moves with it.
struct TReferencePiece {
    char Kind;
    char AreaKind;
    char Absolute;  // one bit per coordinate that stays
    char Unused = 0;
    std::int32_t Coordinates[4];
};

}  // namespace

// The key is the formula's tokens and what lies between them, a reference
// written relative to the cell where it moves with it: the formulas of one
// shape differ in those references alone and parse to the same tree.
void TFormulaShapes::MakeKey(std::string_view text, int row, int column) {
    FKey.clear();
    std::size_t end = 0;
    for (const TToken& t : FTokens) {
        if (t.Pos > end) AppendPiece(FKey, 'g', text.substr(end, t.Pos - end));
        end = t.Pos + t.Len;
        if (t.Kind != TTokenKind::Reference) {
            AppendPiece(FKey, static_cast<char>('0' + static_cast<int>(t.Kind)), text.substr(t.Pos, t.Len));
            continue;
        }
        const TArea& a = t.Area;
        const bool rowsMove = a.AreaKind != TArea::Kind::Columns && a.AreaKind != TArea::Kind::Error;
        const bool columnsMove = a.AreaKind != TArea::Kind::Rows && a.AreaKind != TArea::Kind::Error;
        const bool stays[4] = {a.AbsRow1 || !rowsMove, a.AbsRow2 || !rowsMove, a.AbsCol1 || !columnsMove,
                               a.AbsCol2 || !columnsMove};
        const int values[4] = {a.Row1, a.Row2, a.Col1, a.Col2};
        const int bases[4] = {row, row, column, column};
        TReferencePiece piece{'R', static_cast<char>(a.AreaKind), 0, 0, {}};
        for (int i = 0; i < 4; ++i) {
            if (stays[i]) piece.Absolute = static_cast<char>(piece.Absolute | (1 << i));
            piece.Coordinates[i] = stays[i] ? values[i] : values[i] - bases[i];
        }
        FKey.append(reinterpret_cast<const char*>(&piece), sizeof piece);
        AppendPiece(FKey, 'p', text.substr(t.Pos, t.PrefixLen));
    }
    if (end < text.size()) AppendPiece(FKey, 'g', text.substr(end));
}

TFormula TFormulaShapes::Parse(std::string_view englishText, int row, int column) {
    const TFormulaDialect english = TFormulaDialect::English();
    // Too long a formula fails as the parser says it.
    if (ascii::CharCount(englishText) > kMaxFormulaChars) return ParseFormula(englishText, english, FOptions);
    Tokenize(englishText, english, FTokens);
    MakeKey(englishText, row, column);
    const auto found = FShapes.find(FKey);
    if (found == FShapes.end()) {
        TFormula parsed = ParseFormula(englishText, english, FOptions);
        if (FShapes.size() < kMaxShapes) FShapes.emplace(FKey, parsed);
        return parsed;
    }
    // The tree of the shape over this formula's own text and tokens: the
    // same tokens in the same order, so every node names the right one.
    const TFormula& shape = found->second;
    TFormula f;
    f.FText.assign(englishText);
    f.FDialect = shape.FDialect;
    f.FTokens = FTokens;
    f.FNodes = shape.FNodes;
    f.FChildren = shape.FChildren;
    f.FRoot = shape.FRoot;
    f.FVolatile = shape.FVolatile;
    return f;
}

}  // namespace tabrix::xl
