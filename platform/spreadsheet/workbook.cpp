#include "platform/spreadsheet/workbook.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <new>
#include <unordered_map>

#include <pugixml.hpp>

#include "platform/rtl/files.h"
#include "platform/rtl/parallel.h"
#include "platform/rtl/strings.h"
#include "platform/spreadsheet/formula/formula.h"
#include "platform/spreadsheet/formula_context.h"
#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package.h"
#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_scan.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

constexpr std::string_view kRelOfficeDocument = "/officeDocument";
constexpr std::string_view kRelWorksheet = "/worksheet";
constexpr std::string_view kRelSharedStrings = "/sharedStrings";
constexpr std::string_view kRelStyles = "/styles";
constexpr std::string_view kRelCalcChain = "/calcChain";
constexpr std::string_view kRelVba = "/vbaProject";

constexpr const char* kTypeSharedStrings =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
constexpr const char* kTypeStyles = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles";
constexpr const char* kCtSharedStrings =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";
constexpr const char* kCtStyles = "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml";

constexpr const char* kCtWorkbook = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";
constexpr const char* kCtTemplate = "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";
constexpr const char* kCtMacroWorkbook = "application/vnd.ms-excel.sheet.macroEnabled.main+xml";
constexpr const char* kCtMacroTemplate = "application/vnd.ms-excel.template.macroEnabled.main+xml";

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

const TRelationship* FindBySuffix(const TRelationships& rels, std::string_view suffix) {
    for (const TRelationship& r : rels.Items())
        if (EndsWith(r.Type, suffix)) return &r;
    return nullptr;
}

std::atomic<uint64_t> gNextOrigin{1};

// Origins by file, so that two workbooks read from the same template file
// (the template and the report made from its copy are different files, but
// a workbook added from a file shares its file's origin) share style indexes.
uint64_t OriginOf(const std::string& key) {
    static std::mutex lock;
    static std::unordered_map<std::string, uint64_t> origins;
    std::lock_guard<std::mutex> guard(lock);
    auto [it, added] = origins.emplace(key, 0);
    if (added) it->second = gNextOrigin++;
    return it->second;
}

// The styles part's bytes identify a style origin: the working copy of a
// template has the same bytes as the template.
std::string StyleKey(const TPackage& package, const std::string& stylesPart) {
    if (stylesPart.empty() || !package.HasPart(stylesPart)) return "<none>";
    std::string bytes = package.ReadPart(stylesPart);
    return std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
}

constexpr const char* kBlankWorkbook =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<bookViews><workbookView/></bookViews>"
    "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets><calcPr calcId=\"191029\"/></workbook>";
constexpr const char* kBlankSheet =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<dimension ref=\"A1\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>"
    "<sheetFormatPr defaultRowHeight=\"15\"/><sheetData/>"
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "</worksheet>";
constexpr const char* kBlankRootRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";
constexpr const char* kBlankWorkbookRels =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/></Relationships>";
constexpr const char* kBlankContentTypes =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "</Types>";

}  // namespace

TWorkbook::TWorkbook() = default;
TWorkbook::~TWorkbook() = default;

std::unique_ptr<TWorkbook> TWorkbook::Open(const std::string& fileName, bool readOnly) {
    return Open(fileName, readOnly, TPackageLimits{});
}

std::unique_ptr<TWorkbook> TWorkbook::Open(const std::string& fileName, bool readOnly, const TPackageLimits& limits) {
    std::unique_ptr<TWorkbook> book(new TWorkbook());
    book->FPackage = std::make_unique<TPackage>(TPackage::Open(fileName, limits));
    book->FFileName = fileName;
    book->FDisplayName = fileName;
    book->FReadOnly = readOnly;
    book->Read();
    return book;
}

std::unique_ptr<TWorkbook> TWorkbook::FromBytes(std::string bytes, std::string displayName) {
    std::unique_ptr<TWorkbook> book(new TWorkbook());
    book->FPackage = std::make_unique<TPackage>(TPackage::FromBytes(std::move(bytes), displayName));
    book->FDisplayName = std::move(displayName);
    book->Read();
    return book;
}

std::unique_ptr<TWorkbook> TWorkbook::CreateFromTemplate(const std::string& fileName) {
    std::unique_ptr<TWorkbook> book = Open(fileName, false);
    book->FFileName.clear();
    book->FTemplateCopy = true;
    return book;
}

