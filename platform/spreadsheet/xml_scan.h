#pragma once
// A light scanner over XML text that is kept as text: finding start tags,
// the end of a tag, and the top-level elements of a fragment, without
// building a tree (the kept parts of a sheet are copied back as they are).

#include <string>
#include <string_view>
#include <vector>

namespace tabrix::xl {

// A top-level element of a fragment of XML text: its local name and span.
struct TSpan {
    std::string_view LocalName;
    size_t Begin, End;
};

// Top-level elements of a well-formed fragment; stops at the first end tag
// that closes an outer element, whose offset is returned through closeAt
// (the fragment's size when there is none).
std::vector<TSpan> TopLevelElements(std::string_view text, size_t& closeAt);
// Offset of "<qname" followed by a delimiter, from "from"; npos when none.
size_t FindStartTag(std::string_view text, std::string_view qname, size_t from = 0);
// Offset of the '>' that ends the tag beginning at from (quotes respected).
size_t TagEnd(std::string_view text, size_t from);
// The start tag of the root element, from '<' to before its '>' ("" when
// there is none): the first tag that is no declaration or comment.
std::string_view RootStartTag(std::string_view xml);

}  // namespace tabrix::xl
