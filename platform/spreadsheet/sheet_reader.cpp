// Reading a worksheet part into the model as a stream: rows and cells go
// straight into the cell store, the XML the engine does not model is kept as
// text around <sheetData>. No tree of the part is built, so reading costs
// the part's text and the cell store.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <new>
#include <unordered_map>

#include "platform/rtl/datetime.h"
#include "platform/rtl/iso_datetime.h"
#include "platform/rtl/strings.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_reader.h"
#include "platform/spreadsheet/xml_scan.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

// Elements of a worksheet that come before <mergeCells>.
bool PrecedesMergeCells(std::string_view name) {
    static constexpr std::string_view kBefore[] = {"sheetCalcPr",     "sheetProtection", "protectedRanges",
                                                   "scenarios",       "autoFilter",      "sortState",
                                                   "dataConsolidate", "customSheetViews"};
    return std::find(std::begin(kBefore), std::end(kBefore), name) != std::end(kBefore);
}

// Elements the schema puts after <sheetData>: a sheet without rows gets
// them before the first of these.
bool FollowsSheetData(std::string_view name) {
    static constexpr std::string_view kAfter[] = {"sheetCalcPr",
                                                  "sheetProtection",
                                                  "protectedRanges",
                                                  "scenarios",
                                                  "autoFilter",
                                                  "sortState",
                                                  "dataConsolidate",
                                                  "customSheetViews",
                                                  "mergeCells",
                                                  "phoneticPr",
                                                  "conditionalFormatting",
                                                  "dataValidations",
                                                  "hyperlinks",
                                                  "printOptions",
                                                  "pageMargins",
                                                  "pageSetup",
                                                  "headerFooter",
                                                  "rowBreaks",
                                                  "colBreaks",
                                                  "customProperties",
                                                  "cellWatches",
                                                  "ignoredErrors",
                                                  "smartTags",
                                                  "drawing",
                                                  "legacyDrawing",
                                                  "legacyDrawingHF",
                                                  "picture",
                                                  "oleObjects",
                                                  "controls",
                                                  "webPublishItems",
                                                  "tableParts",
                                                  "extLst"};
    return std::find(std::begin(kAfter), std::end(kAfter), name) != std::end(kAfter);
}

// Attributes of <c> the model does not use but writes back as read.
bool IsKeptCellAttribute(std::string_view name) {
    static constexpr std::string_view kKept[] = {"cm", "vm", "ph"};
    return std::find(std::begin(kKept), std::end(kKept), name) != std::end(kKept);
}

bool ParseInt(std::string_view s, int& value) {
    auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

bool ParseDouble(std::string_view s, double& value) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '+')) s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(value);
}

// Attribute numbers read leniently, as their leading digits (a height of
// "15pt" is 15); fallback when there are none.
template <typename T>
T LeadingNumber(std::string_view s, T fallback) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '+')) s.remove_prefix(1);
    T value{};
    auto r = std::from_chars(s.data(), s.data() + s.size(), value);
    return r.ec == std::errc() ? value : fallback;
}

bool IsTrue(std::string_view v) { return v == "1" || v == "true"; }

// A date cell ("2024-03-01", "2024-03-01T12:30:00.5Z") as a serial number,
// with every digit of the seconds' fraction.
bool ParseIsoDate(std::string_view s, bool date1904, double& serial) {
    TIsoDateTime parts;
    if (!TryReadIsoDateTime(s, TIsoForm::DateTime, parts)) return false;
    serial = EncodeDate(parts.Year, parts.Month, parts.Day) + parts.SecondsOfDay() / 86400.0;
    if (date1904) serial -= kDate1904Offset;
    return true;
}

struct TSharedMaster {
    int Row, Column;
    std::string Text;
};

// A dependent of a shared formula met before its master: resolved once the
// rows are read.
struct TPendingShared {
    int Row, Column, Index;
    TCellFormula Formula;
};

