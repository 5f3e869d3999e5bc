// Feeds arbitrary bytes to the worksheet reader. Whatever it accepts, the
// writer must turn into XML that the reader accepts again with the same
// used range and merges: our own output is never unreadable.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/spreadsheet/workbook.h"

using namespace tabrix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::unique_ptr<xl::TWorkbook> book = xl::TWorkbook::CreateBlank();
    xl::TWorksheet& sheet = book->Sheet(0);
    std::string_view xml(reinterpret_cast<const char*>(data), size);
    try {
        sheet.Load(xml);
    } catch (const Exception&) {
        return 0;
    }
    xl::TCellRect used = sheet.UsedRange();
    size_t merges = sheet.MergedRanges().size();
    std::string written = sheet.Serialize();
    try {
        sheet.Load(written);
    } catch (const Exception&) {
        std::abort();
    }
    if (!(sheet.UsedRange() == used) || sheet.MergedRanges().size() != merges) std::abort();
    return 0;
}
