// Reading a worksheet part into the model, and writing it back by appends:
// the kept XML around the regenerated <sheetData>, <dimension> and <mergeCells>.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include <pugixml.hpp>

#include "platform/rtl/datetime.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_parse.h"
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

// Finds "<prefix:name" followed by a delimiter.
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

bool BoolAttr(const pugi::xml_attribute& a) {
    std::string_view v = a.value();
    return v == "1" || v == "true";
}

// "2024-03-01T12:30:00" (the ISO 8601 date cells) as a serial number.
bool ParseIsoDate(std::string_view s, bool date1904, double& serial) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double sec = 0;
    if (s.size() < 10 || !ParseInt(s.substr(0, 4), y) || s[4] != '-' || !ParseInt(s.substr(5, 2), mo) || s[7] != '-' ||
        !ParseInt(s.substr(8, 2), d))
        return false;
    if (s.size() >= 16 && s[10] == 'T') {
        if (!ParseInt(s.substr(11, 2), h) || !ParseInt(s.substr(14, 2), mi)) return false;
        if (s.size() >= 19) {
            std::string_view rest = s.substr(17);
            size_t z = rest.find_first_of("Z+-");
            if (!ParseDouble(rest.substr(0, z), sec)) return false;
        }
    }
    TDateTime date;
    if (!TryEncodeDate(y, mo, d, date)) return false;
    serial = date + (h * 3600 + mi * 60 + sec) / 86400.0;
    if (date1904) serial -= kDate1904Offset;
    return true;
}

struct TSharedMaster {
    int Row, Column;
    std::string Text;
};

}  // namespace

class TSheetReader {
public:
    explicit TSheetReader(TWorksheet& sheet) : FSheet(sheet), FBook(sheet.Workbook()) {}

    void Read(std::string_view xml) {
        pugi::xml_document doc;
        std::string partDesc = FBook.DisplayName() + "\", part \"" + FSheet.FPartName;
        ParseXmlDocument(doc, xml, partDesc);
        pugi::xml_node root = doc.document_element();
        if (LocalName(root.name()) != "worksheet")
            throw ESpreadsheetError("File \"" + FBook.DisplayName() + "\", part \"" + FSheet.FPartName +
                                    "\" is no worksheet");
        FSheet.FPrefix = std::string(NamePrefix(root.name()));
        SplitKeptXml(xml, root);
        ReadFormat(root);
        ReadColumns(root);
        if (pugi::xml_node data = ChildByLocalName(root, "sheetData")) ReadRows(data);
        // Every <mergeCells> counts (a sound sheet has one); all are cut
        // from the kept XML and written back as one.
        for (pugi::xml_node merges : root.children()) {
            if (LocalName(merges.name()) != "mergeCells" || TagOffset(merges) < FTailOffset) continue;
            for (pugi::xml_node m : merges.children()) {
                TCellRect r;
                if (LocalName(m.name()) == "mergeCell" && TryParseRect(m.attribute("ref").value(), r) &&
                    !r.IsSingleCell())
                    FSheet.FMerges.push_back(r);
            }
        }
    }

private:
    // Where the parser met an element: the offset of its '<' in the text.
    static size_t TagOffset(const pugi::xml_node& node) {
        ptrdiff_t at = node ? node.offset_debug() : -1;
        return at > 0 ? static_cast<size_t>(at - 1) : std::string_view::npos;
    }

