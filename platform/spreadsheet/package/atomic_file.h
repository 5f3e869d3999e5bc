#pragma once
// A file written beside its target and renamed into place once complete, so
// that readers see the old file or the whole new one, never a part of it.
//
// Only a regular file (or a name not yet taken) is replaced: a device, FIFO,
// socket or folder of that name is refused before anything is written. A
// symbolic link is followed (up to kMaxSymbolicLinks) and the file it names
// is replaced, so the link stays a link. While a save is in progress, SIGINT,
// SIGTERM and SIGHUP whose action is the default remove the temporary file
// before the process ends; SIGKILL cannot be caught, so it leaves the
// temporary file, but the target is never touched before Commit.
//
//   TAtomicFile file("out.xlsx");  // creates ".out.xlsx.XXXXXX" beside it
//   writer.WriteTo(file);
//   file.Commit();                 // without it, the destructor removes the temporary file

#include <string>

#include "platform/spreadsheet/package/zip_archive.h"

namespace tabrix::xl::detail {

// Links followed from the target to the file replaced; the kernel's own
// limit for one path (ELOOP), so a loop of links ends.
inline constexpr int kMaxSymbolicLinks = 40;

class TAtomicFile : public TByteSink {
public:
    // Creates the temporary file in the folder of the file replaced;
    // EPackageError naming the target when that is impossible (a missing or
    // read-only folder) or when the target is no regular file.
    explicit TAtomicFile(std::string target);
    // Without Commit the temporary file is removed and the target untouched.
    ~TAtomicFile() override;
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    void Write(const char* data, std::size_t size) override;
    // Flushes, syncs to disk and renames over the file replaced.
    void Commit();

    const std::string& TemporaryName() const { return FTempName; }
    // The file replaced at Commit: the target, or the file its links name.
    const std::string& ReplacedName() const { return FReplaced; }

private:
    void Flush();
    void WriteAll(const char* data, std::size_t size);
    void Discard();

    std::string FTarget;
    std::string FReplaced;
    std::string FTempName;
    int FFd = -1;
    int FCleanupSlot = -1;
    std::string FBuffer;
};

}  // namespace tabrix::xl::detail
