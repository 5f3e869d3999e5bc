#include "platform/spreadsheet/range_rules.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

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

// xm:f holds the formulas of the x14 forms.
bool IsRuleFormula(std::string_view localName) {
    return localName == "formula" || localName == "formula1" || localName == "formula2" || localName == "f";
}

bool IsConditionalFormat(TRangeRule::TKind kind) {
    return kind == TRangeRule::TKind::ConditionalFormat || kind == TRangeRule::TKind::X14ConditionalFormat;
}

bool IsX14(TRangeRule::TKind kind) {
    return kind == TRangeRule::TKind::X14ConditionalFormat || kind == TRangeRule::TKind::X14Validation;
}

constexpr std::string_view kX14Namespace = "http://schemas.microsoft.com/office/spreadsheetml/2009/9/main";
constexpr std::string_view kExcelNamespace = "http://schemas.microsoft.com/office/excel/2006/main";

// The ids that link a data bar to its x14 twin: x14:id in the main rule,
// the id attribute of x14:cfRule. fn gives each its new value; the body is
// rewritten only when one changes.
std::string MapIds(const std::string& body, const std::function<std::string(const std::string&)>& fn) {
    if (body.find(":id>") == std::string::npos && body.find(" id=\"") == std::string::npos) return body;
    pugi::xml_document doc;
    std::string wrapped = "<r>" + body + "</r>";
    if (!doc.load_buffer(wrapped.data(), wrapped.size(), pugi::parse_default & ~pugi::parse_doctype)) return body;
    struct TWalker : pugi::xml_tree_walker {
        const std::function<std::string(const std::string&)>* Fn = nullptr;
        bool Changed = false;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() != pugi::node_element) return true;
            std::string_view name = LocalName(node.name());
            if (name == "cfRule") {
                if (pugi::xml_attribute id = node.attribute("id")) {
                    std::string given = (*Fn)(id.value());
                    if (given != id.value()) {
                        id.set_value(given.c_str());
                        Changed = true;
                    }
                }
            } else if (name == "id") {
                pugi::xml_node text = node.first_child();
                if (text && text.type() == pugi::node_pcdata) {
                    std::string given = (*Fn)(text.value());
                    if (given != text.value()) {
                        text.set_value(given.c_str());
                        Changed = true;
                    }
                }
            }
            return true;
        }
    } walker;
    walker.Fn = &fn;
    doc.document_element().traverse(walker);
    return walker.Changed ? NodeChildrenXml(doc.document_element()) : body;
}

