#include "platform/spreadsheet/comments.h"

#include <algorithm>
#include <charconv>
#include <set>

#include <pugixml.hpp>

#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

constexpr const char* kCommentsType = "application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml";
constexpr const char* kVmlType = "application/vnd.openxmlformats-officedocument.vmlDrawing";
constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
// A VML drawing numbers its shapes in blocks of 1024 (o:idmap); 0 is not used.
constexpr int kShapesPerBlock = 1024;

// The shape type of a note's box, written by every spreadsheet alike.
constexpr const char* kNoteShapeType =
    "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\">"
    "<v:stroke joinstyle=\"miter\"/><v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>";

TCellRect Union(const TCellRect& a, const TCellRect& b) {
    return {std::min(a.Top, b.Top), std::min(a.Left, b.Left), std::max(a.Bottom, b.Bottom), std::max(a.Right, b.Right)};
}

int ToInt(std::string_view text, int fallback) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    int v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    return ec == std::errc() ? v : fallback;
}

std::vector<int> ParseIdBlocks(std::string_view data) {
    std::vector<int> blocks;
    size_t at = 0;
    while (at <= data.size()) {
        size_t comma = data.find(',', at);
        if (comma == std::string_view::npos) comma = data.size();
        int v = ToInt(data.substr(at, comma - at), 0);
        if (v > 0) blocks.push_back(v);
        at = comma + 1;
    }
    return blocks;
}

// The highest shape id block any VML drawing of the package uses but skip.
int HighestIdBlock(const TPackage& package, std::string_view skip) {
    int highest = 0;
    for (const std::string& name : package.PartNames()) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".vml") != 0 || SamePartName(name, skip)) continue;
        const std::string xml = package.ReadPart(name);
        const size_t idmap = xml.find("idmap");
        if (idmap == std::string::npos) continue;
        const size_t data = xml.find("data=\"", idmap);
        if (data == std::string::npos) continue;
        const size_t close = xml.find('"', data + 6);
        for (int b : ParseIdBlocks(std::string_view(xml).substr(data + 6, close - data - 6)))
            highest = std::max(highest, b);
    }
    return highest;
}

pugi::xml_node ChildOrNew(pugi::xml_node parent, std::string_view localName, const char* qualified) {
    pugi::xml_node n = ChildByLocalName(parent, localName);
    return n ? n : parent.append_child(qualified);
}

void SetText(pugi::xml_node node, const std::string& text) {
    while (node.first_child()) node.remove_child(node.first_child());
    node.append_child(pugi::node_pcdata).set_value(text.c_str());
}

// To the right of the cell, four rows high: columns and rows 0-based,
// offsets in pixels.
std::string DefaultAnchor(const TNote& note) {
    const int row = note.Row - 1, column = note.Column - 1;
    return std::to_string(column + 1) + ", 15, " + std::to_string(std::max(row - 1, 0)) + ", 10, " +
           std::to_string(column + 3) + ", 15, " + std::to_string(row + 3) + ", 4";
}

// The default box, hidden until the cell is pointed at.
void AppendDefaultShape(std::string& out, const TNote& note, const std::string& id) {
    const int row = note.Row - 1, column = note.Column - 1;
    out += "<v:shape id=\"" + id +
           "\" type=\"#_x0000_t202\" style=\"position:absolute;margin-left:59.25pt;margin-top:1.5pt;"
           "width:108pt;height:59.25pt;z-index:1;visibility:hidden\" fillcolor=\"#ffffe1\" o:insetmode=\"auto\">"
           "<v:fill color2=\"#ffffe1\"/><v:shadow on=\"t\" color=\"black\" obscured=\"t\"/>"
           "<v:path o:connecttype=\"none\"/><v:textbox style=\"mso-direction-alt:auto\">"
           "<div style=\"text-align:left\"></div></v:textbox><x:ClientData ObjectType=\"Note\">"
           "<x:MoveWithCells/><x:SizeWithCells/><x:Anchor>";
    out += DefaultAnchor(note);
    out += "</x:Anchor><x:AutoFill>False</x:AutoFill><x:Row>" + std::to_string(row) + "</x:Row><x:Column>" +
           std::to_string(column) + "</x:Column></x:ClientData></v:shape>";
}

