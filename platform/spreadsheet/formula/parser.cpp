// The formula parser: builds the syntax tree over the lexer's tokens and
// validates what the lexer cannot see (brackets, operands, functions and
// their argument counts, array constants).

#include <fmt/format.h>

#include <algorithm>
#include <string>

#include "platform/rtl/ascii.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/formula/functions.h"
#include "platform/spreadsheet/limits.h"

namespace tabrix::xl {

class TParser {
public:
    TParser(std::string_view text, const TFormulaDialect& dialect, const TParseOptions& options) : FOptions(options) {
        F.FText.assign(text);
        F.FDialect = dialect;
    }

    TFormula Run() {
        if (ascii::CharCount(F.FText) > kMaxFormulaChars)
            Fail(fmt::format("formula longer than {} characters", kMaxFormulaChars), 0);
        Tokenize(F.FText, F.FDialect, F.FTokens);
        F.FNodes.reserve(F.FTokens.size() + 1);
        F.FChildren.reserve(F.FTokens.size());
        if (Peek() == nullptr) Fail("empty formula", 0);
        int root = ParseExpression();
        if (FOptions.AllowTopLevelUnion && Is(TTokenKind::ListSeparator)) root = ParseUnionTail(root);
        if (const TToken* t = Peek()) {
            if (t->Kind == TTokenKind::CloseParen) Fail("')' without '('", t->Pos);
            Fail("unexpected '" + std::string(Text(*t)) + "'", t->Pos);
        }
        F.FRoot = root;
        return std::move(F);
    }

private:
    [[noreturn]] void Fail(std::string_view what, std::size_t pos) const {
        throw EFormulaError(FormulaErrorText(what, pos, F.FText));
    }

    std::string_view Text(const TToken& t) const { return std::string_view(F.FText).substr(t.Pos, t.Len); }
    std::size_t EndPos() const { return F.FText.size(); }

    // The next token after blanks, nullptr at the end.
    // Looking ahead never consumes the blanks: a blank between operands is
    // the intersection operator.
    std::size_t NextIndex() const {
        std::size_t i = FPos;
        while (i < F.FTokens.size() && F.FTokens[i].Kind == TTokenKind::Whitespace) ++i;
        return i;
    }
    const TToken* Peek() const {
        const std::size_t i = NextIndex();
        return i < F.FTokens.size() ? &F.FTokens[i] : nullptr;
    }
    // Consumes the next token after blanks and returns its index.
    int Take() {
        const std::size_t i = NextIndex();
        FPos = i + 1;
        return int(i);
    }
    bool Is(TTokenKind kind) {
        const TToken* t = Peek();
        return t != nullptr && t->Kind == kind;
    }
    bool IsOperator(std::string_view op) {
        const TToken* t = Peek();
        return t != nullptr && t->Kind == TTokenKind::Operator && Text(*t) == op;
    }

    int AddNode(TNodeKind kind, int token, std::initializer_list<int> children = {}, char op = 0) {
        TFormulaNode node;
        node.Kind = kind;
        node.Token = token;
        node.Op = op;
        node.FirstChild = int(F.FChildren.size());
        node.ChildCount = int(children.size());
        F.FChildren.insert(F.FChildren.end(), children);
        return Push(node);
    }
    int AddNode(TNodeKind kind, int token, const std::vector<int>& children) {
        TFormulaNode node;
        node.Kind = kind;
        node.Token = token;
        node.FirstChild = int(F.FChildren.size());
        node.ChildCount = int(children.size());
        F.FChildren.insert(F.FChildren.end(), children.begin(), children.end());
        return Push(node);
    }
    int Push(TFormulaNode& node) {
        node.FirstToken = node.LastToken = node.Token;
        for (int i = 0; i < node.ChildCount; ++i) {
            const TFormulaNode& child = F.FNodes[F.FChildren[node.FirstChild + i]];
            if (child.FirstToken < 0) continue;
            if (node.FirstToken < 0 || child.FirstToken < node.FirstToken) node.FirstToken = child.FirstToken;
            node.LastToken = std::max(node.LastToken, child.LastToken);
        }
        F.FNodes.push_back(node);
        return int(F.FNodes.size()) - 1;
    }
    int Closed(int node, int closingToken) {
        F.FNodes[node].LastToken = closingToken;
        return node;
    }

