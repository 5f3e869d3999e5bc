// CSV and JSON data files from anywhere: the readers either give a table
// whose every value can be read, or raise the data layer's error (naming
// the file, line and column). Anything else is a fault. The first byte
// picks the reader (even: CSV, odd: JSON) and, for CSV, the delimiter.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/db/csv_reader.h"
#include "platform/db/json_reader.h"
#include "platform/rtl/exceptions.h"

namespace {

void ReadAll(const tabrix::TRecordStore& store, int depth) {
    for (size_t r = 0; r < store.RecordCount(); ++r)
        for (size_t f = 0; f < store.FieldCount(); ++f) {
            (void)store.Value(r, f);
            const tabrix::TStorageKind kind = tabrix::StorageKindOf(store.FieldDefs()[f].DataType);
            if (kind == tabrix::TStorageKind::Text) (void)store.Text(r, f).size();
            if (kind == tabrix::TStorageKind::Nested) {
                const tabrix::TRecordStore* nested = store.Nested(r, f);
                if (!nested) __builtin_trap();  // every record has its nested table
                if (depth < 300) ReadAll(*nested, depth + 1);
            }
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    const tabrix::TDataFileSource source{"Fuzz", "fuzz.data"};
    try {
        if (data[0] & 1) {
            ReadAll(tabrix::ReadJson(text, source), 0);
        } else {
            const char delimiters[] = {',', ';', '\t', '|'};
            ReadAll(tabrix::ReadCsv(text, source, delimiters[(data[0] >> 1) % 4]), 0);
        }
    } catch (const tabrix::EDatabaseError&) {
        // a refused file: fine
    }
    return 0;
}
