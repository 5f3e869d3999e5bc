#pragma once
// The conditional formats and data validations of a sheet, modelled so that
// copies and clears of cells carry them: each <conditionalFormatting> and
// each <dataValidation> is a rule over a list of rectangles (its sqref).
// A copy of cells joins the destination to the rule that covers the source
// (adjacent rows coalesce into one rectangle, so a report made from one band
// row holds one rule over one range); a clear cuts the cleared rectangle
// out of every list. Formulas in a rule are relative to the top-left cell
// of its first rectangle; they are moved when that cell moves.
//
// The rules are cut from the sheet's kept XML the first time a copy or a
// clear needs them; a rule that was not changed is written back as read.
// A TSheetRules belongs to its TWorksheet. Rows and columns are 1-based.
//
//   TSheetRules& rules = sheet.Rules();
//   rules.Clear({5, 1, 10, 16384});

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/spreadsheet/cell_address.h"

namespace tabrix::xl {

class TWorksheet;

struct TRangeRule {
    enum class TKind : uint8_t { ConditionalFormat, Validation };
    TKind Kind = TKind::ConditionalFormat;
    std::vector<TCellRect> Ranges;  // in the order written; empty: the rule is gone
    TCellRect Bounds;               // of Ranges, for a quick miss
    TCellRef Anchor;                // the cell the formulas in Body are relative to
    std::string QName;              // element name with its prefix
    std::string Attributes;         // the element's attributes but sqref, as written
    std::string Body;               // the element's children, as written
    std::string Original;           // the element as read; "" once changed
};

// The ranges of one rule that fall inside a copied rectangle, moved to the
// destination (read before the destination is cleared: they may overlap).
struct TRuleCopy {
    size_t Rule;  // index among the source's rules
    int DRow, DCol;
    std::vector<TCellRect> Ranges;
};

class TSheetRules {
public:
    // Cuts the rules out of the sheet's kept XML (after <sheetData>);
    // insertAt is where they go back in that text.
    TSheetRules(std::string& tail, size_t minimumOffset, std::string_view prefix);

    const std::vector<TRangeRule>& Rules() const { return FRules; }
    // A serial number of this model, unique in the process: it tells a
    // source sheet from any other, also after that one is gone.
    uint64_t Serial() const { return FSerial; }
    bool Empty() const;

    // The source's rule ranges inside from, moved by (dRow, dCol).
    std::vector<TRuleCopy> Collect(const TCellRect& from, int dRow, int dCol) const;
    // Adds the collected ranges: to the same rule within one sheet, to the
    // rule made from the same source rule (made at the first copy) otherwise.
    // mapDxf gives the target's differential format for a source's dxfId
    // (empty: the two share their formats).
    void Apply(const TSheetRules& source, const std::vector<TRuleCopy>& copies,
               const std::function<uint32_t(uint32_t)>& mapDxf = {});
    // Cuts rect out of every rule.
    void Clear(const TCellRect& rect);

    // Offset in the kept text where the rules are written back.
    size_t InsertAt() const { return FInsertAt; }
    void Write(std::string& out) const;

private:
    void AddRange(TRangeRule& rule, const TCellRect& r);
    static void Changed(TRangeRule& rule);

    std::vector<TRangeRule> FRules;
    // (source serial, source rule) -> rule of this sheet made from it
    std::unordered_map<uint64_t, std::unordered_map<size_t, size_t>> FOrigins;
    std::string FPrefix;
    std::string FValidationsAttributes;  // of <dataValidations> but count
    size_t FInsertAt = 0;
    uint64_t FSerial = 0;
};

}  // namespace tabrix::xl
