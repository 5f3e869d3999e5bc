#pragma once
// Reading package parts with pugixml: one place for the parse options and
// for the error that names the part and the position.

#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace tabrix::xl {

// Parses without DOCTYPE handling (no entities are ever expanded); raises
// ESpreadsheetError with the part name, the parser's reason and the offset.
void ParseXmlDocument(pugi::xml_document& doc, std::string_view xml, std::string_view partName);
// The XML of the node's children, unformatted.
std::string NodeChildrenXml(const pugi::xml_node& node);
// The XML of the node itself, unformatted.
std::string NodeXml(const pugi::xml_node& node);
// The plain text of a string item (<si> or <is>): its <t> and the <t> of
// its runs, file-format escapes decoded; phonetic runs are not part of it.
std::string RunsText(const pugi::xml_node& item);
// Whether the item is one plain <t> and nothing else.
bool IsPlainText(const pugi::xml_node& item);
// The first child with that local name (ignoring a namespace prefix).
pugi::xml_node ChildByLocalName(const pugi::xml_node& node, std::string_view name);
// An attribute by its local name ("r:id" is found as "id" when asked so).
pugi::xml_attribute AttributeByLocalName(const pugi::xml_node& node, std::string_view name);

}  // namespace tabrix::xl
