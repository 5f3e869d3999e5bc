#pragma once
// One worksheet of the workbook model: rows with their properties, cells in
// a compact store (16 bytes a cell, numbers inline, texts as shared string
// indexes, formulas in a side table), merged ranges, and the sheet XML the
// engine does not model (columns, views, page setup, conditional formats,
// validations, hyperlinks, tables, extensions) kept as text to be written
// back around the regenerated rows; notes and drawings live in parts of
// their own (comments.h, drawings.h).
//
// A sheet belongs to its TWorkbook; references to it stay valid while the
// workbook lives. Rows and columns are 1-based; positions beyond the xlsx
// limits raise ESpreadsheetError.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/spreadsheet/cell_address.h"
#include "platform/spreadsheet/comments.h"
#include "platform/spreadsheet/drawings.h"
#include "platform/spreadsheet/hyperlinks.h"
#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/range_rules.h"

namespace tabrix::xl {

// Every failure of the workbook model; the message says what failed and
// where (file, sheet, cell).
TABRIX_EXCEPTION_CLASS(ESpreadsheetError, Exception);

class TWorkbook;
class TPackage;
class TRowTakeOver;

enum class TCellKind : uint8_t { Empty, Number, String, Boolean, Error, Formula };

// A value as the cell store keeps it: a constant cell or a formula's cached
// result. The evaluator works with TScalar (formula/evaluate.h) and, inside
// a formula, with TOperand (a scalar, a reference or an array).
struct TStoredValue {
    TCellKind Kind = TCellKind::Empty;  // Empty, Number, String, Boolean or Error
    double Number = 0;                  // also the Boolean (0 or 1)
    std::string Text;                   // String: UTF-8; Error: its code ("#DIV/0!")
    bool operator==(const TStoredValue&) const = default;
};

struct TCellFormula {
    enum class TType : uint8_t { Normal, Array, DataTable };
    std::string Text;  // English, without the leading '='
    TType Type = TType::Normal;
    TCellRect ArrayRange;        // Array: the cells the formula fills
    std::string KeptAttributes;  // DataTable: the <f> attributes as read
    TStoredValue Cached;
    bool NeedsValue = false;            // cached value to be computed at save
    bool AlwaysCalculate = false;       // ca="1"
    bool ArrayAlwaysCalculate = false;  // aca="1": an array formula recalculated each time
    bool AssignsName = false;           // bx="1": the formula assigns a value to a name
    // A formula read as part of a shared group keeps it while its master
    // is in place: the master (the group's range in SharedRange) and each
    // dependent are written back as shared formulas. -1: not shared.
    int SharedIndex = -1;
    bool SharedMaster = false;
    TCellRect SharedRange;
};

// One cell of the store. Index is a shared string index (String), an error
// code index (Error, see ErrorCode) or a formula index (Formula).
struct TCell {
    union {
        double Number;
        uint32_t Index;
    };
    uint32_t Style = 0;
    uint16_t Column = 0;
    TCellKind Kind = TCellKind::Empty;
    uint8_t Flags = 0;  // kCellHasExtra: attributes kept as read (cm, vm, ph)

    static constexpr uint8_t kCellHasExtra = 1;
    TCell() : Number(0) {}
};
static_assert(sizeof(TCell) == 16, "the cell store relies on 16-byte cells");

struct TRowProps {
    double Height = 0;  // points; used when CustomHeight or when read from the file
    uint32_t Style = 0;
    uint8_t OutlineLevel = 0;
    bool CustomHeight = false;
    bool Hidden = false;
    bool Collapsed = false;
    bool CustomFormat = false;
    bool HasHeight = false;    // ht was given
    bool ThickTop = false;     // thickTop: a cell of the row has a thick or double top border
    bool ThickBottom = false;  // thickBot
    bool Phonetic = false;     // ph: the row's phonetic guides are shown
    bool operator==(const TRowProps&) const = default;
    bool IsDefault() const { return *this == TRowProps{}; }
};

struct TRow {
    std::vector<TCell> Cells;  // sorted by column
    TRowProps Props;
};

// What a cell holds, as a reader sees it.
struct TCellContent {
    TCellKind Kind = TCellKind::Empty;
    TStoredValue Value;   // the constant, or the formula's cached value
    std::string Formula;  // English formula text without '=' (Kind Formula)
    uint32_t Style = 0;
};

// Style indexes of a sheet as read that lay beyond the workbook's style
// table (a file no spreadsheet would open as it is): such cells and rows are
// read as style 0, the default, and the sheet is written with it.
struct TUnknownStyles {
    uint64_t Count = 0;    // cells and rows whose index was mapped
    uint32_t Highest = 0;  // the largest index met
    int FirstRow = 0;      // 1-based; the first cell or row mapped (0: none)
    int FirstColumn = 0;   // 1-based; 0 when the first was a row's style
};

class TWorksheet {
public:
    TWorksheet(TWorkbook& workbook, std::string name, std::string partName);
    TWorksheet(const TWorksheet&) = delete;
    TWorksheet& operator=(const TWorksheet&) = delete;

