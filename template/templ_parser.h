#pragma once
// TTabrixTemplParser: every band of the template sheet, read once before a
// report is generated. The generation loop then takes every cell value from
// memory: GetValue for each cell of each output row, SetOutputRow once per
// band output, ResetAccumulation after footer and summary bands, Accumulate
// after each master and detail record.
//
// Each band is read with one range read through the automation face; the
// band infos stand innermost level first (detail data, detail header and
// footer, master data, groups inner to outer, title, summary), so that the
// totals of a band can refer to the bands inside it. The spreadsheet's own
// function names are learned once through a scratch cell right of every band
// (row 1), which is cleared again.
//
// Created once per build after the bands are final and the template sheet is
// open; owner and the sheet must outlive it. Rows and columns are template
// sheet coordinates, report rows 1-based.
//
//   TTabrixTemplParser parser(report, templSheet, callback);
//   int columns = parser.GetMaxColumn();
//   UnicodeString text = parser.GetValue(band, nullptr, 5, 3, 12);
//   parser.SetOutputRow(band, nullptr, 12);

#include <memory>
#include <utility>
#include <vector>

#include "automation/automation.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "template/band_info.h"
#include "template/templ_owner.h"

namespace tabrix {

TABRIX_EXCEPTION_CLASS(ETabrixTemplParserError, Exception);

class TTabrixTemplParser {
public:
    // Parses the whole template; onGetValue supplies user fields and must be
    // given. Every failure propagates; nothing of the parse survives it.
    TTabrixTemplParser(ITabrixTemplOwner& owner, const TExcelWorksheet& sheet, TTabrixGetValueCallback onGetValue);
    ~TTabrixTemplParser();

    TTabrixTemplParser(const TTabrixTemplParser&) = delete;
    TTabrixTemplParser& operator=(const TTabrixTemplParser&) = delete;

    int GetBandCount() const { return static_cast<int>(FBandInfos.size()); }
    TTabrixBandInfo& GetBandInfos(int index) const;  // 0-based, list order
    // The widest band's column count; 0 without bands.
    int GetMaxColumn() const;

    // The text for template cell (row, col) of band when that row is output
    // at report row outRow. headerBand is the group header when band is a
    // group footer, else null.
    UnicodeString GetValue(const TTabrixBand* band, const TTabrixBand* headerBand, int row, int col, int outRow);
    // The band was output starting at report row outRow.
    void SetOutputRow(const TTabrixBand* band, const TTabrixBand* headerBand, int outRow);
    void ResetAccumulation(const TTabrixBand* band, const TTabrixBand* headerBand);
    void Accumulate(TTabrixAccType accType);

    // ---- native function names
    void AddFuncNames(const AnsiString& cell);
    // Raises ETabrixError when the spreadsheet gave no name for it.
    AnsiString GetFuncName(TTabrixFieldFunc func) const;

    // ---- resolution steps of the cell parsers and totals
    bool FindFieldInDetailData(const TDataSet* dataSet, const AnsiString& name) const;
    bool FindDetailForSumFields(const AnsiString& name, const TDataSet* dataSet, int level, TTabrixAccType accType,
                                TTabrixFieldFunc func, TTabrixBandInfo*& bandInfo, TTabrixCellParser*& foundCell,
                                TTabrixFieldFunc& formulaFunc) const;

    ITabrixTemplOwner& Owner() const { return FHolder; }
    const TTabrixGetValueCallback& OnGetValue() const { return FOnGetValue; }
    // The band info of (band, headerBand); raises ETabrixTemplParserError.
    TTabrixBandInfo& FindBandInfo(const TTabrixBand* band, const TTabrixBand* headerBand);

private:
    std::vector<std::unique_ptr<TTabrixBandInfo>> FBandInfos;
    // English name -> native name.
    std::vector<std::pair<AnsiString, AnsiString>> FFuncNames;
    ITabrixTemplOwner& FHolder;
    TExcelWorksheet FSheet;
    TTabrixGetValueCallback FOnGetValue;
    TTabrixBandInfo* FLastFound = nullptr;  // consecutive cells ask for the same band
};

}  // namespace tabrix
