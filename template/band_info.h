#pragma once
// TTabrixBandInfo: one band of the template, read once. Every cell of the
// band's range is either a fixed text (a cell without fields, kept as its
// typed text) or a TTabrixCellParser (a cell with fields); the band info
// also keeps the band's totals and the report rows where the band was output
// (for range formulas over them).
//
// Created by the template parser (templ_parser.h), which owns it; rows and
// columns are template sheet coordinates, 1-based.
//
//   info.GetValue(5, 3, 12);   // template cell C5 as output at report row 12
//   info.SetRowInterval(12);   // the band was output from report row 12

#include <cstdint>
#include <memory>
#include <vector>

#include "automation/automation.h"
#include "platform/rtl/strings.h"
#include "template/cell_parser.h"
#include "template/templ_owner.h"
#include "template/totals.h"

namespace tabrix {

class TDataSet;
class TTabrixBand;
class TTabrixTemplParser;

// A run of outputs of one band: the report row of its first output and the
// number of further outputs, each one band height below the one before.
struct TTabrixRowInterval {
    uint16_t Extra = 0;
    uint16_t First = 0;  // report row, 1-based
    bool operator==(const TTabrixRowInterval&) const = default;
};

class TTabrixBandInfo {
public:
    // Reads and parses the band's range on the parser's template sheet;
    // level is the index of the band's header/footer pair (0 = title and
    // summary, then the groups outside in, master data, detail header and
    // footer, detail data).
    TTabrixBandInfo(TTabrixTemplParser* parser, const TExcelWorksheet& sheet, TTabrixBand* band,
                    TTabrixBand* headerBand, int level);
    ~TTabrixBandInfo();

    TTabrixBandInfo(const TTabrixBandInfo&) = delete;
    TTabrixBandInfo& operator=(const TTabrixBandInfo&) = delete;

    // The text to write for template cell (row, col) when its row is output
    // at report row outRow. Raises ETabrixTemplParserError for a cell outside
    // the band.
    UnicodeString GetValue(int row, int col, int outRow);
    bool GetHasFields(int row, int col) const;
    // The band's range on the sheet, checked: the spreadsheet takes it
    // (else ETabrixError with the spreadsheet's message after a line break),
    // it is one area, its corners are in order.
    static TExcelRange CheckedRange(const TExcelWorksheet& sheet, const TTabrixBand& band);
    void SetRowInterval(int outRow);

    // Fixed texts in row-major order; each entry knows its cell.
    int AddCellStrValue(const UnicodeString& s, int row, int col);
    const UnicodeString& GetCellStrValue(int index) const;
    int GetCellStrCount() const { return static_cast<int>(FCellStrValues.size()); }

    // ---- totals
    void AddAccFields(TTabrixCellParser& cell);
    TTabrixAccField* FindAccField(const AnsiString& name, const TDataSet* dataSet, TTabrixFieldFunc func,
                                  TTabrixAccType accType) const;
    AnsiString GetAccFieldValue(const AnsiString& name, const TDataSet* dataSet, TTabrixFieldFunc func,
                                TTabrixAccType accType) const;
    // Counts the record; the totals of that type add it. Every band info
    // counts, so this runs for all of them after every record: kept inline.
    void Accumulate(TTabrixAccType accType) {
        if (accType == xatMaster)
            ++FMasterCount;
        else
            ++FDetailCount;
        if (FAccTypes.Contains(accType)) AccumulateTotals(accType);
    }
    void ResetAccumulation();
    // The formula (without "=") over the cell at rowOffset (from 0) and
    // report column col (from 1) of this band's outputs from the run
    // startInterval on, skipping its first skipOutputs outputs; empty when
    // there is none or it would break the limits of totals.h.
    AnsiString GetBandRangeFormula(uint16_t rowOffset, uint16_t col, TTabrixFieldFunc func, uint16_t startInterval,
                                   uint16_t skipOutputs) const;

    // ---- what the band info holds
    TTabrixTemplParser* Parser() const { return FParser; }
    TTabrixBand* Band() const { return FBand; }
    TTabrixBand* HeaderBand() const { return FHeaderBand; }
    int Level() const { return FLevel; }
    int RowCount() const { return FRowCount; }
    int ColCount() const { return FColCount; }
    TTabrixAccTypes AccTypes() const { return FAccTypes; }
    int CellParserCount() const { return static_cast<int>(FCellParsers.size()); }
    TTabrixCellParser& CellParser(int index) const { return *FCellParsers[index]; }
    int AccFieldCount() const { return static_cast<int>(FAccFields.size()); }
    TTabrixAccField& AccField(int index) const { return *FAccFields[index]; }
    const std::vector<TTabrixRowInterval>& RowIntervals() const { return FRowIntervals; }
    int32_t MasterCount() const { return FMasterCount; }
    int32_t DetailCount() const { return FDetailCount; }

private:
    friend class TTabrixAccField;

    struct TCellStr {
        UnicodeString Text;
        uint32_t Key;       // row * 65536 + col
        bool MovesWithRow;  // a formula whose references follow the output row
    };
    // Where the text of a cell of the range comes from: a fixed text or a
    // cell parser (the index, with the top bit telling which).
    static constexpr uint32_t kParserBit = 0x80000000u;

    void ReadCells(const TExcelWorksheet& sheet, const AnsiString& first, const AnsiString& last);
    int CellIndex(int row, int col) const;
    void AccumulateTotals(TTabrixAccType accType);

    std::vector<std::unique_ptr<TTabrixAccField>> FAccFields;
    int32_t FRowCount = 0;
    std::vector<std::unique_ptr<TTabrixCellParser>> FCellParsers;
    std::vector<TCellStr> FCellStrValues;
    int32_t FLevel;
    int32_t FColCount = 0;
    TTabrixAccTypes FAccTypes;
    TTabrixBand* FBand;
    TTabrixTemplParser* FParser;
    TTabrixBand* FHeaderBand;
    std::vector<TTabrixRowInterval> FRowIntervals;
    int32_t FMasterCount = 0;
    int32_t FDetailCount = 0;

    int FTop = 0, FLeft = 0;         // the range's top-left cell
    std::vector<uint32_t> FCellMap;  // row-major over the range: FCellStrValues or FCellParsers index
};

}  // namespace tabrix
