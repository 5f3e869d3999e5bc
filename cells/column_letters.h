#pragma once
// Column letters of a column number, shared by the address builder (narrow
// text) and the reference renewal (UTF-16 text). The caller checks that the
// column lies in 1..702.

#include <string>

#include "cells/report_limits.h"

namespace tabrix::cells_detail {

template <class CharT>
void AppendColumnLetters(int column, std::basic_string<CharT>& out) {
    const int q = (column - 1) / 26;
    if (q > 0) out += static_cast<CharT>('A' + q - 1);
    out += static_cast<CharT>('A' + (column - 1) % 26);
}

}  // namespace tabrix::cells_detail
