#include "platform/spreadsheet/object_parts.h"

#include <algorithm>

#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/xml_scan.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

TKeptElement CutTailElement(std::string& tail, size_t minimumOffset, std::string_view localName,
                            std::initializer_list<std::string_view> following) {
    TKeptElement kept;
    size_t closeAt = 0;
    std::vector<TSpan> spans = TopLevelElements(tail, closeAt);
    kept.InsertAt = std::max(closeAt, minimumOffset);
    for (const TSpan& s : spans) {
        if (s.Begin < minimumOffset) continue;
        if (s.LocalName == localName) {
            kept.Original = tail.substr(s.Begin, s.End - s.Begin);
            kept.InsertAt = s.Begin;
            tail.erase(s.Begin, s.End - s.Begin);
            break;
        }
        if (std::find(following.begin(), following.end(), s.LocalName) != following.end()) {
            kept.InsertAt = s.Begin;
            break;
        }
    }
    if (!kept.Original.empty()) {
        // The only attribute these elements have is the relationship id.
        const size_t end = TagEnd(kept.Original, 0);
        std::string_view tag(kept.Original.data(), end == std::string::npos ? kept.Original.size() : end);
        for (size_t at = tag.find("id=\""); at != std::string_view::npos; at = tag.find("id=\"", at + 1)) {
            if (at == 0 || tag[at - 1] != ':') continue;
            const size_t close = tag.find('"', at + 4);
            if (close != std::string_view::npos) kept.RelId = std::string(tag.substr(at + 4, close - at - 4));
            break;
        }
    }
    return kept;
}

void AppendRelElement(std::string& out, std::string_view prefix, std::string_view localName, std::string_view relPrefix,
                      std::string_view id) {
    out += '<';
    out += prefix;
    out += localName;
    if (relPrefix.empty()) {
        out += " xmlns:r=\"";
        out += kRelNamespace;
        out += "\" r:id=\"";
    } else {
        out += ' ';
        out += relPrefix;
        out += "id=\"";
    }
    AppendXmlAttribute(out, id);
    out += "\"/>";
}

void WriteKeptElement(std::string& out, const TKeptElement& element, bool changed, std::string_view prefix,
                      std::string_view localName, std::string_view relPrefix) {
    if (!changed)
        out += element.Original;
    else if (!element.RelId.empty())
        AppendRelElement(out, prefix, localName, relPrefix, element.RelId);
}

std::string FreePartName(const TPackage& package, std::string_view stem, std::string_view extension) {
    for (int n = 1;; ++n) {
        std::string name = std::string(stem) + std::to_string(n) + std::string(extension);
        if (!package.HasPart(name)) return name;
    }
}

const TRelationship* FindRelBySuffix(const TRelationships& rels, std::string_view suffix) {
    for (const TRelationship& r : rels.Items()) {
        std::string_view type = r.Type;
        if (type.size() > suffix.size() && type.substr(type.size() - suffix.size()) == suffix &&
            type[type.size() - suffix.size() - 1] == '/')
            return &r;
    }
    return nullptr;
}

std::string MediaContentType(std::string_view extension) {
    std::string ext(extension);
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
        {"png", "image/png"},   {"jpeg", "image/jpeg"},   {"jpg", "image/jpeg"},  {"gif", "image/gif"},
        {"bmp", "image/bmp"},   {"tif", "image/tiff"},    {"tiff", "image/tiff"}, {"emf", "image/x-emf"},
        {"wmf", "image/x-wmf"}, {"svg", "image/svg+xml"}, {"webp", "image/webp"}};
    for (const auto& [e, type] : kTypes)
        if (e == ext) return std::string(type);
    return {};
}

}  // namespace tabrix::xl