// Adds xmlns:prefix="uri" to attributes unless the prefix is declared there.
void Declare(std::string& attributes, std::string_view prefixWithColon, std::string_view uri) {
    if (prefixWithColon.size() < 2) return;
    std::string declaration = " xmlns:" + std::string(prefixWithColon.substr(0, prefixWithColon.size() - 1)) + "=\"";
    if (attributes.find(declaration) != std::string::npos) return;
    attributes += declaration;
    attributes += uri;
    attributes += '"';
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

TSheetRules::TSheetRules(std::string& tail, size_t minimumOffset, std::string_view prefix, std::string_view head)
    : FPrefix(prefix), FSerial(GNextSerial++) {
    if (std::string_view tag = RootStartTag(head); !tag.empty()) {
        std::string element(tag);
        element += element.back() == '/' ? ">" : "/>";
        pugi::xml_document root;
        if (root.load_buffer(element.data(), element.size(), pugi::parse_default & ~pugi::parse_doctype))
            for (pugi::xml_attribute a : root.document_element().attributes()) {
                std::string_view name = a.name();
                if (name.substr(0, 6) == "xmlns:") {
                    FRootNamespaces.emplace(name.substr(6), a.value());
                } else if (LocalName(name) == "Ignorable" && !NamePrefix(name).empty()) {
                    std::string_view list = a.value();
                    while (!list.empty()) {
                        size_t blank = list.find(' ');
                        if (blank != 0) FIgnorable.emplace(list.substr(0, blank));
                        if (blank == std::string_view::npos) break;
                        list.remove_prefix(blank + 1);
                    }
                }
            }
    }
    size_t closeAt = 0;
    std::vector<TSpan> spans = TopLevelElements(tail, closeAt);
    FInsertAt = closeAt;
    for (const TSpan& s : spans)
        if (!PrecedesRules(s.LocalName)) {
            FInsertAt = s.Begin;
            break;
        }
    // The extension list stands last: cut before the rules, its offsets stay right.
    for (auto it = spans.rbegin(); it != spans.rend(); ++it)
        if (it->LocalName == "extLst" && it->Begin >= minimumOffset) {
            CutExtensions(tail, *it);
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
            MapIds(rule.Body, [&](const std::string& id) {
                FIds.insert(id);
                return id;
            });
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

void TSheetRules::CutExtensions(std::string& tail, const TSpan& extList) {
    std::string_view text(tail.data() + extList.Begin, extList.End - extList.Begin);
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default & ~pugi::parse_doctype)) return;
    pugi::xml_node root = doc.document_element();
    auto listOf = [](const pugi::xml_node& ext) {
        for (pugi::xml_node c : ext.children())
            if (c.type() == pugi::node_element) return c;
        return pugi::xml_node();
    };
    auto kindOf = [](const pugi::xml_node& list, TRangeRule::TKind& kind) {
        std::string_view name = list ? LocalName(list.name()) : std::string_view();
        if (name == "conditionalFormattings")
            kind = TRangeRule::TKind::X14ConditionalFormat;
        else if (name == "dataValidations")
            kind = TRangeRule::TKind::X14Validation;
        else
            return false;
        return true;
    };
    // Cut even without x14 rules: copies may bring some, and the sheet
    // holds one list. Unchanged, it is written back as read.
    TRangeRule::TKind kind{};
    FExtListQName = root.name();
    FExtListAttributes = AttributesBut(root, "");
    FExtListOriginal = std::string(text);
    for (pugi::xml_node ext : root.children()) {
        if (ext.type() != pugi::node_element) continue;
        TExtension e;
        pugi::xml_node list = listOf(ext);
        if (!kindOf(list, kind)) {
            e.Raw = NodeXml(ext);
            FExtensions.push_back(std::move(e));
            continue;
        }
        e.Kind = kind;
        e.ExtQName = ext.name();
        e.ExtAttributes = AttributesBut(ext, "");
        e.ListQName = list.name();
        e.ListAttributes = AttributesBut(list, "count");
        std::string_view element =
            kind == TRangeRule::TKind::X14ConditionalFormat ? "conditionalFormatting" : "dataValidation";
        for (pugi::xml_node node : list.children()) {
            if (node.type() != pugi::node_element || LocalName(node.name()) != element) continue;
            pugi::xml_node sqref = ChildByLocalName(node, "sqref");
            TRangeRule rule;
            rule.Kind = kind;
            rule.Ranges = ParseSqref(sqref.text().get());
            if (rule.Ranges.empty()) continue;
            rule.Bounds = BoundsOf(rule.Ranges);
            rule.Anchor = {rule.Ranges.front().Top, rule.Ranges.front().Left};
            rule.QName = node.name();
            rule.SqrefQName = sqref.name();
            rule.Attributes = AttributesBut(node, "");
            for (pugi::xml_node child : node.children())
                if (child != sqref) rule.Body += NodeXml(child);
            rule.Original = NodeXml(node);
            MapIds(rule.Body, [&](const std::string& id) {
                FIds.insert(id);
                return id;
            });
            FRules.push_back(std::move(rule));
            ++FX14RulesRead;
        }
        FExtensions.push_back(std::move(e));
    }
    tail.erase(extList.Begin, extList.End - extList.Begin);
}

void TSheetRules::EnsureWrapper(const TSheetRules& source, TRangeRule::TKind kind) {
    auto isWrapper = [kind](const TExtension& e) { return e.Raw.empty() && e.Kind == kind; };
    if (std::any_of(FExtensions.begin(), FExtensions.end(), isWrapper)) return;
    auto from = std::find_if(source.FExtensions.begin(), source.FExtensions.end(), isWrapper);
    if (from == source.FExtensions.end()) return;  // the source read its rules from a wrapper
    TExtension e = *from;
    // The source may have declared the prefixes further out.
    e.ExtQName = FPrefix + "ext";
    Declare(e.ExtAttributes, NamePrefix(e.ListQName), kX14Namespace);
    if (kind == TRangeRule::TKind::X14Validation) Declare(e.ListAttributes, "xm:", kExcelNamespace);
    // The schema's order: conditional formats first, validations second,
    // then the other extensions.
    auto at = FExtensions.begin();
    if (kind == TRangeRule::TKind::X14Validation) {
        auto formats = std::find_if(FExtensions.begin(), FExtensions.end(), [](const TExtension& x) {
            return x.Raw.empty() && x.Kind == TRangeRule::TKind::X14ConditionalFormat;
        });
        if (formats != FExtensions.end()) at = formats + 1;
    }
    FExtensions.insert(at, std::move(e));
}

std::string TSheetRules::RenewIds(const std::string& body, uint64_t sourceSerial) {
    return MapIds(body, [&](const std::string& id) {
        std::string key = std::to_string(sourceSerial) + ' ' + id;
        auto it = FIdMap.find(key);
        if (it != FIdMap.end()) return it->second;
        std::string given = id;
        while (FIds.count(given)) {
            char text[40];
            std::snprintf(text, sizeof text, "{7A8B0000-0000-4000-8000-%012llX}",
                          static_cast<unsigned long long>(FNextId++));
            given = text;
        }
        FIds.insert(given);
        FIdMap.emplace(std::move(key), given);
        return given;
    });
}

void TSheetRules::MakePortable(TRangeRule& rule, const TSheetRules& source) const {
    if (source.FRootNamespaces.empty()) return;
    std::string xml = "<" + rule.QName + rule.Attributes + ">" + rule.Body + "</" + rule.QName + ">";
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default & ~pugi::parse_doctype)) return;
    pugi::xml_node top = doc.document_element();
    std::vector<std::string> declare;
    // Declared inside the rule, or alike at this sheet's root.
    auto inScope = [&](pugi::xml_node node, const std::string& prefix) {
        const std::string attribute = "xmlns:" + prefix;
        for (; node && node.type() == pugi::node_element; node = node.parent())
            if (node.attribute(attribute.c_str())) return true;
        auto here = FRootNamespaces.find(prefix);
        auto there = source.FRootNamespaces.find(prefix);
        return here != FRootNamespaces.end() && there != source.FRootNamespaces.end() && here->second == there->second;
    };
    auto need = [&](pugi::xml_node node, std::string_view qname) {
        std::string prefix(NamePrefix(qname));
        if (prefix.empty()) return false;
        prefix.pop_back();
        if (prefix == "xml" || prefix == "xmlns" || inScope(node, prefix)) return false;
        if (source.FIgnorable.count(prefix)) return true;  // to be dropped
        if (source.FRootNamespaces.count(prefix) && std::find(declare.begin(), declare.end(), prefix) == declare.end())
            declare.push_back(prefix);
        return false;
    };
    struct TCollect : pugi::xml_tree_walker {
        std::vector<pugi::xml_node> Elements;
        bool for_each(pugi::xml_node& node) override {
            if (node.type() == pugi::node_element) Elements.push_back(node);
            return true;
        }
    } collect;
    collect.Elements.push_back(top);
    top.traverse(collect);
    const std::vector<pugi::xml_node>& elements = collect.Elements;
    for (pugi::xml_node e : elements) {
        need(e, e.name());
        std::vector<pugi::xml_attribute> dropped;
        for (pugi::xml_attribute a : e.attributes())
            if (need(e, a.name())) dropped.push_back(a);
        for (pugi::xml_attribute a : dropped) e.remove_attribute(a);
    }
    for (const std::string& prefix : declare)
        top.append_attribute(("xmlns:" + prefix).c_str()) = source.FRootNamespaces.at(prefix).c_str();
    rule.Attributes = AttributesBut(top, "");
    rule.Body = NodeChildrenXml(top);
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
                MakePortable(rule, source);
                if (IsX14(rule.Kind)) EnsureWrapper(source, rule.Kind);
                // An x14 format may have had xm declared further out.
                if (rule.Kind == TRangeRule::TKind::X14ConditionalFormat)
                    Declare(rule.Attributes, NamePrefix(rule.SqrefQName), kExcelNamespace);
                // A data bar and its twin get the same id, unique here.
                if (IsConditionalFormat(rule.Kind)) rule.Body = RenewIds(rule.Body, source.FSerial);
                Changed(rule);
                // Written by kind, so the source's order follows this sheet's own.
                FRules.push_back(std::move(rule));
                it = made.emplace(copy.Rule, FRules.size() - 1).first;
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

