#pragma once
// Helpers for package tests: archives built by hand (for the cases no
// writer produces on purpose: ZIP64, lying sizes, damage), and the corpus.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tabrix::xl::test {

struct TRawEntry {
    std::string Name;
    std::string Data;  // as stored in the archive (already deflated when Method is 8)
    std::uint16_t Method = 0;
    std::uint32_t Crc = 0;
    std::uint64_t UncompressedSize = 0;
};

// A stored entry with the right CRC and size.
TRawEntry StoredEntry(std::string name, std::string content);
// A deflated entry (level 6) with the right CRC and size.
TRawEntry DeflatedEntry(std::string name, const std::string& content);

// A classic archive, or one whose central directory saturates every size
// and offset field and carries the real values in ZIP64 records.
std::string BuildArchive(const std::vector<TRawEntry>& entries, bool zip64 = false);

// Offset of the central directory record of the named entry in archive.
std::size_t CentralRecordOf(const std::string& archive, std::string_view name);
void Patch32(std::string& archive, std::size_t offset, std::uint32_t value);

// The corpus beside the repository, or an empty path when it is missing.
std::filesystem::path CorpusFolder();
std::vector<std::filesystem::path> CorpusWorkbooks();

// Runs /usr/bin/python3 with the script; returns its exit code, output in out.
int RunPython(const std::string& script, std::string& out);

}  // namespace tabrix::xl::test