    TWorkbook& Workbook() const { return *FWorkbook; }
    const std::string& Name() const { return FName; }  // UTF-8
    const std::string& PartName() const { return FPartName; }

    // --- cells -----------------------------------------------------------
    const TCell* FindCell(int row, int column) const;
    TCellContent Content(int row, int column) const;
    uint32_t Style(int row, int column) const;  // the cell's, else its row's, else 0
    std::string_view StringOf(const TCell& cell) const;
    const TCellFormula& FormulaOf(const TCell& cell) const;
    TCellFormula& FormulaOf(const TCell& cell);
    static std::string_view ErrorCode(uint32_t index);
    static uint32_t ErrorIndex(std::string_view code);  // unknown codes read as #N/A

    // Setting a value keeps the cell's style.
    void SetNumber(int row, int column, double value);
    void SetString(int row, int column, std::string_view utf8);
    void SetSharedString(int row, int column, uint32_t index);
    void SetBoolean(int row, int column, bool value);
    void SetError(int row, int column, std::string_view code);
    // English formula text without '='; not validated here (see cell_text.h).
    // Its cached value is computed at save.
    void SetFormula(int row, int column, std::string_view englishText);
    void SetFormula(int row, int column, TCellFormula formula);
    void SetValue(int row, int column, const TStoredValue& value);
    void SetStyle(int row, int column, uint32_t style);
    // Removes the content and keeps the style.
    void ClearContents(int row, int column);
    // Contents, formats and merged areas of the rectangle.
    void Clear(const TCellRect& rect);

    // --- rows ------------------------------------------------------------
    int LastRow() const { return static_cast<int>(FRows.size()); }
    const TRow* Row(int row) const;  // nullptr when the row holds nothing
    TRowProps RowProps(int row) const;
    void SetRowProps(int row, const TRowProps& props);
    double DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(double points) { FDefaultRowHeight = points; }
    // Points; the default height for a row without its own.
    double RowHeight(int row) const;
    // A custom height in points (0 to 409).
    void SetRowHeight(int row, double points);
    // The height the row's content needs: the largest font of its cells,
    // wrapped texts counted in lines of their column width (an approximation:
    // a character is taken as wide as the column's digit width).
    void AutoFitRow(int row);

    // Width of a column in characters, as kept in <cols>; the sheet's
    // default when there is none.
    double ColumnWidth(int column) const;
    // The style a new cell of the column takes (from <cols>), else 0.
    uint32_t ColumnStyle(int column) const;

    // --- merged ranges --------------------------------------------------
    const std::vector<TCellRect>& MergedRanges() const { return FMerges; }
    // Merges overlapping the new one are removed first.
    void AddMerge(const TCellRect& rect);
    void RemoveMergesIntersecting(const TCellRect& rect);

    // --- whole sheet ---------------------------------------------------
    // The rectangle from the first to the last used row and column (cells
    // with content or style, rows with properties); A1 for an empty sheet.
    TCellRect UsedRange() const;
    bool IsEmpty() const;
    // Visits the cells of rows top..bottom in order; return false to stop.
    void ForEachCell(const TCellRect& rect, const std::function<bool(int row, const TCell& cell)>& fn) const;

    // Modified: the sheet is written anew at the next save. ValuesChanged:
    // what formulas read (cells, hidden rows) changed since the sheet was
    // read or saved, so formulas that can see it need new cached values. A
    // sheet marked modified only to be regenerated changes no value.
    bool Modified() const { return FModified; }
    void SetModified() { FModified = true; }
    bool ValuesChanged() const { return FValuesChanged; }
    void ClearModified() {
        FModified = false;
        FValuesChanged = false;
        FRelsChanged = false;
    }

