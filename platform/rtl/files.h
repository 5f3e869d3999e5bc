#pragma once
// File services of the platform: the temporary folder, unique temporary
// files, copy, delete, existence, the application folder and the rule by
// which a relative file name is taken from it.

#include <string>
#include <string_view>

namespace tabrix {

// $TMPDIR or /tmp, always with a trailing separator.
std::string TempFolder();

// Creates a new empty file "<folder><prefix><unique>.tmp" exclusively, with
// mode 0600, and returns its name. Raises EFCreateError when it cannot.
std::string CreateUniqueTempFile(const std::string& folder, const std::string& prefix);

// Returns false on failure; errno tells why.
bool CopyFileTo(const std::string& source, const std::string& target, bool failIfExists);
bool DeleteFileAt(const std::string& name);
bool FileExists(const std::string& name);
bool DirectoryExists(const std::string& name);

// The folder that relative names are taken from, with a trailing
// separator: the running executable's folder unless set otherwise (tabrix
// run sets the form file's folder).
std::string ApplicationFolder();
void SetApplicationFolder(const std::string& folder);

// The system's rule for a file name given by the user: trimmed; a name
// holding ":" or "\\\\" (two backslashes), or starting with "/", is used as
// it is; otherwise one leading backslash is dropped, backslashes become "/"
// and the name is taken relative to the application folder. An empty name
// stays empty.
std::string ExpandApplicationFileName(std::string_view name);

std::string IncludeTrailingPathDelimiter(std::string_view folder);
// ".xlsx" of "a/b.xlsx"; "" when the name has no extension.
std::string ExtractFileExt(std::string_view name);
std::string ExtractFileName(std::string_view name);
std::string ExtractFilePath(std::string_view name);  // with trailing separator
std::string ChangeFileExt(std::string_view name, std::string_view ext);

// Reads or writes a whole file; raise EFOpenError / EFCreateError /
// EWriteError naming the file and the reason.
std::string ReadFileBytes(const std::string& name);
void WriteFileBytes(const std::string& name, std::string_view bytes);

// Removes a file when it goes out of scope (a working copy, a test file).
class TTempFileGuard {
public:
    explicit TTempFileGuard(std::string name = {}) : FName(std::move(name)) {}
    ~TTempFileGuard();
    TTempFileGuard(const TTempFileGuard&) = delete;
    TTempFileGuard& operator=(const TTempFileGuard&) = delete;
    const std::string& Name() const { return FName; }
    void Reset(std::string name);
    std::string Release();

private:
    std::string FName;
};

}  // namespace tabrix
