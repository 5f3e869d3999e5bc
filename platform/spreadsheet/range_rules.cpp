#include "platform/spreadsheet/range_rules.h"

#include <algorithm>
#include <atomic>

#include <pugixml.hpp>

#include "platform/rtl/exceptions.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_scan.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

std::atomic<uint64_t> GNextSerial{1};

// Elements the schema puts before the rules after <sheetData>.
bool PrecedesRules(std::string_view name) {
    static constexpr std::string_view kBefore[] = {
        "sheetCalcPr",     "sheetProtection",  "protectedRanges", "scenarios",  "autoFilter",           "sortState",
        "dataConsolidate", "customSheetViews", "mergeCells",      "phoneticPr", "conditionalFormatting"};
    return std::find(std::begin(kBefore), std::end(kBefore), name) != std::end(kBefore);
}

std::string AttributesBut(const pugi::xml_node& node, std::string_view skip) {
    std::string out;
    for (pugi::xml_attribute a : node.attributes()) {
        if (std::string_view(a.name()) == skip) continue;
        out += ' ';
        out += a.name();
        out += "=\"";
        AppendXmlAttribute(out, a.value());
        out += '"';
    }
    return out;
}

TCellRect BoundsOf(const std::vector<TCellRect>& ranges) {
    if (ranges.empty()) return {};
    TCellRect b = ranges.front();
    for (const TCellRect& r : ranges) {
        b.Top = std::min(b.Top, r.Top);
        b.Left = std::min(b.Left, r.Left);
        b.Bottom = std::max(b.Bottom, r.Bottom);
        b.Right = std::max(b.Right, r.Right);
    }
    return b;
}

// sqref: rectangles separated by blanks; unreadable parts are dropped.
std::vector<TCellRect> ParseSqref(std::string_view text) {
    std::vector<TCellRect> out;
    while (!text.empty()) {
        size_t blank = text.find(' ');
        std::string_view part = text.substr(0, blank);
        TCellRect r;
        if (!part.empty() && TryParseRect(part, r)) out.push_back(r);
        if (blank == std::string_view::npos) break;
        text.remove_prefix(blank + 1);
    }
    return out;
}

bool IsRuleFormula(std::string_view localName) {
    return localName == "formula" || localName == "formula1" || localName == "formula2";
}

// The body with the relative references of its formulas moved; a formula
// that cannot move (it would leave the sheet) stays as it was.
std::string ShiftBody(const std::string& body, int dRow, int dCol) {
    if (dRow == 0 && dCol == 0) return body;
    pugi::xml_document doc;
    std::string wrapped = "<r>" + body + "</r>";
    if (!doc.load_buffer(wrapped.data(), wrapped.size(), pugi::parse_default & ~pugi::parse_doctype)) return body;
    struct TWalker : pugi::xml_tree_walker {
        int DRow, DCol;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() != pugi::node_element || !IsRuleFormula(LocalName(node.name()))) return true;
            pugi::xml_node text = node.first_child();
            if (!text || text.type() != pugi::node_pcdata) return true;
            try {
                std::string moved = ShiftFormula(DecodeXmlEscapes(text.value()), DRow, DCol);
                text.set_value(moved.c_str());
            } catch (const Exception&) {}
            return true;
        }
    } walker;
    walker.DRow = dRow;
    walker.DCol = dCol;
    doc.document_element().traverse(walker);
    return NodeChildrenXml(doc.document_element());
}

// The body with the dxfId of its rules given by mapDxf.
std::string RemapDifferentials(const std::string& body, const std::function<uint32_t(uint32_t)>& mapDxf) {
    if (body.find("dxfId=") == std::string::npos) return body;
    pugi::xml_document doc;
    std::string wrapped = "<r>" + body + "</r>";
    if (!doc.load_buffer(wrapped.data(), wrapped.size(), pugi::parse_default & ~pugi::parse_doctype)) return body;
    for (pugi::xml_node rule : doc.document_element().children())
        if (pugi::xml_attribute dxf = rule.attribute("dxfId")) dxf = mapDxf(dxf.as_uint());
    return NodeChildrenXml(doc.document_element());
}

}  // namespace

