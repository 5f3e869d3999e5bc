#include "platform/spreadsheet/shared_strings.h"

#include <charconv>

#include <new>

#include "platform/rtl/strings.h"
#include "platform/spreadsheet/worksheet.h"
#include "platform/spreadsheet/xml_reader.h"
#include "platform/spreadsheet/xml_text.h"

namespace tabrix::xl {

uint32_t TSharedStrings::Add(std::string_view text) {
    auto it = FIndex.find(text);
    if (it != FIndex.end()) return it->second;
    uint32_t index = Count();
    FItems.push_back(TItem{std::string(text), {}, false});
    FIndex.emplace(std::string_view(FItems.back().Text), index);
    FModified = true;
    return index;
}

uint32_t TSharedStrings::AddRich(std::string_view text, std::string_view innerXml) {
    uint32_t index = Count();
    FItems.push_back(TItem{std::string(text), std::string(innerXml), true});
    FModified = true;
    return index;
}

std::string_view TSharedStrings::Text(uint32_t index) const {
    return index < FItems.size() ? std::string_view(FItems[index].Text) : std::string_view();
}

const std::string* TSharedStrings::RichXml(uint32_t index) const {
    return index < FItems.size() && FItems[index].Rich ? &FItems[index].RichXml : nullptr;
}

namespace {

void AppendRunText(TXmlReader& reader, std::string& text, std::string& scratch) {
    std::string_view t = reader.ElementText(scratch);
    if (t.find("_x") == std::string_view::npos)
        text += t;
    else
        text += DecodeXmlEscapes(t);
}

}  // namespace

void ReadStringItem(TXmlReader& reader, TStringItem& item) {
    item.Text.clear();
    item.InnerXml = {};
    item.Rich = false;
    const int depth = reader.Depth();
    const size_t innerBegin = reader.TagEnd();
    int elements = 0;
    bool plain = true;
    std::string scratch;
    while (reader.NextChild(depth)) {
        ++elements;
        std::string_view name = reader.LocalName();
        if (name == "t") {
            AppendRunText(reader, item.Text, scratch);
            continue;
        }
        plain = false;
        if (name != "r") {
            reader.SkipElement();  // phonetic runs and properties are no part of the text
            continue;
        }
        const int run = reader.Depth();
        while (reader.NextChild(run)) {
            if (reader.LocalName() == "t")
                AppendRunText(reader, item.Text, scratch);
            else
                reader.SkipElement();
        }
    }
    item.Rich = elements > 1 || !plain;
    if (item.Rich) item.InnerXml = reader.Slice(innerBegin, reader.TagBegin());
}

void TSharedStrings::Parse(std::string_view xml, std::string_view where, std::uint64_t maxItems) {
    FItems.clear();
    FIndex.clear();
    RequireUtf8Encoding(xml, where);
    // Texts written back must be well-formed: invalid bytes read as U+FFFD.
    std::string valid;
    if (!IsValidUtf8(xml)) {
        valid = ToValidUtf8(xml);
        xml = valid;
    }
    TXmlReader reader(xml, std::string(where));
    reader.NextStart();
    FPrefix = std::string(NamePrefix(reader.Name()));
    FRootAttributes.clear();
    std::string scratch;
    for (const TXmlReader::TAttribute& a : reader.Attributes()) {
        if (a.Name == "count" || a.Name == "uniqueCount") continue;
        FRootAttributes += ' ';
        FRootAttributes += a.Name;
        FRootAttributes += "=\"";
        AppendXmlAttribute(FRootAttributes, TXmlReader::Decode(a.Raw, scratch));
        FRootAttributes += '"';
    }
    try {
        TStringItem item;
        while (reader.NextChild(1)) {
            if (reader.LocalName() != "si") {
                reader.SkipElement();
                continue;
            }
            if (FItems.size() >= maxItems)
                throw ESpreadsheetError(std::string(where) + ": more than " + std::to_string(maxItems) +
                                        " shared strings, the most one workbook may hold");
            ReadStringItem(reader, item);
            if (item.Rich) {
                FItems.push_back(TItem{item.Text, std::string(item.InnerXml), true});
                continue;
            }
            FItems.push_back(TItem{item.Text, {}, false});
            FIndex.emplace(std::string_view(FItems.back().Text), static_cast<uint32_t>(FItems.size() - 1));
        }
        while (reader.Next() != TXmlReader::TToken::End) {}
    } catch (const std::bad_alloc&) {
        size_t read = FItems.size();
        FItems.clear();
        FIndex.clear();
        throw ESpreadsheetError(std::string(where) + ": out of memory after reading " + std::to_string(read) +
                                " shared strings");
    }
    FModified = false;
}

std::string TSharedStrings::Serialize() const {
    std::string out;
    out.reserve(64 + FItems.size() * 24);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<";
    out += FPrefix;
    out += "sst";
    if (FRootAttributes.empty())
        out += " xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
    else
        out += FRootAttributes;
    char buf[16];
    auto n = std::to_chars(buf, buf + sizeof buf, FItems.size()).ptr;
    out += " count=\"";
    out.append(buf, n);
    out += "\" uniqueCount=\"";
    out.append(buf, n);
    out += "\">";
    for (const TItem& item : FItems) {
        out += '<';
        out += FPrefix;
        out += "si>";
        if (item.Rich) {
            out += item.RichXml;
        } else {
            out += '<';
            out += FPrefix;
            out += NeedsSpacePreserve(item.Text) ? "t xml:space=\"preserve\">" : "t>";
            AppendXmlText(out, item.Text);
            out += "</";
            out += FPrefix;
            out += "t>";
        }
        out += "</";
        out += FPrefix;
        out += "si>";
    }
    out += "</";
    out += FPrefix;
    out += "sst>";
    return out;
}

}  // namespace tabrix::xl
