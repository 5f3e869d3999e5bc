#pragma once
// Every limit of the report layer (cells, template, copy, report) in one
// place, each with its reason. Messages that state a limit are formatted
// from these constants, and tests check the values at N and N + 1.

#include <cstddef>

#include "platform/classes/formtext.h"

namespace tabrix {

// The report sheet is the classic sheet of 65535 rows and 256 columns
// (A..IV): templates are written for it, and a moved reference that would
// leave it is kept as written rather than wrapped.
inline constexpr int kReportMaxRow = 65535;
inline constexpr int kReportMaxColumn = 256;  // IV

// The largest template a report carries in its form (StoreInDFM): the
// form's largest binary value less the block's 4-byte length field, so that
// what is stored is written and read back whole.
inline constexpr std::size_t kMaxStoredTemplateSize = kFormMaxBinarySize - 4;

// Cell addresses of the report routines have one or two column letters
// (A..ZZ, 1..702).
inline constexpr int kMaxAddressColumn = 26 * 26 + 26;  // ZZ

}  // namespace tabrix
