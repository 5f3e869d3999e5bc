#pragma once
// Escaping for XML written by plain appends. One function for text and
// attribute values: '"' is escaped too, which text allows.

#include <string>
#include <string_view>

namespace tabrix::xl {

// Appends text with &, <, >, " escaped and the characters XML 1.0 cannot
// hold (controls other than tab, newline, carriage return) dropped.
void AppendXmlEscaped(std::string& out, std::string_view text);

}  // namespace tabrix::xl