// What one <c> element holds, as views into the part (or the reader's
// scratch buffers), read in one pass over its children.
struct TCellXml {
    std::string_view Type;
    uint32_t Style = 0;
    bool HasValue = false;
    std::string_view Value;
    bool HasFormula = false;
    std::string_view FormulaText;
    std::vector<TXmlReader::TAttribute> FormulaAttributes;
    bool HasInline = false;
    TStringItem Inline;

    std::string_view FormulaAttribute(std::string_view name) const {
        for (const TXmlReader::TAttribute& a : FormulaAttributes)
            if (a.Name == name) return a.Raw;
        return {};
    }
    bool HasFormulaAttribute(std::string_view name) const {
        return std::any_of(FormulaAttributes.begin(), FormulaAttributes.end(),
                           [&](const TXmlReader::TAttribute& a) { return a.Name == name; });
    }
};

}  // namespace

class TSheetReader {
public:
    explicit TSheetReader(TWorksheet& sheet) : FSheet(sheet), FBook(sheet.Workbook()) {}

    void Read(std::string_view xml) {
        const std::string where = "File \"" + FBook.DisplayName() + "\", part \"" + FSheet.FPartName + "\"";
        RequireUtf8Encoding(xml, where);
        // Texts written back must be well-formed: invalid bytes read as U+FFFD.
        std::string valid;
        if (!IsValidUtf8(xml)) {
            valid = ToValidUtf8(xml);
            xml = valid;
        }
        TXmlReader reader(xml, where);
        FReader = &reader;
        try {
            ReadWorksheet(xml);
        } catch (const std::bad_alloc&) {
            // What was read goes first, so that the message can be made.
            std::vector<TRow>().swap(FSheet.FRows);
            std::vector<TCellFormula>().swap(FSheet.FFormulas);
            throw ESpreadsheetError(where + ": out of memory after reading " + std::to_string(FCells) +
                                    " cells (up to row " + std::to_string(FLastRow) + ")");
        }
    }

private:
    void ReadWorksheet(std::string_view xml) {
        TXmlReader& r = *FReader;
        r.NextStart();
        if (r.LocalName() != "worksheet") throw ESpreadsheetError(r.Where() + " is no worksheet");
        FSheet.FPrefix = std::string(NamePrefix(r.Name()));
        if (r.SelfClosing()) throw ESpreadsheetError(r.Where() + ": the worksheet element is empty");
        ReadTopLevel();
        while (r.Next() != TXmlReader::TToken::End) {}
        ResolvePendingShared();
        SplitKeptXml(xml);
        for (const auto& [offset, rect] : FMergesRead)
            if (offset >= FTailOffset) FSheet.FMerges.push_back(rect);
    }

    // The children of <worksheet>, each read or skipped as a whole; the
    // offsets of <sheetData>, <dimension> and the elements after the rows
    // say where the kept XML is cut.
    void ReadTopLevel() {
        TXmlReader& r = *FReader;
        bool formatRead = false;
        while (r.NextChild(1)) {
            std::string_view name = r.LocalName();
            if (name == "sheetData" && FDataBegin == std::string_view::npos) {
                FDataBegin = r.TagBegin();
                if (r.SelfClosing())
                    r.Next();
                else
                    ReadRows();
                FDataEnd = r.TagEnd();
                continue;
            }
            if (FollowsSheetData(name) && FFirstAfter == std::string_view::npos) FFirstAfter = r.TagBegin();
            if (name == "dimension" && FDimBegin == std::string_view::npos && r.SelfClosing() &&
                FDataBegin == std::string_view::npos) {
                FDimBegin = r.TagBegin();
                FDimEnd = r.TagEnd();
            } else if (name == "sheetFormatPr" && !formatRead) {
                formatRead = true;
                ReadFormat();
            } else if (name == "cols") {
                ReadColumns();
                continue;
            } else if (name == "mergeCells") {
                ReadMerges();
                continue;
            }
            r.SkipElement();
        }
        FRootClose = r.TagBegin();
    }

