#pragma once
// What the notes and the drawing of a sheet share: the element of the kept
// sheet XML that names their part (<drawing r:id>, <legacyDrawing r:id>),
// cut out so that it can be written anew, and free part names for parts a
// save adds. Offsets are into the kept text after <sheetData>.
//
//   TKeptElement e = CutTailElement(tail, after, "drawing", kAfterDrawing);
//   std::string part = FreePartName(package, "xl/drawings/drawing", ".xml");  // "xl/drawings/drawing2.xml"

#include <initializer_list>
#include <string>
#include <string_view>

namespace tabrix::xl {

class TPackage;
class TRelationships;

struct TKeptElement {
    std::string Original;  // the element as read, "" when the sheet has none
    std::string RelId;     // its r:id
    size_t InsertAt = 0;   // where it is written back
};

// Cuts the first top-level element with that local name at or after
// minimumOffset; without one, InsertAt is before the first element named
// in following (the ones the schema puts after it), else before the root's end.
TKeptElement CutTailElement(std::string& tail, size_t minimumOffset, std::string_view localName,
                            std::initializer_list<std::string_view> following);

// Writes <PREFIXname r:id="ID"/>; relPrefix as for hyperlinks ("" declares r: on the element).
void AppendRelElement(std::string& out, std::string_view prefix, std::string_view localName, std::string_view relPrefix,
                      std::string_view id);

// The element back into the sheet at a save: as read while its part is
// unchanged, else anew for its relationship ("" when the part is gone).
void WriteKeptElement(std::string& out, const TKeptElement& element, bool changed, std::string_view prefix,
                      std::string_view localName, std::string_view relPrefix);

// stem + the smallest number >= 1 that names no part + extension.
std::string FreePartName(const TPackage& package, std::string_view stem, std::string_view extension);

// The first relationship whose type ends with "/" + suffix; nullptr when none.
const struct TRelationship* FindRelBySuffix(const TRelationships& rels, std::string_view suffix);

// The content type of a picture by its extension ("png" -> "image/png"); "" when unknown.
std::string MediaContentType(std::string_view extension);

constexpr const char* kRelTypeBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* kRelNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

}  // namespace tabrix::xl
