#pragma once
// Unit Tabrix: the report component TTabrix. An application places one on a
// data module, points it at a master data set and a template workbook, and
// calls Show: the template is opened, a report workbook is created as a copy
// of it, the report sheet is built, a chain of sub-reports builds further
// sheets, and the report is saved under the given name or left to the user.
//
//   auto* report = new TTabrix(module);          // owned by the module
//   report->SetDataSet(orders);
//   report->SetTemplate("sales.xlsx");            // relative to ApplicationFolder()
//   report->TemplSheet = "Report";
//   report->Show("sales-report.xlsx");            // ETabrixError on any failure

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "automation/automation.h"
#include "bands/tabrix_band.h"
#include "cells/tabrix_error.h"
#include "dictionary/tabrix_dictionary.h"
#include "platform/classes/classes.h"
#include "platform/db/dataset.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"
#include "platform/rtl/variant.h"
#include "template/templ_owner.h"

namespace tabrix {

class TTabrix;
class TTabrixTemplParser;
class TTabrixCopyManager;

enum TTabrixOption : uint8_t {
    tbxoShowProgress,      // the output runs under the progress window
    tbxoTotalsAsFormula,   // totals are spreadsheet formulas over the output rows
    tbxoVisibleWhenError,  // a failed build leaves the partial report to the user
    tbxoHourCursor,        // the hour-glass cursor while Show / BuildSheet run
};

// Set of TTabrixOption; bit n is the option of ordinal n (the streamed form).
class TTabrixOptions {
public:
    constexpr TTabrixOptions() = default;
    constexpr TTabrixOptions(std::initializer_list<TTabrixOption> options) {
        for (TTabrixOption o : options) FBits = static_cast<uint8_t>(FBits | Bit(o));
    }
    static constexpr TTabrixOptions FromBits(uint8_t bits) {
        TTabrixOptions o;
        o.FBits = static_cast<uint8_t>(bits & kAll);
        return o;
    }
    constexpr bool Contains(TTabrixOption o) const { return (FBits & Bit(o)) != 0; }
    constexpr void Include(TTabrixOption o) { FBits = static_cast<uint8_t>(FBits | Bit(o)); }
    constexpr void Exclude(TTabrixOption o) { FBits = static_cast<uint8_t>(FBits & ~Bit(o)); }
    constexpr uint8_t Bits() const { return FBits; }
    constexpr bool operator==(const TTabrixOptions&) const = default;

    static constexpr uint8_t kAll = 0x0F;

private:
    static constexpr uint8_t Bit(TTabrixOption o) { return static_cast<uint8_t>(1u << o); }
    uint8_t FBits = 0;
};

// Event types; sender is always the component.
using TNotifyEvent = void(TComponent* sender);
using TTabrixAfterBuildEvent = void(TComponent* sender, TExcelWorksheet report, int rowCount, int colCount);
using TTabrixGetReportFileName = void(TComponent* sender, AnsiString& fileName);
using TTabrixCheckEofEvent = void(TComponent* sender, bool& eof);
using TTabrixGetFieldValueEvent = void(TComponent* sender, const AnsiString& field, Variant& value);
using TTabrixSetCellValueEvent = void(TComponent* sender, TTabrixBand* band, int rowInTemplate, int rowInReport,
                                      int columnInReport, Variant& cellValue);
using TTabrixFormatCellEvent = void(TComponent* sender, TTabrixBand* band, int rowInTemplate, int rowInReport,
                                    int columnInReport, TExcelWorksheet report, const Variant& cellValue);

// The component's version text (_Version).
inline constexpr const char* kTabrixVersion = "Tabrix 1.0";

class TTabrix : public TComponent, public ITabrixBandsDataSource, public ITabrixTemplOwner {
    TABRIX_CLASS(TTabrix)
public:
    explicit TTabrix(TComponent* owner = nullptr);
    ~TTabrix() override;

