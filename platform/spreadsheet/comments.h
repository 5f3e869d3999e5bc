#pragma once
// The notes of a sheet (legacy comments), modelled per cell so that copies
// and clears of cells carry them. A note lives in two parts: its author and
// text in the comments part, its box (a VML shape anchored at the cell) in
// the sheet's VML drawing, which <legacyDrawing r:id> names. Both are read
// the first time a copy or a clear needs them; as long as no note changes,
// the parts and the element stay as read. Once changed, a save writes the
// comments part and the VML drawing anew (one shape per note, anchored at
// its cell, the look of the box it was copied from kept), with their
// relationships and content types; a sheet whose last note went loses both.
//
// Threaded comments are not modelled: when a sheet's notes change, its
// threaded comments part is dropped, and what stays of each is the note a
// spreadsheet writes beside it (with its text), which travels as any note.
//
// A TSheetNotes belongs to its TWorksheet. Rows and columns are 1-based.
//
//   TSheetNotes& notes = sheet.Notes();
//   std::vector<TNote> copied = notes.Collect({2, 1, 2, 5}, 10, 0);
//   notes.Clear({12, 1, 12, 5});
//   notes.Add(copied);

#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/cell_address.h"
#include "platform/spreadsheet/object_parts.h"

namespace tabrix::xl {

class TPackage;
class TContentTypes;
class TRelationships;

struct TNote {
    int Row = 1, Column = 1;            // 1-based
    std::string Author;                 // UTF-8, "" for none
    std::string TextXml;                // the children of <text> as read (runs with their fonts)
    std::string TextPrefix;             // the namespace prefix those children carry ("" or "x:")
    std::string ShapeXml;               // the VML shape of the box as read, "" for a default box
    int ShapeRow = 1, ShapeColumn = 1;  // the cell the shape was anchored at when read
};

class TSheetNotes {
public:
    // Cuts <legacyDrawing> out of the sheet's kept XML (from minimumOffset
    // on) and reads the comments and the VML drawing the relationships name.
    TSheetNotes(std::string& tail, size_t minimumOffset, const TRelationships& rels, std::string_view sheetPart,
                const TPackage& package);

    const std::vector<TNote>& Notes() const { return FNotes; }
    bool Changed() const { return FChanged; }

    // The notes of the cells of from, moved by (dRow, dCol).
    std::vector<TNote> Collect(const TCellRect& from, int dRow, int dCol) const;
    // The cells must have no note (a copy clears its destination first).
    void Add(const std::vector<TNote>& notes);
    void Clear(const TCellRect& rect);

    size_t InsertAt() const { return FElement.InsertAt; }
    // When changed: writes the comments part and the VML drawing into the
    // package (the names they had, else new ones), replaces the sheet's
    // relationships to them and drops its threaded comments.
    void SaveParts(TPackage& package, TContentTypes& types, TRelationships& rels, std::string_view sheetPart);
    // The <legacyDrawing> element (prefix: the sheet's element prefix).
    void WriteElement(std::string& out, std::string_view prefix, std::string_view relPrefix) const;

private:
    void ReadComments(const TPackage& package, const std::string& part);
    void ReadShapes(const TPackage& package, const std::string& part);
    std::string CommentsXml() const;
    std::string VmlXml(const std::vector<int>& idBlocks) const;

    std::vector<TNote> FNotes;
    TCellRect FBounds;  // of all notes, for a quick miss
    TKeptElement FElement;
    std::string FCommentsPart;       // as read, "" when none
    std::string FVmlPart;            // as read, "" when none
    std::vector<std::string> FKept;  // VML shapes and shape types that are no notes (controls), as read
    size_t FKeptShapes = 0;          // how many of them are shapes
    std::vector<int> FIdBlocks;      // the VML drawing's shape id blocks as read (o:idmap)
    bool FChanged = false;
};

}  // namespace tabrix::xl
