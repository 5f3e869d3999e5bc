#include "platform/spreadsheet/package/zip_archive.h"

#include <algorithm>
#include <unordered_set>

#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package_error.h"

namespace tabrix::xl::detail {

namespace {

constexpr std::uint32_t kLocalSig = 0x04034b50;
constexpr std::uint32_t kCentralSig = 0x02014b50;
constexpr std::uint32_t kEndSig = 0x06054b50;
constexpr std::uint32_t kEnd64Sig = 0x06064b50;
constexpr std::uint32_t kEnd64LocatorSig = 0x07064b50;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kEnd64Size = 56;
constexpr std::size_t kEnd64LocatorSize = 20;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint32_t k32 = 0xFFFFFFFFu;
constexpr std::uint16_t k16 = 0xFFFF;
// 1980-01-01 00:00, the earliest DOS time: new entries get it so that
// equal content gives byte-equal archives.
constexpr std::uint16_t kFixedDate = (0 << 9) | (1 << 5) | 1;
constexpr std::uint16_t kDataDescriptorFlag = 0x0008;

// Bounds-checked little-endian reads over the archive.
class TReader {
public:
    TReader(std::string_view data, std::string_view displayName) : FData(data), FName(displayName) {}
    bool Has(std::uint64_t offset, std::uint64_t size) const {
        return offset <= FData.size() && size <= FData.size() - offset;
    }
    void Need(std::uint64_t offset, std::uint64_t size, const char* what) const {
        if (!Has(offset, size)) ThrowArchiveError(FName, std::string(what) + " lies beyond the end of the file");
    }
    std::uint16_t U16(std::uint64_t o) const { return std::uint16_t(Byte(o) | (Byte(o + 1) << 8)); }
    std::uint32_t U32(std::uint64_t o) const { return std::uint32_t(U16(o)) | (std::uint32_t(U16(o + 2)) << 16); }
    std::uint64_t U64(std::uint64_t o) const { return std::uint64_t(U32(o)) | (std::uint64_t(U32(o + 4)) << 32); }
    std::string_view Slice(std::uint64_t o, std::uint64_t n) const { return FData.substr(o, n); }
    std::uint64_t Size() const { return FData.size(); }

private:
    unsigned Byte(std::uint64_t o) const { return static_cast<unsigned char>(FData[o]); }
    std::string_view FData;
    std::string_view FName;
};

struct TEndRecord {
    std::uint64_t Entries = 0;
    std::uint64_t DirectorySize = 0;
    std::uint64_t DirectoryOffset = 0;
    std::uint64_t EndOffset = 0;  // where the directory is expected to end
};

TEndRecord FindEnd(const TReader& r, std::string_view name) {
    if (r.Size() < kEndSize) ThrowArchiveError(name, "not a zip archive (too short)");
    // The end record sits at the end, followed by a comment of at most 64 KiB.
    const std::uint64_t lowest = r.Size() > kEndSize + 0xFFFF ? r.Size() - kEndSize - 0xFFFF : 0;
    std::uint64_t pos = r.Size() - kEndSize;
    for (;;) {
        if (r.U32(pos) == kEndSig && pos + kEndSize + r.U16(pos + 20) <= r.Size()) break;
        if (pos == lowest) ThrowArchiveError(name, "not a zip archive (no end of central directory)");
        --pos;
    }
    TEndRecord end;
    if (r.U16(pos + 4) != 0 || r.U16(pos + 6) != 0)
        ThrowArchiveError(name, "archives split over several disks are not supported");
    end.Entries = r.U16(pos + 10);
    end.DirectorySize = r.U32(pos + 12);
    end.DirectoryOffset = r.U32(pos + 16);
    end.EndOffset = pos;
    if (pos >= kEnd64LocatorSize && r.U32(pos - kEnd64LocatorSize) == kEnd64LocatorSig) {
        const std::uint64_t at = r.U64(pos - kEnd64LocatorSize + 8);
        r.Need(at, kEnd64Size, "the ZIP64 end of central directory");
        if (r.U32(at) != kEnd64Sig) ThrowArchiveError(name, "the ZIP64 end of central directory is damaged");
        end.Entries = r.U64(at + 32);
        end.DirectorySize = r.U64(at + 40);
        end.DirectoryOffset = r.U64(at + 48);
        end.EndOffset = at;
    }
    return end;
}

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

}  // namespace

std::vector<TZipEntryInfo> ReadCentralDirectory(std::string_view archive, std::string_view displayName,
                                                const TPackageLimits& limits) {
    const TReader r(archive, displayName);
    const TEndRecord end = FindEnd(r, displayName);
    if (end.Entries > limits.MaxEntries)
        ThrowArchiveError(displayName, "it holds " + std::to_string(end.Entries) + " entries, more than the limit of " +
                                           std::to_string(limits.MaxEntries));
    r.Need(end.DirectoryOffset, end.DirectorySize, "the central directory");
    // Data prepended to the archive (a stub) shifts every offset alike.
    std::uint64_t shift = 0;
    if (end.DirectoryOffset + end.DirectorySize < end.EndOffset)
        shift = end.EndOffset - (end.DirectoryOffset + end.DirectorySize);

    std::vector<TZipEntryInfo> entries;
    entries.reserve(static_cast<std::size_t>(end.Entries));
    std::unordered_set<std::string> seen;
    std::uint64_t total = 0;
    std::uint64_t pos = end.DirectoryOffset + shift;
    for (std::uint64_t i = 0; i < end.Entries; ++i) {
        r.Need(pos, kCentralSize, "a central directory record");
        if (r.U32(pos) != kCentralSig) ThrowArchiveError(displayName, "the central directory is damaged");
        TZipEntryInfo e;
        e.VersionMadeBy = r.U16(pos + 4);
        e.Flags = r.U16(pos + 8);
        e.Method = r.U16(pos + 10);
        e.ModTime = r.U16(pos + 12);
        e.ModDate = r.U16(pos + 14);
        e.Crc = r.U32(pos + 16);
        e.CompressedSize = r.U32(pos + 20);
        e.UncompressedSize = r.U32(pos + 24);
        const std::uint16_t nameLen = r.U16(pos + 28);
        const std::uint16_t extraLen = r.U16(pos + 30);
        const std::uint16_t commentLen = r.U16(pos + 32);
        e.ExternalAttributes = r.U32(pos + 38);
        std::uint64_t localOffset = r.U32(pos + 42);
        r.Need(pos + kCentralSize, std::uint64_t(nameLen) + extraLen + commentLen, "a central directory record");
        e.Name = std::string(r.Slice(pos + kCentralSize, nameLen));
        if (e.Name.empty()) ThrowArchiveError(displayName, "an entry has an empty name");
        if (const std::string problem = PartNameProblem(e.Name); !problem.empty())
            ThrowPartError(displayName, PrintablePartName(e.Name), "no valid part name: " + problem);

        // ZIP64 sizes and offset, in this order, for the fields saturated above.
        std::uint64_t x = pos + kCentralSize + nameLen;
        const std::uint64_t xEnd = x + extraLen;
        while (x + 4 <= xEnd) {
            const std::uint16_t id = r.U16(x), len = r.U16(x + 2);
            if (x + 4 + len > xEnd) break;
            if (id == kZip64ExtraId) {
                std::uint64_t f = x + 4;
                const std::uint64_t fEnd = f + len;
                auto take = [&](std::uint64_t& field) {
                    if (field != k32) return;
                    if (f + 8 > fEnd) ThrowPartError(displayName, e.Name, "its ZIP64 record is too short");
                    field = r.U64(f);
                    f += 8;
                };
                take(e.UncompressedSize);
                take(e.CompressedSize);
                take(localOffset);
            }
            x += 4 + len;
        }
        pos += kCentralSize + nameLen + extraLen + commentLen;

        if (!seen.insert(LowerAscii(e.Name)).second) ThrowPartError(displayName, e.Name, "the archive holds it twice");
        if (e.Flags & 0x0001) ThrowPartError(displayName, e.Name, "it is encrypted");
        if (e.Method == kMethodStored && e.CompressedSize != e.UncompressedSize)
            ThrowPartError(displayName, e.Name, "its stored size does not match its size");
        if (e.UncompressedSize > limits.MaxEntrySize)
            ThrowPartError(displayName, e.Name,
                           "it inflates to " + std::to_string(e.UncompressedSize) + " bytes, more than the limit of " +
                               std::to_string(limits.MaxEntrySize));
        if (e.UncompressedSize > limits.RatioThreshold &&
            e.UncompressedSize / std::max<std::uint64_t>(e.CompressedSize, 1) > limits.MaxRatio)
            ThrowPartError(displayName, e.Name,
                           "it inflates " +
                               std::to_string(e.UncompressedSize / std::max<std::uint64_t>(e.CompressedSize, 1)) +
                               " times its compressed size, more than the limit of " + std::to_string(limits.MaxRatio) +
                               " (a zip bomb?)");
        total += e.UncompressedSize;
        if (total > limits.MaxTotalSize)
            ThrowArchiveError(displayName, "its parts inflate to more than the limit of " +
                                               std::to_string(limits.MaxTotalSize) + " bytes");

        localOffset += shift;
        r.Need(localOffset, kLocalSize, "a local header");
        if (r.U32(localOffset) != kLocalSig) ThrowPartError(displayName, e.Name, "its local header is damaged");
        const std::uint64_t dataOffset = localOffset + kLocalSize + r.U16(localOffset + 26) + r.U16(localOffset + 28);
        if (!r.Has(dataOffset, e.CompressedSize))
            ThrowPartError(displayName, e.Name, "its data lies beyond the end of the file");
        e.DataOffset = dataOffset;
        entries.push_back(std::move(e));
    }
    return entries;
}

// ---------------------------------------------------------------- writing

namespace {

void Put16(std::string& s, std::uint16_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char(v >> 8));
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, std::uint16_t(v & 0xFFFF));
    Put16(s, std::uint16_t(v >> 16));
}
void Put64(std::string& s, std::uint64_t v) {
    Put32(s, std::uint32_t(v & k32));
    Put32(s, std::uint32_t(v >> 32));
}

}  // namespace

