#pragma once
// JSON data files: an array of objects, one record per object, one field per
// member name (the union over all objects, in order of first appearance,
// names compared ignoring case). A member that holds arrays of objects
// becomes a nested table (ftDataSet) with a schema of its own; other objects
// and arrays are kept as their JSON text (ftMemo).

#include <string_view>

#include "platform/db/csv_reader.h"
#include "platform/db/record_store.h"

namespace tabrix {

// Raises EDatabaseError naming the data set, the file, line and column.
TRecordStore ReadJson(std::string_view text, const TDataFileSource& source);

}  // namespace tabrix
