#include "platform/spreadsheet/package/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/spreadsheet/package/package_error.h"

namespace tabrix::xl::detail {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

std::string FolderOf(const std::string& name) {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : name.substr(0, slash));
}

std::string BaseOf(const std::string& name) {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// New files get what open(2) would give them; a replaced file keeps its mode.
mode_t ModeFor(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

TAtomicFile::TAtomicFile(std::string target) : FTarget(std::move(target)) {
    if (FTarget.empty() || FTarget.back() == '/') ThrowSaveError(FTarget, "not a file name");
    std::string pattern = FolderOf(FTarget) + "/." + BaseOf(FTarget) + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    FFd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (FFd < 0)
        ThrowSaveError(FTarget,
                       "cannot create a file in folder \"" + FolderOf(FTarget) + "\": " + std::strerror(errno));
    FTempName.assign(buf.data());
    ::fchmod(FFd, ModeFor(FTarget));
    FBuffer.reserve(kBufferSize);
}

TAtomicFile::~TAtomicFile() {
    if (FFd >= 0) {
        ::close(FFd);
        ::unlink(FTempName.c_str());
    }
}

void TAtomicFile::WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(FFd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            ThrowSaveError(FTarget, std::string("write failed: ") + std::strerror(errno));
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

void TAtomicFile::Flush() {
    WriteAll(FBuffer.data(), FBuffer.size());
    FBuffer.clear();
}

void TAtomicFile::Write(const char* data, std::size_t size) {
    if (FBuffer.size() + size <= kBufferSize) {
        FBuffer.append(data, size);
        return;
    }
    Flush();
    if (size >= kBufferSize)
        WriteAll(data, size);
    else
        FBuffer.append(data, size);
}

void TAtomicFile::Commit() {
    Flush();
    if (::fsync(FFd) != 0) ThrowSaveError(FTarget, std::string("fsync failed: ") + std::strerror(errno));
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) {
        ::unlink(FTempName.c_str());
        ThrowSaveError(FTarget, std::string("close failed: ") + std::strerror(errno));
    }
    if (::rename(FTempName.c_str(), FTarget.c_str()) != 0) {
        const int err = errno;
        ::unlink(FTempName.c_str());
        ThrowSaveError(FTarget, std::string("cannot replace the file: ") + std::strerror(err));
    }
    // The rename itself must reach the disk too.
    const int dir = ::open(FolderOf(FTarget).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace tabrix::xl::detail