std::unique_ptr<TWorkbook> TWorkbook::CreateBlank() {
    std::unique_ptr<TWorkbook> book(new TWorkbook());
    book->FPackage = std::make_unique<TPackage>();
    TPackage& p = *book->FPackage;
    p.SetPart("[Content_Types].xml", kBlankContentTypes);
    p.SetPart("_rels/.rels", kBlankRootRels);
    p.SetPart("xl/workbook.xml", kBlankWorkbook);
    p.SetPart("xl/_rels/workbook.xml.rels", kBlankWorkbookRels);
    p.SetPart("xl/worksheets/sheet1.xml", kBlankSheet);
    book->FDisplayName = "Book1";
    book->Read();
    return book;
}

void TWorkbook::Read() {
    TPackage& p = *FPackage;
    auto where = [&](const std::string& part) { return "File \"" + FDisplayName + "\", part \"" + part + "\""; };
    if (!p.HasPart("_rels/.rels"))
        throw ESpreadsheetError("File \"" + FDisplayName + "\" is no workbook: no package relationships");
    TRelationships root = TRelationships::Parse(p.ReadPart("_rels/.rels"), "_rels/.rels", p.DisplayName());
    const TRelationship* office = FindBySuffix(root, kRelOfficeDocument);
    if (!office) throw ESpreadsheetError("File \"" + FDisplayName + "\" is no workbook: no main document");
    FWorkbookPart = ResolveTarget("", office->Target);
    if (!p.HasPart(FWorkbookPart)) throw ESpreadsheetError(where(FWorkbookPart) + " is missing");

    TRelationships rels;
    std::string relsPart = RelationshipsPartName(FWorkbookPart);
    if (p.HasPart(relsPart)) rels = TRelationships::Parse(p.ReadPart(relsPart), relsPart, p.DisplayName());
    if (const TRelationship* r = FindBySuffix(rels, kRelSharedStrings))
        FStringsPart = ResolveTarget(FWorkbookPart, r->Target);
    if (const TRelationship* r = FindBySuffix(rels, kRelStyles)) FStylesPart = ResolveTarget(FWorkbookPart, r->Target);

    pugi::xml_document doc;
    ParseXmlDocument(doc, p.ReadPart(FWorkbookPart), FDisplayName + "\", part \"" + FWorkbookPart);
    pugi::xml_node wb = doc.document_element();
    if (LocalName(wb.name()) != "workbook")
        throw ESpreadsheetError("File \"" + FDisplayName + "\" is no workbook: its main part \"" + FWorkbookPart +
                                "\" holds <" + wb.name() + ">");
    if (pugi::xml_node pr = ChildByLocalName(wb, "workbookPr")) {
        std::string_view v = pr.attribute("date1904").value();
        FDate1904 = v == "1" || v == "true";
    }
    int position = -1;
    for (pugi::xml_node s : ChildByLocalName(wb, "sheets").children()) {
        if (LocalName(s.name()) != "sheet") continue;
        ++position;
        std::string relId;
        for (pugi::xml_attribute a : s.attributes())
            if (std::string_view(a.name()) != "sheetId" && LocalName(a.name()) == "id") relId = a.value();
        // A sheet without a part (an old macro sheet) stays in the workbook
        // part as it is; one naming a missing part would be lost.
        if (relId.empty()) continue;
        const TRelationship* r = rels.FindById(relId);
        // Skipping such a sheet would drop it from every save without a word.
        if (!r)
            throw ESpreadsheetError(
                where(FWorkbookPart) + ": sheet \"" + s.attribute("name").value() + "\" " +
                (relId.empty() ? std::string("names no relationship")
                               : "names relationship \"" + relId + "\", which \"" + relsPart + "\" does not hold"));
        if (!EndsWith(r->Type, kRelWorksheet)) continue;  // chart and dialog sheets stay as they are
        TSheetEntry e;
        e.Name = s.attribute("name").value();
        e.PartName = ResolveTarget(FWorkbookPart, r->Target);
        e.RelId = relId;
        e.Position = position;
        if (!p.HasPart(e.PartName))
            throw ESpreadsheetError(where(e.PartName) + " (sheet \"" + e.Name + "\") is missing");
        FSheets.push_back(std::move(e));
    }
    for (pugi::xml_node n : ChildByLocalName(wb, "definedNames").children()) {
        if (LocalName(n.name()) != "definedName") continue;
        pugi::xml_attribute local = n.attribute("localSheetId");
        FDefinedNames.push_back(
            {n.attribute("name").value(), DecodeXmlEscapes(n.text().get()), local ? local.as_int(-1) : -1});
    }
    FStyleOrigin = OriginOf(StyleKey(p, FStylesPart));
    int activeTab = 0;
    if (pugi::xml_node view = ChildByLocalName(ChildByLocalName(wb, "bookViews"), "workbookView"))
        activeTab = view.attribute("activeTab").as_int(0);
    FActiveSheet = 0;
    for (int i = 0; i < SheetCount(); ++i)
        if (FSheets[i].Position == activeTab) FActiveSheet = i;
    FActiveSheetRead = FActiveSheet;
}

