#pragma once
// A file written beside its target and renamed into place once complete, so
// that readers see the old file or the whole new one, never a part of it.

#include <string>

#include "platform/spreadsheet/package/zip_archive.h"

namespace tabrix::xl::detail {

class TAtomicFile : public TByteSink {
public:
    // Creates the temporary file in the target's folder; EPackageError
    // naming the target when that is impossible (a missing or read-only folder).
    explicit TAtomicFile(std::string target);
    // Without Commit the temporary file is removed and the target untouched.
    ~TAtomicFile() override;
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    void Write(const char* data, std::size_t size) override;
    // Flushes, syncs to disk and renames over the target.
    void Commit();

    const std::string& TemporaryName() const { return FTempName; }

private:
    void Flush();
    void WriteAll(const char* data, std::size_t size);

    std::string FTarget;
    std::string FTempName;
    int FFd = -1;
    std::string FBuffer;
};

}  // namespace tabrix::xl::detail
