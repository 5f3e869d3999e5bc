#pragma once
// TTabrixCopyManager gives the report sheet the formats of the template.
// The generation loop tells it every band it places (AddBand) and, before
// each write of the row buffer, calls Output: the manager plans the copies
// of that block on its tree of copy groups (copy_group.h), copies first
// occurrences from the template at once, then runs the queued in-report
// copies in ascending order of destination row, and starts a new block.
// The block's values are written afterwards, over the copied cells.
//
// Lifetime: one manager per build, created after the template parser and
// destroyed when the build ends (also when it fails). The newest manager is
// the current one (TabrixCurrentCopyManager); only one build at a time.
// Report rows are 1-based and the report always starts at column A.
//
//   TTabrixCopyManager copies(bands, templateSheet, reportSheet);
//   copies.AddBand(title, nullptr);                 // rows 1..
//   copies.AddBand(groupFooter, groupHeader);        // a footer with its header
//   copies.Output();                                 // before the block is written
//
// The copies of the last block (TemplateCopies, Actions) stay readable
// until the next block begins; a target other than the two sheets can be
// given (ITabrixCopyTarget) to run the plan elsewhere.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "automation/automation.h"
#include "bands/bands.h"
#include "copy/copy_group.h"
#include "platform/rtl/exceptions.h"

namespace tabrix {

TABRIX_EXCEPTION_CLASS(ETabrixCopyManagerError, Exception);

// Rows are kept in 16 bits: the row after the last band is at most this,
// so bands use rows 1 to 65534.
inline constexpr int kTabrixCopyMaxRow = 65535;

// A queued in-report copy of Count rows from row Src to row Dest.
struct TTabrixCopyAction {
    uint16_t Dest = 0;
    uint16_t Src = 0;
    uint16_t Count = 0;
    bool operator==(const TTabrixCopyAction&) const = default;
};

// Dest, Src and Count as four upper-case hexadecimal digits each, so that
// sorting the keys orders the actions by Dest, then Src, then Count.
using TTabrixCopyActionKey = std::array<char, 12>;

// A band's template range copied to a report row.
struct TTabrixTemplateCopy {
    const TTabrixBand* Band = nullptr;
    int Row = 0;
    bool operator==(const TTabrixTemplateCopy&) const = default;
};

// Where the copies of a plan are made.
class ITabrixCopyTarget {
public:
    virtual ~ITabrixCopyTarget() = default;
    // The band's template rows to report row `row`, from column A, with
    // the template's row heights.
    virtual void CopyFromTempl(const TTabrixBand& band, int row) = 0;
    // count report rows from src to dest, columns A to the widest band's
    // width, with their row heights.
    virtual void DoCopyAction(int dest, int src, int count) = 0;
};

// The copies made on the report sheet through the automation face: Range
// copies from the template sheet (another workbook) and within the report
// sheet, auto-fit, and a height written only where it differs.
class TTabrixSheetCopyTarget final : public ITabrixCopyTarget {
public:
    TTabrixSheetCopyTarget(TExcelWorksheet templateSheet, TExcelWorksheet reportSheet, AnsiString widestColumns);
    void CopyFromTempl(const TTabrixBand& band, int row) override;
    void DoCopyAction(int dest, int src, int count) override;

private:
    void CopyRowHeights(int dest, int src, int count);
    TExcelRange ReportRows(int first, int last) const;

    TExcelWorksheet FTemplateSheet;
    TExcelWorksheet FReportSheet;
    AnsiString FWidestColumns;
};

class TTabrixCopyManager {
public:
    // Levels from bands.LoadBandsInfo (empty headers left out); raises
    // ETabrixCopyManagerError "... internal error 1. " when there is none.
    TTabrixCopyManager(const TTabrixBands& bands, TExcelWorksheet templateSheet, TExcelWorksheet reportSheet);
    // The same with the copies made on target (not owned, outlives the manager).
    TTabrixCopyManager(const TTabrixBands& bands, ITabrixCopyTarget& target);
    ~TTabrixCopyManager();
    TTabrixCopyManager(const TTabrixCopyManager&) = delete;
    TTabrixCopyManager& operator=(const TTabrixCopyManager&) = delete;

