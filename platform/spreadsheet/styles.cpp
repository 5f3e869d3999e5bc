#include "platform/spreadsheet/styles.h"

#include <charconv>
#include <cstdlib>
#include <map>
#include <vector>

#include <pugixml.hpp>

#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_parse.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

namespace {

constexpr const char* kMinimalStyles =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<fonts count=\"1\"><font><sz val=\"11\"/><color theme=\"1\"/><name val=\"Calibri\"/>"
    "<family val=\"2\"/><scheme val=\"minor\"/></font></fonts>"
    "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
    "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/></cellXfs>"
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "<dxfs count=\"0\"/><tableStyles count=\"0\"/></styleSheet>";

struct TBuiltin {
    int Id;
    const char* Code;
};
constexpr TBuiltin kBuiltins[] = {
    {0, "General"},
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/?\?"},
    {14, "mm-dd-yy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yy h:mm"},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mmss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
};

int IntAttr(const pugi::xml_node& n, const char* name, int fallback = 0) {
    pugi::xml_attribute a = n.attribute(name);
    return a ? a.as_int(fallback) : fallback;
}

bool BoolAttr(const pugi::xml_attribute& a) {
    std::string_view v = a.value();
    return v == "1" || v == "true";
}

}  // namespace

struct TStyles::TImpl {
    pugi::xml_document Doc;
    std::string Prefix;
    bool Modified = false;
    std::map<int, std::string> CustomFormats;  // numFmtId -> code
    std::vector<pugi::xml_node> Xfs, Fonts, Fills, Borders, Dxfs;
    std::map<std::pair<uint32_t, int>, uint32_t> WithFormatCache;
    std::map<std::pair<const TImpl*, uint32_t>, uint32_t> ImportCache;
    std::string GeneralCode = "General";
    std::vector<int8_t> KindCache;
    uint32_t CountAsRead = 1;  // per cell format; -1 = not yet known (a hot path of typed input)

    pugi::xml_node Section(const char* localName, bool create);
    void Index();
    int FormatIdFor(std::string_view code);
    uint32_t FindOrAddXf(const pugi::xml_node& xf);
    int FindOrAddPart(const char* sectionName, std::vector<pugi::xml_node>& list, const pugi::xml_node& node);
    const std::string& Code(int id) const;
};

pugi::xml_node TStyles::TImpl::Section(const char* localName, bool create) {
    pugi::xml_node root = Doc.document_element();
    pugi::xml_node n = ChildByLocalName(root, localName);
    if (n || !create) return n;
    std::string name = Prefix + localName;
    // numFmts comes first in the style sheet; the others exist in any real
    // part but dxfs, which goes before the sections the schema puts after it.
    if (std::string_view(localName) == "numFmts") return root.prepend_child(name.c_str());
    if (std::string_view(localName) == "dxfs")
        for (const char* after : {"tableStyles", "colors", "extLst"})
            if (pugi::xml_node next = ChildByLocalName(root, after))
                return root.insert_child_before(name.c_str(), next);
    return root.append_child(name.c_str());
}

void TStyles::TImpl::Index() {
    CustomFormats.clear();
    Xfs.clear();
    Fonts.clear();
    Fills.clear();
    Borders.clear();
    Dxfs.clear();
    pugi::xml_node root = Doc.document_element();
    Prefix = std::string(NamePrefix(root.name()));
    auto collect = [&](const char* section, const char* item, std::vector<pugi::xml_node>& list) {
        for (pugi::xml_node n : ChildByLocalName(root, section).children())
            if (LocalName(n.name()) == item) list.push_back(n);
    };
    for (pugi::xml_node n : ChildByLocalName(root, "numFmts").children())
        if (LocalName(n.name()) == "numFmt")
            CustomFormats[IntAttr(n, "numFmtId", -1)] = n.attribute("formatCode").value();
    collect("cellXfs", "xf", Xfs);
    collect("fonts", "font", Fonts);
    collect("fills", "fill", Fills);
    collect("borders", "border", Borders);
    collect("dxfs", "dxf", Dxfs);
}

