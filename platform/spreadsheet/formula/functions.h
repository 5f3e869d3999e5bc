#pragma once
// The table of worksheet functions: every name the spreadsheet knows with
// its argument counts, so that validation can reject unknown names and wrong
// counts, and the file prefix newer functions carry.

#include <cstdint>
#include <string_view>

namespace tabrix::xl {

struct TFunctionInfo {
    // Flags, scoped here so that they cannot clash with the report's
    // field functions.
    static constexpr std::uint8_t kPrefixed = 1;   // stored as "_xlfn.NAME"
    static constexpr std::uint8_t kWorksheet = 2;  // stored as "_xlfn._xlws.NAME" (with kPrefixed)
    static constexpr std::uint8_t kVolatile = 4;   // recalculates on every change (NOW, RAND, OFFSET...)

    std::string_view Name;  // upper case, without the file prefix
    std::uint8_t MinArgs;
    std::uint8_t MaxArgs;  // 255: up to the spreadsheet's limit of 255 arguments
    std::uint8_t Flags;
};

// Index into the table for a name (case ignored; "_xlfn." and "_xlws."
// prefixes dropped), -1 when the name is no worksheet function.
int FindFunction(std::string_view name) noexcept;
const TFunctionInfo& FunctionInfo(int index) noexcept;
int FunctionCount() noexcept;

// The name without "_xlfn." / "_xlfn._xlws." prefixes.
std::string_view StripFunctionPrefix(std::string_view name) noexcept;

}  // namespace tabrix::xl