// The box read with the note, moved to the note's cell: its anchor keeps the
// same distance from the cell.
void AppendMovedShape(std::string& out, const TNote& note, const std::string& id) {
    pugi::xml_document doc;
    if (!doc.load_buffer(note.ShapeXml.data(), note.ShapeXml.size(), pugi::parse_default & ~pugi::parse_doctype)) {
        AppendDefaultShape(out, note, id);
        return;
    }
    pugi::xml_node shape = doc.document_element();
    shape.remove_attribute("o:spid");
    (shape.attribute("id") ? shape.attribute("id") : shape.append_attribute("id")).set_value(id.c_str());
    pugi::xml_node data = ChildByLocalName(shape, "ClientData");
    const int dRow = note.Row - note.ShapeRow, dCol = note.Column - note.ShapeColumn;
    pugi::xml_node anchor = ChildByLocalName(data, "Anchor");
    if (!anchor && data) {
        // Without an anchor a reader places the box by its style, where it
        // stood when read: it gets the default anchor at its new cell.
        const std::string name = std::string(NamePrefix(data.name())) + "Anchor";
        pugi::xml_node before = ChildByLocalName(data, "AutoFill");
        if (!before) before = ChildByLocalName(data, "Row");
        anchor = before ? data.insert_child_before(name.c_str(), before) : data.append_child(name.c_str());
        SetText(anchor, DefaultAnchor(note));
    } else if (anchor) {
        std::vector<int> v;
        std::string_view text = anchor.text().get();
        for (size_t at = 0; at <= text.size();) {
            size_t comma = text.find(',', at);
            if (comma == std::string_view::npos) comma = text.size();
            v.push_back(ToInt(text.substr(at, comma - at), 0));
            at = comma + 1;
        }
        if (v.size() == 8) {
            v[0] = std::max(0, v[0] + dCol);
            v[4] = std::max(0, v[4] + dCol);
            v[2] = std::max(0, v[2] + dRow);
            v[6] = std::max(0, v[6] + dRow);
            std::string moved;
            for (size_t i = 0; i < v.size(); ++i) moved += (i ? ", " : "") + std::to_string(v[i]);
            SetText(anchor, moved);
        }
    }
    SetText(ChildOrNew(data, "Row", "x:Row"), std::to_string(note.Row - 1));
    SetText(ChildOrNew(data, "Column", "x:Column"), std::to_string(note.Column - 1));
    out += NodeXml(shape);
}

bool IsNoteShape(const pugi::xml_node& shape) {
    pugi::xml_node data = ChildByLocalName(shape, "ClientData");
    return data && std::string_view(AttributeByLocalName(data, "ObjectType").value()) == "Note";
}

}  // namespace

TSheetNotes::TSheetNotes(std::string& tail, size_t minimumOffset, const TRelationships& rels,
                         std::string_view sheetPart, const TPackage& package)
    : FElement(CutTailElement(tail, minimumOffset, "legacyDrawing",
                              {"legacyDrawingHF", "drawingHF", "picture", "oleObjects", "controls", "webPublishItems",
                               "tableParts", "extLst"})) {
    if (const TRelationship* r = FindRelBySuffix(rels, "comments"); r && !r->IsExternal()) {
        FCommentsPart = ResolveTarget(sheetPart, r->Target);
        if (package.HasPart(FCommentsPart))
            ReadComments(package, FCommentsPart);
        else
            FCommentsPart.clear();
    }
    if (!FElement.RelId.empty())
        if (const TRelationship* r = rels.FindById(FElement.RelId); r && !r->IsExternal()) {
            FVmlPart = ResolveTarget(sheetPart, r->Target);
            if (package.HasPart(FVmlPart))
                ReadShapes(package, FVmlPart);
            else
                FVmlPart.clear();
        }
}

void TSheetNotes::ReadComments(const TPackage& package, const std::string& part) {
    pugi::xml_document doc;
    const std::string xml = package.ReadPart(part);
    ParseXmlDocument(doc, xml, part);
    pugi::xml_node root = doc.document_element();
    const std::string prefix(NamePrefix(root.name()));
    std::vector<std::string> authors;
    for (pugi::xml_node a : ChildByLocalName(root, "authors").children())
        if (LocalName(a.name()) == "author") authors.emplace_back(a.text().get());
    for (pugi::xml_node c : ChildByLocalName(root, "commentList").children()) {
        if (LocalName(c.name()) != "comment") continue;
        TCellRef at;
        if (!TryParseCellAddress(c.attribute("ref").value(), at)) continue;
        TNote note;
        note.Row = note.ShapeRow = at.Row;
        note.Column = note.ShapeColumn = at.Column;
        const int author = ToInt(c.attribute("authorId").value(), -1);
        if (author >= 0 && static_cast<size_t>(author) < authors.size()) note.Author = authors[author];
        note.TextXml = NodeChildrenXml(ChildByLocalName(c, "text"));
        note.TextPrefix = prefix;
        FBounds = FNotes.empty() ? TCellRect{at.Row, at.Column, at.Row, at.Column}
                                 : Union(FBounds, {at.Row, at.Column, at.Row, at.Column});
        FNotes.push_back(std::move(note));
    }
}