const std::string& TStyles::TImpl::Code(int id) const {
    auto it = CustomFormats.find(id);
    if (it != CustomFormats.end()) return it->second;
    static const std::map<int, std::string> builtins = [] {
        std::map<int, std::string> m;
        for (const TBuiltin& b : kBuiltins) m[b.Id] = b.Code;
        return m;
    }();
    auto b = builtins.find(id);
    return b != builtins.end() ? b->second : GeneralCode;
}

int TStyles::TImpl::FormatIdFor(std::string_view code) {
    for (const TBuiltin& b : kBuiltins)
        if (code == b.Code) return b.Id;
    int maxId = 163;
    for (auto& [id, c] : CustomFormats) {
        if (c == code) return id;
        maxId = std::max(maxId, id);
    }
    int id = maxId + 1;
    pugi::xml_node section = Section("numFmts", true);
    pugi::xml_node n = section.append_child((Prefix + "numFmt").c_str());
    n.append_attribute("numFmtId") = id;
    n.append_attribute("formatCode") = std::string(code).c_str();
    CustomFormats[id] = std::string(code);
    Modified = true;
    return id;
}

uint32_t TStyles::TImpl::FindOrAddXf(const pugi::xml_node& xf) {
    std::string wanted = NodeXml(xf);
    for (size_t i = 0; i < Xfs.size(); ++i)
        if (NodeXml(Xfs[i]) == wanted) return static_cast<uint32_t>(i);
    pugi::xml_node section = Section("cellXfs", true);
    pugi::xml_node added = section.append_copy(xf);
    Xfs.push_back(added);
    Modified = true;
    return static_cast<uint32_t>(Xfs.size() - 1);
}

int TStyles::TImpl::FindOrAddPart(const char* sectionName, std::vector<pugi::xml_node>& list,
                                  const pugi::xml_node& node) {
    std::string wanted = NodeXml(node);
    for (size_t i = 0; i < list.size(); ++i)
        if (NodeXml(list[i]) == wanted) return static_cast<int>(i);
    pugi::xml_node section = Section(sectionName, true);
    list.push_back(section.append_copy(node));
    Modified = true;
    return static_cast<int>(list.size() - 1);
}

TStyles::TStyles() : FImpl(std::make_unique<TImpl>()) { Parse({}, "styles"); }
TStyles::~TStyles() = default;
TStyles::TStyles(const TStyles& other) : FImpl(std::make_unique<TImpl>()) { *this = other; }
TStyles& TStyles::operator=(const TStyles& other) {
    if (this != &other) {
        Parse(other.Serialize(), "styles");
        FImpl->Modified = other.FImpl->Modified;
    }
    return *this;
}

void TStyles::Parse(std::string_view xml, std::string_view partName) {
    FImpl->Doc.reset();
    FImpl->KindCache.clear();
    ParseXmlDocument(FImpl->Doc, xml.empty() ? std::string_view(kMinimalStyles) : xml, partName);
    FImpl->Index();
    if (FImpl->Xfs.empty()) {
        // A part without cell formats: give it the default one, so that
        // index 0 always means something.
        pugi::xml_node section = FImpl->Section("cellXfs", true);
        pugi::xml_node xf = section.append_child((FImpl->Prefix + "xf").c_str());
        for (const char* a : {"numFmtId", "fontId", "fillId", "borderId", "xfId"}) xf.append_attribute(a) = 0;
        FImpl->Xfs.push_back(xf);
        FImpl->Modified = true;
    } else {
        FImpl->Modified = false;
    }
    FImpl->WithFormatCache.clear();
    FImpl->ImportCache.clear();
    FImpl->CountAsRead = static_cast<uint32_t>(FImpl->Xfs.size());
}

std::string TStyles::Serialize() const {
    // Counts follow the items actually there.
    pugi::xml_node root = FImpl->Doc.document_element();
    for (const char* section : {"numFmts", "fonts", "fills", "borders", "cellXfs", "dxfs"}) {
        pugi::xml_node n = ChildByLocalName(root, section);
        if (!n) continue;
        int count = 0;
        for (pugi::xml_node c : n.children())
            if (c.type() == pugi::node_element) ++count;
        pugi::xml_attribute a = n.attribute("count");
        if (!a) a = n.append_attribute("count");
        a = count;
    }
    struct TWriter : pugi::xml_writer {
        std::string Out;
        void write(const void* d, size_t n) override { Out.append(static_cast<const char*>(d), n); }
    } w;
    bool hasDeclaration = FImpl->Doc.first_child().type() == pugi::node_declaration;
    if (!hasDeclaration) w.Out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    FImpl->Doc.save(w, "", pugi::format_raw | pugi::format_no_declaration);
    return std::move(w.Out);
}

