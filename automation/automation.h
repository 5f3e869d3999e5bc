#pragma once
// The spreadsheet automation face: the application, its workbooks, a
// workbook's worksheets and ranges, with the operations the report component
// calls, over the in-process engine of platform/spreadsheet.
//
// Every object is a light handle, cheap to copy. The application owns its
// workbooks; a handle keeps the application alive, and a handle of a closed
// workbook (or of anything after Quit) raises EOleError when used. Every
// failure raises with a message that says what failed (file, sheet, cell,
// formula). Calls that take a locale in the automation interface use the
// user's locale (1024, FormatSettings() of platform/rtl).
//
//   TExcelApplication app = TExcelApplication::Create();
//   app.SetInteractive(false);
//   TExcelWorkbook templ = app.Workbooks().Open(name, {.UpdateLinks = 0, .ReadOnly = true,
//       .Format = 4, .IgnoreReadOnlyRecommended = true, .Origin = 2, .AddToMru = false});
//   TExcelWorkbook report = app.Workbooks().Add(copyName);
//   TExcelWorksheet sheet = report.Worksheets().Item(1);
//   sheet.Activate();
//   sheet.Range("A1", "C4000").SetFormulaLocal(buffer);   // TVariantArray2D
//   report.Close(true, "report.xlsx");
//   app.Quit();

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"
#include "platform/spreadsheet/cell_address.h"

namespace tabrix {

namespace xl {
class TWorkbook;
class TWorksheet;
}  // namespace xl

namespace automation_detail {
struct TApplicationState;
struct TWorkbookEntry;
}  // namespace automation_detail

class TExcelWorkbooks;
class TExcelWorkbook;
class TExcelWorksheet;
class TExcelWorksheets;
class TExcelRange;
class TExcelAreas;

// The arguments of Workbooks.Open; an empty variant is an omitted argument.
// Only ReadOnly changes what the engine does; the others are checked for
// their type and otherwise accepted (there are no links to update, no
// read-only recommendation and no recently-used list).
struct TWorkbookOpenArgs {
    Variant UpdateLinks{};
    Variant ReadOnly{};
    Variant Format{};
    Variant Password{};
    Variant WriteResPassword{};
    Variant IgnoreReadOnlyRecommended{};
    Variant Origin{};
    Variant Delimiter{};
    Variant Editable{};
    Variant Notify{};
    Variant Converter{};
    Variant AddToMru{};
};

class TExcelApplication {
public:
    // An empty handle; every operation on it raises EOleError.
    TExcelApplication() = default;
    // A new, invisible application with no workbooks.
    static TExcelApplication Create();

    bool Interactive() const;
    void SetInteractive(bool value);
    bool UserControl() const;
    void SetUserControl(bool value);
    bool Visible() const;
    // Making the application visible shows every open workbook that is not
    // read-only: one without a file or with unsaved changes is saved into the
    // temporary folder first, then each is opened in the user's spreadsheet
    // program ($TABRIX_VIEWER, else the desktop's opener); without a display
    // the file's path is printed on standard output.
    void SetVisible(bool value);

    TExcelWorkbooks Workbooks() const;
    // Closes every workbook without saving; every handle is dead afterwards.
    void Quit();
    bool Quitted() const;

    // The command that opens a shown workbook ("" = the default rule above).
    void SetViewerCommand(std::string command);
    // Whether SetVisible(true) waits for the spreadsheet program to end
    // (an editing session) instead of leaving it running. A program that
    // cannot be started then raises EOleError.
    void SetViewerWaits(bool value);

    bool operator==(const TExcelApplication&) const = default;

private:
    friend class TExcelWorkbooks;
    friend class TExcelWorkbook;
    explicit TExcelApplication(std::shared_ptr<automation_detail::TApplicationState> state)
        : FState(std::move(state)) {}
    automation_detail::TApplicationState& State() const;
    std::shared_ptr<automation_detail::TApplicationState> FState;
};

class TExcelWorkbooks {
public:
    // Opens a workbook file (.xlsx, .xlsm, .xltx, .xltm). ReadOnly true: the
    // file is never written. Raises EOleError naming the file.
    TExcelWorkbook Open(const std::string& fileName, const TWorkbookOpenArgs& args = {});
    // A new workbook copied from a template file, independent of it; with
    // an empty name, a new workbook with one empty sheet.
    TExcelWorkbook Add(const std::string& templateFileName = {});
    int Count() const;
    TExcelWorkbook Item(int index) const;  // 1-based

private:
    friend class TExcelApplication;
    explicit TExcelWorkbooks(std::shared_ptr<automation_detail::TApplicationState> state) : FState(std::move(state)) {}
    std::shared_ptr<automation_detail::TApplicationState> FState;
};

class TExcelWorkbook {
public:
    TExcelApplication Application() const;
    // "report.xlsx"; a new workbook is named after its template.
    UnicodeString Name() const;
    // The file it belongs to; "" for a new workbook never saved.
    std::string FullName() const;
    TExcelWorksheets Worksheets() const;
    // SaveChanges true: saved to Filename (or to its own file when Filename
    // is empty; a new or read-only workbook needs a Filename); false or empty:
    // not saved. The workbook is closed either way, unless the save failed.
    void Close(const Variant& saveChanges = {}, const Variant& fileName = {});
    void Save();
    void SaveAs(const std::string& fileName);
    bool Saved() const;

    // The engine's workbook (for tools and tests).
    xl::TWorkbook& Model() const;

