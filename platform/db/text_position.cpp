#include "platform/db/text_position.h"

namespace tabrix {

TTextPosition TextPositionAt(std::string_view text, size_t offset) {
    TTextPosition p;
    if (offset > text.size()) offset = text.size();
    for (size_t i = 0; i < offset; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n' || (c == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++p.Line;
            p.Column = 1;
        } else if (c != '\r' && (c & 0xC0) != 0x80) {
            ++p.Column;
        }
    }
    return p;
}

std::string_view SkipByteOrderMark(std::string_view text) {
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    return text;
}

}  // namespace tabrix
