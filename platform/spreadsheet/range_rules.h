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
// Rules that the main part cannot express (data bars with extras, icon
// sets, formulas on other sheets) live in the sheet's <extLst> as
// x14:conditionalFormatting and x14:dataValidation, with the ranges in an
// xm:sqref child and the formulas in xm:f. They are rules of this model too
// and travel the same way; a main-part data bar and its x14 twin share an id
// (x14:id in the main rule, id on the x14:cfRule), which a copy to another
// sheet keeps the same in both and unique in the sheet.
//
// The rules are cut from the sheet's kept XML the first time a copy or a
// clear needs them; a rule that was not changed is written back as read,
// and so is the <extLst> while none of its rules changed.
// A TSheetRules belongs to its TWorksheet. Rows and columns are 1-based.
//
//   TSheetRules& rules = sheet.Rules();
//   rules.Clear({5, 1, 10, 16384});

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/spreadsheet/cell_address.h"
#include "platform/spreadsheet/xml_scan.h"

namespace tabrix::xl {

class TWorksheet;

struct TRangeRule {
    enum class TKind : uint8_t { ConditionalFormat, Validation, X14ConditionalFormat, X14Validation };
    TKind Kind = TKind::ConditionalFormat;
    std::vector<TCellRect> Ranges;  // in the order written; empty: the rule is gone
    TCellRect Bounds;               // of Ranges, for a quick miss
    TCellRef Anchor;                // the cell the formulas in Body are relative to
    std::string QName;              // element name with its prefix
    std::string Attributes;         // the element's attributes but sqref, as written
    std::string Body;               // the element's children (x14: but xm:sqref), as written
    std::string SqrefQName;         // x14: the name of the sqref child ("xm:sqref")
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
    // insertAt is where they go back in that text. head is the kept text
    // before <sheetData>: its root tag declares the prefixes rules may use.
    TSheetRules(std::string& tail, size_t minimumOffset, std::string_view prefix, std::string_view head = {});

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
    // The <extLst> cut from the kept text, with the x14 rules as they are
    // now; it goes last in the worksheet. Nothing when it would be empty.
    void WriteExtensions(std::string& out) const;

private:
    // One <ext> of the sheet's <extLst>: kept as read, or the wrapper of
    // the x14 rules of one kind.
    struct TExtension {
        std::string Raw;             // a kept ext; "" for a wrapper
        TRangeRule::TKind Kind{};    // a wrapper's rules
        std::string ExtQName;        // "ext" with the prefix of the sheet's elements
        std::string ExtAttributes;   // uri and namespace declarations
        std::string ListQName;       // "x14:conditionalFormattings"
        std::string ListAttributes;  // but count
    };

    void CutExtensions(std::string& tail, const TSpan& extList);
    // This sheet's wrapper of that kind, made like the source's when missing.
    void EnsureWrapper(const TSheetRules& source, TRangeRule::TKind kind);
    // The body with its data bar ids given by the map of this copy.
    std::string RenewIds(const std::string& body, uint64_t sourceSerial);
    // A rule from another sheet declares the prefixes it took from that
    // sheet's root; attributes of prefixes that root marks ignorable go.
    void MakePortable(TRangeRule& rule, const TSheetRules& source) const;
    void AddRange(TRangeRule& rule, const TCellRect& r);
    static void WriteRule(std::string& out, const TRangeRule& rule);
    static void Changed(TRangeRule& rule);

    std::vector<TRangeRule> FRules;
    // (source serial, source rule) -> rule of this sheet made from it
    std::unordered_map<uint64_t, std::unordered_map<size_t, size_t>> FOrigins;
    std::string FPrefix;
    std::string FValidationsAttributes;  // of <dataValidations> but count
    size_t FInsertAt = 0;
    uint64_t FSerial = 0;
    // The <extLst>: its tag, its exts in order, the text as read.
    std::string FExtListQName;
    std::string FExtListAttributes;
    std::vector<TExtension> FExtensions;
    std::string FExtListOriginal;
    size_t FX14RulesRead = 0;
    // Data bar ids in use in this sheet, and (source serial, id) -> the id
    // given to that source's id here.
    std::unordered_set<std::string> FIds;
    std::unordered_map<std::string, std::string> FIdMap;
    uint64_t FNextId = 1;
    // The namespaces the worksheet's root declares (prefix -> uri), and
    // the prefixes it marks ignorable.
    std::unordered_map<std::string, std::string> FRootNamespaces;
    std::unordered_set<std::string> FIgnorable;
};

}  // namespace tabrix::xl