    void SplitKeptXml(std::string_view xml) {
        size_t headEnd, tailBegin;
        if (FDataBegin != std::string_view::npos) {
            headEnd = FDataBegin;
            tailBegin = FDataEnd;
        } else {
            // No rows at all: they go before the elements that follow
            // <sheetData> in the schema, else before </worksheet>.
            headEnd = tailBegin = FFirstAfter != std::string_view::npos ? FFirstAfter : FRootClose;
        }
        FSheet.FHead = std::string(xml.substr(0, headEnd));
        FTailOffset = tailBegin;
        SplitTail(xml.substr(tailBegin));
        // The dimension is regenerated at save.
        if (FDimBegin != std::string_view::npos && FDimEnd <= headEnd) {
            FSheet.FHead.erase(FDimBegin, FDimEnd - FDimBegin);
            FSheet.FDimensionAt = FDimBegin;
        }
    }

    void SplitTail(std::string_view tail) {
        size_t closeAt = 0;
        std::vector<TSpan> spans = TopLevelElements(tail, closeAt);
        size_t insertAt = 0;
        bool found = false;
        std::string kept;
        for (auto it = spans.rbegin(); it != spans.rend(); ++it) {
            if (it->LocalName != "mergeCells") continue;
            if (!found) kept = std::string(tail);
            kept.erase(it->Begin, it->End - it->Begin);
            insertAt = it->Begin;  // the first one's place, once all are cut
            found = true;
        }
        if (!found) {
            // <mergeCells> goes before the first element the schema puts after it.
            kept = std::string(tail);
            insertAt = closeAt;
            for (const TSpan& s : spans) {
                if (!PrecedesMergeCells(s.LocalName)) {
                    insertAt = s.Begin;
                    break;
                }
            }
        }
        FSheet.FTail = std::move(kept);
        FSheet.FMergeInsertAt = insertAt;
    }

    std::string_view Attr(std::string_view name) const {
        std::string_view raw;
        return FReader->Attribute(name, raw) ? raw : std::string_view();
    }

    void ReadFormat() {
        double h = LeadingNumber(Attr("defaultRowHeight"), 0.0);
        if (h > 0 && h <= kMaxRowHeightPoints) FSheet.FDefaultRowHeight = h;
        double w = LeadingNumber(Attr("defaultColWidth"), 0.0);
        if (w > 0) {
            FSheet.FDefaultColumnWidth = w;
        } else if (double base = LeadingNumber(Attr("baseColWidth"), 0.0); base > 0) {
            FSheet.FDefaultColumnWidth = base + 0.71;
        }
    }

    void ReadColumns() {
        TXmlReader& r = *FReader;
        const int depth = r.Depth();
        while (r.NextChild(depth)) {
            if (r.LocalName() == "col") {
                int min = LeadingNumber(Attr("min"), 0), max = LeadingNumber(Attr("max"), 0);
                if (min >= 1 && max >= min)
                    FSheet.FColumns.push_back({min, std::min(max, kMaxColumns), LeadingNumber(Attr("width"), 0.0),
                                               LeadingNumber(Attr("style"), 0u)});
            }
            r.SkipElement();
        }
    }

    void ReadMerges() {
        TXmlReader& r = *FReader;
        const size_t offset = r.TagBegin();
        const int depth = r.Depth();
        while (r.NextChild(depth)) {
            TCellRect rect;
            if (r.LocalName() == "mergeCell" && TryParseRect(TXmlReader::Decode(Attr("ref"), FScratch), rect) &&
                !rect.IsSingleCell())
                FMergesRead.emplace_back(offset, rect);
            r.SkipElement();
        }
    }

    [[noreturn]] void Fail(int row, int column, const std::string& what) {
        FSheet.ThrowAt(row, column, what + " (part \"" + FSheet.FPartName + "\")");
    }

    // A row that is no position of the sheet is named by its number alone.
    [[noreturn]] void FailRow(std::string_view row, const std::string& what) {
        throw ESpreadsheetError(FSheet.Where() + ", row " + std::string(row) + ": " + what + " (part \"" +
                                FSheet.FPartName + "\")");
    }