    bool operator==(const TExcelWorkbook& o) const { return FEntry == o.FEntry; }

private:
    friend class TExcelWorkbooks;
    friend class TExcelWorksheets;
    friend class TExcelWorksheet;
    TExcelWorkbook(std::shared_ptr<automation_detail::TApplicationState> state,
                   std::shared_ptr<automation_detail::TWorkbookEntry> entry)
        : FState(std::move(state)), FEntry(std::move(entry)) {}
    automation_detail::TWorkbookEntry& Entry() const;
    std::shared_ptr<automation_detail::TApplicationState> FState;
    std::shared_ptr<automation_detail::TWorkbookEntry> FEntry;
};

class TExcelWorksheets {
public:
    int Count() const;
    TExcelWorksheet Item(int index) const;  // 1-based, workbook order

private:
    friend class TExcelWorkbook;
    explicit TExcelWorksheets(TExcelWorkbook book) : FBook(std::move(book)) {}
    TExcelWorkbook FBook;
};

class TExcelWorksheet {
public:
    UnicodeString Name() const;
    // The sheet becomes the one shown when the saved file is opened.
    void Activate();
    TExcelWorkbook Parent() const { return FBook; }
    // The used area (A1 for an empty sheet).
    TExcelRange UsedRange() const;
    // The rectangle between two A1 addresses; with only cell1, the reference
    // it names, which may have several areas ("A1:B2,D4"). The text
    // cell1 + ":" + cell2 is read as a reference, so cell2 "B2,D4" gives two
    // areas. Raises EOleError for a text that is no reference of the sheet.
    TExcelRange Range(std::string_view cell1, std::string_view cell2 = {}) const;
    // One cell (1-based).
    TExcelRange Cells(int row, int column) const;
    // Every cell of the sheet: its Clear also removes the formats,
    // validations and links that lie beyond the used area.
    TExcelRange Cells() const;

    xl::TWorksheet& Model() const;

    bool operator==(const TExcelWorksheet& o) const { return FBook == o.FBook && FIndex == o.FIndex; }

private:
    friend class TExcelWorksheets;
    friend class TExcelRange;
    TExcelWorksheet(TExcelWorkbook book, int index) : FBook(std::move(book)), FIndex(index) {}
    TExcelWorkbook FBook;
    int FIndex;  // 0-based in the model
};

// The texts of a block of values read as typed input ahead of their write
// (SetFormulaLocal with it). Reading touches no workbook, so a caller may
// read a block on another thread while it gives the block's cells their
// formats. Rows and columns as in the array, from its first row.
class TExcelTypedBlock {
public:
    TExcelTypedBlock();
    ~TExcelTypedBlock();
    TExcelTypedBlock(TExcelTypedBlock&&) noexcept;
    TExcelTypedBlock& operator=(TExcelTypedBlock&&) noexcept;

    // The first `rows` rows of values as FormulaLocal types them in the
    // locale given; the storage of an earlier block is reused.
    void Read(const TVariantArray2D& values, int rows, const TFormatSettings& settings);

private:
    friend class TExcelRange;
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

class TExcelRange {
public:
    TExcelWorksheet Worksheet() const { return FSheet; }

    // Contents and formats duplicated at the destination (its top-left cell
    // counts): values, formulas with moved relative references, styles and
    // the merged areas inside the range. Row heights are not copied.
    void Copy(const TExcelRange& destination) const;

    // The rows of the range (AutoFit and RowHeight work on rows).
    TExcelRange Rows() const;
    // Fits the height of every row of the range to its content.
    void AutoFit() const;
    // Points when all rows of the range have one height, else a null variant.
    Variant RowHeight() const;
    void SetRowHeight(double points) const;

    // The top-left cell's text as the user types it (a wide-string variant).
    Variant FormulaLocal() const;
    // Every cell, 1-based bounds.
    TVariantArray2D FormulaLocalArray() const;
    // Values and formulas entered as typed in the user's locale; the
    // top-left part of the array fills the range (array cells beyond the
    // range are ignored, range cells beyond the array are left alone).
    // A formula that does not parse raises EOleError naming cell and formula.
    void SetFormulaLocal(const TVariantArray2D& values) const;
    // The same with the texts read ahead: values must be the array read.
    void SetFormulaLocal(const TVariantArray2D& values, const TExcelTypedBlock& read) const;
    // One value into every cell of the range.
    void SetFormulaLocal(const Variant& value) const;

    // The same with English function names and "," / "." separators.
    Variant Formula() const;
    TVariantArray2D FormulaArray() const;
    void SetFormula(const TVariantArray2D& values) const;
    void SetFormula(const Variant& value) const;

    // "A1:C3" (areas joined by ","), absolute markers on request; always
    // A1 style and never external.
    std::string Address(bool rowAbsolute = true, bool columnAbsolute = true) const;
    TExcelAreas Areas() const;
    // Contents, formats and merged areas removed.
    void Clear() const;

    // First area's corners and size (1-based).
    int Row() const;
    int Column() const;
    int RowCount() const;
    int ColumnCount() const;

private:
    friend class TExcelWorksheet;
    friend class TExcelAreas;
    TExcelRange(TExcelWorksheet sheet, std::vector<xl::TCellRect> areas)
        : FSheet(std::move(sheet)), FAreas(std::move(areas)) {}
    xl::TWorksheet& Sheet() const;
    TExcelWorksheet FSheet;
    std::vector<xl::TCellRect> FAreas;  // at least one
};

class TExcelAreas {
public:
    int Count() const { return static_cast<int>(FRange.FAreas.size()); }
    TExcelRange Item(int index) const;  // 1-based

private:
    friend class TExcelRange;
    explicit TExcelAreas(TExcelRange range) : FRange(std::move(range)) {}
    TExcelRange FRange;
};

}  // namespace tabrix