TSheetRules::TSheetRules(std::string& tail, size_t minimumOffset, std::string_view prefix)
    : FPrefix(prefix), FSerial(GNextSerial++) {
    size_t closeAt = 0;
    std::vector<TSpan> spans = TopLevelElements(tail, closeAt);
    FInsertAt = closeAt;
    for (const TSpan& s : spans)
        if (!PrecedesRules(s.LocalName)) {
            FInsertAt = s.Begin;
            break;
        }
    std::vector<TSpan> cut;
    for (const TSpan& s : spans) {
        if (s.Begin < minimumOffset) continue;
        if (s.LocalName != "conditionalFormatting" && s.LocalName != "dataValidations") continue;
        pugi::xml_document doc;
        std::string_view text(tail.data() + s.Begin, s.End - s.Begin);
        if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default & ~pugi::parse_doctype)) continue;
        pugi::xml_node root = doc.document_element();
        auto add = [&](const pugi::xml_node& node, TRangeRule::TKind kind, std::string original) {
            TRangeRule rule;
            rule.Kind = kind;
            rule.Ranges = ParseSqref(node.attribute("sqref").value());
            if (rule.Ranges.empty()) return;
            rule.Bounds = BoundsOf(rule.Ranges);
            rule.Anchor = {rule.Ranges.front().Top, rule.Ranges.front().Left};
            rule.QName = node.name();
            rule.Attributes = AttributesBut(node, "sqref");
            rule.Body = NodeChildrenXml(node);
            rule.Original = std::move(original);
            FRules.push_back(std::move(rule));
        };
        if (s.LocalName == "conditionalFormatting") {
            add(root, TRangeRule::TKind::ConditionalFormat, std::string(text));
        } else {
            FValidationsAttributes = AttributesBut(root, "count");
            for (pugi::xml_node v : root.children())
                if (LocalName(v.name()) == "dataValidation") add(v, TRangeRule::TKind::Validation, NodeXml(v));
        }
        cut.push_back(s);
    }
    if (cut.empty()) {
        FInsertAt = std::max(FInsertAt, minimumOffset);
        return;
    }
    // The rules stand together in the schema: they go back at the first one's place.
    for (auto it = cut.rbegin(); it != cut.rend(); ++it) tail.erase(it->Begin, it->End - it->Begin);
    FInsertAt = cut.front().Begin;
}

bool TSheetRules::Empty() const {
    return std::all_of(FRules.begin(), FRules.end(), [](const TRangeRule& r) { return r.Ranges.empty(); });
}

std::vector<TRuleCopy> TSheetRules::Collect(const TCellRect& from, int dRow, int dCol) const {
    std::vector<TRuleCopy> out;
    for (size_t i = 0; i < FRules.size(); ++i) {
        const TRangeRule& rule = FRules[i];
        if (rule.Ranges.empty() || !rule.Bounds.Intersects(from)) continue;
        TRuleCopy copy{i, dRow, dCol, {}};
        for (const TCellRect& r : rule.Ranges) {
            if (!r.Intersects(from)) continue;
            copy.Ranges.push_back(Shifted(Intersection(r, from), dRow, dCol));
        }
        if (!copy.Ranges.empty()) out.push_back(std::move(copy));
    }
    return out;
}

void TSheetRules::Apply(const TSheetRules& source, const std::vector<TRuleCopy>& copies,
                        const std::function<uint32_t(uint32_t)>& mapDxf) {
    for (const TRuleCopy& copy : copies) {
        size_t target = copy.Rule;
        if (&source != this) {
            auto& made = FOrigins[source.FSerial];
            auto it = made.find(copy.Rule);
            if (it == made.end()) {
                TRangeRule rule = source.FRules[copy.Rule];
                rule.Ranges.clear();
                // Its formulas move with the cells, as cell formulas do.
                rule.Anchor = {rule.Anchor.Row + copy.DRow, rule.Anchor.Column + copy.DCol};
                rule.Body = ShiftBody(rule.Body, copy.DRow, copy.DCol);
                if (mapDxf && rule.Kind == TRangeRule::TKind::ConditionalFormat)
                    rule.Body = RemapDifferentials(rule.Body, mapDxf);
                Changed(rule);
                // Rules of a kind stay together, in the source's order after this sheet's own.
                auto at = FRules.end();
                if (rule.Kind == TRangeRule::TKind::ConditionalFormat)
                    at = std::find_if(FRules.begin(), FRules.end(),
                                      [](const TRangeRule& r) { return r.Kind == TRangeRule::TKind::Validation; });
                size_t index = static_cast<size_t>(at - FRules.begin());
                if (at != FRules.end()) {
                    // Indexes at and after the insertion move by one.
                    for (auto& [serial, map] : FOrigins)
                        for (auto& [from, to] : map)
                            if (to >= index) ++to;
                }
                FRules.insert(at, std::move(rule));
                it = made.emplace(copy.Rule, index).first;
            }
            target = it->second;
        }
        TRangeRule& rule = FRules[target];
        for (const TCellRect& r : copy.Ranges) AddRange(rule, r);
    }
}

