#pragma once
// What the copy tests share: a band set laid out on template rows, a
// replay of band outputs into a copy manager, and a model report sheet that
// runs a plan row by row and says what each report row ended up as.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bands/bands.h"
#include "copy/copy_manager.h"

namespace tabrix::testing {

// The kinds of band a report may have; group bands carry their level.
struct TBandSpec {
    TTabrixBandType Type;
    int Group = 0;  // 1-based group level for group headers and footers
    int Rows = 1;
    int Left = 1;   // first template column
    int Width = 1;  // columns
};

// Bands laid out one below the other on the template sheet from row 1 in
// the order given; group headers are linked to the footers of their level.
// The headers of the blank levels (1-based) get a blank range.
class TBandSet {
public:
    explicit TBandSet(const std::vector<TBandSpec>& specs, const std::vector<int>& blankHeaders = {});
    TTabrixBands& Bands() { return FBands; }
    TTabrixBand* Title() const { return Find(tbxbtTitle, 0); }
    TTabrixBand* Summary() const { return Find(tbxbtSummary, 0); }
    TTabrixBand* Master() const { return Find(tbxbtMasterData, 0); }
    TTabrixBand* DetailHeader() const { return Find(tbxbtDetailHeader, 0); }
    TTabrixBand* DetailData() const { return Find(tbxbtDetailData, 0); }
    TTabrixBand* DetailFooter() const { return Find(tbxbtDetailFooter, 0); }
    TTabrixBand* GroupHeader(int level) const { return Find(tbxbtGroupHeader, level); }
    TTabrixBand* GroupFooter(int level) const { return Find(tbxbtGroupFooter, level); }
    int GroupCount() const { return FGroupCount; }
    // "GH1", "M", "DD" ... for messages.
    std::string NameOf(const TTabrixBand* band) const;
    const std::vector<TBandSpec>& Specs() const { return FSpecs; }
    const TBandSpec& SpecOf(const TTabrixBand* band) const;
    // The band made from Specs()[index].
    TTabrixBand* BandAt(int index) const { return FBySpec[index]; }
    int LastTemplateRow() const { return FLastRow; }

private:
    TTabrixBand* Find(TTabrixBandType type, int group) const;
    TTabrixBands FBands{nullptr};
    std::vector<TBandSpec> FSpecs;
    std::map<const TTabrixBand*, int> FIndex;
    std::vector<TTabrixBand*> FBySpec;
    int FGroupCount = 0;
    int FLastRow = 0;
};

// One band output: the band and, for a group footer, its header.
struct TBandOutput {
    const TTabrixBand* Band;
    const TTabrixBand* Header = nullptr;
};

// A report sheet as the list of template rows its rows were made from
// (0: not made). Copies that read a row not yet made, or write outside the
// block being planned, are noted as faults.
class TModelSheet : public ITabrixCopyTarget {
public:
    void StartBlock(int firstRow, int endRow) {
        FBlockFirst = firstRow;
        FBlockEnd = endRow;
    }
    void CopyFromTempl(const TTabrixBand& band, int row) override;
    void DoCopyAction(int dest, int src, int count) override;
    int TemplateRowAt(int row) const { return row < static_cast<int>(FRows.size()) ? FRows[row] : 0; }
    const std::vector<std::string>& Faults() const { return FFaults; }
    int Calls() const { return FCalls; }

private:
    void Put(int row, int templateRow);
    std::vector<int> FRows;
    std::vector<std::string> FFaults;
    int FBlockFirst = 1;
    int FBlockEnd = 1;
    int FCalls = 0;
};

inline std::string ActionKeyText(const TTabrixCopyActionKey& key) { return std::string(key.data(), key.size()); }
// The keys of the manager's last Output as text.
std::vector<std::string> ActionKeys(const TTabrixCopyManager& manager);
// "GH1@1" for each template copy of the last Output.
std::vector<std::string> TemplateCopies(const TBandSet& set, const TTabrixCopyManager& manager);

}  // namespace tabrix::testing
