#pragma once
// CSV files (RFC 4180): a header row naming the fields, records separated by
// line breaks (CR LF, LF or CR), fields by commas, quoted fields with doubled
// quotes inside. Field types are guessed from the values (type_guess.h); an
// empty unquoted field is null.

#include <string>
#include <string_view>

#include "platform/db/record_store.h"

namespace tabrix {

struct TDataFileSource {
    std::string DataSetName;  // for the error texts
    std::string FileName;
};

// Raises EDatabaseError naming the data set, the file, line and column.
TRecordStore ReadCsv(std::string_view text, const TDataFileSource& source, char delimiter = ',');

}  // namespace tabrix
