#include "platform/spreadsheet/package/package.h"

#include <cstring>
#include <filesystem>
#include <optional>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/atomic_file.h"
#include "platform/spreadsheet/package/codec.h"
#include "platform/spreadsheet/package/file_faults.h"
#include "platform/spreadsheet/package/opc.h"
#include "platform/spreadsheet/package/package_error.h"
#include "platform/spreadsheet/package/zip_archive.h"

namespace tabrix::xl {

namespace detail {

// A part as read (its place in the shared archive bytes) or as set (new
// content, deflated at save).
struct TEntry {
    TZipEntryInfo Info;
    std::shared_ptr<const std::string> Content;
    // The stored bytes inflated to their CRC once (by a read or a save), so
    // that a raw copy never passes on a corrupt entry and never checks twice.
    mutable bool Checked = false;
};

namespace {

// Inflates (or copies) an entry's stored bytes into out and checks size and
// CRC; EPackageError naming the file and the part otherwise.
void Decode(std::string_view displayName, const TZipEntryInfo& info, std::string_view raw, std::string& out) {
    if (const int err = InjectedFault(TFileOp::Read))
        ThrowPartError(displayName, info.Name, std::string("read failed: ") + std::strerror(err));
    if (info.Method == kMethodStored) {
        out.assign(raw);
    } else if (info.Method == kMethodDeflated && raw.empty() && info.UncompressedSize == 0) {
        // Some writers store an empty part as a deflated entry with no stream at all.
        out.clear();
    } else if (info.Method == kMethodDeflated) {
        out.resize(static_cast<std::size_t>(info.UncompressedSize));
        switch (InflateExact(raw, out)) {
            case TInflateResult::Ok:
                break;
            case TInflateResult::TooLong:
                ThrowPartError(
                    displayName, info.Name,
                    "it inflates past its declared size of " + std::to_string(info.UncompressedSize) + " bytes");
            case TInflateResult::TooShort:
                ThrowPartError(displayName, info.Name,
                               "it inflates to less than its declared size of " +
                                   std::to_string(info.UncompressedSize) + " bytes");
            case TInflateResult::Corrupt:
                ThrowPartError(displayName, info.Name, "its compressed data is corrupt");
        }
    } else {
        ThrowPartError(displayName, info.Name,
                       "compression method " + std::to_string(info.Method) + " is not supported");
    }
    if (Crc32(out) != info.Crc) ThrowPartError(displayName, info.Name, "its CRC does not match (corrupt data)");
}

}  // namespace

}  // namespace detail

using detail::TEntry;

struct TPackage::TImpl {
    std::string DisplayName;
    TPackageLimits Limits;
    std::shared_ptr<const std::string> Archive;
    std::vector<TEntry> Entries;
    std::unordered_map<std::string, std::size_t> Index;  // key: PartKey(name)

