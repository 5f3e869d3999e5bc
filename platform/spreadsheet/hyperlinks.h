#pragma once
// The hyperlinks of a sheet, modelled so that copies and clears of cells
// carry them: each <hyperlink> is a rectangle (its ref) with either an
// external target (a URL or file, through a relationship of the sheet) or a
// location in the workbook ("Sheet2!A1", a defined name), and its display
// text and tooltip. A copy gives the destination cells the links of the
// source cells, moved by the distance of the copy; locations stay as they
// are (a spreadsheet does not move them either). A clear removes the links
// of the cleared cells.
//
// The links are cut from the sheet's kept XML the first time a copy or a
// clear needs them; as long as none changes, the element is written back
// as read and the relationships stay untouched. Once changed, every
// hyperlink relationship of the sheet is written anew: one per distinct
// target. A TSheetLinks belongs to its TWorksheet. Rows and columns are 1-based.
//
//   TSheetLinks& links = sheet.Links();
//   std::vector<THyperlink> copied = links.Collect({2, 1, 2, 5}, 10, 0);
//   links.Clear({12, 1, 12, 5});
//   links.Add(copied);

#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/cell_address.h"
#include "platform/spreadsheet/package/opc.h"

namespace tabrix::xl {

struct THyperlink {
    TCellRect Ref;
    std::string Target;      // external target, "" for a link to a location
    std::string Attributes;  // location, display, tooltip as written (escaped, with a leading blank)
};

class TSheetLinks {
public:
    // Cuts the links out of the sheet's kept XML after the rows (from
    // minimumOffset on); targets are read from the sheet's relationships.
    TSheetLinks(std::string& tail, size_t minimumOffset, std::string_view prefix, const TRelationships& rels);

    const std::vector<THyperlink>& Links() const { return FLinks; }
    bool Changed() const { return FChanged; }

    // The links of the cells of from, moved by (dRow, dCol); a link over
    // more cells than the source holds keeps only the part inside it.
    std::vector<THyperlink> Collect(const TCellRect& from, int dRow, int dCol) const;
    void Add(const std::vector<THyperlink>& links);
    // Removes the cleared cells from every link.
    void Clear(const TCellRect& rect);

    // Offset in the kept text where the links are written back.
    size_t InsertAt() const { return FInsertAt; }
    // Writes the <hyperlinks> element; when the links changed, the sheet's
    // hyperlink relationships are replaced by the ones they need.
    // relPrefix is the prefix of the relationships namespace on the sheet's
    // root ("r:"), "" when the root does not declare it.
    void Write(std::string& out, TRelationships& rels, std::string_view relPrefix) const;

private:
    std::vector<THyperlink> FLinks;
    TCellRect FBounds;  // of all links, for a quick miss
    std::string FPrefix;
    std::string FOriginal;  // the element as read
    size_t FInsertAt = 0;
    bool FChanged = false;
};

// The prefix bound to the relationships namespace on the first element of
// xml ("r:"), "" when it is not declared there.
std::string RelationshipsPrefix(std::string_view xml);

// The relationship type of a hyperlink.
extern const char* const kHyperlinkRelationship;

}  // namespace tabrix::xl