void TWorkbook::SetActiveSheet(int index) {
    SheetName(index);  // raises outside
    FActiveSheet = index;
}

namespace {

// The first <sheetView> of a sheet's XML with tabSelected set or removed;
// unchanged text when it already is so.
std::string WithTabSelected(std::string xml, std::string_view prefix, bool selected) {
    size_t view = FindStartTag(xml, std::string(prefix) + "sheetView");
    if (view == std::string::npos) return xml;
    size_t end = TagEnd(xml, view);
    if (end == std::string::npos) return xml;
    std::string_view tag(xml.data() + view, end - view);
    size_t attr = tag.find(" tabSelected=\"");
    if (attr != std::string_view::npos) {
        size_t close = tag.find('"', attr + 14);
        std::string_view value = tag.substr(attr + 14, close - attr - 14);
        bool is = value == "1" || value == "true";
        if (is == selected) return xml;
        xml.erase(view + attr, close + 1 - attr);
        if (selected) xml.insert(view + attr, " tabSelected=\"1\"");
    } else if (selected) {
        xml.insert(view + 1 + prefix.size() + 9, " tabSelected=\"1\"");
    }
    return xml;
}

// "x:" for a document whose root element is "x:worksheet".
std::string RootPrefix(std::string_view xml) {
    size_t i = 0;
    while ((i = xml.find('<', i)) != std::string_view::npos) {
        if (i + 1 < xml.size() && (xml[i + 1] == '?' || xml[i + 1] == '!')) {
            ++i;
            continue;
        }
        size_t e = xml.find_first_of(" >/\t\r\n", i);
        return std::string(NamePrefix(xml.substr(i + 1, e - i - 1)));
    }
    return {};
}

std::string WithActiveTab(std::string xml, int position) {
    std::string prefix = RootPrefix(xml);
    size_t view = FindStartTag(xml, prefix + "workbookView");
    if (view == std::string::npos) return xml;
    size_t end = TagEnd(xml, view);
    std::string_view tag(xml.data() + view, end - view);
    size_t attr = tag.find(" activeTab=\"");
    std::string value = std::to_string(position);
    if (attr != std::string_view::npos) {
        size_t start = view + attr + 12;
        xml.replace(start, xml.find('"', start) - start, value);
    } else {
        xml.insert(xml[end - 1] == '/' ? end - 1 : end, " activeTab=\"" + value + "\"");
    }
    return xml;
}

}  // namespace

// The active sheet is the one shown when the file is opened: its tab is
// the workbook's active tab and the only selected one.
void TWorkbook::WriteActiveSheet() {
    if (FActiveSheet == FActiveSheetRead) return;
    TPackage& p = *FPackage;
    p.SetPart(FWorkbookPart, WithActiveTab(p.ReadPart(FWorkbookPart), FSheets[FActiveSheet].Position));
    for (int i = 0; i < SheetCount(); ++i) {
        TSheetEntry& e = FSheets[i];
        bool selected = i == FActiveSheet;
        if (e.Sheet) {
            e.Sheet->SetTabSelected(selected);
        } else {
            std::string xml = p.ReadPart(e.PartName);
            std::string edited = WithTabSelected(xml, RootPrefix(xml), selected);
            if (edited != xml) p.SetPart(e.PartName, std::move(edited));
        }
    }
    FActiveSheetRead = FActiveSheet;
}

void TWorksheet::SetTabSelected(bool selected) {
    std::string edited = WithTabSelected(FHead, FPrefix, selected);
    if (edited != FHead) {
        FHead = std::move(edited);
        FModified = true;
    }
}

