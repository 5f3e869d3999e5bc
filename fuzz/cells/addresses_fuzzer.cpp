// Any text as a cell address or range: the address routines answer or raise
// ETabrixError, nothing else; any row and column build an address that
// reads back to the same numbers.
//   input: row (4 bytes), column (2 bytes), text

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cells/cell_address.h"
#include "cells/tabrix_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tabrix;
    if (size < 6) return 0;
    const int32_t row = static_cast<int32_t>(uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                                             uint32_t(data[3]) << 24);
    const int column = static_cast<int16_t>(data[4] | (data[5] << 8));
    const std::string_view text(reinterpret_cast<const char*>(data + 6), size - 6);

    try {
        const std::string cell = TabrixGetRange(row, column);
        if (TabrixGetRangeColumn(cell) != column) std::abort();
        if (row >= 0 && TabrixGetRangeRow(cell) != row) std::abort();
    } catch (const ETabrixError&) {
        if (column >= 1 && column <= 702 && row >= 0) std::abort();
    }

    const std::string first = TabrixGetRangeFirst(text);
    const std::string last = TabrixGetRangeLast(text);
    if (first.size() > text.size() || last.size() > text.size()) std::abort();
    for (const std::string_view cell : {text, std::string_view(first), std::string_view(last)}) {
        try {
            (void)TabrixGetRangeColumn(cell);
        } catch (const ETabrixError&) {}
        try {
            (void)TabrixGetRangeRow(cell);
        } catch (const ETabrixError&) {}
    }
    return 0;
}
