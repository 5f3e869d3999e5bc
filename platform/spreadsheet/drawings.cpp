#include "platform/spreadsheet/drawings.h"

#include <algorithm>
#include <charconv>
#include <map>

#include <pugixml.hpp>

#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

constexpr const char* kDrawingType = "application/vnd.openxmlformats-officedocument.drawing+xml";
constexpr const char* kDrawingNamespace = "http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing";
constexpr const char* kDrawingMainNamespace = "http://schemas.openxmlformats.org/drawingml/2006/main";

int ToInt(std::string_view text) {
    int v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

// <xdr:from> and <xdr:to> hold 0-based columns and rows.
TCellRef ReadMarker(const pugi::xml_node& marker) {
    return {ToInt(ChildByLocalName(marker, "row").text().get()) + 1,
            ToInt(ChildByLocalName(marker, "col").text().get()) + 1};
}

void WriteMarker(pugi::xml_node marker, const TCellRef& cell) {
    if (!marker) return;
    if (pugi::xml_node row = ChildByLocalName(marker, "row")) row.text().set(std::to_string(cell.Row - 1).c_str());
    if (pugi::xml_node col = ChildByLocalName(marker, "col")) col.text().set(std::to_string(cell.Column - 1).c_str());
}

TCellRef Moved(const TCellRef& cell, int dRow, int dCol) {
    return {std::clamp(cell.Row + dRow, 1, kMaxRows), std::clamp(cell.Column + dCol, 1, kMaxColumns)};
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

template <class Fn>
void ForEachElement(pugi::xml_node node, Fn&& fn) {
    for (pugi::xml_node n = node; n;) {
        if (n.type() == pugi::node_element) fn(n);
        if (n.first_child()) {
            n = n.first_child();
            continue;
        }
        while (n && n != node && !n.next_sibling()) n = n.parent();
        if (!n || n == node) break;
        n = n.next_sibling();
    }
}

std::string Extension(std::string_view part) {
    const size_t dot = part.rfind('.');
    return dot == std::string_view::npos || part.find('/', dot) != std::string_view::npos
               ? std::string()
               : std::string(part.substr(dot + 1));
}

}  // namespace

TSheetDrawing::TSheetDrawing(std::string& tail, size_t minimumOffset, const TRelationships& rels,
                             std::string_view sheetPart, const TPackage& package)
    : FPackage(&package),
      FElement(CutTailElement(tail, minimumOffset, "drawing",
                              {"legacyDrawing", "legacyDrawingHF", "drawingHF", "picture", "oleObjects", "controls",
                               "webPublishItems", "tableParts", "extLst"})) {
    if (FElement.RelId.empty()) return;
    const TRelationship* r = rels.FindById(FElement.RelId);
    if (!r || r->IsExternal()) return;
    const std::string part = ResolveTarget(sheetPart, r->Target);
    if (package.HasPart(part)) Read(part);
}

void TSheetDrawing::Read(const std::string& part) {
    FPart = part;
    pugi::xml_document doc;
    const std::string xml = FPackage->ReadPart(part);
    ParseXmlDocument(doc, xml, part);
    TRelationships rels;
    const std::string relsPart = RelationshipsPartName(part);
    if (FPackage->HasPart(relsPart))
        rels = TRelationships::Parse(FPackage->ReadPart(relsPart), relsPart, FPackage->DisplayName());
    pugi::xml_node root = doc.document_element();
    FRootName = root.name();
    std::vector<std::pair<std::string, std::string>> namespaces;
    for (pugi::xml_attribute a : root.attributes()) {
        FRootAttributes.emplace_back(a.name(), a.value());
        if (std::string_view(a.name()).substr(0, 5) == "xmlns") namespaces.emplace_back(a.name(), a.value());
    }
    for (pugi::xml_node n : root.children()) {
        if (n.type() != pugi::node_element) continue;
        TDrawingObject object;
        const std::string_view name = LocalName(n.name());
        object.Anchor = name == "twoCellAnchor"    ? TDrawingObject::TAnchor::TwoCell
                        : name == "oneCellAnchor"  ? TDrawingObject::TAnchor::OneCell
                        : name == "absoluteAnchor" ? TDrawingObject::TAnchor::Absolute
                                                   : TDrawingObject::TAnchor::Other;
        if (pugi::xml_node from = ChildByLocalName(n, "from")) object.From = ReadMarker(from);
        if (pugi::xml_node to = ChildByLocalName(n, "to")) object.To = ReadMarker(to);
        bool onlyPictures = true;
        ForEachElement(n, [&](pugi::xml_node e) {
            for (pugi::xml_attribute a : e.attributes()) {
                if (NamePrefix(a.name()).empty()) continue;
                const TRelationship* target = rels.FindById(a.value());
                if (!target) continue;
                if (std::any_of(object.Refs.begin(), object.Refs.end(),
                                [&](const TDrawingRef& ref) { return ref.Id == target->Id; }))
                    continue;
                // Only pictures are carried as parts; a link to a place in the
                // workbook ("#Sheet2!A1") or any other target is kept as written.
                const bool picture = !target->IsExternal() && EndsWith(target->Type, "/image");
                TDrawingRef ref{
                    target->Id,           target->Type, picture ? ResolveTarget(part, target->Target) : target->Target,
                    target->IsExternal(), !picture,     nullptr};
                if (!ref.External && !picture && !EndsWith(ref.Type, "/hyperlink")) onlyPictures = false;
                object.Refs.push_back(std::move(ref));
            }
        });
        object.Movable = onlyPictures && (object.Anchor == TDrawingObject::TAnchor::TwoCell ||
                                          object.Anchor == TDrawingObject::TAnchor::OneCell);
        object.Xml = NodeXml(n);
        object.Namespaces = namespaces;
        NoteMovable(object);
        FObjects.push_back(std::move(object));
    }
}

std::vector<TDrawingObject> TSheetDrawing::Collect(const TCellRect& from, int dRow, int dCol,
                                                   bool forAnotherPackage) const {
    std::vector<TDrawingObject> out;
    if (FMovableRows.first == 0 || from.Top > FMovableRows.second || from.Bottom < FMovableRows.first) return out;
    for (const TDrawingObject& object : FObjects) {
        if (!object.Movable || !from.Contains(object.From.Row, object.From.Column)) continue;
        TDrawingObject moved = object;
        moved.From = Moved(object.From, dRow, dCol);
        moved.To = Moved(object.To, dRow, dCol);
        if (forAnotherPackage)
            for (TDrawingRef& ref : moved.Refs) {
                if (ref.AsWritten || ref.Content) continue;
                auto cached = std::find_if(FContents.begin(), FContents.end(),
                                           [&](const auto& c) { return c.first == ref.Target; });
                if (cached == FContents.end()) {
                    if (!FPackage->HasPart(ref.Target)) continue;
                    FContents.emplace_back(ref.Target,
                                           std::make_shared<const std::string>(FPackage->ReadPart(ref.Target)));
                    cached = FContents.end() - 1;
                }
                ref.Content = cached->second;
            }
        out.push_back(std::move(moved));
    }
    return out;
}

void TSheetDrawing::Add(const std::vector<TDrawingObject>& objects) {
    if (objects.empty()) return;
    FObjects.insert(FObjects.end(), objects.begin(), objects.end());
    for (const TDrawingObject& o : objects) NoteMovable(o);
    FChanged = true;
}

void TSheetDrawing::Clear(const TCellRect& cut) {
    // A report clears each copy's destination: below everything, mostly.
    if (FMovableRows.first == 0 || cut.Top > FMovableRows.second || cut.Bottom < FMovableRows.first) return;
    auto gone = std::remove_if(FObjects.begin(), FObjects.end(), [&](const TDrawingObject& o) {
        return o.Movable && cut.Contains(o.From.Row, o.From.Column);
    });
    if (gone == FObjects.end()) return;
    FObjects.erase(gone, FObjects.end());
    FChanged = true;
    FMovableRows = {0, 0};
    for (const TDrawingObject& o : FObjects) NoteMovable(o);
}

void TSheetDrawing::NoteMovable(const TDrawingObject& o) {
    if (!o.Movable) return;
    FMovableRows.first = FMovableRows.first == 0 ? o.From.Row : std::min(FMovableRows.first, o.From.Row);
    FMovableRows.second = std::max(FMovableRows.second, o.From.Row);
}

// A picture from another package: the part of the same name when it holds
// the same bytes (a report made from its own template), else a new one.
std::string TSheetDrawing::MediaPart(TPackage& package, TContentTypes& types, const TDrawingRef& ref) {
    for (const auto& [content, part] : FMedia)
        if (content == ref.Content.get()) return part;
    std::string part;
    if (package.HasPart(ref.Target) && package.ReadPart(ref.Target) == *ref.Content) {
        part = ref.Target;
    } else {
        const std::string ext = Extension(ref.Target);
        part = FreePartName(package, "xl/media/image", ext.empty() ? std::string() : "." + ext);
        package.SetPart(part, *ref.Content);
        if (types.ContentTypeOf(part).empty()) {
            const std::string type = MediaContentType(ext);
            if (!ext.empty())
                types.SetDefault(ext, type.empty() ? "application/octet-stream" : type);
            else
                types.SetOverride(part, "application/octet-stream");
        }
    }
    FMedia.emplace_back(ref.Content.get(), part);
    return part;
}

void TSheetDrawing::SaveParts(TPackage& package, TContentTypes& types, TRelationships& rels,
                              std::string_view sheetPart) {
    if (!FChanged) return;
    if (!FElement.RelId.empty()) rels.RemoveById(FElement.RelId);
    FElement.RelId.clear();
    if (FObjects.empty()) {
        if (!FPart.empty()) {
            package.RemovePart(FPart);
            if (package.HasPart(RelationshipsPartName(FPart))) package.RemovePart(RelationshipsPartName(FPart));
            types.RemoveOverride(FPart);
            FPart.clear();
        }
        return;
    }
    if (FPart.empty()) FPart = FreePartName(package, "xl/drawings/drawing", ".xml");
    if (FRootAttributes.empty())
        FRootAttributes = {{"xmlns:xdr", kDrawingNamespace}, {"xmlns:a", kDrawingMainNamespace}};

    // Namespaces of objects copied from other drawings join the root's.
    std::vector<std::pair<std::string, std::string>> attributes = FRootAttributes;
    for (const TDrawingObject& o : FObjects)
        for (const auto& ns : o.Namespaces)
            if (std::none_of(attributes.begin(), attributes.end(), [&](const auto& a) { return a.first == ns.first; }))
                attributes.push_back(ns);

    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<" + FRootName;
    for (const auto& [name, value] : attributes) {
        xml += ' ' + name + "=\"";
        AppendXmlAttribute(xml, value);
        xml += '"';
    }
    xml += '>';

    // One relationship per target, whatever the number of objects showing it.
    TRelationships drawingRels;
    std::map<std::string, std::string> ids;  // type, mode and target -> id
    unsigned nextShapeId = 1;
    for (const TDrawingObject& o : FObjects) {
        pugi::xml_document doc;
        if (!doc.load_buffer(o.Xml.data(), o.Xml.size(), pugi::parse_default & ~pugi::parse_doctype)) continue;
        pugi::xml_node node = doc.document_element();
        WriteMarker(ChildByLocalName(node, "from"), o.From);
        if (o.Anchor == TDrawingObject::TAnchor::TwoCell) WriteMarker(ChildByLocalName(node, "to"), o.To);
        std::vector<std::pair<std::string, std::string>> newIds;  // the object's ids -> the drawing's
        for (const TDrawingRef& ref : o.Refs) {
            std::string target = ref.AsWritten ? ref.Target
                                 : ref.Content ? RelativeTarget(FPart, MediaPart(package, types, ref))
                                               : RelativeTarget(FPart, ref.Target);
            const std::string key = ref.Type + (ref.External ? "\1E\1" : "\1I\1") + target;
            auto it = ids.find(key);
            if (it == ids.end())
                it = ids.emplace(key, drawingRels.Add(ref.Type, target, ref.External ? "External" : "")).first;
            newIds.emplace_back(ref.Id, it->second);
        }
        // Shape ids must be unique in the drawing; connectors follow their
        // shapes within the object.
        std::vector<std::pair<std::string, std::string>> shapeIds;
        ForEachElement(node, [&](pugi::xml_node e) {
            if (LocalName(e.name()) == "cNvPr") {
                pugi::xml_attribute id = e.attribute("id");
                if (!id) id = e.append_attribute("id");
                const std::string fresh = std::to_string(nextShapeId++);
                shapeIds.emplace_back(id.value(), fresh);
                id.set_value(fresh.c_str());
            }
        });
        ForEachElement(node, [&](pugi::xml_node e) {
            const std::string_view name = LocalName(e.name());
            if (name == "stCxn" || name == "endCxn")
                if (pugi::xml_attribute id = e.attribute("id"))
                    for (const auto& [was, now] : shapeIds)
                        if (was == id.value()) {
                            id.set_value(now.c_str());
                            break;
                        }
            for (pugi::xml_attribute a : e.attributes()) {
                if (NamePrefix(a.name()).empty()) continue;
                for (const auto& [was, now] : newIds)
                    if (was == a.value()) {
                        a.set_value(now.c_str());
                        break;
                    }
            }
        });
        xml += NodeXml(node);
    }
    xml += "</" + FRootName + ">";
    package.SetPart(FPart, std::move(xml));
    package.SetPart(RelationshipsPartName(FPart), drawingRels.Serialize());
    types.SetOverride(FPart, kDrawingType);
    FElement.RelId = rels.Add(std::string(kRelTypeBase) + "drawing", RelativeTarget(sheetPart, FPart));
}

void TSheetDrawing::WriteElement(std::string& out, std::string_view prefix, std::string_view relPrefix) const {
    WriteKeptElement(out, FElement, FChanged, prefix, "drawing", relPrefix);
}

}  // namespace tabrix::xl
