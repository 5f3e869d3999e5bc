#include "platform/spreadsheet/package/opc.h"

#include <pugixml.hpp>

#include <algorithm>

#include "platform/spreadsheet/package/package.h"

namespace tabrix::xl {

namespace {

bool SameAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view StripSlash(std::string_view name) {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    return name;
}

// Local name of an element, whatever prefix the writer chose.
std::string_view LocalName(const pugi::xml_node& node) {
    std::string_view n = node.name();
    const auto colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

pugi::xml_node ParseRoot(pugi::xml_document& doc, std::string_view xml, std::string_view partName,
                         std::string_view fileName, std::string_view rootName) {
    const std::string where = "Cannot read part \"" + std::string(partName) + "\"" +
                              (fileName.empty() ? std::string() : " of \"" + std::string(fileName) + "\"");
    const pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size(), pugi::parse_default);
    if (!r)
        throw EPackageError(where + ": malformed XML at byte " + std::to_string(r.offset) + " (" + r.description() +
                            ")");
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) {
            if (LocalName(n) != rootName) break;
            return n;
        }
    throw EPackageError(where + ": its root element is not <" + std::string(rootName) + ">");
}

// &, <, > and " escaped; characters XML 1.0 cannot hold (controls other
// than tab, newline, carriage return) dropped: relationship targets and
// content types never need them.
void AppendXmlEscaped(std::string& out, std::string_view text) {
    std::size_t clean = 0;  // start of the run not yet copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char* rep = nullptr;
        switch (c) {
            case '&':
                rep = "&amp;";
                break;
            case '<':
                rep = "&lt;";
                break;
            case '>':
                rep = "&gt;";
                break;
            case '"':
                rep = "&quot;";
                break;
            default:
                if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r') continue;
                rep = "";
        }
        out.append(text.data() + clean, i - clean);
        out.append(rep);
        clean = i + 1;
    }
    out.append(text.data() + clean, text.size() - clean);
}

void Attr(std::string& out, const char* name, std::string_view value) {
    out += ' ';
    out += name;
    out += "=\"";
    AppendXmlEscaped(out, value);
    out += '"';
}

}  // namespace

bool SamePartName(std::string_view a, std::string_view b) { return SameAscii(StripSlash(a), StripSlash(b)); }

// ------------------------------------------------------------- content types

TContentTypes TContentTypes::Parse(std::string_view xml, std::string_view partName, std::string_view fileName) {
    pugi::xml_document doc;
    const pugi::xml_node root = ParseRoot(doc, xml, partName, fileName, "Types");
    TContentTypes t;
    for (pugi::xml_node n : root.children()) {
        if (n.type() != pugi::node_element) continue;
        if (LocalName(n) == "Default") {
            t.FDefaults.push_back({n.attribute("Extension").value(), n.attribute("ContentType").value()});
        } else if (LocalName(n) == "Override") {
            t.FOverrides.push_back(
                {std::string(StripSlash(n.attribute("PartName").value())), n.attribute("ContentType").value()});
        }
    }
    return t;
}

std::string TContentTypes::ContentTypeOf(std::string_view partName) const {
    std::string o = Override(partName);
    if (!o.empty()) return o;
    const std::string_view name = StripSlash(partName);
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return Default(name.substr(dot + 1));
}

std::string TContentTypes::Default(std::string_view extension) const {
    for (const TDefault& d : FDefaults)
        if (SameAscii(d.Extension, extension)) return d.ContentType;
    return {};
}

void TContentTypes::SetDefault(std::string_view extension, std::string_view contentType) {
    for (TDefault& d : FDefaults)
        if (SameAscii(d.Extension, extension)) {
            d.ContentType = std::string(contentType);
            return;
        }
    FDefaults.push_back({std::string(extension), std::string(contentType)});
}

void TContentTypes::RemoveDefault(std::string_view extension) {
    std::erase_if(FDefaults, [&](const TDefault& d) { return SameAscii(d.Extension, extension); });
}

std::string TContentTypes::Override(std::string_view partName) const {
    for (const TOverride& o : FOverrides)
        if (SamePartName(o.PartName, partName)) return o.ContentType;
    return {};
}

void TContentTypes::SetOverride(std::string_view partName, std::string_view contentType) {
    for (TOverride& o : FOverrides)
        if (SamePartName(o.PartName, partName)) {
            o.ContentType = std::string(contentType);
            return;
        }
    FOverrides.push_back({std::string(StripSlash(partName)), std::string(contentType)});
}

void TContentTypes::RemoveOverride(std::string_view partName) {
    std::erase_if(FOverrides, [&](const TOverride& o) { return SamePartName(o.PartName, partName); });
}

std::string TContentTypes::Serialize() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
    for (const TDefault& d : FDefaults) {
        out += "<Default";
        Attr(out, "Extension", d.Extension);
        Attr(out, "ContentType", d.ContentType);
        out += "/>";
    }
    for (const TOverride& o : FOverrides) {
        out += "<Override";
        Attr(out, "PartName", "/" + o.PartName);
        Attr(out, "ContentType", o.ContentType);
        out += "/>";
    }
    out += "</Types>";
    return out;
}

// ------------------------------------------------------------- relationships