void TSheetRules::WriteRule(std::string& out, const TRangeRule& rule) {
    if (!rule.Original.empty()) {
        out += rule.Original;
        return;
    }
    const TCellRect& first = rule.Ranges.front();
    auto ranges = [&] {
        for (size_t i = 0; i < rule.Ranges.size(); ++i) {
            if (i) out += ' ';
            out += RectAddress(rule.Ranges[i]);
        }
    };
    out += '<';
    out += rule.QName;
    out += rule.Attributes;
    const bool x14 = IsX14(rule.Kind);
    if (!x14) {
        out += " sqref=\"";
        ranges();
        out += '"';
    }
    std::string body = ShiftBody(rule.Body, first.Top - rule.Anchor.Row, first.Left - rule.Anchor.Column);
    if (body.empty() && !x14) {
        out += "/>";
        return;
    }
    out += '>';
    out += body;
    if (x14) {
        out += '<';
        out += rule.SqrefQName;
        out += '>';
        ranges();
        out += "</";
        out += rule.SqrefQName;
        out += '>';
    }
    out += "</";
    out += rule.QName;
    out += '>';
}

void TSheetRules::Write(std::string& out) const {
    size_t validations = 0;
    for (const TRangeRule& rule : FRules) {
        if (rule.Ranges.empty()) continue;
        if (rule.Kind == TRangeRule::TKind::Validation)
            ++validations;
        else if (rule.Kind == TRangeRule::TKind::ConditionalFormat)
            WriteRule(out, rule);
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
        if (!rule.Ranges.empty() && rule.Kind == TRangeRule::TKind::Validation) WriteRule(out, rule);
    out += "</";
    out += FPrefix;
    out += "dataValidations>";
}

void TSheetRules::WriteExtensions(std::string& out) const {
    if (FExtensions.empty()) return;
    size_t x14 = 0;
    bool changed = false;
    for (const TRangeRule& rule : FRules)
        if (IsX14(rule.Kind)) {
            ++x14;
            if (rule.Original.empty()) changed = true;
        }
    if (!changed && x14 == FX14RulesRead && !FExtListOriginal.empty()) {
        out += FExtListOriginal;
        return;
    }
    std::string body;
    for (const TExtension& e : FExtensions) {
        if (!e.Raw.empty()) {
            body += e.Raw;
            continue;
        }
        size_t live = 0;
        for (const TRangeRule& rule : FRules)
            if (rule.Kind == e.Kind && !rule.Ranges.empty()) ++live;
        if (!live) continue;
        body += '<';
        body += e.ExtQName;
        body += e.ExtAttributes;
        body += "><";
        body += e.ListQName;
        if (e.Kind == TRangeRule::TKind::X14Validation) {
            body += " count=\"";
            body += std::to_string(live);
            body += '"';
        }
        body += e.ListAttributes;
        body += '>';
        for (const TRangeRule& rule : FRules)
            if (rule.Kind == e.Kind && !rule.Ranges.empty()) WriteRule(body, rule);
        body += "</";
        body += e.ListQName;
        body += "></";
        body += e.ExtQName;
        body += '>';
    }
    if (body.empty()) return;
    const std::string qname = FExtListQName.empty() ? FPrefix + "extLst" : FExtListQName;
    out += '<';
    out += qname;
    out += FExtListAttributes;
    out += '>';
    out += body;
    out += "</";
    out += qname;
    out += '>';
}

}  // namespace tabrix::xl
