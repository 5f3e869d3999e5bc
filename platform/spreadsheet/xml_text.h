#pragma once
// Text in the engine's XML: escaping for element text and attributes
// (control characters, which XML 1.0 cannot hold, as the "_xHHHH_" escapes
// of the file format), decoding of those escapes, and local names of
// possibly prefixed elements.

#include <string>
#include <string_view>

namespace tabrix::xl {

void AppendXmlText(std::string& out, std::string_view text);
void AppendXmlAttribute(std::string& out, std::string_view text);
// Whether a <t> element needs xml:space="preserve" for this text.
bool NeedsSpacePreserve(std::string_view text);
// "_x000D_" -> "\r"; text without escapes is returned unchanged.
std::string DecodeXmlEscapes(std::string_view text);
// "x:row" -> "row".
std::string_view LocalName(std::string_view qualifiedName);
// "x:row" -> "x:"; "row" -> "".
std::string_view NamePrefix(std::string_view qualifiedName);

}  // namespace tabrix::xl