    // Counts one level of nesting; a position of ~0 counts nothing.
    struct TDepthGuard {
        TParser& P;
        int Levels;
        explicit TDepthGuard(TParser& p, std::size_t pos) : P(p), Levels(pos == ~std::size_t(0) ? 0 : 1) {
            P.FDepth += Levels;
            if (P.FDepth > kMaxFormulaNesting) P.Fail("formula nested too deeply", pos);
        }
        ~TDepthGuard() { P.FDepth -= Levels; }
    };

    int ParseExpression() {
        TDepthGuard guard(*this, Peek() ? Peek()->Pos : EndPos());
        return ParseComparison();
    }

    // Binary levels from the loosest: comparison, &, + -, * /, ^.
    int ParseComparison() {
        int left = ParseConcat();
        for (;;) {
            const TToken* t = Peek();
            if (t == nullptr || t->Kind != TTokenKind::Operator) return left;
            const std::string_view op = Text(*t);
            char code = 0;
            if (op == "=")
                code = '=';
            else if (op == "<")
                code = '<';
            else if (op == ">")
                code = '>';
            else if (op == "<=")
                code = 'l';
            else if (op == ">=")
                code = 'g';
            else if (op == "<>")
                code = 'n';
            else
                return left;
            const int tok = Take();
            const int right = ParseConcat();
            left = AddNode(TNodeKind::Binary, tok, {left, right}, code);
        }
    }

    int ParseBinaryLevel(int (TParser::*next)(), std::string_view ops) {
        int left = (this->*next)();
        for (;;) {
            const TToken* t = Peek();
            if (t == nullptr || t->Kind != TTokenKind::Operator || t->Len != 1 ||
                ops.find(F.FText[t->Pos]) == std::string_view::npos)
                return left;
            const char code = F.FText[t->Pos];
            const int tok = Take();
            const int right = (this->*next)();
            left = AddNode(TNodeKind::Binary, tok, {left, right}, code);
        }
    }
    int ParseConcat() { return ParseBinaryLevel(&TParser::ParseAdditive, "&"); }
    int ParseAdditive() { return ParseBinaryLevel(&TParser::ParseMultiplicative, "+-"); }
    int ParseMultiplicative() { return ParseBinaryLevel(&TParser::ParsePower, "*/"); }
    int ParsePower() { return ParseBinaryLevel(&TParser::ParsePrefix, "^"); }

    // Negation binds tighter than ^ (-2^2 is 4); '@' is the implicit intersection.
    int ParsePrefix() {
        const TToken* t = Peek();
        if (t != nullptr && t->Kind == TTokenKind::Operator && t->Len == 1) {
            const char c = F.FText[t->Pos];
            if (c == '-' || c == '+' || c == '@') {
                TDepthGuard guard(*this, t->Pos);
                // In files '@' is a call of SINGLE: it nests as deep as one.
                TDepthGuard asCall(*this, c == '@' ? t->Pos : ~std::size_t(0));
                const int tok = Take();
                const int operand = ParsePrefix();
                return AddNode(TNodeKind::Unary, tok, {operand}, c);
            }
        }
        return ParsePercent();
    }

    int ParsePercent() {
        int operand = ParseIntersection();
        while (IsOperator("%")) {
            const int tok = Take();
            operand = AddNode(TNodeKind::Percent, tok, {operand});
        }
        return operand;
    }

    static bool StartsOperand(TTokenKind k) {
        return k == TTokenKind::Reference || k == TTokenKind::Name || k == TTokenKind::StructuredRef ||
               k == TTokenKind::Function || k == TTokenKind::OpenParen;
    }

    // A blank between two operands is the intersection operator.
    int ParseIntersection() {
        int left = ParseRange();
        for (;;) {
            if (FPos >= F.FTokens.size() || F.FTokens[FPos].Kind != TTokenKind::Whitespace) return left;
            std::size_t next = FPos + 1;
            if (next >= F.FTokens.size() || !StartsOperand(F.FTokens[next].Kind)) return left;
            const int tok = int(FPos);
            FPos = next;
            const int right = ParseRange();
            left = AddNode(TNodeKind::Binary, tok, {left, right}, ' ');
        }
    }

