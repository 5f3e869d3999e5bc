#pragma once
// The workbook's shared string table: every text cell holds an index into it.
// Texts are interned, so writing the same text twice stores it once. Rich
// text (runs with their own fonts) and phonetic runs keep their <si> XML as
// read, so they are written back exactly.

#include <cstdint>
#include <deque>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tabrix::xl {

class TXmlReader;

// A string item (<si> of the table, <is> of an inline string) as read: its
// plain text (file-format escapes decoded; phonetic runs are not part of
// it) and, when it is more than one plain <t>, its inner XML as written.
struct TStringItem {
    std::string Text;
    std::string_view InnerXml;  // a view into the part's text
    bool Rich = false;
};
// Reads the item whose Start the reader is on, up to its EndTag.
void ReadStringItem(TXmlReader& reader, TStringItem& item);

class TSharedStrings {
public:
    // Index of a plain text (UTF-8), added when new.
    uint32_t Add(std::string_view text);
    // A rich entry: its plain text and the inner XML of its <si> element.
    // Rich entries are not interned (two equal texts may differ in runs).
    uint32_t AddRich(std::string_view text, std::string_view innerXml);

    uint32_t Count() const { return static_cast<uint32_t>(FItems.size()); }
    // Plain text of the entry; "" for an index out of range.
    std::string_view Text(uint32_t index) const;
    // Inner XML of a rich entry; nullptr for a plain one.
    const std::string* RichXml(uint32_t index) const;

    // Whether entries were added since the table was read.
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }

    // The sst part: every entry in index order.
    std::string Serialize() const;
    // Reads an sst part as a stream (replacing the table); raises
    // ESpreadsheetError naming where (File "a.xlsx", part "xl/x.xml") for
    // malformed XML, for more than maxItems entries and when memory runs
    // out. Invalid UTF-8 is read as U+FFFD.
    void Parse(std::string_view xml, std::string_view where,
               std::uint64_t maxItems = std::numeric_limits<std::uint64_t>::max());

private:
    struct TItem {
        std::string Text;
        std::string RichXml;  // empty for a plain entry
        bool Rich = false;
    };
    std::deque<TItem> FItems;  // a deque keeps texts in place for the index below
    std::unordered_map<std::string_view, uint32_t> FIndex;
    std::string FPrefix;          // namespace prefix of the part's elements, as read
    std::string FRootAttributes;  // namespace declarations of <sst>, as read
    bool FModified = false;
};

}  // namespace tabrix::xl
