#pragma once
// A pull reader over the text of one XML part: start tags with their
// attributes, end tags and text, one at a time, without building a tree.
// Reading costs the text itself plus a stack of open element names, so a
// sheet of millions of cells is read at the cost of its cell store.
//
// The reader checks what a well-formed part needs for our use: tags closed
// in order, one root element, quoted attribute values without '<', no text
// outside the root, nesting up to kMaxXmlDepth. A DOCTYPE is skipped, never
// expanded: only the predefined and the numeric character references exist.
// Failures raise ESpreadsheetError "File "a.xlsx", part "xl/x.xml":
// malformed XML, what, at offset N". Offsets are 0-based byte positions in the text.
//
// The reader keeps views into the text: the text must outlive it.
//
//   TXmlReader r(xml, "File \"a.xlsx\", part \"xl/sharedStrings.xml\"");
//   r.NextStart();                           // the root element
//   while (r.NextChild(1)) {
//       if (r.LocalName() == "si") ...       // or r.SkipElement()
//   }

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tabrix::xl {

class TXmlReader {
public:
    enum class TToken : uint8_t { Start, EndTag, Text, End };
    // An attribute of the current start tag; Raw is the value as written
    // (references not decoded, see Decode).
    struct TAttribute {
        std::string_view Name, Raw;
    };

    // where names the part in messages: File "a.xlsx", part "xl/x.xml".
    TXmlReader(std::string_view xml, std::string where);

    // The next token. A self-closing "<a/>" gives a Start (SelfClosing())
    // and then its EndTag. Comments, processing instructions, the DOCTYPE
    // and whitespace outside the root are skipped.
    TToken Next();
    TToken Token() const { return FToken; }
    // The next child of the element at depth parentDepth (its Depth() on
    // its Start): true with the reader on the child's Start; false once the
    // parent's end tag is read.
    // Text between the children is skipped.
    bool NextChild(int parentDepth);
    // Reads the root element's start tag; fails when the text has none.
    void NextStart();

    // The current start or end tag.
    std::string_view Name() const { return FName; }
    std::string_view LocalName() const;
    bool SelfClosing() const { return FSelfClosing; }
    size_t TagBegin() const { return FTagBegin; }  // offset of '<'
    size_t TagEnd() const { return FTagEnd; }      // offset just past '>'
    // Open elements: after a Start it counts that element, after an EndTag
    // no longer.
    int Depth() const { return static_cast<int>(FOpen.size()); }

    const std::vector<TAttribute>& Attributes() const { return FAttributes; }
    // The raw value of the attribute of that qualified name; false if absent.
    bool Attribute(std::string_view name, std::string_view& raw) const;

    // The part's text from begin to end (offsets as TagBegin and TagEnd).
    std::string_view Slice(size_t begin, size_t end) const { return FXml.substr(begin, end - begin); }
    // Text of a Text token as written; CData() for a CDATA section.
    std::string_view RawText() const { return FText; }
    bool CData() const { return FCData; }

    // From the current Start to its EndTag: the text of its direct content
    // (references decoded, CDATA as written), nested elements skipped. The
    // view points into the part or into scratch.
    std::string_view ElementText(std::string& scratch);
    // From the current Start to its EndTag.
    void SkipElement();

    // Character references and line ends decoded ("\r\n" and "\r" read as
    // "\n", as XML requires); raw itself when there is nothing to decode.
    static std::string_view Decode(std::string_view raw, std::string& scratch);
    static void AppendDecoded(std::string& out, std::string_view raw);

    [[noreturn]] void Fail(std::string_view what) const;
    [[noreturn]] void FailAt(std::string_view what, size_t offset) const;
    // Fails when the name (found at offset "at") holds a byte no XML name may.
    void CheckName(std::string_view name, size_t at) const;
    const std::string& Where() const { return FWhere; }

private:
    void ReadStartTag();
    void ReadEndTag();
    void SkipDoctype();
    size_t SkipPast(std::string_view terminator, size_t from, std::string_view what) const;

    std::string_view FXml;
    std::string FWhere;
    size_t FPos = 0;
    TToken FToken = TToken::End;
    std::string_view FName;
    std::string_view FText;
    size_t FTagBegin = 0, FTagEnd = 0;
    bool FSelfClosing = false;
    bool FPendingEnd = false;  // the EndTag of a self-closing Start is next
    bool FCData = false;
    bool FRootDone = false;
    std::vector<std::string_view> FOpen;  // names of the open elements
    std::vector<TAttribute> FAttributes;
};

// Raises ESpreadsheetError when the part is encoded as UTF-16 (by its byte
// order mark or its zero bytes): the engine reads UTF-8 parts only.
void RequireUtf8Encoding(std::string_view xml, std::string_view where);

}  // namespace tabrix::xl
