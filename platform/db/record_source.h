#pragma once
// A source that delivers the records of an open data set on demand (a
// running SQLite statement), so that walking a large result does not wait
// for all of it.

#include <cstddef>

#include "platform/db/record_store.h"

namespace tabrix {

class TRecordSource {
public:
    virtual ~TRecordSource() = default;
    // Appends up to count records to the store; false when the source has
    // no more (the source is then finished and can be released).
    virtual bool Fetch(TRecordStore& store, size_t count) = 0;
};

}  // namespace tabrix