TRelationships TRelationships::Parse(std::string_view xml, std::string_view partName, std::string_view fileName) {
    pugi::xml_document doc;
    const pugi::xml_node root = ParseRoot(doc, xml, partName, fileName, "Relationships");
    TRelationships rels;
    for (pugi::xml_node n : root.children()) {
        if (n.type() != pugi::node_element || LocalName(n) != "Relationship") continue;
        rels.FItems.push_back({n.attribute("Id").value(), n.attribute("Type").value(), n.attribute("Target").value(),
                               n.attribute("TargetMode").value()});
    }
    return rels;
}

const TRelationship* TRelationships::FindById(std::string_view id) const {
    for (const TRelationship& r : FItems)
        if (r.Id == id) return &r;
    return nullptr;
}

const TRelationship* TRelationships::FindByType(std::string_view type) const {
    for (const TRelationship& r : FItems)
        if (r.Type == type) return &r;
    return nullptr;
}

std::vector<const TRelationship*> TRelationships::FindAllByType(std::string_view type) const {
    std::vector<const TRelationship*> found;
    for (const TRelationship& r : FItems)
        if (r.Type == type) found.push_back(&r);
    return found;
}

std::string TRelationships::Add(std::string_view type, std::string_view target, std::string_view targetMode) {
    for (std::size_t n = FItems.size() + 1;; ++n) {
        std::string id = "rId" + std::to_string(n);
        if (FindById(id)) continue;
        FItems.push_back({id, std::string(type), std::string(target), std::string(targetMode)});
        return id;
    }
}

bool TRelationships::RemoveById(std::string_view id) {
    return std::erase_if(FItems, [&](const TRelationship& r) { return r.Id == id; }) > 0;
}

std::size_t TRelationships::RemoveByType(std::string_view type) {
    return std::erase_if(FItems, [&](const TRelationship& r) { return r.Type == type; });
}

std::string TRelationships::Serialize() const {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const TRelationship& r : FItems) {
        out += "<Relationship";
        Attr(out, "Id", r.Id);
        Attr(out, "Type", r.Type);
        Attr(out, "Target", r.Target);
        if (!r.TargetMode.empty()) Attr(out, "TargetMode", r.TargetMode);
        out += "/>";
    }
    out += "</Relationships>";
    return out;
}

// ------------------------------------------------------------- part names

std::string PartNameProblem(std::string_view name) {
    if (!name.empty() && name.front() == '/') return "it begins with \"/\"";
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\') return "it holds a backslash";
        if (u < 0x20 || u == 0x7F) return "it holds a control character";
    }
    std::size_t start = 0;
    while (start < name.size()) {
        const std::size_t slash = name.find('/', start);
        const std::string_view seg = name.substr(start, slash == std::string_view::npos ? name.npos : slash - start);
        if (seg == "." || seg == "..") return "it holds a \"" + std::string(seg) + "\" segment";
        if (seg.empty()) return "it holds an empty segment";
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return {};
}

std::string PrintablePartName(std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out += c;
            continue;
        }
        out += "\\x";
        out += kHex[u >> 4];
        out += kHex[u & 0xF];
    }
    return out;
}

std::string RelationshipsPartName(std::string_view sourcePart) {
    sourcePart = StripSlash(sourcePart);
    const auto slash = sourcePart.rfind('/');
    if (slash == std::string_view::npos) return "_rels/" + std::string(sourcePart) + ".rels";
    return std::string(sourcePart.substr(0, slash + 1)) + "_rels/" + std::string(sourcePart.substr(slash + 1)) +
           ".rels";
}

std::string ResolveTarget(std::string_view sourcePart, std::string_view target) {
    std::vector<std::string_view> segments;
    auto push = [&](std::string_view path) {
        std::size_t start = 0;
        while (start <= path.size()) {
            const auto slash = path.find('/', start);
            const std::string_view seg =
                path.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
            if (seg == "..") {
                if (!segments.empty()) segments.pop_back();
            } else if (!seg.empty() && seg != ".") {
                segments.push_back(seg);
            }
            if (slash == std::string_view::npos) break;
            start = slash + 1;
        }
    };
    // Fragments and queries are not part of a part name.
    const auto cut = target.find_first_of("#?");
    if (cut != std::string_view::npos) target = target.substr(0, cut);
    if (target.empty() || target.front() != '/') {
        sourcePart = StripSlash(sourcePart);
        const auto slash = sourcePart.rfind('/');
        if (slash != std::string_view::npos) push(sourcePart.substr(0, slash));
    }
    push(target);
    std::string out;
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i) out += '/';
        out += segments[i];
    }
    return out;
}

std::string RelativeTarget(std::string_view sourcePart, std::string_view targetPart) {
    sourcePart = StripSlash(sourcePart);
    targetPart = StripSlash(targetPart);
    const auto slash = sourcePart.rfind('/');
    const std::string_view folder =
        slash == std::string_view::npos ? std::string_view() : sourcePart.substr(0, slash + 1);
    // Common folder prefix, then one ".." per remaining folder of the source.
    std::size_t common = 0;
    for (std::size_t i = 0; i < folder.size() && i < targetPart.size() && folder[i] == targetPart[i]; ++i)
        if (folder[i] == '/') common = i + 1;
    std::string out;
    for (std::size_t i = common; i < folder.size(); ++i)
        if (folder[i] == '/') out += "../";
    out += targetPart.substr(common);
    return out;
}

}  // namespace tabrix::xl