    void ReadRows() {
        TXmlReader& r = *FReader;
        const int depth = r.Depth();
        int rowNumber = 0;
        FStringCount = FBook.Strings().Count();
        while (r.NextChild(depth)) {
            if (r.LocalName() != "row") {
                r.SkipElement();
                continue;
            }
            rowNumber = ReadRowNumber(rowNumber);
            FLastRow = rowNumber;
            ReadRowProps(rowNumber);
            if (r.SelfClosing())
                r.Next();
            else
                ReadRowCells(rowNumber);
        }
    }

    int ReadRowNumber(int previous) {
        std::string_view raw;
        if (!FReader->Attribute("r", raw)) {
            if (previous + 1 > kMaxRows)
                FailRow(std::to_string(previous + 1),
                        "beyond the last row of a sheet (" + std::to_string(kMaxRows) + ")");
            return previous + 1;
        }
        int n = 0;
        if (!ParseInt(raw, n))
            throw ESpreadsheetError(FSheet.Where() + ": bad row number \"" + std::string(raw) + "\" after row " +
                                    std::to_string(previous) + " (part \"" + FSheet.FPartName + "\")");
        if (n < 1 || n > kMaxRows)
            FailRow(raw,
                    n < 1 ? "bad row number" : "beyond the last row of a sheet (" + std::to_string(kMaxRows) + ")");
        return n;
    }

    void ReadRowProps(int rowNumber) {
        TRowProps props;
        std::string_view ht;
        if (FReader->Attribute("ht", ht)) {
            double h = LeadingNumber(ht, -1.0);
            if (h >= 0 && h <= kMaxRowHeightPoints) {
                props.Height = h;
                props.HasHeight = true;
            }
        }
        props.CustomHeight = IsTrue(Attr("customHeight")) && props.HasHeight;
        props.Hidden = IsTrue(Attr("hidden"));
        props.Collapsed = IsTrue(Attr("collapsed"));
        props.CustomFormat = IsTrue(Attr("customFormat"));
        props.Style = props.CustomFormat ? LeadingNumber(Attr("s"), 0u) : 0;
        props.OutlineLevel = static_cast<uint8_t>(std::clamp(LeadingNumber(Attr("outlineLevel"), 0), 0, 7));
        props.ThickTop = IsTrue(Attr("thickTop"));
        props.ThickBottom = IsTrue(Attr("thickBot"));
        props.Phonetic = IsTrue(Attr("ph"));
        if (!props.IsDefault()) FSheet.SetRowProps(rowNumber, props);
    }

    void ReadRowCells(int rowNumber) {
        TXmlReader& r = *FReader;
        const int depth = r.Depth();
        int column = 0;
        while (r.NextChild(depth)) {
            if (r.LocalName() != "c") {
                r.SkipElement();
                continue;
            }
            column = ReadCellColumn(rowNumber, column);
            CountCell(rowNumber, column);
            ReadCell(rowNumber, column);
        }
    }

    int ReadCellColumn(int rowNumber, int previous) {
        std::string_view raw;
        if (!FReader->Attribute("r", raw)) {
            if (previous + 1 > kMaxColumns) Fail(rowNumber, kMaxColumns, "too many cells in the row");
            return previous + 1;
        }
        TCellRef ref;
        if (!TryParseCellAddress(raw, ref) || ref.Row != rowNumber)
            Fail(rowNumber, std::min(previous + 1, kMaxColumns), "bad cell reference \"" + std::string(raw) + "\"");
        return ref.Column;
    }

    // Every <c> read counts against the workbook's limit, so that a small
    // file of millions of tiny cells is refused before it takes the memory.
    // The workbook's count holds the other sheets only: a sheet read again
    // replaces its share instead of adding to it.
    void CountCell(int row, int column) {
        if (FBook.CellsRead() + ++FCells > FBook.Limits().MaxCells)
            Fail(row, column,
                 "the workbook holds more than " + std::to_string(FBook.Limits().MaxCells) +
                     " cells, the most one workbook may hold");
    }

    // --- one cell: its XML, its constant, then the store --------------------

