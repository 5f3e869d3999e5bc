#pragma once
// Line and column (1-based, columns in characters) of a byte offset in a
// UTF-8 text, for errors that point into a data file. CR LF, LF and a lone
// CR each end a line.

#include <cstddef>
#include <string_view>

namespace tabrix {

struct TTextPosition {
    size_t Line = 1;
    size_t Column = 1;
};

TTextPosition TextPositionAt(std::string_view text, size_t offset);

// The text without a leading UTF-8 byte order mark.
std::string_view SkipByteOrderMark(std::string_view text);

}  // namespace tabrix
