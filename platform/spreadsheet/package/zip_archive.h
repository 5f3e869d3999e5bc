#pragma once
// The zip format as the package needs it: the central directory read from
// an archive in memory (ZIP64 included), and an archive written entry by
// entry to a sink, either raw (compressed bytes copied as they are) or from
// new content.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/spreadsheet/package/package.h"

namespace tabrix::xl::detail {

inline constexpr std::uint16_t kMethodStored = 0;
inline constexpr std::uint16_t kMethodDeflated = 8;

// One entry of a read archive: where its compressed bytes are, and what the
// central directory says about them.
struct TZipEntryInfo {
    std::string Name;
    std::uint64_t DataOffset = 0;  // first byte of the compressed data
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint32_t Crc = 0;
    std::uint16_t Method = 0;
    std::uint16_t Flags = 0;
    std::uint16_t ModTime = 0;
    std::uint16_t ModDate = 0;
    std::uint16_t VersionMadeBy = 0;
    std::uint32_t ExternalAttributes = 0;
    bool IsFolder() const { return !Name.empty() && Name.back() == '/'; }
};

// Reads the central directory of archive and checks every entry against
// the limits and the archive's bounds. displayName goes into the messages.
std::vector<TZipEntryInfo> ReadCentralDirectory(std::string_view archive, std::string_view displayName,
                                                const TPackageLimits& limits);

// Where an archive being written goes.
class TByteSink {
public:
    virtual ~TByteSink() = default;
    virtual void Write(const char* data, std::size_t size) = 0;
};

class TStringSink : public TByteSink {
public:
    explicit TStringSink(std::string& out) : FOut(out) {}
    void Write(const char* data, std::size_t size) override { FOut.append(data, size); }

private:
    std::string& FOut;
};

// Writes local headers, data, then the central directory at Finish. Entries
// carry fixed timestamps unless copied, so equal content gives equal files.
class TZipWriter {
public:
    explicit TZipWriter(TByteSink& sink, std::string_view displayName);

    // Compressed bytes copied unchanged (with their CRC, sizes and time).
    void AddRaw(const TZipEntryInfo& info, std::string_view compressed);
    // method kMethodStored or kMethodDeflated; compressed is the stored or
    // deflated form of content whose CRC and size are given.
    void AddEncoded(std::string_view name, std::uint16_t method, std::uint32_t crc, std::uint64_t uncompressedSize,
                    std::string_view compressed);
    void Finish();

private:
    struct TCentralRecord {
        TZipEntryInfo Info;
        std::uint64_t LocalOffset;
    };
    void AddEntry(const TZipEntryInfo& info, std::string_view compressed);
    void Emit(const std::string& bytes);

    TByteSink& FSink;
    std::string FDisplayName;
    std::uint64_t FOffset = 0;
    std::vector<TCentralRecord> FRecords;
};

}  // namespace tabrix::xl::detail
