#include "platform/spreadsheet/shared_strings.h"

#include <charconv>

#include <pugixml.hpp>

#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

uint32_t TSharedStrings::Add(std::string_view text) {
    auto it = FIndex.find(text);
    if (it != FIndex.end()) return it->second;
    uint32_t index = Count();
    FItems.push_back(TItem{std::string(text), {}, false});
    FIndex.emplace(std::string_view(FItems.back().Text), index);
    FModified = true;
    return index;
}

uint32_t TSharedStrings::AddRich(std::string_view text, std::string_view innerXml) {
    uint32_t index = Count();
    FItems.push_back(TItem{std::string(text), std::string(innerXml), true});
    FModified = true;
    return index;
}

std::string_view TSharedStrings::Text(uint32_t index) const {
    return index < FItems.size() ? std::string_view(FItems[index].Text) : std::string_view();
}

const std::string* TSharedStrings::RichXml(uint32_t index) const {
    return index < FItems.size() && FItems[index].Rich ? &FItems[index].RichXml : nullptr;
}

void TSharedStrings::Parse(std::string_view xml, std::string_view partName) {
    FItems.clear();
    FIndex.clear();
    pugi::xml_document doc;
    ParseXmlDocument(doc, xml, partName);
    pugi::xml_node root = doc.document_element();
    FPrefix = std::string(NamePrefix(root.name()));
    FRootAttributes.clear();
    for (pugi::xml_attribute a : root.attributes()) {
        std::string_view n = a.name();
        if (n == "count" || n == "uniqueCount") continue;
        FRootAttributes += ' ';
        FRootAttributes += n;
        FRootAttributes += "=\"";
        AppendXmlAttribute(FRootAttributes, a.value());
        FRootAttributes += '"';
    }
    for (pugi::xml_node si : root.children()) {
        if (LocalName(si.name()) != "si") continue;
        if (IsPlainText(si) || !si.first_child()) {
            TItem item{RunsText(si), {}, false};
            FItems.push_back(std::move(item));
            uint32_t index = static_cast<uint32_t>(FItems.size() - 1);
            FIndex.emplace(std::string_view(FItems.back().Text), index);
            continue;
        }
        // Rich text: the XML is kept as it stands.
        TItem item;
        item.Rich = true;
        item.Text = RunsText(si);
        item.RichXml = NodeChildrenXml(si);
        FItems.push_back(std::move(item));
    }
    FModified = false;
}

std::string TSharedStrings::Serialize() const {
    std::string out;
    out.reserve(64 + FItems.size() * 24);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<";
    out += FPrefix;
    out += "sst";
    if (FRootAttributes.empty())
        out += " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    else
        out += FRootAttributes;
    char buf[16];
    auto n = std::to_chars(buf, buf + sizeof buf, FItems.size()).ptr;
    out += " count=\"";
    out.append(buf, n);
    out += "\" uniqueCount=\"";
    out.append(buf, n);
    out += "\">";
    for (const TItem& item : FItems) {
        out += '<';
        out += FPrefix;
        out += "si>";
        if (item.Rich) {
            out += item.RichXml;
        } else {
            out += '<';
            out += FPrefix;
            out += NeedsSpacePreserve(item.Text) ? "t xml:space=\"preserve\">" : "t>";
            AppendXmlText(out, item.Text);
            out += "</";
            out += FPrefix;
            out += "t>";
        }
        out += "</";
        out += FPrefix;
        out += "si>";
    }
    out += "</";
    out += FPrefix;
    out += "sst>";
    return out;
}

}  // namespace tabrix::xl