bool TStyles::Modified() const { return FImpl->Modified; }
void TStyles::ClearModified() { FImpl->Modified = false; }

uint32_t TStyles::Count() const { return static_cast<uint32_t>(FImpl->Xfs.size()); }
uint32_t TStyles::CountAsRead() const { return FImpl->CountAsRead; }

int TStyles::NumberFormatId(uint32_t xf) const {
    if (xf >= FImpl->Xfs.size()) xf = 0;
    return IntAttr(FImpl->Xfs[xf], "numFmtId");
}

const std::string& TStyles::NumberFormatCode(uint32_t xf) const { return FImpl->Code(NumberFormatId(xf)); }

TNumberFormatKind TStyles::NumberFormatKind(uint32_t xf) const {
    if (xf >= FImpl->Xfs.size()) xf = 0;
    std::vector<int8_t>& cache = FImpl->KindCache;
    if (cache.size() != FImpl->Xfs.size()) cache.assign(FImpl->Xfs.size(), -1);
    if (cache[xf] >= 0) return static_cast<TNumberFormatKind>(cache[xf]);
    TNumberFormatKind kind = ComputeKind(xf);
    cache[xf] = static_cast<int8_t>(kind);
    return kind;
}

TNumberFormatKind TStyles::ComputeKind(uint32_t xf) const {
    int id = NumberFormatId(xf);
    if (FImpl->CustomFormats.count(id) == 0) {
        // Locale-dependent built-in dates of the East Asian versions.
        if ((id >= 27 && id <= 36) || (id >= 50 && id <= 58)) return TNumberFormatKind::Date;
    }
    return ClassifyFormat(FImpl->Code(id));
}

double TStyles::FontSize(uint32_t xf) const {
    if (xf >= FImpl->Xfs.size()) xf = 0;
    size_t font = static_cast<size_t>(IntAttr(FImpl->Xfs[xf], "fontId"));
    if (font >= FImpl->Fonts.size()) return 11;
    pugi::xml_node sz = ChildByLocalName(FImpl->Fonts[font], "sz");
    double size = sz ? sz.attribute("val").as_double(11) : 11;
    return size > 0 && size < 410 ? size : 11;
}

bool TStyles::WrapText(uint32_t xf) const {
    if (xf >= FImpl->Xfs.size()) return false;
    pugi::xml_node al = ChildByLocalName(FImpl->Xfs[xf], "alignment");
    return al && BoolAttr(al.attribute("wrapText"));
}

uint32_t TStyles::WithNumberFormat(uint32_t xf, std::string_view code) {
    if (xf >= FImpl->Xfs.size()) xf = 0;
    int id = FImpl->FormatIdFor(code);
    if (NumberFormatId(xf) == id) return xf;
    auto key = std::make_pair(xf, id);
    auto it = FImpl->WithFormatCache.find(key);
    if (it != FImpl->WithFormatCache.end()) return it->second;
    pugi::xml_document scratch;
    pugi::xml_node copy = scratch.append_copy(FImpl->Xfs[xf]);
    pugi::xml_attribute a = copy.attribute("numFmtId");
    if (!a) a = copy.append_attribute("numFmtId");
    a = id;
    pugi::xml_attribute apply = copy.attribute("applyNumberFormat");
    if (!apply) apply = copy.append_attribute("applyNumberFormat");
    apply = "1";
    uint32_t result = FImpl->FindOrAddXf(copy);
    FImpl->WithFormatCache[key] = result;
    return result;
}

