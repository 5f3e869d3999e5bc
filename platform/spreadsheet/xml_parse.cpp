#include "platform/spreadsheet/xml_parse.h"

#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_reader.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {
struct TStringWriter : pugi::xml_writer {
    std::string Out;
    void write(const void* data, size_t size) override { Out.append(static_cast<const char*>(data), size); }
};

int Depth(const pugi::xml_node& node, int limit) {
    int deepest = 0;
    // Iterative walk: a deep document must not overflow the stack here.
    pugi::xml_node n = node.first_child();
    int depth = 1;
    while (n && depth > 0) {
        if (depth > deepest) deepest = depth;
        if (deepest > limit) return deepest;
        if (n.first_child()) {
            n = n.first_child();
            ++depth;
            continue;
        }
        while (n && !n.next_sibling()) {
            n = n.parent();
            --depth;
        }
        if (n) n = n.next_sibling();
    }
    return deepest;
}
}  // namespace

void ParseXmlDocument(pugi::xml_document& doc, std::string_view xml, std::string_view partName) {
    // Only predefined and numeric entities exist for pugixml (a DOCTYPE is
    // skipped, never expanded); attribute whitespace is kept as written.
    RequireUtf8Encoding(xml, "Part \"" + std::string(partName) + "\"");
    unsigned options =
        (pugi::parse_default | pugi::parse_declaration | pugi::parse_ws_pcdata_single) & ~pugi::parse_wconv_attribute;
    pugi::xml_parse_result result = doc.load_buffer(xml.data(), xml.size(), options, pugi::encoding_utf8);
    if (result.status == pugi::status_out_of_memory)
        throw ESpreadsheetError("Out of memory reading part \"" + std::string(partName) + "\" (" +
                                std::to_string(xml.size()) + " bytes of XML)");
    if (!result)
        throw ESpreadsheetError("Malformed XML in part \"" + std::string(partName) + "\": " + result.description() +
                                " at offset " + std::to_string(result.offset));
    if (!doc.document_element()) throw ESpreadsheetError("Part \"" + std::string(partName) + "\" holds no XML element");
    if (Depth(doc, kMaxXmlDepth) > kMaxXmlDepth)
        throw ESpreadsheetError("XML of part \"" + std::string(partName) + "\" nests deeper than " +
                                std::to_string(kMaxXmlDepth) + " levels");
}

std::string NodeChildrenXml(const pugi::xml_node& node) {
    TStringWriter w;
    for (pugi::xml_node child : node.children()) child.print(w, "", pugi::format_raw);
    return std::move(w.Out);
}

std::string NodeXml(const pugi::xml_node& node) {
    TStringWriter w;
    node.print(w, "", pugi::format_raw);
    return std::move(w.Out);
}

std::string RunsText(const pugi::xml_node& item) {
    std::string text;
    for (pugi::xml_node child : item.children()) {
        std::string_view name = LocalName(child.name());
        if (name == "t") {
            text += DecodeXmlEscapes(child.text().get());
        } else if (name == "r") {
            for (pugi::xml_node t : child.children())
                if (LocalName(t.name()) == "t") text += DecodeXmlEscapes(t.text().get());
        }
    }
    return text;
}

bool IsPlainText(const pugi::xml_node& item) {
    pugi::xml_node first = item.first_child();
    return first && LocalName(first.name()) == "t" && !first.next_sibling();
}

pugi::xml_node ChildByLocalName(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_node child : node.children())
        if (child.type() == pugi::node_element && LocalName(child.name()) == name) return child;
    return {};
}

pugi::xml_attribute AttributeByLocalName(const pugi::xml_node& node, std::string_view name) {
    for (pugi::xml_attribute a : node.attributes())
        if (LocalName(a.name()) == name) return a;
    return {};
}

}  // namespace tabrix::xl