    void SplitKeptXml(std::string_view xml, const pugi::xml_node& root) {
        const std::string& p = FSheet.FPrefix;
        // The parser's positions, not a text search: the same names may
        // stand in attribute values or comments before the elements.
        size_t start = TagOffset(ChildByLocalName(root, "sheetData"));
        if (start == std::string_view::npos) {
            // No rows at all: they go before the elements that follow <sheetData>
            // in the schema; a sheet without them still has </worksheet>.
            size_t rootStart = TagOffset(root);
            size_t rootEnd = rootStart == std::string_view::npos ? rootStart : TagEnd(xml, rootStart);
            if (rootEnd == std::string_view::npos || xml[rootEnd - 1] == '/')
                throw ESpreadsheetError("File \"" + FBook.DisplayName() + "\", part \"" + FSheet.FPartName +
                                        "\": the worksheet element is empty");
            static constexpr std::string_view kAfterSheetData[] = {"sheetCalcPr",
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
            size_t closeAt = 0;
            std::string_view body = xml.substr(rootEnd + 1);
            std::vector<TSpan> spans = TopLevelElements(body, closeAt);
            size_t at = rootEnd + 1 + closeAt;
            for (const TSpan& s : spans)
                if (std::find(std::begin(kAfterSheetData), std::end(kAfterSheetData), s.LocalName) !=
                    std::end(kAfterSheetData)) {
                    at = rootEnd + 1 + s.Begin;
                    break;
                }
            FSheet.FHead = std::string(xml.substr(0, at));
            FTailOffset = at;
            SplitTail(xml.substr(at));
        } else {
            size_t tagEnd = TagEnd(xml, start);
            if (tagEnd == std::string_view::npos) throw ESpreadsheetError("truncated sheetData");
            size_t end;
            if (xml[tagEnd - 1] == '/') {
                end = tagEnd + 1;
            } else {
                // The end tag that closes it, found by a scan that skips
                // quoted values, comments and nested elements.
                std::string closeTag = "</" + p + "sheetData";
                size_t closeAt = 0;
                TopLevelElements(xml.substr(tagEnd + 1), closeAt);
                size_t c = tagEnd + 1 + closeAt;
                size_t close = c < xml.size() ? TagEnd(xml, c) : std::string_view::npos;
                if (close == std::string_view::npos || xml.compare(c, closeTag.size(), closeTag) != 0)
                    throw ESpreadsheetError("File \"" + FBook.DisplayName() + "\", part \"" + FSheet.FPartName +
                                            "\": sheetData is not closed");
                end = close + 1;
            }
            FSheet.FHead = std::string(xml.substr(0, start));
            FTailOffset = end;
            SplitTail(xml.substr(end));
        }
        // The dimension is regenerated at save.
        size_t dim = TagOffset(ChildByLocalName(root, "dimension"));
        if (dim != std::string::npos && dim < FSheet.FHead.size()) {
            size_t e = TagEnd(FSheet.FHead, dim);
            if (e != std::string::npos && FSheet.FHead[e - 1] == '/') {
                FSheet.FHead.erase(dim, e + 1 - dim);
                FSheet.FDimensionAt = dim;
            }
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

    void ReadFormat(const pugi::xml_node& root) {
        pugi::xml_node fmt = ChildByLocalName(root, "sheetFormatPr");
        if (!fmt) return;
        double h = fmt.attribute("defaultRowHeight").as_double(0);
        if (h > 0 && h <= kMaxRowHeightPoints) FSheet.FDefaultRowHeight = h;
        double w = fmt.attribute("defaultColWidth").as_double(0);
        if (w > 0) {
            FSheet.FDefaultColumnWidth = w;
        } else if (double base = fmt.attribute("baseColWidth").as_double(0); base > 0) {
            FSheet.FDefaultColumnWidth = base + 0.71;
        }
    }

    void ReadColumns(const pugi::xml_node& root) {
        for (pugi::xml_node cols : root.children()) {
            if (LocalName(cols.name()) != "cols") continue;
            for (pugi::xml_node c : cols.children()) {
                if (LocalName(c.name()) != "col") continue;
                int min = c.attribute("min").as_int(0), max = c.attribute("max").as_int(0);
                if (min < 1 || max < min) continue;
                FSheet.FColumns.push_back({min, std::min(max, kMaxColumns), c.attribute("width").as_double(0),
                                           c.attribute("style").as_uint(0)});
            }
        }
    }

    [[noreturn]] void Fail(int row, int column, const std::string& what) {
        FSheet.ThrowAt(row, column, what + " (part \"" + FSheet.FPartName + "\")");
    }

    void ReadRows(const pugi::xml_node& data) {
        int rowNumber = 0;
        uint32_t stringCount = FBook.Strings().Count();
        for (pugi::xml_node rowNode : data.children()) {
            if (LocalName(rowNode.name()) != "row") continue;
            if (pugi::xml_attribute r = rowNode.attribute("r")) {
                int n = 0;
                if (!ParseInt(r.value(), n) || n < 1 || n > kMaxRows)
                    Fail(rowNumber + 1, 1, "bad row number \"" + std::string(r.value()) + "\"");
                rowNumber = n;
            } else {
                ++rowNumber;
                if (rowNumber > kMaxRows) Fail(rowNumber, 1, "too many rows");
            }
            TRowProps props;
            if (pugi::xml_attribute ht = rowNode.attribute("ht")) {
                double h = ht.as_double(-1);
                if (h >= 0 && h <= kMaxRowHeightPoints) {
                    props.Height = h;
                    props.HasHeight = true;
                }
            }
            props.CustomHeight = BoolAttr(rowNode.attribute("customHeight")) && props.HasHeight;
            props.Hidden = BoolAttr(rowNode.attribute("hidden"));
            props.Collapsed = BoolAttr(rowNode.attribute("collapsed"));
            props.CustomFormat = BoolAttr(rowNode.attribute("customFormat"));
            props.Style = rowNode.attribute("s").as_uint(0);
            if (!props.CustomFormat) props.Style = 0;
            props.OutlineLevel = static_cast<uint8_t>(std::clamp(rowNode.attribute("outlineLevel").as_int(0), 0, 7));
            props.ThickTop = BoolAttr(rowNode.attribute("thickTop"));
            props.ThickBottom = BoolAttr(rowNode.attribute("thickBot"));
            props.Phonetic = BoolAttr(rowNode.attribute("ph"));
            if (!props.IsDefault()) FSheet.SetRowProps(rowNumber, props);
            int column = 0;
            for (pugi::xml_node c : rowNode.children()) {
                if (LocalName(c.name()) != "c") continue;
                if (pugi::xml_attribute r = c.attribute("r")) {
                    TCellRef ref;
                    if (!TryParseCellAddress(r.value(), ref) || ref.Row != rowNumber)
                        Fail(rowNumber, column + 1, "bad cell reference \"" + std::string(r.value()) + "\"");
                    column = ref.Column;
                } else {
                    ++column;
                    if (column > kMaxColumns) Fail(rowNumber, kMaxColumns, "too many cells in the row");
                }
                ReadCell(c, rowNumber, column, stringCount);
            }
        }
    }

    void ReadCell(const pugi::xml_node& c, int row, int column, uint32_t stringCount) {
        TCell& cell = FSheet.Slot(row, column);
        cell.Style = c.attribute("s").as_uint(0);
        std::string_view type = c.attribute("t").value();
        pugi::xml_node v, f, is;
        for (pugi::xml_node child : c.children()) {
            std::string_view n = LocalName(child.name());
            if (n == "v")
                v = child;
            else if (n == "f")
                f = child;
            else if (n == "is")
                is = child;
        }
        std::string extra;
        for (pugi::xml_attribute a : c.attributes()) {
            std::string_view n = a.name();
            if (n == "cm" || n == "vm" || n == "ph") {
                extra += ' ';
                extra += n;
                extra += "=\"";
                AppendXmlAttribute(extra, a.value());
                extra += '"';
            }
        }
        if (!extra.empty()) {
            cell.Flags |= TCell::kCellHasExtra;
            FSheet.FExtras.emplace_back((static_cast<uint64_t>(row) << 16) | static_cast<uint64_t>(column),
                                        std::move(extra));
        }
        std::string_view value = v.text().get();
        TStoredValue constant;
        if (type == "s") {
            int index = -1;
            if (!v || !ParseInt(value, index) || index < 0 || static_cast<uint32_t>(index) >= stringCount)
                Fail(row, column, "shared string index \"" + std::string(value) + "\" is not in the table");
            constant.Kind = TCellKind::String;
            cell.Kind = TCellKind::String;
            cell.Index = static_cast<uint32_t>(index);
            if (!f) return;
            constant.Text = std::string(FSheet.StringOf(cell));
        } else if (type == "inlineStr") {
            if (is && !IsPlainText(is)) {
                if (!f) {
                    cell.Index = FBook.Strings().AddRich(RunsText(is), NodeChildrenXml(is));
                    cell.Kind = TCellKind::String;
                    return;
                }
                constant = {TCellKind::String, 0, RunsText(is)};
            } else if (is || v) {
                // Writers also put the text of a formula's result in <v>.
                constant = {TCellKind::String, 0, is ? RunsText(is) : DecodeXmlEscapes(value)};
            }
        } else if (type == "b") {
            constant.Kind = TCellKind::Boolean;
            constant.Number = (value == "1" || value == "true") ? 1 : 0;
        } else if (type == "e") {
            constant.Kind = TCellKind::Error;
            constant.Text = std::string(value);
        } else if (type == "str") {
            constant.Kind = TCellKind::String;
            constant.Text = DecodeXmlEscapes(value);
        } else if (type == "d") {
            double serial = 0;
            if (v) {
                if (!ParseIsoDate(value, FBook.Date1904(), serial))
                    Fail(row, column, "bad date \"" + std::string(value) + "\"");
                constant.Kind = TCellKind::Number;
                constant.Number = serial;
            }
        } else if (v && !value.empty()) {  // an empty <v/> is no value
            double number = 0;
            if (!ParseDouble(value, number)) Fail(row, column, "bad number \"" + std::string(value) + "\"");
            constant.Kind = TCellKind::Number;
            constant.Number = number;
        }
        if (f) {
            ReadFormula(f, row, column, std::move(constant));
            return;
        }
        switch (constant.Kind) {
            case TCellKind::Number:
                cell.Kind = TCellKind::Number;
                cell.Number = constant.Number;
                break;
            case TCellKind::Boolean:
                cell.Kind = TCellKind::Boolean;
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

    void ReadFormula(const pugi::xml_node& f, int row, int column, TStoredValue cached) {
        TCellFormula formula;
        formula.Cached = std::move(cached);
        formula.Text = DecodeXmlEscapes(f.text().get());
        formula.AlwaysCalculate = BoolAttr(f.attribute("ca"));
        formula.ArrayAlwaysCalculate = BoolAttr(f.attribute("aca"));
        formula.AssignsName = BoolAttr(f.attribute("bx"));
        std::string_view type = f.attribute("t").value();
        if (type == "shared") {
            int si = f.attribute("si").as_int(-1);
            if (f.attribute("ref") || !formula.Text.empty()) {
                if (si >= 0) {
                    FMasters[si] = TSharedMaster{row, column, formula.Text};
                    TCellRect range;
                    if (TryParseRect(f.attribute("ref").value(), range) && range.Top == row && range.Left == column) {
                        formula.SharedIndex = si;
                        formula.SharedMaster = true;
                        formula.SharedRange = range;
                    }
                }
            } else {
                auto it = FMasters.find(si);
                if (it == FMasters.end()) {
                    // A dependent without its master: keep the cached value.
                    FSheet.SetValue(row, column, formula.Cached);
                    return;
                }
                formula.SharedIndex = si;
                try {
                    formula.Text = ShiftFormula(it->second.Text, row - it->second.Row, column - it->second.Column);
                } catch (const Exception& e) {
                    Fail(row, column, "shared formula \"" + it->second.Text + "\": " + e.Message());
                }
            }
        } else if (type == "array") {
            formula.Type = TCellFormula::TType::Array;
            if (!TryParseRect(f.attribute("ref").value(), formula.ArrayRange))
                formula.ArrayRange = TCellRect::Spanning({row, column}, {row, column});
        } else if (type == "dataTable") {
            formula.Type = TCellFormula::TType::DataTable;
            for (pugi::xml_attribute a : f.attributes()) {
                formula.KeptAttributes += ' ';
                formula.KeptAttributes += a.name();
                formula.KeptAttributes += "=\"";
                AppendXmlAttribute(formula.KeptAttributes, a.value());
                formula.KeptAttributes += '"';
            }
        }
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
    std::unordered_map<int, TSharedMaster> FMasters;
    size_t FTailOffset = 0;  // where the kept text after the rows begins
};

class TSheetWriter {
public:
    explicit TSheetWriter(const TWorksheet& sheet) : FSheet(sheet), FP(sheet.FPrefix) {}

    std::string Write() {
        CollectSharedGroups();
        FOut.reserve(FSheet.FHead.size() + FSheet.FTail.size() + 64 + EstimateCells() * 28);
        std::string_view head = FSheet.FHead;
        if (FSheet.FDimensionAt != std::string::npos && FSheet.FDimensionAt <= head.size()) {
            FOut.append(head.substr(0, FSheet.FDimensionAt));
            Open("dimension");
            FOut += " ref=\"";
            FOut += RectAddress(FSheet.UsedRange());
            FOut += "\"/>";
            FOut.append(head.substr(FSheet.FDimensionAt));
        } else {
            FOut.append(head);
        }
        WriteSheetData();
        std::string_view tail = FSheet.FTail;
        size_t at = std::min(FSheet.FMergeInsertAt, tail.size());
        size_t rulesAt = FSheet.FRules ? std::clamp(FSheet.FRules->InsertAt(), at, tail.size()) : tail.size();
        FOut.append(tail.substr(0, at));
        WriteMerges();
        size_t linksAt = FSheet.FLinks ? std::clamp(FSheet.FLinks->InsertAt(), rulesAt, tail.size()) : rulesAt;
        FOut.append(tail.substr(at, rulesAt - at));
        if (FSheet.FRules) FSheet.FRules->Write(FOut);
        FOut.append(tail.substr(rulesAt, linksAt - rulesAt));
        WriteLinks();
        FOut.append(tail.substr(linksAt));
        return std::move(FOut);
    }

private:
    // Groups whose master is still in place, with its range; a dependent
    // of any other group is written with its own text.
    void CollectSharedGroups() {
        for (const TCellFormula& f : FSheet.FFormulas)
            if (f.SharedMaster && f.SharedIndex >= 0 && f.Type == TCellFormula::TType::Normal)
                FShared.emplace(f.SharedIndex, f.SharedRange);
    }

    size_t EstimateCells() const {
        size_t n = 0;
        for (const TRow& r : FSheet.FRows) n += r.Cells.size();
        return n;
    }

    void Open(std::string_view name) {
        FOut += '<';
        FOut += FP;
        FOut += name;
    }
    void Close(std::string_view name) {
        FOut += "</";
        FOut += FP;
        FOut += name;
        FOut += '>';
    }
    void Int(int64_t v) {
        char buf[24];
        FOut.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    }
    void Number(double v) {
        char buf[32];
        FOut.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
    }

    void WriteSheetData() {
        if (FSheet.FRows.empty()) {
            Open("sheetData");
            FOut += "/>";
            return;
        }
        Open("sheetData");
        FOut += '>';
        const int last = FSheet.LastRow();
        for (int row = 1; row <= last; ++row) {
            const TRow& r = FSheet.FRows[row - 1];
            if (r.Cells.empty() && r.Props.IsDefault()) continue;
            Open("row");
            FOut += " r=\"";
            Int(row);
            FOut += '"';
            const TRowProps& p = r.Props;
            if (p.CustomFormat) {
                FOut += " s=\"";
                Int(p.Style);
                FOut += "\" customFormat=\"1\"";
            }
            if (p.HasHeight) {
                FOut += " ht=\"";
                Number(p.Height);
                FOut += '"';
                if (p.CustomHeight) FOut += " customHeight=\"1\"";
            }
            if (p.Hidden) FOut += " hidden=\"1\"";
            if (p.OutlineLevel) {
                FOut += " outlineLevel=\"";
                Int(p.OutlineLevel);
                FOut += '"';
            }
            if (p.Collapsed) FOut += " collapsed=\"1\"";
            if (p.ThickTop) FOut += " thickTop=\"1\"";
            if (p.ThickBottom) FOut += " thickBot=\"1\"";
            if (p.Phonetic) FOut += " ph=\"1\"";
            if (r.Cells.empty()) {
                FOut += "/>";
                continue;
            }
            FOut += '>';
            for (const TCell& c : r.Cells) WriteCell(row, c);
            Close("row");
        }
        Close("sheetData");
    }

    void WriteCell(int row, const TCell& c) {
        Open("c");
        FOut += " r=\"";
        AppendCellAddress(FOut, row, c.Column);
        FOut += '"';
        if (c.Style) {
            FOut += " s=\"";
            Int(c.Style);
            FOut += '"';
        }
        std::string_view extra =
            (c.Flags & TCell::kCellHasExtra) ? FSheet.ExtraAttributes(row, c.Column) : std::string_view();
        switch (c.Kind) {
            case TCellKind::Empty:
                FOut += extra;
                FOut += "/>";
                return;
            case TCellKind::Number:
                FOut += extra;
                FOut += '>';
                Open("v");
                FOut += '>';
                Number(c.Number);
                break;
            case TCellKind::String:
                FOut += " t=\"s\"";
                FOut += extra;
                FOut += '>';
                Open("v");
                FOut += '>';
                Int(c.Index);
                break;
            case TCellKind::Boolean:
                FOut += " t=\"b\"";
                FOut += extra;
                FOut += '>';
                Open("v");
                FOut += c.Number != 0 ? ">1" : ">0";
                break;
            case TCellKind::Error:
                FOut += " t=\"e\"";
                FOut += extra;
                FOut += '>';
                Open("v");
                FOut += '>';
                FOut += TWorksheet::ErrorCode(c.Index);
                break;
            case TCellKind::Formula:
                WriteFormula(FSheet.FFormulas[c.Index], extra, row, c.Column);
                return;
        }
        Close("v");
        Close("c");
    }

    void WriteFormula(const TCellFormula& f, std::string_view extra, int row, int column) {
        const TStoredValue& v = f.Cached;
        switch (v.Kind) {
            case TCellKind::String:
                FOut += " t=\"str\"";
                break;
            case TCellKind::Boolean:
                FOut += " t=\"b\"";
                break;
            case TCellKind::Error:
                FOut += " t=\"e\"";
                break;
            default:
                break;
        }
        FOut += extra;
        FOut += '>';
        Open("f");
        if (f.Type == TCellFormula::TType::Array) {
            FOut += " t=\"array\" ref=\"";
            FOut += RectAddress(f.ArrayRange);
            FOut += '"';
            if (f.ArrayAlwaysCalculate) FOut += " aca=\"1\"";
        } else if (f.Type == TCellFormula::TType::DataTable) {
            FOut += f.KeptAttributes;
        }
        if (f.AlwaysCalculate && f.Type != TCellFormula::TType::DataTable) FOut += " ca=\"1\"";
        if (f.AssignsName && f.Type != TCellFormula::TType::DataTable) FOut += " bx=\"1\"";
        auto group =
            f.SharedIndex >= 0 && f.Type == TCellFormula::TType::Normal ? FShared.find(f.SharedIndex) : FShared.end();
        if (group != FShared.end() && (f.SharedMaster || group->second.Contains(row, column))) {
            FOut += " t=\"shared\"";
            if (f.SharedMaster) {
                FOut += " ref=\"";
                FOut += RectAddress(group->second);
                FOut += '"';
            }
            FOut += " si=\"";
            Int(f.SharedIndex);
            FOut += '"';
            if (!f.SharedMaster) {
                FOut += "/>";
                WriteCachedValue(v);
                return;
            }
        }
        if (f.Text.empty()) {
            FOut += "/>";
        } else {
            FOut += '>';
            AppendXmlText(FOut, f.Text);
            Close("f");
        }
        WriteCachedValue(v);
    }

    void WriteCachedValue(const TStoredValue& v) {
        switch (v.Kind) {
            case TCellKind::Number:
                Open("v");
                FOut += '>';
                Number(v.Number);
                Close("v");
                break;
            case TCellKind::Boolean:
                Open("v");
                FOut += v.Number != 0 ? ">1" : ">0";
                Close("v");
                break;
            case TCellKind::String:
            case TCellKind::Error:
                Open("v");
                // Readers trim a value's blanks unless told to keep them.
                FOut += NeedsSpacePreserve(v.Text) ? " xml:space=\"preserve\">" : ">";
                AppendXmlText(FOut, v.Text);
                Close("v");
                break;
            default:
                break;
        }
        Close("c");
    }

    void WriteLinks() {
        if (!FSheet.FLinks) return;
        FSheet.FLinks->Write(FOut, FSheet.FRels, RelationshipsPrefix(FSheet.FHead));
        if (FSheet.FLinks->Changed()) FSheet.FRelsChanged = true;
    }

    void WriteMerges() {
        if (FSheet.FMerges.empty()) return;
        Open("mergeCells");
        FOut += " count=\"";
        Int(static_cast<int64_t>(FSheet.FMerges.size()));
        FOut += "\">";
        for (const TCellRect& m : FSheet.FMerges) {
            Open("mergeCell");
            FOut += " ref=\"";
            FOut += RectAddress(m);
            FOut += "\"/>";
        }
        Close("mergeCells");
    }

    const TWorksheet& FSheet;
    const std::string& FP;
    std::string FOut;
    std::unordered_map<int, TCellRect> FShared;
};

void TWorksheet::Load(std::string_view xml) {
    FRows.clear();
    FFormulas.clear();
    FFreeFormulas.clear();
    FMerges.clear();
    FRules.reset();
    FLinks.reset();
    FExtras.clear();
    FColumns.clear();
    FHead.clear();
    FTail.clear();
    FMergeInsertAt = 0;
    FDimensionAt = std::string::npos;
    FPrefix.clear();
    FDefaultRowHeight = 15;
    FDefaultColumnWidth = 8.43;
    TSheetReader(*this).Read(xml);
    std::sort(FExtras.begin(), FExtras.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    FLoaded = true;
    FModified = false;
}

std::string TWorksheet::Serialize() const { return TSheetWriter(*this).Write(); }

}  // namespace tabrix::xl