uint32_t TStyles::Import(const TStyles& other, uint32_t xf) {
    if (xf >= other.FImpl->Xfs.size()) xf = 0;
    auto key = std::make_pair(other.FImpl.get(), xf);
    auto it = FImpl->ImportCache.find(key);
    if (it != FImpl->ImportCache.end()) return it->second;
    const pugi::xml_node source = other.FImpl->Xfs[xf];
    pugi::xml_document scratch;
    pugi::xml_node copy = scratch.append_copy(source);
    auto remap = [&](const char* attr, const char* section, std::vector<pugi::xml_node>& mine,
                     const std::vector<pugi::xml_node>& theirs) {
        size_t index = static_cast<size_t>(IntAttr(source, attr));
        if (index >= theirs.size()) return;
        int mapped = FImpl->FindOrAddPart(section, mine, theirs[index]);
        pugi::xml_attribute a = copy.attribute(attr);
        if (!a) a = copy.append_attribute(attr);
        a = mapped;
    };
    remap("fontId", "fonts", FImpl->Fonts, other.FImpl->Fonts);
    remap("fillId", "fills", FImpl->Fills, other.FImpl->Fills);
    remap("borderId", "borders", FImpl->Borders, other.FImpl->Borders);
    int fmt = IntAttr(source, "numFmtId");
    int mappedFmt = FImpl->FormatIdFor(other.FImpl->Code(fmt));
    if (other.FImpl->CustomFormats.count(fmt) == 0 && BuiltinFormatCode(fmt).empty()) mappedFmt = fmt;
    copy.attribute("numFmtId") = mappedFmt;
    // Named cell styles are not carried over: the cell keeps its look on
    // the workbook's Normal style.
    if (pugi::xml_attribute a = copy.attribute("xfId")) a = 0;
    uint32_t result = FImpl->FindOrAddXf(copy);
    FImpl->ImportCache[key] = result;
    return result;
}

uint32_t TStyles::ImportDifferential(const TStyles& other, uint32_t dxf) {
    if (dxf >= other.FImpl->Dxfs.size()) return dxf;
    return static_cast<uint32_t>(FImpl->FindOrAddPart("dxfs", FImpl->Dxfs, other.FImpl->Dxfs[dxf]));
}

std::string_view TStyles::BuiltinFormatCode(int id) {
    for (const TBuiltin& b : kBuiltins)
        if (b.Id == id) return b.Code;
    return {};
}

TNumberFormatKind TStyles::ClassifyFormat(std::string_view code) {
    if (code.empty()) return TNumberFormatKind::General;
    // Only the first section decides (positive numbers).
    bool date = false, time = false, percent = false, text = false, digits = false;
    std::string lower;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == ';') break;
        if (c == '"') {
            size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) break;
            i = close;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            ++i;
            continue;
        }
        if (c == '[') {
            size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos) break;
            std::string_view inner = code.substr(i + 1, close - i - 1);
            if (!inner.empty() && (inner[0] == 'h' || inner[0] == 'H' || inner[0] == 'm' || inner[0] == 'M' ||
                                   inner[0] == 's' || inner[0] == 'S'))
                time = true;
            i = close;
            continue;
        }
        char l = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
        lower.push_back(l);
        switch (l) {
            case 'y':
            case 'd':
                date = true;
                break;
            case 'h':
            case 's':
                time = true;
                break;
            case 'm':
                date = true;
                break;  // month; minutes are caught by h/s beside it
            case '%':
                percent = true;
                break;
            case '@':
                text = true;
                break;
            case '0':
            case '#':
            case '?':
                digits = true;
                break;
            default:
                break;
        }
    }
    if (lower == "general") return TNumberFormatKind::General;
    if (text) return TNumberFormatKind::Text;
    // "mm:ss" and "h:mm" hold 'm' as minutes.
    bool realDate = false;
    if (date) {
        realDate = lower.find('y') != std::string::npos || lower.find('d') != std::string::npos ||
                   (!time && lower.find('m') != std::string::npos);
    }
    if (realDate && time) return TNumberFormatKind::DateTime;
    if (realDate) return TNumberFormatKind::Date;
    if (time) return TNumberFormatKind::Time;
    if (percent) return TNumberFormatKind::Percent;
    (void)digits;
    return TNumberFormatKind::Number;
}

}  // namespace tabrix::xl