void TSheetNotes::ReadShapes(const TPackage& package, const std::string& part) {
    const std::string xml = package.ReadPart(part);
    pugi::xml_document doc;
    // Older writers leave HTML in VML (an unclosed <br>): such a drawing is
    // not read, and the notes get default boxes.
    if (!doc.load_buffer(xml.data(), xml.size(), pugi::parse_default & ~pugi::parse_doctype)) return;
    for (pugi::xml_node n : doc.document_element().children()) {
        if (n.type() != pugi::node_element) continue;
        std::string_view name = LocalName(n.name());
        if (name == "shapelayout") {
            FIdBlocks = ParseIdBlocks(ChildByLocalName(n, "idmap").attribute("data").value());
        } else if (name == "shapetype" && std::string_view(n.attribute("id").value()) == "_x0000_t202") {
            continue;  // written with every drawing
        } else if (name == "shape" && IsNoteShape(n)) {
            pugi::xml_node data = ChildByLocalName(n, "ClientData");
            const int row = ToInt(ChildByLocalName(data, "Row").text().get(), -1) + 1;
            const int column = ToInt(ChildByLocalName(data, "Column").text().get(), -1) + 1;
            for (TNote& note : FNotes)
                if (note.Row == row && note.Column == column && note.ShapeXml.empty()) {
                    note.ShapeXml = NodeXml(n);
                    break;
                }
        } else {
            if (name != "shapetype") ++FKeptShapes;
            FKept.push_back(NodeXml(n));
        }
    }
}

std::vector<TNote> TSheetNotes::Collect(const TCellRect& from, int dRow, int dCol) const {
    std::vector<TNote> out;
    if (FNotes.empty() || !FBounds.Intersects(from)) return out;
    for (const TNote& note : FNotes) {
        if (!from.Contains(note.Row, note.Column)) continue;
        TNote moved = note;
        moved.Row += dRow;
        moved.Column += dCol;
        out.push_back(std::move(moved));
    }
    return out;
}

void TSheetNotes::Add(const std::vector<TNote>& notes) {
    for (const TNote& note : notes) {
        const TCellRect at{note.Row, note.Column, note.Row, note.Column};
        FBounds = FNotes.empty() ? at : Union(FBounds, at);
        FNotes.push_back(note);
        FChanged = true;
    }
}

void TSheetNotes::Clear(const TCellRect& cut) {
    if (FNotes.empty() || !FBounds.Intersects(cut)) return;
    auto gone =
        std::remove_if(FNotes.begin(), FNotes.end(), [&](const TNote& n) { return cut.Contains(n.Row, n.Column); });
    if (gone == FNotes.end()) return;
    FNotes.erase(gone, FNotes.end());
    FChanged = true;
    if (FNotes.empty()) return;
    FBounds = {FNotes.front().Row, FNotes.front().Column, FNotes.front().Row, FNotes.front().Column};
    for (const TNote& n : FNotes) FBounds = Union(FBounds, {n.Row, n.Column, n.Row, n.Column});
}

std::string TSheetNotes::CommentsXml() const {
    std::vector<const TNote*> sorted;
    sorted.reserve(FNotes.size());
    for (const TNote& n : FNotes) sorted.push_back(&n);
    std::stable_sort(sorted.begin(), sorted.end(), [](const TNote* a, const TNote* b) {
        return a->Row != b->Row ? a->Row < b->Row : a->Column < b->Column;
    });
    std::vector<std::string> authors;
    std::set<std::string> prefixes;
    for (const TNote* n : sorted) {
        if (std::find(authors.begin(), authors.end(), n->Author) == authors.end()) authors.push_back(n->Author);
        if (!n->TextPrefix.empty()) prefixes.insert(n->TextPrefix);
    }
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<comments xmlns=\"";
    out += kMainNamespace;
    out += '"';
    // Text copied from a part that wrote its elements with a prefix keeps it.
    for (const std::string& p : prefixes) {
        out += " xmlns:" + p.substr(0, p.size() - 1) + "=\"";
        out += kMainNamespace;
        out += '"';
    }
    out += "><authors>";
    for (const std::string& a : authors) {
        out += "<author>";
        AppendXmlText(out, a);
        out += "</author>";
    }
    out += "</authors><commentList>";
    for (const TNote* n : sorted) {
        out += "<comment ref=\"";
        AppendCellAddress(out, n->Row, n->Column);
        out += "\" authorId=\"";
        out += std::to_string(std::find(authors.begin(), authors.end(), n->Author) - authors.begin());
        out += "\" shapeId=\"0\"><text>";
        out += n->TextXml;
        out += "</text></comment>";
    }
    out += "</commentList></comments>";
    return out;
}

