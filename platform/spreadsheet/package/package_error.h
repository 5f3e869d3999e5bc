#pragma once
// The wording of package errors, in one place: every message names the file
// and, when there is one, the part.

#include <string>
#include <string_view>

namespace tabrix::xl::detail {

// "Cannot read "<file>": <what>"
[[noreturn]] void ThrowArchiveError(std::string_view displayName, const std::string& what);
// "Cannot read part "<part>" of "<file>": <what>"
[[noreturn]] void ThrowPartError(std::string_view displayName, std::string_view part, const std::string& what);
// "Cannot save "<file>": <what>"
[[noreturn]] void ThrowSaveError(std::string_view fileName, const std::string& what);

}  // namespace tabrix::xl::detail
