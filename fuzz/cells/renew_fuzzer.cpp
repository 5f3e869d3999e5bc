// Any text as a formula, with any offsets and field sign: the renewal never
// crashes or fails, and it keeps every character that is no cell reference
// (quotes in particular) in place.
//   input: row offset (2 bytes), column offset (1 byte), sign (1 byte), UTF-8 text

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cells/renew_references.h"

namespace {

size_t Count(std::u16string_view s, char16_t c) {
    size_t n = 0;
    for (char16_t x : s) n += x == c;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const int rowOffset = static_cast<int16_t>(data[0] | (data[1] << 8));
    const int colOffset = static_cast<int8_t>(data[2]);
    const char sign = static_cast<char>(data[3]);
    const tabrix::UnicodeString formula =
        tabrix::Utf8ToUnicode(std::string_view(reinterpret_cast<const char*>(data + 4), size - 4));

    const tabrix::UnicodeString result = tabrix::TabrixRenewCellReferences(formula, rowOffset, colOffset, sign);
    if (Count(result, u'"') != Count(formula, u'"') || Count(result, u'\'') != Count(formula, u'\'') ||
        Count(result, u'!') != Count(formula, u'!'))
        std::abort();
    if (rowOffset == 0 && colOffset == 0 && result != formula) std::abort();
    // The result is a formula again and can be moved once more.
    (void)tabrix::TabrixRenewCellReferences(result, -rowOffset, -colOffset, sign);
    return 0;
}