bool TWorkbook::Modified() const {
    if (FTemplateCopy || FActiveSheet != FActiveSheetRead || FStrings.Modified() || FStyles.Modified()) return true;
    for (const TSheetEntry& e : FSheets)
        if (e.Sheet && e.Sheet->Modified()) return true;
    return false;
}

bool TWorkbook::HasMacros() const {
    for (const std::string& name : FPackage->PartNames())
        if (EndsWith(LowerCase(name), "vbaproject.bin")) return true;
    return false;
}

TWorksheet& TWorkbook::Sheet(int index) {
    if (index < 0 || index >= SheetCount())
        throw ESpreadsheetError("File \"" + FDisplayName + "\": there is no sheet " + std::to_string(index + 1) +
                                " (the workbook has " + std::to_string(SheetCount()) + ")");
    TSheetEntry& e = FSheets[index];
    if (!e.Sheet) LoadSheet(e);
    return *e.Sheet;
}

const std::string& TWorkbook::SheetName(int index) const {
    if (index < 0 || index >= SheetCount())
        throw ESpreadsheetError("File \"" + FDisplayName + "\": there is no sheet " + std::to_string(index + 1));
    return FSheets[index].Name;
}

TWorksheet* TWorkbook::FindSheet(std::string_view name) {
    for (int i = 0; i < SheetCount(); ++i)
        if (AnsiSameText(FSheets[i].Name, name)) return &Sheet(i);
    return nullptr;
}

TWorksheet* TWorkbook::SheetForFormula(std::string_view name) { return FindSheet(name); }

// A sheet or the string table: the parts that grow with the data, where
// running out of memory is reported with the part and its size.
std::string TWorkbook::ReadLargePart(const std::string& partName) const {
    try {
        return FPackage->ReadPart(partName);
    } catch (const std::bad_alloc&) {
        throw ESpreadsheetError("File \"" + FDisplayName + "\", part \"" + partName + "\": out of memory inflating " +
                                std::to_string(FPackage->PartSize(partName)) + " bytes");
    }
}

void TWorkbook::LoadSheet(TSheetEntry& e) {
    LoadStrings();
    LoadStyles();
    auto sheet = std::make_unique<TWorksheet>(*this, e.Name, e.PartName);
    sheet->Load(ReadLargePart(e.PartName));
    sheet->MapUnknownStyles(FStyles.Count());
    std::string relsPart = RelationshipsPartName(e.PartName);
    if (FPackage->HasPart(relsPart))
        sheet->SetRelationships(TRelationships::Parse(FPackage->ReadPart(relsPart), relsPart, FDisplayName));
    e.Sheet = std::move(sheet);
}

void TWorkbook::LoadStrings() {
    if (FStringsLoaded) return;
    FStringsLoaded = true;
    if (!FStringsPart.empty() && FPackage->HasPart(FStringsPart))
        FStrings.Parse(ReadLargePart(FStringsPart), "File \"" + FDisplayName + "\", part \"" + FStringsPart + "\"",
                       Limits().MaxStrings);
}

void TWorkbook::LoadStyles() {
    if (FStylesLoaded) return;
    FStylesLoaded = true;
    if (!FStylesPart.empty() && FPackage->HasPart(FStylesPart))
        FStyles.Parse(FPackage->ReadPart(FStylesPart), FDisplayName + "\", part \"" + FStylesPart);
}

const TPackageLimits& TWorkbook::Limits() const { return FPackage->Limits(); }

TSharedStrings& TWorkbook::Strings() {
    LoadStrings();
    return FStrings;
}

TStyles& TWorkbook::Styles() {
    LoadStyles();
    return FStyles;
}

const std::string* TWorkbook::FindDefinedName(std::string_view name, const TWorksheet* sheet) {
    const std::size_t bang = name.rfind('!');
    if (bang != std::string_view::npos) {
        sheet = FindSheet(SheetNameOfPrefix(name.substr(0, bang)));
        if (!sheet) return nullptr;
        name = name.substr(bang + 1);
    }
    int position = -2;
    for (const TSheetEntry& e : FSheets)
        if (sheet && e.Sheet.get() == sheet) position = e.Position;
    const std::string* global = nullptr;
    for (const TDefinedName& n : FDefinedNames)
        if (AnsiSameText(n.Name, name)) {
            if (n.LocalSheet == position) return &n.Text;
            if (n.LocalSheet == -1) global = &n.Text;
        }
    return global;
}

