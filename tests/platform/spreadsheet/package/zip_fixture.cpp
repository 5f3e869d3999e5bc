#include "zip_fixture.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <stdexcept>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/codec.h"
#include "tests/support/shell.h"

namespace tabrix::xl::test {

namespace {
void Put16(std::string& s, std::uint32_t v) {
    s.push_back(char(v & 0xFF));
    s.push_back(char((v >> 8) & 0xFF));
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put64(std::string& s, std::uint64_t v) {
    Put32(s, std::uint32_t(v));
    Put32(s, std::uint32_t(v >> 32));
}
}  // namespace

TRawEntry StoredEntry(std::string name, std::string content) {
    TRawEntry e;
    e.Name = std::move(name);
    e.Crc = detail::Crc32(content);
    e.UncompressedSize = content.size();
    e.Data = std::move(content);
    return e;
}

TRawEntry DeflatedEntry(std::string name, const std::string& content) {
    TRawEntry e;
    e.Name = std::move(name);
    e.Method = 8;
    e.Crc = detail::Crc32(content);
    e.UncompressedSize = content.size();
    detail::TDeflater(6).Deflate(content, e.Data);
    return e;
}

std::string BuildArchive(const std::vector<TRawEntry>& entries, bool zip64) {
    std::string out;
    std::vector<std::uint64_t> offsets;
    for (const TRawEntry& e : entries) {
        offsets.push_back(out.size());
        Put32(out, 0x04034b50);
        Put16(out, zip64 ? 45 : 20);
        Put16(out, 0);
        Put16(out, e.Method);
        Put16(out, 0);
        Put16(out, 0x21);
        Put32(out, e.Crc);
        Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(e.Data.size()));
        Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(e.UncompressedSize));
        Put16(out, std::uint32_t(e.Name.size()));
        Put16(out, zip64 ? 20 : 0);
        out += e.Name;
        if (zip64) {
            Put16(out, 1);
            Put16(out, 16);
            Put64(out, e.UncompressedSize);
            Put64(out, e.Data.size());
        }
        out += e.Data;
    }
    const std::uint64_t cdOffset = out.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const TRawEntry& e = entries[i];
        Put32(out, 0x02014b50);
        Put16(out, 45);
        Put16(out, zip64 ? 45 : 20);
        Put16(out, 0);
        Put16(out, e.Method);
        Put16(out, 0);
        Put16(out, 0x21);
        Put32(out, e.Crc);
        Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(e.Data.size()));
        Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(e.UncompressedSize));
        Put16(out, std::uint32_t(e.Name.size()));
        Put16(out, zip64 ? 28 : 0);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, 0);
        Put32(out, 0);
        Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(offsets[i]));
        out += e.Name;
        if (zip64) {
            Put16(out, 1);
            Put16(out, 24);
            Put64(out, e.UncompressedSize);
            Put64(out, e.Data.size());
            Put64(out, offsets[i]);
        }
    }
    const std::uint64_t cdSize = out.size() - cdOffset;
    if (zip64) {
        const std::uint64_t end64 = out.size();
        Put32(out, 0x06064b50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, entries.size());
        Put64(out, entries.size());
        Put64(out, cdSize);
        Put64(out, cdOffset);
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put64(out, end64);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, zip64 ? 0xFFFF : std::uint32_t(entries.size()));
    Put16(out, zip64 ? 0xFFFF : std::uint32_t(entries.size()));
    Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(cdSize));
    Put32(out, zip64 ? 0xFFFFFFFF : std::uint32_t(cdOffset));
    Put16(out, 0);
    return out;
}

std::size_t CentralRecordOf(const std::string& archive, std::string_view name) {
    const std::string sig("PK\x01\x02", 4);
    for (std::size_t pos = archive.find(sig); pos != std::string::npos; pos = archive.find(sig, pos + 1)) {
        const std::size_t len = std::uint8_t(archive[pos + 28]) | (std::uint8_t(archive[pos + 29]) << 8);
        if (archive.compare(pos + 46, len, name) == 0 && len == name.size()) return pos;
    }
    throw std::runtime_error("no central record for " + std::string(name));
}

void Patch32(std::string& archive, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) archive[offset + i] = char((value >> (8 * i)) & 0xFF);
}

std::filesystem::path CorpusFolder() {
    const std::filesystem::path p = std::filesystem::path(TABRIX_SOURCE_DIR) / ".." / "shared" / "corpus";
    return std::filesystem::is_directory(p / "xlsx") ? p : std::filesystem::path();
}

std::vector<std::filesystem::path> CorpusWorkbooks() {
    std::vector<std::filesystem::path> files;
    const auto root = CorpusFolder();
    if (root.empty()) return files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root / "xlsx"))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

int RunPython(const std::string& script, std::string& out) {
    TTempFileGuard file(CreateUniqueTempFile(TempFolder(), "TBR"));
    WriteFileBytes(file.Name(), script);
    tabrix::testing::TShellRun run = tabrix::testing::RunShell("/usr/bin/python3 " + file.Name() + " 2>&1");
    out = std::move(run.Out);
    return run.Status;
}

}  // namespace tabrix::xl::test
