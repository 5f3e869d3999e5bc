#include "platform/rtl/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include <fmt/format.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"

namespace tabrix {

namespace {

std::string& AppFolderOverride() {
    static std::string folder;
    return folder;
}

std::string ErrnoText() { return std::strerror(errno); }

class Fd {
public:
    explicit Fd(int fd) : FFd(fd) {}
    ~Fd() {
        if (FFd >= 0) ::close(FFd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return FFd; }
    int Release() {
        int f = FFd;
        FFd = -1;
        return f;
    }
    void Reset(int fd) {
        if (FFd >= 0) ::close(FFd);
        FFd = fd;
    }

private:
    int FFd;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string IncludeTrailingPathDelimiter(std::string_view folder) {
    std::string f(folder);
    if (f.empty() || f.back() != '/') f += '/';
    return f;
}

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return IncludeTrailingPathDelimiter(dir && *dir ? dir : "/tmp");
}

std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix) {
    static std::mt19937_64 rng{std::random_device{}()};
    const std::string dir = IncludeTrailingPathDelimiter(folder);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = fmt::format("{}{}{:04X}.tmp", dir, prefix, rng() & 0xFFFF);
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) break;
    }
    throw EFCreateError(fmt::format("Cannot create a temporary file in \"{}\": {}", dir, ErrnoText()));
}

bool CopyFileTo(const std::string& source, const std::string& target, bool failIfExists) {
    Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0) return false;
    struct stat st {};
    if (::fstat(in.Get(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    // Copying a file onto itself would truncate it before it is read.
    struct stat dst {};
    if (::stat(target.c_str(), &dst) == 0 && dst.st_dev == st.st_dev && dst.st_ino == st.st_ino) {
        errno = failIfExists ? EEXIST : EBUSY;
        return false;
    }
    // Created exclusively where possible, so that a failed copy removes
    // only a file it made itself, never one that was there before.
    Fd out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    const bool created = out.Get() >= 0;
    if (!created && (failIfExists || errno != EEXIST)) return false;
    if (!created) out.Reset(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (out.Get() < 0) return false;
    auto fail = [&] {
        const int reason = errno;
        out.Reset(-1);
        if (created) ::unlink(target.c_str());
        errno = reason;
        return false;
    };
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(in.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        if (n == 0) break;
        if (!WriteAll(out.Get(), buf, static_cast<size_t>(n))) return fail();
    }
    if (::close(out.Release()) != 0) return fail();
    return true;
}

bool DeleteFileAt(const std::string& name) { return ::unlink(name.c_str()) == 0; }

bool FileExists(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& name) {
    struct stat st {};
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ApplicationFolder() {
    if (!AppFolderOverride().empty()) return AppFolderOverride();
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "./";
    return ExtractFilePath(std::string_view(buf, static_cast<size_t>(n)));
}

void SetApplicationFolder(const std::string& folder) {
    AppFolderOverride() = folder.empty() ? std::string() : IncludeTrailingPathDelimiter(folder);
}

std::string ExpandApplicationFileName(std::string_view name) {
    std::string n = Trim(name);
    if (n.empty()) return n;
    if (n.find(':') != std::string::npos || n.find("\\\\") != std::string::npos || n[0] == '/') return n;
    if (n[0] == '\\') n.erase(0, 1);
    for (auto& c : n)
        if (c == '\\') c = '/';
    return ApplicationFolder() + n;
}

std::string ExtractFileExt(std::string_view name) {
    const size_t slash = name.find_last_of('/');
    const size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
    return std::string(name.substr(dot));
}

std::string ExtractFileName(std::string_view name) {
    const size_t slash = name.find_last_of('/');
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

std::string ExtractFilePath(std::string_view name) {
    const size_t slash = name.find_last_of('/');
    return slash == std::string_view::npos ? std::string() : std::string(name.substr(0, slash + 1));
}

std::string ChangeFileExt(std::string_view name, std::string_view ext) {
    const std::string old = ExtractFileExt(name);
    std::string r(name.substr(0, name.size() - old.size()));
    r += ext;
    return r;
}

std::string ReadFileBytes(const std::string& name) {
    Fd fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) throw EFOpenError(fmt::format("Cannot open file \"{}\". {}", name, ErrnoText()));
    std::string data;
    struct stat st {};
    if (::fstat(fd.Get(), &st) == 0 && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
    char buf[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EReadError(fmt::format("Cannot read file \"{}\". {}", name, ErrnoText()));
        }
        if (n == 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    return data;
}

void WriteFileBytes(const std::string& name, std::string_view bytes) {
    Fd fd(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.Get() < 0) throw EFCreateError(fmt::format("Cannot create file \"{}\". {}", name, ErrnoText()));
    if (!WriteAll(fd.Get(), bytes.data(), bytes.size()) || ::close(fd.Release()) != 0)
        throw EWriteError(fmt::format("Cannot write file \"{}\". {}", name, ErrnoText()));
}

TTempFileGuard::~TTempFileGuard() {
    if (!FName.empty()) ::unlink(FName.c_str());
}

void TTempFileGuard::Reset(std::string name) {
    if (!FName.empty()) ::unlink(FName.c_str());
    FName = std::move(name);
}

std::string TTempFileGuard::Release() {
    std::string n = std::move(FName);
    FName.clear();
    return n;
}

}  // namespace tabrix