namespace {

// Whether a sheet part not read yet may hold formulas: any <f> element.
bool MayHoldFormulas(std::string_view xml) {
    for (std::size_t at = xml.find("f"); at != std::string_view::npos; at = xml.find("f", at + 1))
        if (at > 0 && (xml[at - 1] == '<' || xml[at - 1] == ':') && at + 1 < xml.size() &&
            (xml[at + 1] == '>' || xml[at + 1] == ' ' || xml[at + 1] == '/'))
            return true;
    return false;
}

// Visits the formulas of a sheet in row order.
template <class F>
void ForEachFormula(TWorksheet& sheet, F&& visit) {
    for (int row = 1; row <= sheet.LastRow(); ++row)
        for (const TCell& c : sheet.Row(row)->Cells)
            if (c.Kind == TCellKind::Formula) visit(sheet.FormulaOf(c));
}

}  // namespace

// Which formulas read from the file may show a stale value: every formula
// of a sheet whose values changed, and every formula that can read such a
// sheet or a formula to be recomputed (a reference naming the sheet, its own
// sheet holding one, a defined name leading there, or a function that can
// read any cell). Followed at the level of sheets, to a fixed point.
std::vector<bool> TWorkbook::FormulasToRecompute(const std::vector<std::vector<TCellFormula*>>& formulas) {
    const std::size_t n = FSheets.size();
    std::vector<bool> dirtySheet(n, false);  // holds a formula to recompute, or changed values
    std::vector<bool> changed(n, false);
    for (std::size_t i = 0; i < n; ++i)
        changed[i] = dirtySheet[i] = FSheets[i].Sheet && FSheets[i].Sheet->ValuesChanged();
    std::size_t total = 0;
    for (const auto& list : formulas) total += list.size();
    // Nothing changed (a sheet only regenerated): every value stays as read.
    if (std::find(changed.begin(), changed.end(), true) == changed.end()) return std::vector<bool>(total, false);
    const auto indexOf = [&](std::string_view name) -> int {
        for (std::size_t i = 0; i < n; ++i)
            if (AnsiSameText(FSheets[i].Name, name)) return static_cast<int>(i);
        return -1;
    };
    // What each formula of an unchanged sheet reads, as sheet indexes (-1:
    // no sheet of this workbook); names are followed through their texts.
    // Formulas of the same text on one sheet read the same (shared formulas).
    struct TReads {
        std::vector<int> Sheets;
        bool Anything = false;
    };
    std::vector<std::unordered_map<std::string, TReads>> byText(n);
    std::function<void(const std::string&, int, TWorksheet*, TReads&, int)> follow =
        [&](const std::string& text, int own, TWorksheet* sheet, TReads& reads, int depth) {
            TFormulaReach reach;
            try {
                reach = FormulaReach(text);
            } catch (const Exception&) {
                reads.Anything = true;
                return;
            }
            if (reach.Anything || depth > 8) reads.Anything = true;
            if (reach.OwnSheet) reads.Sheets.push_back(own);
            for (const std::string& name : reach.Sheets) reads.Sheets.push_back(indexOf(name));
            for (const std::string& name : reach.Names) {
                if (reads.Anything) return;
                const std::string* named = FindDefinedName(name, sheet);
                // A name's references without a sheet are the formula's own sheet.
                if (named) follow(*named, own, sheet, reads, depth + 1);
            }
        };
    std::vector<std::vector<const TReads*>> reads(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (changed[i]) continue;
        for (TCellFormula* f : formulas[i]) {
            auto it = byText[i].find(f->Text);
            if (it == byText[i].end()) {
                TReads r;
                follow(f->Text, static_cast<int>(i), FSheets[i].Sheet.get(), r, 0);
                it = byText[i].emplace(f->Text, std::move(r)).first;
            }
            reads[i].push_back(&it->second);
        }
    }
    std::vector<std::vector<bool>> dirty(n);
    for (std::size_t i = 0; i < n; ++i) dirty[i].assign(formulas[i].size(), changed[i]);
    for (bool grew = true; grew;) {
        grew = false;
        for (std::size_t i = 0; i < n; ++i) {
            if (changed[i]) continue;
            for (std::size_t k = 0; k < formulas[i].size(); ++k) {
                if (dirty[i][k]) continue;
                const TReads& r = *reads[i][k];
                bool stale = r.Anything;
                for (int s : r.Sheets) stale = stale || (s >= 0 && dirtySheet[std::size_t(s)]);
                if (!stale) continue;
                dirty[i][k] = true;
                grew = grew || !dirtySheet[i];
                dirtySheet[i] = true;
            }
        }
    }
    std::vector<bool> out;
    for (std::size_t i = 0; i < n; ++i) out.insert(out.end(), dirty[i].begin(), dirty[i].end());
    return out;
}