    static std::string PartKey(std::string_view name) {
        if (!name.empty() && name.front() == '/') name.remove_prefix(1);
        std::string key(name);
        for (char& c : key)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return key;
    }
    const TEntry* Find(std::string_view name) const {
        const auto it = Index.find(PartKey(name));
        return it == Index.end() ? nullptr : &Entries[it->second];
    }
    void Reindex() {
        Index.clear();
        for (std::size_t i = 0; i < Entries.size(); ++i) Index.emplace(PartKey(Entries[i].Info.Name), i);
    }
    std::string_view Compressed(const TEntry& e) const {
        return std::string_view(*Archive).substr(e.Info.DataOffset, e.Info.CompressedSize);
    }
    void Write(detail::TByteSink& sink, int level, std::string_view target) const;
};

TPackage::TPackage() : FImpl(std::make_unique<TImpl>()) {}
TPackage::~TPackage() = default;
TPackage::TPackage(const TPackage& other) : FImpl(std::make_unique<TImpl>(*other.FImpl)) {}
TPackage& TPackage::operator=(const TPackage& other) {
    if (this != &other) FImpl = std::make_unique<TImpl>(*other.FImpl);
    return *this;
}
TPackage::TPackage(TPackage&& other) noexcept : FImpl(std::make_unique<TImpl>()) { FImpl.swap(other.FImpl); }
TPackage& TPackage::operator=(TPackage&& other) noexcept {
    FImpl.swap(other.FImpl);
    return *this;
}

TPackage TPackage::Open(const std::string& fileName, const TPackageLimits& limits) {
    // An archive cannot be much larger than what its parts inflate to; a
    // larger file is refused before it is read into memory.
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(fileName, ec);
    if (!ec && size > limits.MaxTotalSize + (std::uint64_t(64) << 20))
        detail::ThrowArchiveError(fileName,
                                  "the file has " + std::to_string(size) + " bytes, more than the limit for a package");
    std::string bytes;
    try {
        bytes = ReadFileBytes(fileName);
    } catch (const Exception& e) {
        throw EPackageError(e.Message());
    }
    return FromBytes(std::move(bytes), fileName, limits);
}

TPackage TPackage::FromBytes(std::string bytes, std::string displayName, const TPackageLimits& limits) {
    TPackage p;
    TImpl& impl = *p.FImpl;
    impl.DisplayName = std::move(displayName);
    impl.Limits = limits;
    impl.Archive = std::make_shared<const std::string>(std::move(bytes));
    for (detail::TZipEntryInfo& info : detail::ReadCentralDirectory(*impl.Archive, impl.DisplayName, limits))
        impl.Entries.push_back({std::move(info), nullptr});
    impl.Reindex();
    return p;
}

const std::string& TPackage::DisplayName() const { return FImpl->DisplayName; }
const TPackageLimits& TPackage::Limits() const { return FImpl->Limits; }

std::vector<std::string> TPackage::PartNames() const {
    std::vector<std::string> names;
    names.reserve(FImpl->Entries.size());
    for (const TEntry& e : FImpl->Entries)
        if (!e.Info.IsFolder()) names.push_back(e.Info.Name);
    return names;
}

bool TPackage::HasPart(std::string_view name) const {
    const TEntry* e = FImpl->Find(name);
    return e && !e->Info.IsFolder();
}

std::uint64_t TPackage::PartSize(std::string_view name) const {
    const TEntry* e = FImpl->Find(name);
    if (!e) return 0;
    return e->Content ? e->Content->size() : e->Info.UncompressedSize;
}

bool TPackage::IsPartChanged(std::string_view name) const {
    const TEntry* e = FImpl->Find(name);
    return e && e->Content;
}

std::string TPackage::ReadPart(std::string_view name) const {
    const TEntry* e = FImpl->Find(name);
    if (!e || e->Info.IsFolder()) detail::ThrowPartError(FImpl->DisplayName, name, "the package has no such part");
    if (e->Content) return *e->Content;
    std::string out;
    detail::Decode(FImpl->DisplayName, e->Info, FImpl->Compressed(*e), out);
    e->Checked = true;
    return out;
}

void TPackage::SetPart(std::string_view name, std::string content) {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    if (name.empty() || name.back() == '/' || !PartNameProblem(name).empty())
        throw EPackageError("Cannot set part \"" + std::string(name) + "\" of \"" + FImpl->DisplayName +
                            "\": not a part name");
    auto content_ptr = std::make_shared<const std::string>(std::move(content));
    const auto it = FImpl->Index.find(TImpl::PartKey(name));
    if (it != FImpl->Index.end()) {
        FImpl->Entries[it->second].Content = std::move(content_ptr);
        return;
    }
    TEntry e;
    e.Info.Name = std::string(name);
    e.Content = std::move(content_ptr);
    FImpl->Entries.push_back(std::move(e));
    FImpl->Index.emplace(TImpl::PartKey(name), FImpl->Entries.size() - 1);
}

void TPackage::RemovePart(std::string_view name) {
    const auto it = FImpl->Index.find(TImpl::PartKey(name));
    if (it == FImpl->Index.end()) return;
    FImpl->Entries.erase(FImpl->Entries.begin() + static_cast<std::ptrdiff_t>(it->second));
    FImpl->Reindex();
}

void TPackage::TImpl::Write(detail::TByteSink& sink, int level, std::string_view target) const {
    if (level < 0 || level > 12)
        detail::ThrowSaveError(target, "compression level " + std::to_string(level) + " is outside 0..12");
    detail::TZipWriter writer(sink, target);
    std::optional<detail::TDeflater> deflater;
    std::string compressed;
    std::string scratch;  // one buffer for the checks of the raw copies
    for (const TEntry& e : Entries) {
        if (!e.Content) {
            if (!e.Checked) {
                detail::Decode(DisplayName, e.Info, Compressed(e), scratch);
                e.Checked = true;
            }
            writer.AddRaw(e.Info, Compressed(e));
            continue;
        }
        const std::string& content = *e.Content;
        const std::uint32_t crc = detail::Crc32(content);
        if (level == 0) {
            writer.AddEncoded(e.Info.Name, detail::kMethodStored, crc, content.size(), content);
            continue;
        }
        if (!deflater) deflater.emplace(level);
        compressed.clear();
        deflater->Deflate(content, compressed);
        writer.AddEncoded(e.Info.Name, detail::kMethodDeflated, crc, content.size(), compressed);
    }
    writer.Finish();
}

void TPackage::SaveAs(const std::string& fileName, int level) const {
    detail::TAtomicFile file(fileName);
    FImpl->Write(file, level, fileName);
    file.Commit();
}

std::string TPackage::SaveToBytes(int level) const {
    std::string out;
    detail::TStringSink sink(out);
    FImpl->Write(sink, level, FImpl->DisplayName);
    return out;
}

}  // namespace tabrix::xl
