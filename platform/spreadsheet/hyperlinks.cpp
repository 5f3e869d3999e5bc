#include "platform/spreadsheet/hyperlinks.h"

#include <algorithm>
#include <unordered_map>

#include <pugixml.hpp>

#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_scan.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

const char* const kHyperlinkRelationship =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";

namespace {

constexpr const char* kRelationshipsNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// Elements the schema puts before <hyperlinks> after <sheetData>.
bool PrecedesLinks(std::string_view name) {
    static constexpr std::string_view kBefore[] = {
        "sheetCalcPr", "sheetProtection", "protectedRanges",       "scenarios",
        "autoFilter",  "sortState",       "dataConsolidate",       "customSheetViews",
        "mergeCells",  "phoneticPr",      "conditionalFormatting", "dataValidations"};
    return std::find(std::begin(kBefore), std::end(kBefore), name) != std::end(kBefore);
}

TCellRect Union(const TCellRect& a, const TCellRect& b) {
    return {std::min(a.Top, b.Top), std::min(a.Left, b.Left), std::max(a.Bottom, b.Bottom), std::max(a.Right, b.Right)};
}

THyperlink ReadLink(const pugi::xml_node& node, const TRelationships& rels, bool& ok) {
    THyperlink link;
    ok = TryParseRect(node.attribute("ref").value(), link.Ref);
    for (pugi::xml_attribute a : node.attributes()) {
        std::string_view name = a.name();
        if (name == "ref") continue;
        if (!NamePrefix(name).empty()) {
            // r:id names the target; other prefixed attributes (revision ids)
            // would need their namespace on another sheet's root.
            if (LocalName(name) == "id")
                if (const TRelationship* r = rels.FindById(a.value())) link.Target = r->Target;
            continue;
        }
        link.Attributes += ' ';
        link.Attributes += name;
        link.Attributes += "=\"";
        AppendXmlAttribute(link.Attributes, a.value());
        link.Attributes += '"';
    }
    return link;
}

}  // namespace

TSheetLinks::TSheetLinks(std::string& tail, size_t minimumOffset, std::string_view prefix, const TRelationships& rels)
    : FPrefix(prefix) {
    size_t closeAt = 0;
    std::vector<TSpan> spans = TopLevelElements(tail, closeAt);
    FInsertAt = closeAt;
    for (const TSpan& s : spans)
        if (s.Begin >= minimumOffset && !PrecedesLinks(s.LocalName)) {
            FInsertAt = s.Begin;
            break;
        }
    FInsertAt = std::max(FInsertAt, minimumOffset);
    auto found = std::find_if(spans.begin(), spans.end(),
                              [&](const TSpan& s) { return s.Begin >= minimumOffset && s.LocalName == "hyperlinks"; });
    if (found == spans.end()) return;
    std::string_view text(tail.data() + found->Begin, found->End - found->Begin);
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default & ~pugi::parse_doctype)) return;
    for (pugi::xml_node node : doc.document_element().children()) {
        if (LocalName(node.name()) != "hyperlink") continue;
        bool ok = false;
        THyperlink link = ReadLink(node, rels, ok);
        if (!ok) continue;
        FBounds = FLinks.empty() ? link.Ref : Union(FBounds, link.Ref);
        FLinks.push_back(std::move(link));
    }
    FOriginal = std::string(text);
    FInsertAt = found->Begin;
    tail.erase(found->Begin, found->End - found->Begin);
}

std::string RelationshipsPrefix(std::string_view xml) {
    std::string_view tag = RootStartTag(xml);
    const std::string value = std::string("=\"") + kRelationshipsNamespace + "\"";
    for (size_t v = tag.find(value); v != std::string_view::npos; v = tag.find(value, v + 1)) {
        size_t nameStart = tag.rfind(' ', v);
        if (nameStart == std::string_view::npos) continue;
        std::string_view name = tag.substr(nameStart + 1, v - nameStart - 1);
        if (name.substr(0, 6) == "xmlns:") return std::string(name.substr(6)) + ":";
    }
    return {};
}

std::vector<THyperlink> TSheetLinks::Collect(const TCellRect& from, int dRow, int dCol) const {
    std::vector<THyperlink> out;
    if (FLinks.empty() || !FBounds.Intersects(from)) return out;
    for (const THyperlink& link : FLinks) {
        if (!link.Ref.Intersects(from)) continue;
        THyperlink moved = link;
        moved.Ref = Shifted(Intersection(link.Ref, from), dRow, dCol);
        out.push_back(std::move(moved));
    }
    return out;
}

void TSheetLinks::Add(const std::vector<THyperlink>& links) {
    for (const THyperlink& link : links) {
        FBounds = FLinks.empty() ? link.Ref : Union(FBounds, link.Ref);
        FLinks.push_back(link);
        FChanged = true;
    }
}

void TSheetLinks::Clear(const TCellRect& cut) {
    if (FLinks.empty() || !FBounds.Intersects(cut)) return;
    std::vector<THyperlink> kept;
    kept.reserve(FLinks.size());
    std::vector<TCellRect> pieces;
    for (THyperlink& link : FLinks) {
        if (!link.Ref.Intersects(cut)) {
            kept.push_back(std::move(link));
            continue;
        }
        pieces.clear();
        AppendRectMinus(link.Ref, cut, pieces);
        for (const TCellRect& piece : pieces) {
            kept.push_back(link);
            kept.back().Ref = piece;
        }
    }
    FLinks = std::move(kept);
    FChanged = true;
    if (FLinks.empty()) return;
    FBounds = FLinks.front().Ref;
    for (const THyperlink& link : FLinks) FBounds = Union(FBounds, link.Ref);
}

void TSheetLinks::Write(std::string& out, TRelationships& rels, std::string_view relPrefix) const {
    if (!FChanged) {
        out += FOriginal;
        return;
    }
    rels.RemoveByType(kHyperlinkRelationship);
    if (FLinks.empty()) return;
    std::string r = relPrefix.empty() ? std::string("r:") : std::string(relPrefix);
    out += '<';
    out += FPrefix;
    out += "hyperlinks";
    if (relPrefix.empty()) {
        out += " xmlns:r=\"";
        out += kRelationshipsNamespace;
        out += '"';
    }
    out += '>';
    // One relationship per target: a report with a link in every row does
    // not grow its relationships part by the row.
    std::unordered_map<std::string, std::string> ids;
    for (const THyperlink& link : FLinks) {
        out += '<';
        out += FPrefix;
        out += "hyperlink ref=\"";
        out += RectAddress(link.Ref);
        out += '"';
        if (!link.Target.empty()) {
            auto it = ids.find(link.Target);
            if (it == ids.end())
                it = ids.emplace(link.Target, rels.Add(kHyperlinkRelationship, link.Target, "External")).first;
            out += ' ';
            out += r;
            out += "id=\"";
            out += it->second;
            out += '"';
        }
        out += link.Attributes;
        out += "/>";
    }
    out += "</";
    out += FPrefix;
    out += "hyperlinks>";
}

}  // namespace tabrix::xl