    // ---- published properties
    TTabrixBands* Bands() const { return FBands.get(); }
    void SetBands(const TTabrixBands* value) { FBands->Assign(value); }
    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* value);
    TTabrixDictionary* Dictionary() const { return FDictionary.get(); }
    void SetDictionary(const TTabrixDictionary* value) { FDictionary->Assign(value); }
    char FieldSign = '#';
    TTabrixOptions Options = TTabrixOptions::FromBits(TTabrixOptions::kAll);
    bool StoreInDFM = false;
    TTabrix* SubReport() const { return FSubReport; }
    // A component can't be its own sub-report: that value is ignored.
    void SetSubReport(TTabrix* value);
    const AnsiString& Template() const { return FTemplate; }
    // A changed name (compared trimmed) switches StoreInDFM off and clears
    // TemplSheet; the stored bytes stay. While a form is being read, the
    // form's own StoreInDFM and TemplSheet stay as it gives them.
    void SetTemplate(const AnsiString& value);
    AnsiString TemplSheet;
    AnsiString Title;
    AnsiString _Version;
    bool HasStoredTempl() const { return GetHasStoredTempl(); }

    TEvent<TTabrixAfterBuildEvent> OnAfterBuild;
    TEvent<TNotifyEvent> OnBeforeBuild;
    TEvent<TNotifyEvent> OnDataPrior;
    TEvent<TNotifyEvent> OnDataFirst;
    TEvent<TTabrixCheckEofEvent> OnDataEof;
    TEvent<TNotifyEvent> OnDataNext;
    TEvent<TTabrixFormatCellEvent> OnFormatCell;
    TEvent<TTabrixGetFieldValueEvent> OnGetFieldValue;
    TEvent<TTabrixSetCellValueEvent> OnSetCellValue;
    TEvent<TTabrixGetReportFileName> OnGetReportFileName;

    // ---- building
    // ShowOnTemplate(GetTemplateFileName(), fileName).
    void Show(const AnsiString& fileName = {});
    // The whole build on a template file. With a fileName the report is
    // saved there and the spreadsheet application ends; without one the
    // report is left to the user. Every failure reaches the caller as
    // ETabrixError (at design time: an error box).
    void ShowOnTemplate(const AnsiString& templateFileName, const AnsiString& fileName);
    // Not streamed: where a failed build saves what it had built (taken like
    // a save name, relative to the application folder), instead of showing
    // or discarding it; empty: as tbxoVisibleWhenError says.
    //   report->PartialReportFileName = "sales.partial.xlsx";
    AnsiString PartialReportFileName;
    // Whether the last failed build saved its partial report there.
    bool PartialReportWritten() const { return FPartialReportWritten; }
    // This component's sheet inside the workbooks of the report that started
    // the build (the sub-report chain).
    void BuildSheet(const TExcelWorkbook& templWorkbook, const TExcelWorkbook& reportWorkbook);
    // The sheet build of the report sheet chosen by ShowOnTemplate/BuildSheet.
    void MakeReport();

    // At design time an error box; otherwise raises ETabrixError(msg)
    // (TabrixRaiseError).
    void RaiseError(const AnsiString& msg);

    // ---- stored template
    void LoadStoredTemplateFromFile(const AnsiString& fileName);
    void SaveStoredTemplateToFile(const AnsiString& fileName);
    void SaveStoredTemplateToTmpFile(AnsiString& fileName);
    void FreeStoredTemplate();
    bool GetHasStoredTempl() const { return FTemplSize > 0; }
    // The stored bytes, exactly the workbook file's.
    const std::string& StoredTemplate() const { return FTemplData; }
    // The file a build opens as template: a temporary copy of the stored
    // template, or Template taken relative to the application folder.
    AnsiString GetTemplateFileName();

    // ---- template editing and bands from the template
    // Opens the template (GetTemplateFileName: with StoreInDFM a new
    // temporary copy, which is left to the caller) for editing in the
    // user's spreadsheet program. Does not read the workbook back.
    void EditTemplate();
    // EditTemplate on fileName. With waitForViewer the call returns once the
    // spreadsheet program has ended. Returns the file's bytes as the program
    // got them, so that a caller can tell whether the user changed it.
    std::string EditTemplateFile(const AnsiString& fileName, bool waitForViewer);
    // Divides the template sheet of the running build into title, master
    // data and summary bands (added to Bands), by which cells refer to
    // fields of DataSet. A sheet without a non-empty row in its first five
    // gets no band.
    void SetBandsFromTempl();
    // The same on a sheet outside a build (a new form made from a template):
    // DataSet must be open, so that its fields are known.
    void SetBandsFromTemplSheet(TExcelWorksheet sheet);