    void ReadCell(int row, int column) {
        TCellXml& x = FCell;
        ReadCellXml(x, row, column);
        TCell& cell = FSheet.Slot(row, column);
        cell.Style = x.Style;
        TStoredValue constant;
        if (ReadConstant(x, row, column, constant)) return;  // stored already
        if (x.HasFormula) {
            ReadFormula(x, row, column, std::move(constant));
            return;
        }
        StoreConstant(row, column, constant);
    }

    // The attributes and children of <c>, in one pass.
    void ReadCellXml(TCellXml& x, int row, int column) {
        TXmlReader& r = *FReader;
        x.Type = {};
        x.Style = 0;
        x.HasValue = x.HasFormula = x.HasInline = false;
        x.Value = x.FormulaText = {};
        x.FormulaAttributes.clear();
        KeepExtraAttributes(row, column);
        for (const TXmlReader::TAttribute& a : r.Attributes()) {
            if (a.Name == "t")
                x.Type = a.Raw;
            else if (a.Name == "s")
                x.Style = LeadingNumber(a.Raw, 0u);
        }
        const int depth = r.Depth();
        if (r.SelfClosing()) {
            r.Next();
            return;
        }
        while (r.NextChild(depth)) {
            std::string_view name = r.LocalName();
            if (name == "v" && !x.HasValue) {
                x.HasValue = true;
                x.Value = r.ElementText(FValueScratch);
            } else if (name == "f" && !x.HasFormula) {
                x.HasFormula = true;
                x.FormulaAttributes = r.Attributes();
                x.FormulaText = r.ElementText(FFormulaScratch);
            } else if (name == "is" && !x.HasInline) {
                x.HasInline = true;
                ReadStringItem(r, x.Inline);
            } else {
                r.SkipElement();
            }
        }
    }

    void KeepExtraAttributes(int row, int column) {
        std::string extra;
        for (const TXmlReader::TAttribute& a : FReader->Attributes()) {
            if (!IsKeptCellAttribute(a.Name)) continue;
            extra += ' ';
            extra += a.Name;
            extra += "=\"";
            AppendXmlAttribute(extra, TXmlReader::Decode(a.Raw, FScratch));
            extra += '"';
        }
        if (extra.empty()) return;
        FSheet.Slot(row, column).Flags |= TCell::kCellHasExtra;
        FSheet.FExtras.emplace_back((static_cast<uint64_t>(row) << 16) | static_cast<uint64_t>(column),
                                    std::move(extra));
    }

    // The value as written, by the cell's type. True when the cell is
    // stored already (a shared string or a rich inline string, no formula).
    bool ReadConstant(const TCellXml& x, int row, int column, TStoredValue& constant) {
        std::string_view type = x.Type;
        std::string_view value = x.Value;
        if (type == "s") {
            int index = -1;
            if (!x.HasValue || !ParseInt(value, index) || index < 0 || static_cast<uint32_t>(index) >= FStringCount)
                Fail(row, column, "shared string index \"" + std::string(value) + "\" is not in the table");
            TCell& cell = FSheet.Slot(row, column);
            cell.Kind = TCellKind::String;
            cell.Index = static_cast<uint32_t>(index);
            if (!x.HasFormula) return true;
            constant = {TCellKind::String, 0, std::string(FSheet.StringOf(cell))};
        } else if (type == "inlineStr") {
            if (x.HasInline && x.Inline.Rich) {
                if (!x.HasFormula) {
                    TCell& cell = FSheet.Slot(row, column);
                    cell.Index = FBook.Strings().AddRich(x.Inline.Text, x.Inline.InnerXml);
                    cell.Kind = TCellKind::String;
                    return true;
                }
                constant = {TCellKind::String, 0, x.Inline.Text};
            } else if (x.HasInline || x.HasValue) {
                // Writers also put the text of a formula's result in <v>.
                constant = {TCellKind::String, 0, x.HasInline ? x.Inline.Text : DecodeXmlEscapes(value)};
            }
        } else if (type == "b") {
            constant.Kind = TCellKind::Boolean;
            if (x.HasValue) {
                if (value == "1" || value == "true")
                    constant.Number = 1;
                else if (value != "0" && value != "false")
                    Fail(row, column, "bad boolean \"" + std::string(value) + "\" (0 or 1)");
            }
        } else if (type == "e") {
            constant.Kind = TCellKind::Error;
            constant.Text = std::string(value);
            // A formula keeps its cached text as written; a constant must be
            // one of the codes the store holds.
            if (!x.HasFormula && TWorksheet::ErrorCode(TWorksheet::ErrorIndex(value)) != value)
                Fail(row, column, "unknown error value \"" + std::string(value) + "\"");
        } else if (type == "str") {
            constant.Kind = TCellKind::String;
            constant.Text = DecodeXmlEscapes(value);
        } else if (type == "d") {
            double serial = 0;
            if (x.HasValue) {
                if (!ParseIsoDate(value, FBook.Date1904(), serial))
                    Fail(row, column, "bad date \"" + std::string(value) + "\"");
                constant.Kind = TCellKind::Number;
                constant.Number = serial;
            }
        } else if (x.HasValue && !value.empty()) {  // an empty <v/> is no value
            double number = 0;
            if (!ParseDouble(value, number)) Fail(row, column, "bad number \"" + std::string(value) + "\"");
            constant.Kind = TCellKind::Number;
            constant.Number = number;
        }
        return false;
    }

