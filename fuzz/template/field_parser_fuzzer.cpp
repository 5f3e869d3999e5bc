// Any cell text with any field sign: SetFieldString parses it or raises
// ETabrixFieldParserError; a parse always yields a piece before every field
// and one after the last, and the result can be built from it.
//   input: sign (1 byte), UTF-8 text

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "template/field_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabrix;
    if (size < 1) return 0;
    const char sign = static_cast<char>(data[0]);
    const UnicodeString text = Utf8ToUnicode(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    TTabrixFieldParser parser(sign);
    try {
        parser.SetFieldString(text);
    } catch (const ETabrixFieldParserError&) {
        return 0;
    }
    const int count = parser.GetCount();
    size_t length = 0;
    for (int i = 0; i <= count; ++i) length += parser.GetText(i).size();
    for (int i = 0; i < count; ++i) {
        if (parser.GetFunc(i) > TTabrixFieldFunc::ffCnt) std::abort();
        parser.SetValue(i, parser.GetField(i));
    }
    // Pieces are cut from the text: together they are never longer.
    if (length > text.size()) std::abort();
    (void)parser.GetResultString();

    TTabrixFieldParser copy('#');
    copy.Assign(parser);
    if (copy.GetResultString() != parser.GetResultString()) std::abort();
    return 0;
}
