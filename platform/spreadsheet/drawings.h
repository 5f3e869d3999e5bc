#pragma once
// The drawing of a sheet (pictures, shapes, charts: the part <drawing r:id>
// names), modelled per anchored object so that copies and clears of cells
// carry pictures and shapes. An object anchored at a cell (two-cell and
// one-cell anchors) whose top-left cell lies in a copied range is copied
// with it, at the same offset from the destination; from another workbook
// it brings the pictures it shows (one media part per picture, the target's
// own when it holds the same bytes under the same name). A clear removes
// such objects whose top-left cell it clears. Absolute anchors, and objects
// behind which stand parts other than pictures (charts, diagrams), are
// neither copied nor cleared: they stay where they are.
//
// The drawing is read the first time a copy or a clear needs it; as long
// as nothing changes, the part and the element stay as read. Once changed,
// a save writes the drawing part anew (shape ids numbered afresh, one
// relationship per target) with its relationships and content type; a
// sheet whose last object went loses the part.
//
// A TSheetDrawing belongs to its TWorksheet. Rows and columns are 1-based.
//
//   TSheetDrawing& drawing = sheet.Drawing();
//   std::vector<TDrawingObject> copied = drawing.Collect({1, 1, 3, 6}, 10, 0, /*forAnotherPackage=*/false);
//   drawing.Clear({11, 1, 13, 6});
//   drawing.Add(copied);

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/spreadsheet/cell_address.h"
#include "platform/spreadsheet/object_parts.h"

namespace tabrix::xl {

class TPackage;
class TContentTypes;
class TRelationships;

// A relationship an object's XML names (r:embed of a picture, r:id of a link).
struct TDrawingRef {
    std::string Id;      // as written in the object
    std::string Type;    // relationship type URI
    std::string Target;  // a picture: the part name in its package; else as written
    bool External = false;
    bool AsWritten = true;                       // false for a picture inside the package (carried as its part)
    std::shared_ptr<const std::string> Content;  // the part, when carried to another package
};

struct TDrawingObject {
    enum class TAnchor : uint8_t { TwoCell, OneCell, Absolute, Other };
    TAnchor Anchor = TAnchor::Other;
    TCellRef From, To;                                            // 1-based top-left and (two-cell) bottom-right cells
    std::string Xml;                                              // the element as read
    std::vector<std::pair<std::string, std::string>> Namespaces;  // of the drawing it was read from
    std::vector<TDrawingRef> Refs;
    bool Movable = false;  // anchored at a cell, with no parts but pictures behind it
};

class TSheetDrawing {
public:
    // Cuts <drawing> out of the sheet's kept XML (from minimumOffset on)
    // and reads the drawing part it names.
    TSheetDrawing(std::string& tail, size_t minimumOffset, const TRelationships& rels, std::string_view sheetPart,
                  const TPackage& package);

    const std::vector<TDrawingObject>& Objects() const { return FObjects; }
    bool Changed() const { return FChanged; }

    // The movable objects whose top-left cell lies in from, moved by (dRow,
    // dCol); forAnotherPackage also takes the pictures' bytes along.
    std::vector<TDrawingObject> Collect(const TCellRect& from, int dRow, int dCol, bool forAnotherPackage) const;
    void Add(const std::vector<TDrawingObject>& objects);
    void Clear(const TCellRect& rect);

    size_t InsertAt() const { return FElement.InsertAt; }
    // When changed: writes the drawing part, its relationships and the media
    // it needs into the package and replaces the sheet's relationship to it.
    void SaveParts(TPackage& package, TContentTypes& types, TRelationships& rels, std::string_view sheetPart);
    // The <drawing> element (prefix: the sheet's element prefix).
    void WriteElement(std::string& out, std::string_view prefix, std::string_view relPrefix) const;

private:
    void Read(const std::string& part);
    std::string MediaPart(TPackage& package, TContentTypes& types, const TDrawingRef& ref);
    void NoteMovable(const TDrawingObject& object);

    const TPackage* FPackage;
    std::vector<TDrawingObject> FObjects;
    TKeptElement FElement;
    std::string FPart;                                                 // as read or last written, "" when none
    std::string FRootName = "xdr:wsDr";                                // the root element's name as read
    std::vector<std::pair<std::string, std::string>> FRootAttributes;  // its attributes as read
    std::vector<std::pair<const std::string*, std::string>> FMedia;    // bytes carried in -> part written
    mutable std::vector<std::pair<std::string, std::shared_ptr<const std::string>>> FContents;  // read once per part
    std::pair<int, int> FMovableRows{0, 0};  // the rows the movable objects start in, for a quick miss (0: none)
    bool FChanged = false;
};

}  // namespace tabrix::xl