std::string TSheetNotes::VmlXml(const std::vector<int>& idBlocks) const {
    std::string out =
        "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" "
        "data=\"";
    std::set<std::string> used;
    for (size_t i = 0; i < idBlocks.size(); ++i) out += (i ? "," : "") + std::to_string(idBlocks[i]);
    out += "\"/></o:shapelayout>";
    out += kNoteShapeType;
    for (const std::string& kept : FKept) {
        out += kept;
        pugi::xml_document doc;
        if (doc.load_buffer(kept.data(), kept.size())) used.insert(doc.document_element().attribute("id").value());
    }
    size_t block = 0;
    int next = 1;
    for (const TNote& note : FNotes) {
        std::string id;
        do {
            if (next == kShapesPerBlock) {
                next = 1;
                block = std::min(block + 1, idBlocks.size() - 1);
            }
            id = "_x0000_s" + std::to_string(idBlocks[block] * kShapesPerBlock + next++);
        } while (used.count(id));
        if (note.ShapeXml.empty())
            AppendDefaultShape(out, note, id);
        else
            AppendMovedShape(out, note, id);
    }
    out += "</xml>";
    return out;
}

void TSheetNotes::SaveParts(TPackage& package, TContentTypes& types, TRelationships& rels, std::string_view sheetPart) {
    if (!FChanged) return;
    // A threaded comment would name a note that moved or went.
    while (const TRelationship* r = FindRelBySuffix(rels, "threadedComment")) {
        const std::string part = ResolveTarget(sheetPart, r->Target);
        if (!r->IsExternal() && package.HasPart(part)) {
            package.RemovePart(part);
            types.RemoveOverride(part);
        }
        rels.RemoveById(std::string(r->Id));
    }
    while (const TRelationship* r = FindRelBySuffix(rels, "comments")) rels.RemoveById(std::string(r->Id));
    if (!FElement.RelId.empty()) rels.RemoveById(FElement.RelId);
    FElement.RelId.clear();
    const bool keptShapes = FKeptShapes > 0;
    if (FNotes.empty() && !FCommentsPart.empty()) {
        package.RemovePart(FCommentsPart);
        types.RemoveOverride(FCommentsPart);
        FCommentsPart.clear();
    }
    if (FNotes.empty() && !keptShapes) {
        if (!FVmlPart.empty()) {
            package.RemovePart(FVmlPart);
            types.RemoveOverride(FVmlPart);
            FVmlPart.clear();
        }
        return;
    }
    if (!FNotes.empty()) {
        if (FCommentsPart.empty()) FCommentsPart = FreePartName(package, "xl/comments", ".xml");
        package.SetPart(FCommentsPart, CommentsXml());
        types.SetOverride(FCommentsPart, kCommentsType);
        rels.Add(std::string(kRelTypeBase) + "comments", RelativeTarget(sheetPart, FCommentsPart));
    }
    if (FVmlPart.empty()) FVmlPart = FreePartName(package, "xl/drawings/vmlDrawing", ".vml");
    const size_t blocksNeeded = (FNotes.size() + FKept.size()) / (kShapesPerBlock - 1) + 1;
    if (FIdBlocks.size() < blocksNeeded) {
        int next = std::max(HighestIdBlock(package, FVmlPart),
                            FIdBlocks.empty() ? 0 : *std::max_element(FIdBlocks.begin(), FIdBlocks.end()));
        while (FIdBlocks.size() < blocksNeeded) FIdBlocks.push_back(++next);
    }
    package.SetPart(FVmlPart, VmlXml(FIdBlocks));
    if (types.ContentTypeOf(FVmlPart).empty()) types.SetDefault("vml", kVmlType);
    FElement.RelId = rels.Add(std::string(kRelTypeBase) + "vmlDrawing", RelativeTarget(sheetPart, FVmlPart));
}

void TSheetNotes::WriteElement(std::string& out, std::string_view prefix, std::string_view relPrefix) const {
    WriteKeptElement(out, FElement, FChanged, prefix, "legacyDrawing", relPrefix);
}

}  // namespace tabrix::xl