TZipWriter::TZipWriter(TByteSink& sink, std::string_view displayName) : FSink(sink), FDisplayName(displayName) {}

void TZipWriter::Emit(const std::string& bytes) {
    FSink.Write(bytes.data(), bytes.size());
    FOffset += bytes.size();
}

void TZipWriter::AddRaw(const TZipEntryInfo& info, std::string_view compressed) {
    TZipEntryInfo copy = info;
    copy.Flags &= std::uint16_t(~kDataDescriptorFlag);  // sizes go into the local header
    AddEntry(copy, compressed);
}

void TZipWriter::AddEncoded(std::string_view name, std::uint16_t method, std::uint32_t crc,
                            std::uint64_t uncompressedSize, std::string_view compressed) {
    TZipEntryInfo info;
    info.Name = std::string(name);
    info.Method = method;
    info.Crc = crc;
    info.UncompressedSize = uncompressedSize;
    info.CompressedSize = compressed.size();
    info.ModDate = kFixedDate;
    info.VersionMadeBy = 20;
    // Names are UTF-8; say so when they leave ASCII.
    if (std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        info.Flags |= 0x0800;
    AddEntry(info, compressed);
}

void TZipWriter::AddEntry(const TZipEntryInfo& info, std::string_view compressed) {
    if (info.Name.size() > 0xFFFF) ThrowPartError(FDisplayName, info.Name, "its name is too long");
    const bool big = info.UncompressedSize >= k32 || info.CompressedSize >= k32;
    std::string h;
    h.reserve(kLocalSize + info.Name.size() + 20);
    Put32(h, kLocalSig);
    Put16(h, big ? 45 : 20);
    Put16(h, info.Flags);
    Put16(h, info.Method);
    Put16(h, info.ModTime);
    Put16(h, info.ModDate);
    Put32(h, info.Crc);
    Put32(h, big ? k32 : std::uint32_t(info.CompressedSize));
    Put32(h, big ? k32 : std::uint32_t(info.UncompressedSize));
    Put16(h, std::uint16_t(info.Name.size()));
    Put16(h, big ? 20 : 0);
    h += info.Name;
    if (big) {
        Put16(h, kZip64ExtraId);
        Put16(h, 16);
        Put64(h, info.UncompressedSize);
        Put64(h, info.CompressedSize);
    }
    FRecords.push_back({info, FOffset});
    Emit(h);
    FSink.Write(compressed.data(), compressed.size());
    FOffset += compressed.size();
}

void TZipWriter::Finish() {
    const std::uint64_t directoryOffset = FOffset;
    std::string d;
    for (const TCentralRecord& rec : FRecords) {
        const TZipEntryInfo& e = rec.Info;
        const bool bigSizes = e.UncompressedSize >= k32 || e.CompressedSize >= k32;
        const bool bigOffset = rec.LocalOffset >= k32;
        std::string extra;
        if (bigSizes) {
            Put64(extra, e.UncompressedSize);
            Put64(extra, e.CompressedSize);
        }
        if (bigOffset) Put64(extra, rec.LocalOffset);
        d.clear();
        Put32(d, kCentralSig);
        Put16(d, e.VersionMadeBy);
        Put16(d, (bigSizes || bigOffset) ? 45 : 20);
        Put16(d, e.Flags);
        Put16(d, e.Method);
        Put16(d, e.ModTime);
        Put16(d, e.ModDate);
        Put32(d, e.Crc);
        Put32(d, bigSizes ? k32 : std::uint32_t(e.CompressedSize));
        Put32(d, bigSizes ? k32 : std::uint32_t(e.UncompressedSize));
        Put16(d, std::uint16_t(e.Name.size()));
        Put16(d, std::uint16_t(extra.empty() ? 0 : extra.size() + 4));
        Put16(d, 0);  // comment
        Put16(d, 0);  // disk
        Put16(d, 0);  // internal attributes
        Put32(d, e.ExternalAttributes);
        Put32(d, bigOffset ? k32 : std::uint32_t(rec.LocalOffset));
        d += e.Name;
        if (!extra.empty()) {
            Put16(d, kZip64ExtraId);
            Put16(d, std::uint16_t(extra.size()));
            d += extra;
        }
        Emit(d);
    }
    const std::uint64_t directorySize = FOffset - directoryOffset;
    const std::uint64_t count = FRecords.size();
    std::string t;
    const bool big = count >= k16 || directoryOffset >= k32 || directorySize >= k32;
    if (big) {
        const std::uint64_t end64 = FOffset;
        Put32(t, kEnd64Sig);
        Put64(t, kEnd64Size - 12);
        Put16(t, 45);
        Put16(t, 45);
        Put32(t, 0);
        Put32(t, 0);
        Put64(t, count);
        Put64(t, count);
        Put64(t, directorySize);
        Put64(t, directoryOffset);
        Put32(t, kEnd64LocatorSig);
        Put32(t, 0);
        Put64(t, end64);
        Put32(t, 1);
    }
    Put32(t, kEndSig);
    Put16(t, 0);
    Put16(t, 0);
    Put16(t, big ? k16 : std::uint16_t(count));
    Put16(t, big ? k16 : std::uint16_t(count));
    Put32(t, big ? k32 : std::uint32_t(directorySize));
    Put32(t, big ? k32 : std::uint32_t(directoryOffset));
    Put16(t, 0);
    Emit(t);
}

}  // namespace tabrix::xl::detail
