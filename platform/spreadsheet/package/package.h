#pragma once
// The xlsx package: a zip archive read over its central directory. Parts that
// are not changed keep their compressed bytes and are written back raw, so a
// save never inflates and deflates what it does not touch.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/rtl/exceptions.h"

namespace tabrix::xl {

// Every failure of the package layer; the message names the file and, where
// there is one, the part.
TABRIX_EXCEPTION_CLASS(EPackageError, Exception);

// Caps against hostile archives. The defaults take every real workbook we
// know (the largest sheets of a 65,534-row report inflate to well under 100
// MiB) and refuse archives built to exhaust memory.
struct TPackageLimits {
    // Central directory records; real workbooks hold tens to a few thousand.
    std::size_t MaxEntries = 20000;
    // Inflated size of one part: a whole sheet is held in memory.
    std::uint64_t MaxEntrySize = std::uint64_t(1) << 30;  // 1 GiB
    // Sum of the inflated sizes of all parts.
    std::uint64_t MaxTotalSize = std::uint64_t(4) << 30;  // 4 GiB
    // Inflated / compressed size; spreadsheet XML stays below about 200:1,
    // a zip bomb is near deflate's maximum of 1032:1. Only checked for parts
    // above RatioThreshold, since tiny parts compress oddly.
    std::uint64_t MaxRatio = 500;
    std::uint64_t RatioThreshold = std::uint64_t(1) << 20;  // 1 MiB
    // Cells read from all sheets of one workbook. The cell store takes 16
    // bytes a cell, so 64 Mi cells are 1 GiB: six full-height sheets of ten
    // columns, while a file of millions of tiny cells cannot take more.
    std::uint64_t MaxCells = std::uint64_t(1) << 26;
    // Entries of the shared string table: each costs about 100 bytes beside
    // its text; 16 Mi are more than the cells of a full-height sheet of
    // sixteen columns could all use.
    std::uint64_t MaxStrings = std::uint64_t(1) << 24;
};

namespace detail {
struct TEntry;
}

// A value type: a copy is an independent package; unchanged compressed bytes
// are shared between copies immutably.
class TPackage {
public:
    TPackage();
    ~TPackage();
    TPackage(const TPackage&);
    TPackage& operator=(const TPackage&);
    TPackage(TPackage&&) noexcept;
    TPackage& operator=(TPackage&&) noexcept;

    // Reads the file and its central directory; parts are inflated on demand.
    // Raises EPackageError for anything that is not a sound zip archive
    // within the limits, and for entry names that are no part names (see
    // PartNameProblem in opc.h).
    static TPackage Open(const std::string& fileName, const TPackageLimits& limits = {});
    static TPackage FromBytes(std::string bytes, std::string displayName, const TPackageLimits& limits = {});

    // The file name given to Open (or the display name), used in messages.
    const std::string& DisplayName() const;

    // Part names in archive order, without a leading '/'; folder entries
    // ("xl/") are not parts and are not listed.
    std::vector<std::string> PartNames() const;
    // Part names compare ignoring ASCII case; a leading '/' is ignored.
    bool HasPart(std::string_view name) const;
    // The inflated bytes, CRC checked. EPackageError if the part is missing,
    // corrupt, uses an unsupported method or exceeds a limit.
    std::string ReadPart(std::string_view name) const;
    // Inflated size as recorded (or the new content's size); 0 if missing.
    std::uint64_t PartSize(std::string_view name) const;
    // Whether the part will be written from new content at the next save.
    bool IsPartChanged(std::string_view name) const;

    // A new part is appended; a replaced one keeps its place in the archive.
    void SetPart(std::string_view name, std::string content);
    // Removing a missing part does nothing.
    void RemovePart(std::string_view name);

    // Level 1 (fast) by default; 0 stores, up to 12 compresses harder.
    // Unchanged parts are copied raw, each inflated to its CRC once first
    // (a part already read is not checked again): a corrupt one stops the
    // save with EPackageError naming the part. SaveAs writes a new file
    // beside the target and renames it into place: on failure the target is
    // untouched and no partial file stays behind. Only a regular file is
    // replaced (a device, FIFO, socket or folder is refused naming what it
    // is); a symbolic link keeps pointing to the file it names, which is
    // replaced.
    void SaveAs(const std::string& fileName, int level = 1) const;
    std::string SaveToBytes(int level = 1) const;

    const TPackageLimits& Limits() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

}  // namespace tabrix::xl
