#pragma once
// Every limit of the data sets in one place, each with its reason.

#include <cstddef>

namespace tabrix {

// Records a query fetches from its database at a time while a data set is
// walked: enough to keep the round trips rare, few enough that a report over
// a large table holds only what it has reached.
inline constexpr std::size_t kFetchBatchRecords = 256;

// Arrays and objects of a JSON data file nested deeper than this are refused
// before they are read: reading, type learning and writing a value back as
// text all recurse.
inline constexpr int kMaxJsonDepth = 200;

}  // namespace tabrix
