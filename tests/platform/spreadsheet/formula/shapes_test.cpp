#include <gtest/gtest.h>

#include "platform/spreadsheet/formula/formula.h"
#include "tests/platform/spreadsheet/formula/test_context.h"

namespace tabrix::xl {
namespace {

struct TPlaced {
    const char* Text;
    int Row, Column;
};

// Formulas of one shape are only tokenized after the first: what they give
// must be what a parse of their own text gives, token by token and node by
// node, whatever the first of their shape was, and their values must be
// their own. The list mixes formulas of one shape (copied down and across)
// with near neighbours of another: a fixed reference that differs, a moved
// one that lands elsewhere, the same text in another cell, other constants.
TEST(FormulaShapes, AFormulaOfAKnownShapeIsWhatItsOwnParseIs) {
    const TPlaced formulas[] = {
        {"C6*D6", 6, 5},
        {"C7*D7", 7, 5},
        {"C6*D6", 7, 5},
        {"D7*E7", 7, 6},
        {"C8 * D8", 8, 5},
        {"$A$1*C6", 6, 5},
        {"$A$1*C9", 9, 5},
        {"$A$2*C9", 9, 5},
        {"A$1+$B6", 6, 3},
        {"A$1+$B7", 7, 3},
        {"SUM(C1:C5)", 6, 3},
        {"SUM(C2:C6)", 7, 3},
        {"SUM(C2:C6)+1", 7, 3},
        {"SUM(C2:C6)+2", 7, 3},
        {"MAX(C2:C6)", 7, 3},
        {"SUM(A:A)", 2, 2},
        {"SUM(A:A)", 9, 2},
        {"SUM(B:B)", 9, 3},
        {"SUM(2:2)", 3, 1},
        {"SUM(3:3)", 4, 1},
        {"'My sheet'!B2*2", 3, 6},
        {"'My sheet'!B3*2", 4, 6},
        {"Other!B3*2", 4, 6},
        {"IF(A1>2,\"x\",A1)", 2, 2},
        {"IF(A2>2,\"x\",A2)", 3, 2},
        {"IF(A2>2,\"y\",A2)", 3, 2},
        {"#REF!+A1", 2, 2},
        {"#REF!+A2", 3, 2},
    };
    test::TMapContext context;
    for (int r = 1; r <= 12; ++r)
        for (int c = 1; c <= 6; ++c) context.Set(r, c, TScalar::Number(r * 10 + c));
    context.Set("My sheet", 2, 2, TScalar::Number(40));
    context.Set("My sheet", 3, 2, TScalar::Number(50));

    TFormulaShapes shapes(TParseOptions{true, false});
    for (const TPlaced& p : formulas) {
        SCOPED_TRACE(p.Text);
        const TFormula own = ParseFormula(p.Text, TFormulaDialect::English(), TParseOptions{true, false});
        const TFormula shaped = shapes.Parse(p.Text, p.Row, p.Column);
        EXPECT_EQ(shaped.Text(), own.Text());
        ASSERT_EQ(shaped.Tokens().size(), own.Tokens().size());
        for (size_t i = 0; i < own.Tokens().size(); ++i) {
            const TToken &a = shaped.Tokens()[i], &b = own.Tokens()[i];
            EXPECT_EQ(shaped.TokenText(static_cast<int>(i)), own.TokenText(static_cast<int>(i)));
            EXPECT_EQ(a.Kind, b.Kind);
            EXPECT_TRUE(a.Area.AreaKind == b.Area.AreaKind && a.Area.Row1 == b.Area.Row1 &&
                        a.Area.Col1 == b.Area.Col1 && a.Area.Row2 == b.Area.Row2 && a.Area.Col2 == b.Area.Col2)
                << "token " << i;
        }
        ASSERT_EQ(shaped.Nodes().size(), own.Nodes().size());
        for (size_t i = 0; i < own.Nodes().size(); ++i) {
            const TFormulaNode &a = shaped.Nodes()[i], &b = own.Nodes()[i];
            EXPECT_TRUE(a.Kind == b.Kind && a.Token == b.Token && a.Function == b.Function && a.Op == b.Op &&
                        a.ChildCount == b.ChildCount)
                << "node " << i;
        }
        EXPECT_EQ(shaped.Children(), own.Children());
        EXPECT_EQ(shaped.Root(), own.Root());
        const TScalar a = EvaluateFormula(shaped, context, p.Row, p.Column);
        const TScalar b = EvaluateFormula(own, context, p.Row, p.Column);
        EXPECT_TRUE(a.kind == b.kind && a.number == b.number && a.text == b.text);
    }
    // A text that fails fails the same way, known shape or not.
    EXPECT_THROW(shapes.Parse("SUM(C2:C6", 7, 3), EFormulaError);
    EXPECT_THROW(shapes.Parse("C6**D6", 6, 5), EFormulaError);
}

}  // namespace
}  // namespace tabrix::xl
