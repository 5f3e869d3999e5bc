// Writing a worksheet part back by appends: the kept XML around the
// regenerated <sheetData>, <dimension> and <mergeCells> (reading is in
// sheet_reader.cpp).

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "platform/rtl/parallel.h"
#include "platform/spreadsheet/limits.h"
#include "platform/spreadsheet/workbook.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

class TSheetWriter {
public:
    explicit TSheetWriter(const TWorksheet& sheet)
        : FSheet(sheet), FP(sheet.FPrefix), FOpenV("<" + FP + "v>"), FCloseVC("</" + FP + "v></" + FP + "c>") {}

    std::string Write() {
        CollectSharedGroups();
        FCellCount = CountCells();
        FOut.reserve(FSheet.FHead.size() + FSheet.FTail.size() + 64 + FCellCount * kBytesPerCell);
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
        size_t drawingAt = FSheet.FDrawing ? std::clamp(FSheet.FDrawing->InsertAt(), linksAt, tail.size()) : linksAt;
        FOut.append(tail.substr(linksAt, drawingAt - linksAt));
        if (FSheet.FDrawing) FSheet.FDrawing->WriteElement(FOut, FP, RelationshipsPrefix(FSheet.FHead));
        size_t notesAt = FSheet.FNotes ? std::clamp(FSheet.FNotes->InsertAt(), drawingAt, tail.size()) : drawingAt;
        FOut.append(tail.substr(drawingAt, notesAt - drawingAt));
        if (FSheet.FNotes) FSheet.FNotes->WriteElement(FOut, FP, RelationshipsPrefix(FSheet.FHead));
        // The extension list is the worksheet's last child: before its end tag.
        std::string_view rest = tail.substr(notesAt);
        size_t extAt = FSheet.FRules ? std::min(rest.rfind("</"), rest.size()) : rest.size();
        FOut.append(rest.substr(0, extAt));
        if (FSheet.FRules) FSheet.FRules->WriteExtensions(FOut);
        FOut.append(rest.substr(extAt));
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

    // A report cell with its share of the row element takes about 45 bytes;
    // capacity beyond what is written costs address space, not memory.
    static constexpr size_t kBytesPerCell = 48;

    size_t CountCells() const {
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
        FOut.append(buf, ShortestNumber(buf, v));
    }

    // What std::to_chars gives for a double, the shortest text that reads
    // back as the same number; whole numbers (dates, counts) are written
    // by the much cheaper integer conversion where the result is the same:
    // the fixed form, unless the exponent form is shorter ("1e+05").
    static char* ShortestNumber(char* buf, double v) {
        if (std::trunc(v) == v && std::fabs(v) < 1e15 && !(v == 0 && std::signbit(v))) {
            char* end = std::to_chars(buf, buf + 24, static_cast<int64_t>(v)).ptr;
            const char* digits = buf + (v < 0 ? 1 : 0);
            const ptrdiff_t length = end - digits;
            ptrdiff_t zeros = 0;
            while (zeros < length - 1 && end[-1 - zeros] == '0') ++zeros;
            const ptrdiff_t mantissa = length - zeros;
            const ptrdiff_t exponentForm = mantissa + (mantissa > 1 ? 1 : 0) + 4;  // "d.dde+XX"
            if (length <= exponentForm) return end;
        }
        return std::to_chars(buf, buf + 32, v).ptr;
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
        const int half = HalfwayRow(last);
        if (half == 0) {
            WriteRows(1, last);
        } else {
            // A large sheet is written in two halves at once, the second
            // into a writer of its own; rows are only read.
            TSheetWriter second(FSheet);
            second.FShared = FShared;
            second.FOut.reserve(FOut.capacity() - FOut.size());
            RunSideBySide([&] { WriteRows(1, half); }, [&] { second.WriteRows(half + 1, last); });
            FOut += second.FOut;
        }
        Close("sheetData");
    }

    // The row that ends the first half of the cells, or 0 when the sheet is
    // too small to be worth a second thread.
    int HalfwayRow(int last) const {
        static constexpr size_t kCellsForTwoHalves = 40000;
        const size_t cells = FCellCount;
        if (cells < kCellsForTwoHalves || !HasSecondCore()) return 0;
        size_t seen = 0;
        for (int row = 1; row < last; ++row) {
            seen += FSheet.FRows[row - 1].Cells.size();
            if (seen >= cells / 2) return row;
        }
        return 0;
    }

    void WriteRows(int first, int last) {
        for (int row = first; row <= last; ++row) {
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
            char* rowEnd = std::to_chars(FRowDigits, FRowDigits + sizeof FRowDigits, row).ptr;
            FRowDigitCount = static_cast<size_t>(rowEnd - FRowDigits);
            for (const TCell& c : r.Cells) WriteCell(row, c);
            Close("row");
        }
    }

    // `<c r="B12" s="3"` in one append: this runs for every cell of the
    // report. The row's digits are made once per row (FRowDigits).
    void OpenCell(const TCell& c) {
        FOut += '<';
        FOut += FP;
        char buf[64];
        char* p = buf;
        *p++ = 'c';
        std::memcpy(p, " r=\"", 4);
        p += 4;
        char letters[4];  // kMaxColumns needs three
        int n = 0;
        for (int column = c.Column; column > 0 && n < 4; column = (column - 1) / 26)
            letters[n++] = static_cast<char>('A' + (column - 1) % 26);
        while (n > 0) *p++ = letters[--n];
        std::memcpy(p, FRowDigits, FRowDigitCount);
        p += FRowDigitCount;
        *p++ = '"';
        if (c.Style) {
            std::memcpy(p, " s=\"", 4);
            p += 4;
            p = std::to_chars(p, buf + sizeof buf - 1, c.Style).ptr;
            *p++ = '"';
        }
        FOut.append(buf, p);
    }

    void WriteCell(int row, const TCell& c) {
        OpenCell(c);
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
                FOut += FOpenV;
                Number(c.Number);
                FOut += FCloseVC;
                return;
            case TCellKind::String:
                FOut += " t=\"s\"";
                FOut += extra;
                FOut += '>';
                FOut += FOpenV;
                Int(c.Index);
                FOut += FCloseVC;
                return;
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
                FOut += FOpenV;
                Number(v.Number);
                FOut += FCloseVC;
                return;
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
    const std::string FOpenV, FCloseVC;  // "<v>" and "</v></c>" with the sheet's prefix
    char FRowDigits[12] = {};
    size_t FRowDigitCount = 0;
    size_t FCellCount = 0;  // cells of the sheet, counted once per write
    std::string FOut;
    std::unordered_map<int, TCellRect> FShared;
};

std::string TWorksheet::Serialize() const { return TSheetWriter(*this).Write(); }

}  // namespace tabrix::xl