// A changed workbook is recalculated on load, but readers that do not
// calculate show the cached values. A formula whose value may have changed
// gets its value from the engine, or none where the engine cannot be sure:
// never the stale one. Formulas that cannot see any change keep the file's
// value (the engine may compute some differently from the writer, and a
// resave must not change what readers show); those without one get the
// engine's. Data tables keep theirs: the engine does not compute them. A
// sheet that was not changed is written anew only when a value changed.
namespace {
// Formulas of a sheet worth computing on two cores: below, a thread costs
// more than it saves.
constexpr std::size_t kFormulasForTwoHalves = 20000;
}  // namespace

void TWorkbook::ComputeCachedValues() {
    std::vector<std::vector<TCellFormula*>> formulas(FSheets.size());
    for (std::size_t i = 0; i < FSheets.size(); ++i) {
        TSheetEntry& e = FSheets[i];
        if (!e.Sheet && !MayHoldFormulas(FPackage->ReadPart(e.PartName))) continue;
        ForEachFormula(Sheet(static_cast<int>(i)), [&](TCellFormula& f) { formulas[i].push_back(&f); });
    }
    // The formula table does not move while values are computed, so the
    // pointers stay valid.
    const std::vector<bool> recompute = FormulasToRecompute(formulas);
    std::vector<std::vector<TStoredValue>> before(FSheets.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < FSheets.size(); ++i)
        for (TCellFormula* f : formulas[i]) {
            before[i].push_back(f->Cached);
            const bool stale = recompute[at++];
            if (f->Type == TCellFormula::TType::DataTable) continue;
            if (stale || f->Cached.Kind == TCellKind::Empty) f->NeedsValue = true;
        }
    TWorkbookFormulaContext context(*this);
    for (std::size_t i = 0; i < FSheets.size(); ++i) {
        TWorksheet* sheet = FSheets[i].Sheet.get();
        if (!sheet) continue;
        // A report's line formulas read constants of their own rows alone:
        // the two cores take half of the rows each, then one pass does the rest.
        if (formulas[i].size() >= kFormulasForTwoHalves && HasSecondCore()) {
            const int half = sheet->LastRow() / 2;
            TWorkbookFormulaContext other(*this);
            RunSideBySide([&] { context.ComputeReadingConstants(*sheet, 1, half); },
                          [&] { other.ComputeReadingConstants(*sheet, half + 1, sheet->LastRow()); });
        }
        context.ComputeSheet(*sheet);
    }
    for (std::size_t i = 0; i < FSheets.size(); ++i) {
        TWorksheet* sheet = FSheets[i].Sheet.get();
        if (!sheet || sheet->Modified()) continue;
        bool changedValue = false;
        for (std::size_t k = 0; k < formulas[i].size(); ++k)
            changedValue = changedValue || !(formulas[i][k]->Cached == before[i][k]);
        if (changedValue) sheet->SetModified();
    }
}