    void StoreConstant(int row, int column, const TStoredValue& constant) {
        TCell& cell = FSheet.Slot(row, column);
        switch (constant.Kind) {
            case TCellKind::Number:
            case TCellKind::Boolean:
                cell.Kind = constant.Kind;
                cell.Number = constant.Number;
                break;
            case TCellKind::Error:
                cell.Kind = TCellKind::Error;
                cell.Index = TWorksheet::ErrorIndex(constant.Text);
                break;
            case TCellKind::String:
                cell.Kind = TCellKind::String;
                cell.Index = FBook.Strings().Add(constant.Text);
                break;
            default:
                break;
        }
    }

    void ReadFormula(const TCellXml& x, int row, int column, TStoredValue cached) {
        TCellFormula formula;
        formula.Cached = std::move(cached);
        formula.Text = DecodeXmlEscapes(x.FormulaText);
        formula.AlwaysCalculate = IsTrue(x.FormulaAttribute("ca"));
        formula.ArrayAlwaysCalculate = IsTrue(x.FormulaAttribute("aca"));
        formula.AssignsName = IsTrue(x.FormulaAttribute("bx"));
        std::string_view type = x.FormulaAttribute("t");
        if (type == "shared") {
            if (!ReadSharedFormula(x, row, column, formula)) return;
        } else if (type == "array") {
            formula.Type = TCellFormula::TType::Array;
            if (!TryParseRect(TXmlReader::Decode(x.FormulaAttribute("ref"), FScratch), formula.ArrayRange))
                formula.ArrayRange = TCellRect::Spanning({row, column}, {row, column});
        } else if (type == "dataTable") {
            formula.Type = TCellFormula::TType::DataTable;
            for (const TXmlReader::TAttribute& a : x.FormulaAttributes) {
                formula.KeptAttributes += ' ';
                formula.KeptAttributes += a.Name;
                formula.KeptAttributes += "=\"";
                AppendXmlAttribute(formula.KeptAttributes, TXmlReader::Decode(a.Raw, FScratch));
                formula.KeptAttributes += '"';
            }
        }
        StoreFormula(row, column, std::move(formula));
    }

    // A master registers its group; a dependent takes the master's text
    // shifted to its place. False when the dependent waits for a master
    // that comes later in the sheet.
    bool ReadSharedFormula(const TCellXml& x, int row, int column, TCellFormula& formula) {
        int si = LeadingNumber(x.FormulaAttribute("si"), -1);
        if (x.HasFormulaAttribute("ref") || !formula.Text.empty()) {
            if (si < 0) return true;
            FMasters[si] = TSharedMaster{row, column, formula.Text};
            TCellRect range;
            if (TryParseRect(TXmlReader::Decode(x.FormulaAttribute("ref"), FScratch), range) && range.Top == row &&
                range.Left == column) {
                formula.SharedIndex = si;
                formula.SharedMaster = true;
                formula.SharedRange = range;
            }
            return true;
        }
        auto it = FMasters.find(si);
        if (it == FMasters.end()) {
            // Its cached value stands until the master is met.
            StoreConstant(row, column, formula.Cached);
            FPending.push_back({row, column, si, std::move(formula)});
            return false;
        }
        formula.SharedIndex = si;
        formula.Text = ShiftedMaster(it->second, row, column);
        return true;
    }

