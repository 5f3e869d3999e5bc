#include "platform/spreadsheet/package/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/spreadsheet/package/file_faults.h"
#include "platform/spreadsheet/package/interrupt_cleanup.h"
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

// "a character device" for what the rename would replace; "" for a regular file.
const char* KindOf(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISLNK(mode)) return "a symbolic link";
    return "no regular file";
}

// The file a save replaces: the target, or where its chain of symbolic links
// ends (a name not taken yet is created there). Anything but a regular file
// at the end is refused, naming the target and what it is.
std::string ReplacedFile(const std::string& target) {
    std::string name = target;
    for (int links = 0;; ++links) {
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0) {
            if (errno == ENOENT) return name;
            ThrowSaveError(target, "cannot look at \"" + name + "\": " + std::strerror(errno));
        }
        if (!S_ISLNK(st.st_mode)) {
            const std::string kind = KindOf(st.st_mode);
            if (kind.empty()) return name;
            const std::string via = name == target ? std::string() : "a symbolic link to \"" + name + "\", ";
            ThrowSaveError(target, "it is " + via + kind + ", not a regular file; it is left as it is");
        }
        if (links == kMaxSymbolicLinks)
            ThrowSaveError(target, "more than " + std::to_string(kMaxSymbolicLinks) + " symbolic links to follow");
        std::vector<char> buf(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(name.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buf.size())
            ThrowSaveError(target, "cannot read the symbolic link \"" + name + "\"");
        std::string link(buf.data(), static_cast<std::size_t>(n));
        name = link.front() == '/' ? link : FolderOf(name) + "/" + link;
    }
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
    FReplaced = ReplacedFile(FTarget);
    std::string pattern = FolderOf(FReplaced) + "/." + BaseOf(FReplaced) + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    FFd = ::mkostemp(buf.data(), O_CLOEXEC);
    if (FFd < 0)
        ThrowSaveError(FTarget,
                       "cannot create a file in folder \"" + FolderOf(FReplaced) + "\": " + std::strerror(errno));
    FTempName.assign(buf.data());
    FCleanupSlot = RegisterTemporaryFile(FTempName);
    ::fchmod(FFd, ModeFor(FReplaced));
    FBuffer.reserve(kBufferSize);
}

TAtomicFile::~TAtomicFile() {
    if (FFd >= 0) {
        ::close(FFd);
        Discard();
    }
    UnregisterTemporaryFile(FCleanupSlot);
}

void TAtomicFile::Discard() { ::unlink(FTempName.c_str()); }

void TAtomicFile::WriteAll(const char* data, std::size_t size) {
    while (size > 0) {
        const int injected = InjectedFault(TFileOp::Write);
        const ssize_t n = injected ? -1 : ::write(FFd, data, size);
        if (n < 0) {
            const int err = injected ? injected : errno;
            if (err == EINTR) continue;
            ThrowSaveError(FTarget, std::string("write failed: ") + std::strerror(err));
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
        const int err = errno;
        Discard();
        ThrowSaveError(FTarget, std::string("close failed: ") + std::strerror(err));
    }
    // What was a regular file when the save began may have been replaced by
    // something else meanwhile; it is looked at again just before the rename.
    struct stat st {};
    if (::lstat(FReplaced.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        Discard();
        ThrowSaveError(FTarget,
                       std::string("it became ") + KindOf(st.st_mode) + " during the save; it is left as it is");
    }
    if (::rename(FTempName.c_str(), FReplaced.c_str()) != 0) {
        const int err = errno;
        Discard();
        ThrowSaveError(FTarget, std::string("cannot replace the file: ") + std::strerror(err));
    }
    // The rename itself must reach the disk too.
    const int dir = ::open(FolderOf(FReplaced).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

}  // namespace tabrix::xl::detail