    // --- reading and writing the sheet part (workbook internals) ----------
    bool Loaded() const { return FLoaded; }
    void Load(std::string_view xml);
    std::string Serialize() const;
    // Maps cell and row styles at or beyond styleCount to 0 (see
    // TUnknownStyles); the sheet is then modified, so that it is written so.
    void MapUnknownStyles(uint32_t styleCount);
    const TUnknownStyles& UnknownStyles() const { return FUnknownStyles; }
    [[noreturn]] void ThrowAt(int row, int column, std::string_view what) const;
    // "File "a.xlsx", sheet "Data"": the prefix of every message about the sheet.
    std::string Where() const;

    // Whether the kept XML holds an auto-filter or a table (whose rows a
    // filter may hide).
    bool MayFilterRows() const;

    // Sets or removes tabSelected on the sheet's first view (kept XML).
    void SetTabSelected(bool selected);

    // The conditional formats and validations, cut from the kept XML when
    // first asked for (the text written back is the same).
    TSheetRules& Rules() const;

    // The hyperlinks, cut from the kept XML when first asked for.
    TSheetLinks& Links() const;

    // The notes, read from their parts when first asked for (sheet_objects.cpp).
    TSheetNotes& Notes() const;
    // The pictures and shapes, read from the drawing part when first asked for.
    TSheetDrawing& Drawing() const;
    // Saving (workbook internals): writes the parts of changed notes and drawings into
    // the package before the sheet is serialized; true when it changed any.
    bool SaveObjectParts(TPackage& package, TContentTypes& types);

    // The sheet part's relationships (workbook internals): given when the
    // sheet is read, changed when links are written at save.
    void SetRelationships(TRelationships rels) { FRels = std::move(rels); }
    const TRelationships& Relationships() const { return FRels; }
    bool RelationshipsChanged() const { return FRelsChanged; }

    // Attributes of a cell kept as read (cm, vm, ph); "" when none.
    std::string_view ExtraAttributes(int row, int column) const;
    // Gives an existing cell such attributes ("" removes them); cm and vm
    // index the workbook's metadata part, so they only travel within a
    // workbook or between workbooks of the same origin.
    void SetExtraAttributes(int row, int column, std::string_view attributes);

private:
    friend class TSheetReader;
    friend class TSheetWriter;
    friend void CopyRange(const TWorksheet&, const TCellRect&, TWorksheet&, int, int);
    friend class TRowTakeOver;

    TCell& Slot(int row, int column);  // created when missing
    void CheckPosition(int row, int column) const;
    static bool CodePointsOver(std::string_view utf8);
    void ReleaseFormula(TCell& cell, int row);
    uint32_t NewFormula(TCellFormula formula);

    TWorkbook* FWorkbook;
    std::string FName;
    std::string FPartName;
    std::vector<TRow> FRows;  // index row - 1
    std::vector<TCellFormula> FFormulas;
    std::vector<uint32_t> FFreeFormulas;
    std::vector<TCellRect> FMerges;
    std::vector<std::pair<uint64_t, std::string>> FExtras;  // (row << 16 | column) -> attributes, sorted
    double FDefaultRowHeight = 15;
    double FDefaultColumnWidth = 8.43;
    struct TColumnInfo {
        int Left, Right;
        double Width;
        uint32_t Style;
    };
    std::vector<TColumnInfo> FColumns;  // from <cols>, in order

    // Kept XML: everything before <sheetData> (with the dimension element
    // cut out), and after it (with <mergeCells> cut out; MergeInsertAt is
    // where it goes back).
    std::string FHead;
    mutable std::string FTail;  // the rules are cut from it on demand, see Rules()
    mutable std::unique_ptr<TSheetRules> FRules;
    mutable std::unique_ptr<TSheetLinks> FLinks;      // cut after the rules, see Links()
    mutable std::unique_ptr<TSheetDrawing> FDrawing;  // cut after the links, see Drawing()
    mutable std::unique_ptr<TSheetNotes> FNotes;      // cut after the drawing, see Notes()
    mutable TRelationships FRels;
    mutable bool FRelsChanged = false;
    size_t FMergeInsertAt = 0;
    size_t FDimensionAt = std::string::npos;  // where <dimension> goes back into FHead
    std::string FPrefix;                      // namespace prefix of the sheet elements ("" or "x:")
    TUnknownStyles FUnknownStyles;
    bool FLoaded = false;
    std::uint64_t FCellsCounted = 0;  // this sheet's share of the workbook's cells read
    bool FModified = false;
    bool FValuesChanged = false;
};

}  // namespace tabrix::xl