namespace {

// Sets fullCalcOnLoad on <calcPr>, adding the element where the schema
// wants it when there is none.
std::string MarkFullCalculation(std::string xml) {
    size_t rootStart = xml.find('<', xml.find("?>") == std::string::npos ? 0 : xml.find("?>"));
    size_t rootEnd = TagEnd(xml, rootStart);
    if (rootEnd == std::string::npos) return xml;
    std::string_view rootName(xml.data() + rootStart + 1, xml.find_first_of(" >/\t\r\n", rootStart) - rootStart - 1);
    std::string prefix(NamePrefix(rootName));
    size_t calc = FindStartTag(xml, prefix + "calcPr");
    if (calc != std::string::npos) {
        size_t end = TagEnd(xml, calc);
        std::string_view tag(xml.data() + calc, end - calc);
        size_t attr = tag.find(" fullCalcOnLoad=\"");
        if (attr != std::string_view::npos) {
            size_t v = calc + attr + 17;
            size_t close = xml.find('"', v);
            xml.replace(v, close - v, "1");
        } else {
            xml.insert(xml[end - 1] == '/' ? end - 1 : end, " fullCalcOnLoad=\"1\"");
        }
        return xml;
    }
    size_t closeAt = 0;
    std::string_view body(xml.data() + rootEnd + 1, xml.size() - rootEnd - 1);
    std::vector<TSpan> spans = TopLevelElements(body, closeAt);
    size_t at = closeAt;
    static constexpr std::string_view kAfter[] = {"oleSize",        "customWorkbookViews", "pivotCaches",
                                                  "smartTagPr",     "smartTagTypes",       "webPublishing",
                                                  "fileRecoveryPr", "webPublishObjects",   "extLst"};
    for (const TSpan& s : spans)
        if (std::find(std::begin(kAfter), std::end(kAfter), s.LocalName) != std::end(kAfter)) {
            at = s.Begin;
            break;
        }
    xml.insert(rootEnd + 1 + at, "<" + prefix + "calcPr fullCalcOnLoad=\"1\"/>");
    return xml;
}

}  // namespace

// The package's content types and the workbook's relationships while a
// save changes them; written back once at the end.
struct TWorkbook::TSaveParts {
    TContentTypes Types;
    TRelationships Rels;
    std::string RelsPart;
    bool TypesChanged = false;
    bool RelsChanged = false;
};

namespace {
constexpr const char* kContentTypesPart = "[Content_Types].xml";
}  // namespace

void TWorkbook::PrepareSave(const std::string& targetName) {
    WriteActiveSheet();
    const bool sheetsChanged = AnySheetModified();
    if (sheetsChanged) ComputeCachedValues();
    TSaveParts parts = ReadSaveParts();
    WriteChangedParts(parts);
    if (sheetsChanged) {
        DropCalculationChain(parts);
        FPackage->SetPart(FWorkbookPart, MarkFullCalculation(FPackage->ReadPart(FWorkbookPart)));
    }
    if (!SetMainContentType(targetName, parts)) DropMacros(parts);
    WriteSaveParts(parts);
}

bool TWorkbook::AnySheetModified() const {
    for (const TSheetEntry& e : FSheets)
        if (e.Sheet && e.Sheet->Modified()) return true;
    return false;
}

TWorkbook::TSaveParts TWorkbook::ReadSaveParts() const {
    const TPackage& p = *FPackage;
    TSaveParts parts;
    parts.Types = TContentTypes::Parse(p.ReadPart(kContentTypesPart), kContentTypesPart, p.DisplayName());
    parts.RelsPart = RelationshipsPartName(FWorkbookPart);
    if (p.HasPart(parts.RelsPart))
        parts.Rels = TRelationships::Parse(p.ReadPart(parts.RelsPart), parts.RelsPart, p.DisplayName());
    return parts;
}

void TWorkbook::WriteSaveParts(const TSaveParts& parts) {
    if (parts.RelsChanged) FPackage->SetPart(parts.RelsPart, parts.Rels.Serialize());
    if (parts.TypesChanged) FPackage->SetPart(kContentTypesPart, parts.Types.Serialize());
}

// A part the workbook needs that the template lacked gets its relationship
// and content type.
void TWorkbook::EnsurePart(TSaveParts& parts, std::string& partName, const char* defaultTarget, const char* relType,
                           const char* contentType) {
    if (partName.empty()) {
        partName = ResolveTarget(FWorkbookPart, defaultTarget);
        parts.Rels.Add(relType, RelativeTarget(FWorkbookPart, partName));
        parts.RelsChanged = true;
    }
    if (parts.Types.Override(partName).empty()) {
        parts.Types.SetOverride(partName, contentType);
        parts.TypesChanged = true;
    }
}

