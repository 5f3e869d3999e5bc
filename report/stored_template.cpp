// The template workbook carried inside the component's form data
// ("XLTemplate"), and the template file name of a build.

#include <sys/stat.h>

#include <cstring>
#include <limits>

#include "cells/report_limits.h"
#include "cells/temp_files.h"
#include "messages/messages.h"
#include "platform/rtl/files.h"
#include "platform/rtl/format.h"
#include "report/tabrix.h"

namespace tabrix {

namespace {

// The block's length field: 4 bytes, little-endian, whatever the host.
constexpr size_t kLengthSize = 4;
static_assert(kMaxStoredTemplateSize + kLengthSize == kFormMaxBinarySize);
static_assert(kMaxStoredTemplateSize <= static_cast<size_t>(std::numeric_limits<int32_t>::max()));

void PutLength(std::string& out, int32_t n) {
    auto u = static_cast<uint32_t>(n);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}

int32_t GetLength(const std::string& block) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<uint32_t>(static_cast<unsigned char>(block[static_cast<size_t>(i)])) << (8 * i);
    return static_cast<int32_t>(u);
}

std::string TooLargeToStore(const std::string& fileName, uint64_t size) {
    return Format("%s: a template of %d bytes is too large to store in a form file (at most %d bytes)",
                  {fileName, static_cast<int64_t>(size), static_cast<int64_t>(kMaxStoredTemplateSize)});
}

}  // namespace

void TTabrix::DefineProperties(TFiler& filer) {
    TComponent::DefineProperties(filer);
    filer.DefineBinaryProperty(
        "XLTemplate", [this](const std::string& block) { ReadXLTemplate(block); }, [this] { return WriteXLTemplate(); },
        XLTemplateHasData(filer.Ancestor()));
}

bool TTabrix::XLTemplateHasData(const TPersistent* ancestor) const {
    if (const auto* other = dynamic_cast<const TTabrix*>(ancestor))
        return other->FTemplSize != FTemplSize || other->FTemplData != FTemplData;
    return FTemplSize > 0;
}

std::string TTabrix::WriteXLTemplate() const {
    std::string block;
    block.reserve(kLengthSize + FTemplData.size());
    PutLength(block, FTemplSize);
    if (FTemplSize > 0) block.append(FTemplData);
    return block;
}

void TTabrix::ReadXLTemplate(const std::string& block) {
    FTemplData.clear();
    FTemplSize = 0;
    if (block.size() < kLengthSize) {
        RaiseError(Format("XLTemplate of %s: the block has %d bytes, too short for its length field",
                          {Name(), static_cast<int>(block.size())}));
        return;
    }
    int32_t size = GetLength(block);
    if (size < 1) return;
    size_t available = block.size() - kLengthSize;
    if (available < static_cast<size_t>(size)) {
        // A truncated block: nothing of it stays stored.
        RaiseError(Format("XLTemplate of %s: the block holds %d bytes of a template of %d bytes",
                          {Name(), static_cast<int>(available), static_cast<int>(size)}));
        return;
    }
    FTemplData.assign(block, kLengthSize, static_cast<size_t>(size));
    FTemplSize = size;
}

void TTabrix::LoadStoredTemplateFromFile(const AnsiString& fileName) {
    FreeStoredTemplate();
    // Refused before it is read: a form file could not carry it.
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) > kMaxStoredTemplateSize)
        throw EReadError(TooLargeToStore(fileName, static_cast<uint64_t>(st.st_size)));
    std::string bytes = ReadFileBytes(fileName);  // file errors pass on; nothing is stored then
    if (bytes.size() > kMaxStoredTemplateSize) throw EReadError(TooLargeToStore(fileName, bytes.size()));
    FTemplData = std::move(bytes);
    FTemplSize = static_cast<int32_t>(FTemplData.size());
    FTemplate.clear();
    StoreInDFM = true;
}

void TTabrix::SaveStoredTemplateToFile(const AnsiString& fileName) {
    WriteFileBytes(fileName, std::string_view(FTemplData.data(), static_cast<size_t>(FTemplSize)));
}

void TTabrix::SaveStoredTemplateToTmpFile(AnsiString& fileName) {
    fileName.clear();
    if (!StoreInDFM) return;
    if (FTemplSize <= 0) throw ETabrixError(SNoTemplateInDFM);
    TTempFileGuard written(TabrixGetTempFName());  // no half-written temporary file stays behind
    SaveStoredTemplateToFile(written.Name());
    fileName = written.Release();
}

void TTabrix::FreeStoredTemplate() {
    if (FTemplSize <= 0) return;
    FTemplSize = 0;
    StoreInDFM = false;
    FTemplData.clear();
    FTemplData.shrink_to_fit();
}

AnsiString TTabrix::GetTemplateFileName() {
    AnsiString result;
    try {
        if (StoreInDFM)
            SaveStoredTemplateToTmpFile(result);
        else
            result = ExpandApplicationFileName(FTemplate);
    } catch (const std::exception& e) {
        RaiseError(e.what());
    }
    return result;
}

void TTabrix::SetTemplate(const AnsiString& value) {
    if (Trim(value) == Trim(FTemplate)) return;
    FTemplate = value;
    // A form being read sets what it stores, in any order: its StoreInDFM
    // and TemplSheet are not another file's leftovers to clear.
    if (HasState(csLoading)) return;
    StoreInDFM = false;
    TemplSheet.clear();
}

}  // namespace tabrix