    // ---- state of a build (read by the later parts and by tests)
    int CurRow() const { return FCurRow; }
    int ReportColCount() const { return FReportColCount; }
    // Whether a sheet build holds the automation references right now.
    bool Building() const { return FExcelApp.has_value(); }

    // ---- framework
    void Assign(const TPersistent* source) override;
    void Notification(TComponent* component, TOperation operation) override;
    void DefineProperties(TFiler& filer) override;

    // ---- what the bands ask of their owner (group values)
    bool HasDataSet() const override { return FDataSet != nullptr; }
    AnsiString FieldAsString(const AnsiString& fieldName) override;

    // ---- data set and field resolution (field_resolution.cpp)
    // The data set that supplies the field reference name ("Field",
    // "DataSet.Field", "Form.DataSet.Field"), opened; null for a user field
    // (a dictionary name, or a name no data set knows). Raises ETabrixError
    // when the data set found lacks the field.
    TDataSet* FindFieldDataSet(const AnsiString& name) override;
    // The data set referenced in the band range of the template sheet that
    // is linked to DataSet as its detail ("MasterSource", "DataSource" or
    // "DataSetField"), or null. The first form reads the build's template
    // sheet.
    TDataSet* FindDetailDataSetInTempl(const AnsiString& range);
    TDataSet* FindDetailDataSetInTempl(const TExcelWorksheet& sheet, const AnsiString& range);
    // The value callback of the template parser: the dictionary's value,
    // else what OnGetFieldValue gives; ETabrixError when neither gives one.
    void GetUserFieldValue(const void* sender, const AnsiString& field, Variant& value);
    // The detail data set of the build (set by InitBandVars), or null.
    TDataSet* DetailDataSet() const { return FDetailDataSet; }
    void SetDetailDataSet(TDataSet* value) { FDetailDataSet = value; }

    // ---- what the template parser asks of the component
    char TemplFieldSign() const override { return FieldSign; }
    bool TemplTotalsAsFormula() const override { return Options.Contains(tbxoTotalsAsFormula); }
    const TTabrixBands& TemplBands() const override { return *FBands; }
    TDataSet* TemplDetailDataSet() const override { return FDetailDataSet; }

private:
    // ---- published-property plumbing for the class registry
    AnsiString FieldSignText() const { return AnsiString(1, FieldSign); }
    void SetFieldSignText(const AnsiString& value);
    uint8_t OptionsBits() const { return Options.Bits(); }
    void SetOptionsBits(uint8_t value) { Options = TTabrixOptions::FromBits(value); }
    void SetHasStoredTemplReadOnly(bool) {}

    // ---- stored template streaming ("XLTemplate")
    std::string WriteXLTemplate() const;
    void ReadXLTemplate(const std::string& block);
    bool XLTemplateHasData(const TPersistent* ancestor) const;

    // ---- build steps, in the order a build takes them
    class TBuildScope;
    class TTemplateScope;
    bool RefuseNestedBuild();
    void CheckSubReportChain() const;
    // Copies the template into the working copy; workingCopy names it once
    // the copy is there (a failed copy removes nothing that was there before).
    void CopyTemplate(const AnsiString& templateFileName, const AnsiString& saveName, TTempFileGuard& workingCopy);
    // The working copy OnGetReportFileName names (in the temporary folder),
    // or empty for a new temporary file.
    AnsiString WorkingCopyName(const AnsiString& saveName, const AnsiString& templateFileName);
    void StartApplication();
    // A new spreadsheet application; its failure raises ETabrixError
    // (SErrorCreatingExcelApp) for the Show driver and the editor alike.
    static TExcelApplication CreateApplication();
    // The arguments a template is opened with: read-only for a build,
    // writable for editing.
    static TWorkbookOpenArgs TemplateOpenArgs(bool readOnly);
    // Whether the file is the temporary copy of the stored template (ours to
    // write and remove), not a template file of the user.
    bool IsStoredTemplateCopy(const AnsiString& fileName) const;
    TExcelWorkbook OpenTemplate(const AnsiString& templateFileName);
    void BuildFromTemplate(const AnsiString& templateFileName, TTempFileGuard& workingCopy);
    // Chooses the template sheet and announces the build; returns the
    // sheet's 1-based index, which is the report sheet's too.
    int BeginSheetBuild();
    int SelectTemplSheet();
    void BuildReportSheet(int sheetIndex);
    void BuildChain();
    // Saves the report under saveName, or leaves it to the user.
    void Deliver(const AnsiString& saveName);
    void HandleBuildError();
    void ReleaseReferences();