void TWorkbook::WriteChangedParts(TSaveParts& parts) {
    TPackage& p = *FPackage;
    for (TSheetEntry& e : FSheets)
        if (e.Sheet && e.Sheet->Modified()) {
            if (e.Sheet->SaveObjectParts(p, parts.Types)) parts.TypesChanged = true;
            p.SetPart(e.PartName, e.Sheet->Serialize());
            if (e.Sheet->RelationshipsChanged())
                p.SetPart(RelationshipsPartName(e.PartName), e.Sheet->Relationships().Serialize());
        }

    if (FStringsLoaded && FStrings.Modified()) {
        EnsurePart(parts, FStringsPart, "sharedStrings.xml", kTypeSharedStrings, kCtSharedStrings);
        p.SetPart(FStringsPart, FStrings.Serialize());
    }
    if (FStylesLoaded && FStyles.Modified()) {
        EnsurePart(parts, FStylesPart, "styles.xml", kTypeStyles, kCtStyles);
        p.SetPart(FStylesPart, FStyles.Serialize());
    }
}

// The chain would name cells that may be gone: Excel rebuilds it.
void TWorkbook::DropCalculationChain(TSaveParts& parts) {
    const TRelationship* r = FindBySuffix(parts.Rels, kRelCalcChain);
    if (!r) return;
    const std::string part = ResolveTarget(FWorkbookPart, r->Target);
    const std::string id = r->Id;
    FPackage->RemovePart(part);
    parts.Rels.RemoveById(id);
    parts.Types.RemoveOverride(part);
    parts.RelsChanged = parts.TypesChanged = true;
}

// The main part's content type follows the target's extension: a template
// copy becomes a workbook, and a file named .xlsx cannot hold macros (Excel
// refuses to open such a file). Returns whether the target keeps macros.
bool TWorkbook::SetMainContentType(const std::string& targetName, TSaveParts& parts) {
    const std::string ext = LowerCase(ExtractFileExt(targetName));
    const std::string current = parts.Types.Override(FWorkbookPart);
    bool macroTarget = ext == ".xlsm" || ext == ".xltm";
    bool templateTarget = ext == ".xltx" || ext == ".xltm";
    if (ext.empty() || (ext != ".xlsx" && ext != ".xlsm" && ext != ".xltx" && ext != ".xltm")) {
        // Unknown extension: keep macros, drop the template kind of a copy.
        macroTarget = current == kCtMacroWorkbook || current == kCtMacroTemplate;
        templateTarget = !FTemplateCopy && (current == kCtTemplate || current == kCtMacroTemplate);
    }
    const std::string wanted = macroTarget ? (templateTarget ? kCtMacroTemplate : kCtMacroWorkbook)
                                           : (templateTarget ? kCtTemplate : kCtWorkbook);
    if (!current.empty() && current != wanted) {
        parts.Types.SetOverride(FWorkbookPart, wanted);
        parts.TypesChanged = true;
    }
    return macroTarget;
}

void TWorkbook::DropMacros(TSaveParts& parts) {
    const TRelationship* r = FindBySuffix(parts.Rels, kRelVba);
    if (!r) return;
    const std::string part = ResolveTarget(FWorkbookPart, r->Target);
    const std::string id = r->Id;
    FPackage->RemovePart(part);
    FPackage->RemovePart(RelationshipsPartName(part));
    parts.Types.RemoveOverride(part);
    parts.Rels.RemoveById(id);
    parts.RelsChanged = parts.TypesChanged = true;
}

void TWorkbook::MarkSaved(const std::string& fileName) {
    for (TSheetEntry& e : FSheets)
        if (e.Sheet) e.Sheet->ClearModified();
    FStrings.SetModified(false);
    FStyles.ClearModified();
    FTemplateCopy = false;
    if (!fileName.empty()) {
        FFileName = fileName;
        FDisplayName = fileName;
        FReadOnly = false;
    }
}

void TWorkbook::Save() {
    if (FFileName.empty())
        throw ESpreadsheetError("Workbook \"" + FDisplayName + "\" has no file yet: it must be saved under a name");
    if (FReadOnly) throw ESpreadsheetError("File \"" + FFileName + "\" was opened read-only and is not written");
    SaveAs(FFileName);
}

void TWorkbook::SaveAs(const std::string& fileName) {
    if (FReadOnly && !FFileName.empty() && fileName == FFileName)
        throw ESpreadsheetError("File \"" + FFileName + "\" was opened read-only and is not written");
    PrepareSave(fileName);
    FPackage->SaveAs(fileName, FLevel);
    MarkSaved(fileName);
}

std::string TWorkbook::SaveToBytes() {
    PrepareSave(FFileName);  // no name: the content type stays what it is
    std::string bytes = FPackage->SaveToBytes(FLevel);
    MarkSaved({});
    return bytes;
}

}  // namespace tabrix::xl