    std::string ShiftedMaster(const TSharedMaster& master, int row, int column) {
        try {
            return ShiftFormula(master.Text, row - master.Row, column - master.Column);
        } catch (const Exception& e) {
            Fail(row, column, "shared formula \"" + master.Text + "\": " + e.Message());
        }
    }

    // Dependents read before their master get its text now; one whose
    // group has no master at all is refused: its formula cannot be known,
    // and keeping only the value would change the sheet silently.
    void ResolvePendingShared() {
        for (TPendingShared& p : FPending) {
            auto it = FMasters.find(p.Index);
            if (it == FMasters.end())
                Fail(p.Row, p.Column,
                     "shared formula " + std::to_string(p.Index) + " has no master cell holding its formula");
            p.Formula.Text = ShiftedMaster(it->second, p.Row, p.Column);
            StoreFormula(p.Row, p.Column, std::move(p.Formula));
        }
    }

    void StoreFormula(int row, int column, TCellFormula formula) {
        if (formula.Text.empty() && formula.Type == TCellFormula::TType::Normal) {
            FSheet.SetValue(row, column, formula.Cached);
            return;
        }
        uint8_t flags = FSheet.Slot(row, column).Flags;
        uint32_t style = FSheet.Slot(row, column).Style;
        // The attributes kept for the cell (cm of a dynamic array) stay: the
        // setter would drop them with the cell's former content.
        FSheet.Slot(row, column).Flags = 0;
        FSheet.SetFormula(row, column, std::move(formula));
        TCell& cell = FSheet.Slot(row, column);
        cell.Flags = flags;
        cell.Style = style;
    }

    TWorksheet& FSheet;
    TWorkbook& FBook;
    TXmlReader* FReader = nullptr;
    std::unordered_map<int, TSharedMaster> FMasters;
    std::vector<TPendingShared> FPending;
    std::vector<std::pair<size_t, TCellRect>> FMergesRead;  // (offset of its <mergeCells>, range)
    TCellXml FCell;                                         // reused: no allocation per cell
    std::string FValueScratch, FFormulaScratch, FScratch;
    uint32_t FStringCount = 0;

public:
    uint64_t CellsRead() const noexcept { return FCells; }

private:
    uint64_t FCells = 0;  // of this sheet, for the limit and the message when memory runs out
    int FLastRow = 0;
    size_t FDataBegin = std::string_view::npos, FDataEnd = 0;
    size_t FDimBegin = std::string_view::npos, FDimEnd = 0;
    size_t FFirstAfter = std::string_view::npos;
    size_t FRootClose = 0;
    size_t FTailOffset = 0;  // where the kept text after the rows begins
};

void TWorksheet::Load(std::string_view xml) {
    FRows.clear();
    FFormulas.clear();
    FFreeFormulas.clear();
    FMerges.clear();
    FRules.reset();
    FLinks.reset();
    FNotes.reset();
    FDrawing.reset();
    FExtras.clear();
    FColumns.clear();
    FHead.clear();
    FTail.clear();
    FMergeInsertAt = 0;
    FDimensionAt = std::string::npos;
    FPrefix.clear();
    FDefaultRowHeight = 15;
    FDefaultColumnWidth = 8.43;
    FWorkbook->CellsRead() -= FCellsCounted;
    FCellsCounted = 0;
    TSheetReader reader(*this);
    reader.Read(xml);
    FCellsCounted = reader.CellsRead();
    FWorkbook->CellsRead() += FCellsCounted;
    std::sort(FExtras.begin(), FExtras.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    FLoaded = true;
    FModified = FValuesChanged = false;
}

}  // namespace tabrix::xl