    std::unique_ptr<TTabrixBands> FBands;
    TDataSet* FDataSet = nullptr;
    std::vector<std::pair<AnsiString, TDataSet::TFieldRef>> FGroupFieldRefs;  // see FieldAsString
    std::unique_ptr<TTabrixDictionary> FDictionary;
    TTabrix* FSubReport = nullptr;
    AnsiString FTemplate;
    std::string FTemplData;
    int32_t FTemplSize = 0;

    int FCurRow = 1;
    int FReportColCount = 0;
    int FShownBlocks = 0;
    // Upper-cased "Form.DataSet" of a field reference -> its data set.
    std::map<AnsiString, TDataSet*> FDataSetCache;
    TDataSet* FDetailDataSet = nullptr;
    // One entry per active group header, outermost first: the header and
    // the group value last computed for it; FGroupFooters runs parallel.
    struct TGroupEntry {
        AnsiString Value;
        TTabrixGroupHeaderBand* Header = nullptr;
    };
    std::vector<TGroupEntry> FGroups;
    std::vector<TTabrixBand*> FGroupFooters;

    bool FPartialReportWritten = false;
    std::optional<TExcelApplication> FExcelApp;
    std::optional<TExcelWorkbook> FTemplWorkbook;
    std::optional<TExcelWorkbook> FReportWorkbook;
    std::optional<TExcelWorksheet> FTemplWorksheet;
    std::optional<TExcelWorksheet> FReportWorksheet;

    // ---- generation loop and row buffer: one build of the report sheet
public:
    // Report rows a band may reach: the row after a band's last row is at
    // most this (the row limit of the classic sheet format), so bands use
    // rows 1..kTabrixMaxReportRow - 1.
    static constexpr int kTabrixMaxReportRow = 65535;
    // Rows held before the buffer goes to the sheet in one FormulaLocal
    // write: few automation calls, bounded memory.
    static constexpr int kTabrixBufferRows = 4000;
    // The progress count follows the loop in steps of this many rows.
    static constexpr int kTabrixRowCountStep = 50;

    // Groups, master/detail bands and the detail data set of this build.
    void InitBandVars();
    // The output procedure: title, records with their groups and details,
    // summary, last block. False when the user stopped it.
    bool OutputReport();
    void OutputGroupHeaders(int from);  // from: 0-based group level
    void OutputGroupFooters(int from);
    void OutputRecord();
    void OutputData();
    // headerBand: the group header of a group footer, else null.
    void OutputBand(TTabrixBand* band, TTabrixBand* headerBand);

    bool IsData();
    void ResetData();
    void NextData();
    void PriorData();

    // Appends one report row (reportRow, templateRow: 1-based sheet rows;
    // firstColumn: the band's first template column; columns: its width).
    void WriteRowValues(TTabrixBand* band, TTabrixBand* headerBand, int reportRow, int columns, int templateRow,
                        int firstColumn);
    // The buffered rows to the sheet: formats first, then one FormulaLocal.
    void WriteBufToSheet();
    void ShowRowCount();

private:
    void ReleaseRowBuffer();

    TTabrixTemplParser* FTemplParser = nullptr;  // owned by MakeReport while it runs
    TTabrixCopyManager* FCopyManager = nullptr;  // owned by MakeReport while it runs
    TTabrixBand* FMasterDataBand = nullptr;
    TTabrixBand* FDetailHeaderBand = nullptr;
    TTabrixBand* FDetailFooterBand = nullptr;
    TTabrixBand* FDetailDataBand = nullptr;
    // Buffer row r (1-based) is report row FBufStartRow + r - 1; FBufBands
    // and FBufTemplRows are indexed r - 1.
    TVariantArray2D FBuffer;
    TExcelTypedBlock FTypedBlock;  // the block's texts, read ahead while its rows are copied
    uint16_t FBufRowCount = 0;
    std::vector<TTabrixBand*> FBufBands;
    int32_t FBufStartRow = 1;
    std::vector<int32_t> FBufTemplRows;
};

// Makes TTabrix known to the class registry, so that form files create it
// by class name.
void RegisterTabrixClasses();

}  // namespace tabrix