    // Records a placed band (a group footer with its group header, else
    // null) and advances Row by its rows. A band on no level raises
    // ETabrixCopyManagerError "... internal error 3. "; one that would end
    // beyond row 65534 raises ETabrixError "Too many lines in the report...".
    void AddBand(const TTabrixBand* band, const TTabrixBand* groupHeader);
    // Plans and makes every copy of the block, then starts a new block.
    void Output();

    // The band's template range to the report at row, at once (nothing for null).
    void CopyFromTempl(const TTabrixBand* band, int row);
    void AddCopyAction(uint16_t dest, uint16_t src, uint16_t count);
    void DoCopyAction(uint16_t dest, uint16_t src, uint16_t count);
    // The first level whose header or footer is the key: groupHeader when
    // given, else band. A footer whose group header has a blank range finds
    // the level that holds the footer without a header band.
    int GetHierarchy(const TTabrixBand* band, const TTabrixBand* groupHeader) const;
    // Opens groups below group down to level (one above it for the record
    // level); returns the deepest, or group when none was opened.
    TTabrixCopyGroup* CreateChildren(TTabrixCopyGroup* group, int level);
    TTabrixCopyGroup* CreateCopyGroup();

    static TTabrixCopyActionKey CopyActionKey(uint16_t dest, uint16_t src, uint16_t count);
    // A key back into its numbers; a character that is no hexadecimal digit
    // raises EConvertError "... internal error 4. ".
    static TTabrixCopyAction ParseCopyActionKey(std::string_view key);

    // --- level tables (0 = outermost) -------------------------------------
    int LevelCount() const { return static_cast<int>(FHeaders.size()); }
    const std::vector<TTabrixBand*>& Headers() const { return FHeaders; }
    const std::vector<TTabrixBand*>& Footers() const { return FFooters; }
    const std::vector<int>& HeaderRowCounts() const { return FHeaderRowCounts; }
    const std::vector<int>& FooterRowCounts() const { return FFooterRowCounts; }
    // Rows of one record: header and footer of the record level.
    int RecordHeight() const { return FRecordHeight; }
    const AnsiString& WidestColumns() const { return FWidestColumns; }

    // Report row where the next band starts (1 at creation, never reset).
    int Row() const { return FRow; }
    // The group that stands for the block (level -1); its children are the
    // block's level-0 groups.
    const TTabrixCopyGroup& Root() const { return FRoot; }
    TTabrixCopyGroup& Root() { return FRoot; }
    // What the last block did: template copies in the order made, and the
    // action keys in the (sorted) order run; cleared when the next block
    // gets its first band.
    const std::vector<TTabrixTemplateCopy>& TemplateCopies() const { return FTemplateCopies; }
    const std::vector<TTabrixCopyActionKey>& Actions() const { return FActions; }

private:
    void LoadLevels(const TTabrixBands& bands);
    static bool IsHeaderSide(const TTabrixBand& band);
    void StartBlock();
    void OpenBlock();

    std::unique_ptr<ITabrixCopyTarget> FOwnTarget;
    ITabrixCopyTarget* FTarget;
    TTabrixCopyGroup FRoot;
    TTabrixCopyGroup* FCurrent;
    std::vector<TTabrixBand*> FHeaders;
    std::vector<TTabrixBand*> FFooters;
    std::vector<int> FHeaderRowCounts;
    std::vector<int> FFooterRowCounts;
    int FRecordHeight = 0;
    AnsiString FWidestColumns;
    bool FGroupsCreated = false;
    bool FBlockOpen = false;  // a band has been added since the last Output
    int FRow = 1;
    // The groups of the current block; a deque keeps their addresses and
    // allocates in chunks, not per group.
    std::deque<TTabrixCopyGroup> FGroups;
    std::vector<TTabrixCopyActionKey> FActions;
    std::vector<TTabrixTemplateCopy> FTemplateCopies;
};

// The manager most recently created and not yet destroyed, or null.
TTabrixCopyManager* TabrixCurrentCopyManager();

}  // namespace tabrix
