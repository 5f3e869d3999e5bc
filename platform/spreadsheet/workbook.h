#pragma once
// The workbook model over an xlsx package (.xlsx, .xlsm, .xltx, .xltm):
// sheets, shared strings and styles, read when needed; saved so that every
// part that was not changed stays byte for byte, changed sheets are
// regenerated around their kept XML, the calculation chain is dropped and
// the workbook recalculates when it is opened.
//
//   auto book = xl::TWorkbook::Open("template.xlsx", /*readOnly=*/true);
//   xl::TWorksheet& sheet = book->Sheet(0);
//   sheet.SetNumber(2, 3, 42.5);
//   book->SaveAs("report.xlsx");
//
// A TWorkbook is owned by one std::unique_ptr; sheets are references into it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/shared_strings.h"
#include "platform/spreadsheet/styles.h"
#include "platform/spreadsheet/worksheet.h"

namespace tabrix::xl {

class TPackage;
struct TPackageLimits;

class TWorkbook {
public:
    ~TWorkbook();
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // Opens a workbook file. A read-only workbook never writes its file
    // (Save raises; SaveAs to another name works).
    static std::unique_ptr<TWorkbook> Open(const std::string& fileName, bool readOnly = false);
    static std::unique_ptr<TWorkbook> Open(const std::string& fileName, bool readOnly, const TPackageLimits& limits);
    static std::unique_ptr<TWorkbook> FromBytes(std::string bytes, std::string displayName);
    // A new, unnamed workbook copied from a template file (a template's
    // content type becomes a workbook's); independent of the file afterwards.
    static std::unique_ptr<TWorkbook> CreateFromTemplate(const std::string& fileName);
    // A new, unnamed workbook with one empty sheet "Sheet1".
    static std::unique_ptr<TWorkbook> CreateBlank();

    // The file it was opened from or last saved to; "" for a new workbook.
    const std::string& FileName() const { return FFileName; }
    // The file name for messages (the template's name for a new workbook).
    const std::string& DisplayName() const { return FDisplayName; }
    bool ReadOnly() const { return FReadOnly; }
    bool Modified() const;
    bool Date1904() const { return FDate1904; }
    bool HasMacros() const;

    // Worksheets in workbook order (chart and dialog sheets are kept but not
    // listed). The sheet is read from the package on first access.
    int SheetCount() const { return static_cast<int>(FSheets.size()); }
    TWorksheet& Sheet(int index);                   // 0-based; ESpreadsheetError outside
    const std::string& SheetName(int index) const;  // without reading the sheet
    TWorksheet* FindSheet(std::string_view name);   // ignoring case; nullptr when none
    // The sheet shown when the file is opened (0-based); saved as the
    // workbook's active and only selected tab.
    int ActiveSheet() const { return FActiveSheet; }
    void SetActiveSheet(int index);

    TSharedStrings& Strings();
    TStyles& Styles();
    // Workbooks read from the same file share style indexes; copies between
    // workbooks of different origin import styles by content.
    bool SameStyleOrigin(const TWorkbook& other) const { return FStyleOrigin == other.FStyleOrigin; }

    // Deflate level for changed parts: 1 (fast, default) to 12 (smallest).
    void SetCompressionLevel(int level) { FLevel = level; }

    // Saves to FileName() (raises for a read-only or new workbook).
    void Save();
    // Writes a new file beside the target and renames it into place; on
    // failure the target is untouched and no partial file stays behind.
    // The workbook then belongs to that file.
    void SaveAs(const std::string& fileName);
    std::string SaveToBytes();

    // Reading (workbook internals): the package's limits, and the cells read
    // so far from all sheets, counted against TPackageLimits::MaxCells.
    const TPackageLimits& Limits() const;
    std::uint64_t& CellsRead() { return FCellsRead; }

    // The package (workbook internals): the parts of notes and drawings.
    TPackage& Package() { return *FPackage; }
    const TPackage& Package() const { return *FPackage; }

    // Values of cells for formulas (workbook internals): the sheet of that name.
    TWorksheet* SheetForFormula(std::string_view name);
    // The English formula text a defined name stands for in a formula on
    // `sheet`: that sheet's own name first, then the workbook's. A name
    // written with its sheet ("Data!Rate") is that sheet's. nullptr: none.
    const std::string* FindDefinedName(std::string_view name, const TWorksheet* sheet);

private:
    TWorkbook();
    struct TSheetEntry {
        std::string Name;
        std::string PartName;
        std::string RelId;
        int Position = 0;  // among all sheets of the workbook, chart sheets too
        std::unique_ptr<TWorksheet> Sheet;
    };
    void Read();
    void LoadSheet(TSheetEntry& entry);
    void LoadStrings();
    void LoadStyles();
    std::string ReadLargePart(const std::string& partName) const;
    // Saving in steps: the active tab, cached values, the changed parts, the
    // calculation chain dropped and full calculation marked, the main part's
    // content type (and macros) for the target's extension.
    struct TSaveParts;
    void PrepareSave(const std::string& targetName);
    bool AnySheetModified() const;
    TSaveParts ReadSaveParts() const;
    void WriteSaveParts(const TSaveParts& parts);
    void EnsurePart(TSaveParts& parts, std::string& partName, const char* defaultTarget, const char* relType,
                    const char* contentType);
    void WriteChangedParts(TSaveParts& parts);
    void DropCalculationChain(TSaveParts& parts);
    bool SetMainContentType(const std::string& targetName, TSaveParts& parts);
    void DropMacros(TSaveParts& parts);
    void MarkSaved(const std::string& fileName);
    void WriteActiveSheet();
    void ComputeCachedValues();
    // For each formula (sheet by sheet, in the order given): whether its
    // cached value may be stale after the sheets' changes.
    std::vector<bool> FormulasToRecompute(const std::vector<std::vector<TCellFormula*>>& formulas);

    std::unique_ptr<TPackage> FPackage;
    std::string FFileName;
    std::string FDisplayName;
    std::string FWorkbookPart;
    std::string FStringsPart;
    std::string FStylesPart;
    std::vector<TSheetEntry> FSheets;
    struct TDefinedName {
        std::string Name;
        std::string Text;     // English formula text
        int LocalSheet = -1;  // the position (TSheetEntry::Position) of the sheet it belongs to; -1: workbook
    };
    std::vector<TDefinedName> FDefinedNames;
    TSharedStrings FStrings;
    TStyles FStyles;
    bool FStringsLoaded = false;
    bool FStylesLoaded = false;
    bool FReadOnly = false;
    bool FDate1904 = false;
    bool FTemplateCopy = false;
    uint64_t FStyleOrigin = 0;
    uint64_t FCellsRead = 0;
    int FLevel = 1;
    int FActiveSheet = 0;
    int FActiveSheetRead = 0;
};

}  // namespace tabrix::xl
