#include "platform/spreadsheet/package/package_error.h"

#include "platform/spreadsheet/package/package.h"

namespace tabrix::xl::detail {

void ThrowArchiveError(std::string_view displayName, const std::string& what) {
    throw EPackageError("Cannot read \"" + std::string(displayName) + "\": " + what);
}

void ThrowPartError(std::string_view displayName, std::string_view part, const std::string& what) {
    throw EPackageError("Cannot read part \"" + std::string(part) + "\" of \"" + std::string(displayName) +
                        "\": " + what);
}

void ThrowSaveError(std::string_view fileName, const std::string& what) {
    throw EPackageError("Cannot save \"" + std::string(fileName) + "\": " + what);
}

}  // namespace tabrix::xl::detail