    int ParseRange() {
        int left = ParseSpill();
        while (IsOperator(":")) {
            const int tok = Take();
            const int right = ParseSpill();
            left = AddNode(TNodeKind::Binary, tok, {left, right}, ':');
        }
        return left;
    }

    int ParseSpill() {
        int operand = ParsePrimary();
        // The lexer makes '#' an operator only right after its operand. In
        // files each is a call of ANCHORARRAY, two levels deep.
        int levels = 0;
        while (FPos < F.FTokens.size() && F.FTokens[FPos].Kind == TTokenKind::Operator &&
               Text(F.FTokens[FPos]) == "#") {
            if (FDepth + levels + 2 > kMaxFormulaNesting) Fail("formula nested too deeply", F.FTokens[FPos].Pos);
            levels += 2;
            const int tok = Take();
            operand = AddNode(TNodeKind::Spill, tok, {operand});
        }
        return operand;
    }

    int ParsePrimary() {
        const TToken* t = Peek();
        if (t == nullptr) Fail("operand expected at the end", EndPos());
        switch (t->Kind) {
            case TTokenKind::Number:
                return AddNode(TNodeKind::Number, Take());
            case TTokenKind::String:
                return AddNode(TNodeKind::String, Take());
            case TTokenKind::Boolean:
                return AddNode(TNodeKind::Boolean, Take());
            case TTokenKind::Error:
                return AddNode(TNodeKind::Error, Take());
            case TTokenKind::Reference:
                return AddNode(TNodeKind::Reference, Take());
            case TTokenKind::Name:
                return AddNode(TNodeKind::Name, Take());
            case TTokenKind::StructuredRef:
                return AddNode(TNodeKind::StructuredRef, Take());
            case TTokenKind::Function:
                return ParseCall();
            case TTokenKind::OpenParen:
                return ParseParentheses();
            case TTokenKind::OpenBrace:
                return ParseArray();
            case TTokenKind::CloseParen:
                Fail("operand expected before ')'", t->Pos);
            case TTokenKind::ListSeparator:
                Fail(std::string("operand expected before '") + F.FDialect.ListSeparator + "'", t->Pos);
            default:
                Fail("unexpected '" + std::string(Text(*t)) + "'", t->Pos);
        }
    }

    int ParseUnionTail(int first) {
        std::vector<int> parts{first};
        const int tok = int(NextIndex());
        while (Is(TTokenKind::ListSeparator)) {
            Take();
            parts.push_back(ParseExpression());
        }
        return AddNode(TNodeKind::Union, tok, parts);
    }

    int ParseParentheses() {
        const TToken open = *Peek();
        TDepthGuard guard(*this, open.Pos);
        const int tok = Take();
        int inner = ParseExpression();
        if (Is(TTokenKind::ListSeparator)) inner = ParseUnionTail(inner);
        if (!Is(TTokenKind::CloseParen)) {
            if (Peek() == nullptr) Fail("unclosed parenthesis", open.Pos);
            Fail("')' expected", Peek()->Pos);
        }
        const int close = Take();
        return Closed(AddNode(TNodeKind::Parentheses, tok, {inner}), close);
    }

    int ParseCall() {
        const int tok = Take();
        const TToken nameToken = F.FTokens[tok];
        TDepthGuard guard(*this, nameToken.Pos);
        Take();  // its '('
        std::vector<int> args;
        int close = -1;
        if (Is(TTokenKind::CloseParen)) {
            close = Take();
        } else {
            for (;;) {
                if (Is(TTokenKind::ListSeparator) || Is(TTokenKind::CloseParen)) {
                    args.push_back(AddNode(TNodeKind::Missing, -1));
                } else {
                    args.push_back(ParseExpression());
                }
                const TToken* t = Peek();
                if (t == nullptr) Fail("unclosed parenthesis", nameToken.Pos + nameToken.Len);
                if (t->Kind == TTokenKind::ListSeparator) {
                    Take();
                    continue;
                }
                if (t->Kind == TTokenKind::CloseParen) {
                    close = Take();
                    break;
                }
                Fail(std::string("'") + F.FDialect.ListSeparator + "' or ')' expected", t->Pos);
            }
        }
        const int node = Closed(AddNode(TNodeKind::Function, tok, args), close);
        CheckFunction(node, nameToken, int(args.size()));
        return node;
    }