void TSheetRules::AddRange(TRangeRule& rule, const TCellRect& r) {
    if (rule.Ranges.empty()) {
        rule.Ranges.push_back(r);
        rule.Bounds = r;
        Changed(rule);
        return;
    }
    // Copies come mostly one below the other: the last range takes them in.
    TCellRect& last = rule.Ranges.back();
    if (last.Contains(r)) return;
    if (last.Left == r.Left && last.Right == r.Right && r.Top <= last.Bottom + 1 && r.Bottom + 1 >= last.Top) {
        last.Top = std::min(last.Top, r.Top);
        last.Bottom = std::max(last.Bottom, r.Bottom);
    } else if (last.Top == r.Top && last.Bottom == r.Bottom && r.Left <= last.Right + 1 && r.Right + 1 >= last.Left) {
        last.Left = std::min(last.Left, r.Left);
        last.Right = std::max(last.Right, r.Right);
    } else {
        rule.Ranges.push_back(r);
    }
    const TCellRect& n = rule.Ranges.back();
    rule.Bounds = {std::min(rule.Bounds.Top, n.Top), std::min(rule.Bounds.Left, n.Left),
                   std::max(rule.Bounds.Bottom, n.Bottom), std::max(rule.Bounds.Right, n.Right)};
    Changed(rule);
}

void TSheetRules::Changed(TRangeRule& rule) { rule.Original.clear(); }

void TSheetRules::Clear(const TCellRect& cut) {
    for (TRangeRule& rule : FRules) {
        if (rule.Ranges.empty() || !rule.Bounds.Intersects(cut)) continue;
        std::vector<TCellRect> kept;
        kept.reserve(rule.Ranges.size() + 3);
        bool changed = false;
        for (const TCellRect& r : rule.Ranges) {
            if (!r.Intersects(cut)) {
                kept.push_back(r);
                continue;
            }
            changed = true;
            AppendRectMinus(r, cut, kept);
        }
        if (!changed) continue;
        rule.Ranges = std::move(kept);
        rule.Bounds = BoundsOf(rule.Ranges);
        Changed(rule);
    }
}

void TSheetRules::Write(std::string& out) const {
    auto element = [&](const TRangeRule& rule) {
        if (!rule.Original.empty()) {
            out += rule.Original;
            return;
        }
        const TCellRect& first = rule.Ranges.front();
        out += '<';
        out += rule.QName;
        out += rule.Attributes;
        out += " sqref=\"";
        for (size_t i = 0; i < rule.Ranges.size(); ++i) {
            if (i) out += ' ';
            out += RectAddress(rule.Ranges[i]);
        }
        out += '"';
        std::string body = ShiftBody(rule.Body, first.Top - rule.Anchor.Row, first.Left - rule.Anchor.Column);
        if (body.empty()) {
            out += "/>";
            return;
        }
        out += '>';
        out += body;
        out += "</";
        out += rule.QName;
        out += '>';
    };
    size_t validations = 0;
    for (const TRangeRule& rule : FRules) {
        if (rule.Ranges.empty()) continue;
        if (rule.Kind == TRangeRule::TKind::Validation)
            ++validations;
        else
            element(rule);
    }
    if (!validations) return;
    out += '<';
    out += FPrefix;
    out += "dataValidations count=\"";
    out += std::to_string(validations);
    out += '"';
    out += FValidationsAttributes;
    out += '>';
    for (const TRangeRule& rule : FRules)
        if (!rule.Ranges.empty() && rule.Kind == TRangeRule::TKind::Validation) element(rule);
    out += "</";
    out += FPrefix;
    out += "dataValidations>";
}

}  // namespace tabrix::xl
