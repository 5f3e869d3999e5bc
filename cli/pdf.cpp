#include "cli/pdf.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/strings.h"

namespace tabrix::cli {

namespace fs = std::filesystem;

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr auto kTermGrace = std::chrono::seconds(2);

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = dirs.substr(start, end - start);
        const std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// Starts the program in a process group of its own (so the whole of
// LibreOffice can be ended), output into logFile.
pid_t Start(const std::vector<std::string>& args, const std::string& logFile) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::setpgid(0, 0);
    const int in = ::open("/dev/null", O_RDONLY);
    const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in >= 0) ::dup2(in, STDIN_FILENO);
    if (log >= 0) {
        ::dup2(log, STDOUT_FILENO);
        ::dup2(log, STDERR_FILENO);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

// Waits for the process; false when the time ran out (the group is ended).
bool WaitFor(pid_t pid, int timeLimitSeconds, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(kPollInterval);
    }
    ::kill(-pid, SIGTERM);
    std::this_thread::sleep_for(kTermGrace);
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return false;
}

std::string LogTail(const std::string& logFile) {
    std::string log = Trim(FileExists(logFile) ? ReadFileBytes(logFile) : std::string());
    constexpr size_t kShown = 400;
    return log.size() > kShown ? "..." + log.substr(log.size() - kShown) : log;
}

}  // namespace

TPdfFolder::TPdfFolder() {
    std::string pattern = IncludeTrailingPathDelimiter(TempFolder()) + "TBRpdf-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw EInOutError("Cannot create a temporary folder in " + TempFolder());
    FPath = pattern + "/";
}

TPdfFolder::~TPdfFolder() {
    std::error_code ec;
    fs::remove_all(FPath, ec);
}

bool IsPdfFileName(const std::string& fileName) {
    return fileName.size() > 4 && AnsiSameText(fileName.substr(fileName.size() - 4), ".pdf");
}

void ConvertToPdf(const std::string& workbook, const std::string& pdfFile, int timeLimitSeconds) {
    const std::string soffice = FindOnPath("soffice");
    if (soffice.empty())
        throw EInOutError("Cannot write the PDF " + pdfFile +
                          ": LibreOffice is not installed (no soffice on the PATH; Debian: libreoffice-calc-nogui)");
    TPdfFolder work;
    const std::string profile = work.Path() + "profile";
    const std::string outDir = work.Path() + "out";
    fs::create_directory(outDir);
    const std::string log = work.Path() + "soffice.log";
    const pid_t pid =
        Start({soffice, "-env:UserInstallation=file://" + profile, "--headless", "--invisible", "--norestore",
               "--nolockcheck", "--nologo", "--nodefault", "--convert-to", "pdf", "--outdir", outDir, workbook},
              log);
    if (pid < 0) throw EInOutError("Cannot start LibreOffice (" + soffice + ") to write the PDF " + pdfFile);
    int status = 0;
    if (!WaitFor(pid, timeLimitSeconds, status))
        throw EInOutError("LibreOffice did not write the PDF " + pdfFile + " within " +
                          std::to_string(timeLimitSeconds) + " seconds; it was ended");
    const std::string produced = outDir + "/" + fs::path(workbook).stem().string() + ".pdf";
    if (!FileExists(produced))
        throw EInOutError("LibreOffice wrote no PDF for " + workbook + " (exit status " +
                          std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "): " + LogTail(log));
    // Beside the target first, then renamed: a reader never sees half a PDF.
    const std::string partial = pdfFile + ".partial";
    std::error_code ec;
    fs::copy_file(produced, partial, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(partial, pdfFile, ec);
    if (ec) {
        fs::remove(partial, ec);
        throw EInOutError("Cannot write the PDF " + pdfFile + ": " + ec.message());
    }
}

}  // namespace tabrix::cli