    void CheckFunction(int node, const TToken& nameToken, int argc) {
        const std::string_view name = Text(nameToken).substr(nameToken.PrefixLen);
        const int index = nameToken.PrefixLen == 0 ? FindFunction(name) : -1;
        F.FNodes[node].Function = index;
        if (index < 0) {
            const bool addIn = ascii::StartsWithNoCase(name, "_XLL.") || ascii::StartsWithNoCase(name, "_XLUDF.");
            if (!addIn && !FOptions.AllowUnknownFunctions) Fail("unknown function " + std::string(name), nameToken.Pos);
            return;
        }
        const TFunctionInfo& info = FunctionInfo(index);
        if (argc < info.MinArgs) Fail("too few arguments for " + std::string(info.Name), nameToken.Pos);
        if (argc > info.MaxArgs) Fail("too many arguments for " + std::string(info.Name), nameToken.Pos);
        if (info.Flags & TFunctionInfo::kVolatile) F.FVolatile = true;
    }

    // {1,2;3,4}: constants only, rows of one length.
    int ParseArray() {
        const TToken open = *Peek();
        const int tok = Take();
        std::vector<int> items;
        int columns = 0, inRow = 0, closeBrace = -1;
        for (;;) {
            const TToken* t = Peek();
            if (t == nullptr) Fail("unclosed array constant", open.Pos);
            const int itemTok = int(NextIndex());
            int item = -1;
            if (t->Kind == TTokenKind::Number)
                item = AddNode(TNodeKind::Number, itemTok);
            else if (t->Kind == TTokenKind::String)
                item = AddNode(TNodeKind::String, itemTok);
            else if (t->Kind == TTokenKind::Boolean)
                item = AddNode(TNodeKind::Boolean, itemTok);
            else if (t->Kind == TTokenKind::Error)
                item = AddNode(TNodeKind::Error, itemTok);
            else if (t->Kind == TTokenKind::Operator && (Text(*t) == "-" || Text(*t) == "+")) {
                const char sign = F.FText[t->Pos];
                const std::size_t signPos = t->Pos;
                Take();
                const TToken* n = Peek();
                if (n == nullptr || n->Kind != TTokenKind::Number) Fail("number expected in array constant", signPos);
                const int num = AddNode(TNodeKind::Number, int(NextIndex()));
                item = AddNode(TNodeKind::Unary, itemTok, {num}, sign);
            } else {
                Fail("constant expected in array", t->Pos);
            }
            Take();
            items.push_back(item);
            ++inRow;
            const TToken* s = Peek();
            if (s == nullptr) Fail("unclosed array constant", open.Pos);
            if (s->Kind == TTokenKind::ArrayColumnSeparator) {
                Take();
                continue;
            }
            if (s->Kind == TTokenKind::ArrayRowSeparator || s->Kind == TTokenKind::CloseBrace) {
                if (columns == 0)
                    columns = inRow;
                else if (columns != inRow)
                    Fail("array constant rows of different lengths", s->Pos);
                inRow = 0;
                const bool last = s->Kind == TTokenKind::CloseBrace;
                const int taken = Take();
                if (last) {
                    closeBrace = taken;
                    break;
                }
                continue;
            }
            Fail("separator expected in array constant", s->Pos);
        }
        const int node = Closed(AddNode(TNodeKind::Array, tok, items), closeBrace);
        F.FNodes[node].ArrayColumns = columns;
        return node;
    }

    TFormula F;
    TParseOptions FOptions;
    std::size_t FPos = 0;
    int FDepth = 0;
};

std::string_view TFormula::TokenText(int token) const {
    const TToken& t = FTokens[token];
    return std::string_view(FText).substr(t.Pos, t.Len);
}

TFormula ParseFormula(std::string_view text, const TFormulaDialect& dialect) {
    return TParser(text, dialect, TParseOptions{}).Run();
}

TFormula ParseFormula(std::string_view text, const TFormulaDialect& dialect, const TParseOptions& options) {
    return TParser(text, dialect, options).Run();
}

}  // namespace tabrix::xl
