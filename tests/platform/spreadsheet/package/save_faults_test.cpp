// Saves that fail half-way (a full disk, a failing write or read, a signal):
// the old file stays as it was, no temporary file stays behind, and the
// message names the file.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/file_faults.h"
#include "platform/spreadsheet/package/package.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

namespace fs = std::filesystem;
using detail::TFileFaultScope;
using detail::TFileOp;
using ::testing::HasSubstr;

// Bytes that deflate does not shrink, so that a part's size on disk is known.
std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(random() & 0xFF);
    return s;
}

class SaveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::path(TempFolder()) / ("tbr_faults_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        Target = (Folder / "report.xlsx").string();
    }
    void TearDown() override { fs::remove_all(Folder); }

    // A workbook of three raw parts of 300 KB each, saved as the old file.
    void WriteOldFile() {
        TPackage p;
        p.SetPart("[Content_Types].xml", "<Types/>");
        for (int i = 1; i <= 3; ++i)
            p.SetPart("xl/media/image" + std::to_string(i) + ".bin", Noise(300000, static_cast<unsigned>(i)));
        p.SaveAs(Target);
        OldBytes = ReadFileBytes(Target);
    }
    std::vector<std::string> Contents(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    void ExpectOldFileIntact() const {
        EXPECT_EQ(ReadFileBytes(Target), OldBytes);
        EXPECT_EQ(Contents(fs::path(Target).parent_path()), std::vector<std::string>{"report.xlsx"});
    }

    fs::path Folder;
    std::string Target;
    std::string OldBytes;
};

std::uint64_t gFailAt = 0;
int gFailWith = 0;
int FailNthWrite(TFileOp op, std::uint64_t n) { return op == TFileOp::Write && n == gFailAt ? gFailWith : 0; }
int FailNthRead(TFileOp op, std::uint64_t n) { return op == TFileOp::Read && n == gFailAt ? gFailWith : 0; }

TEST_F(SaveFaults, AFailingWriteKeepsTheOldFile) {
    WriteOldFile();
    // The first write, one in the middle of a part, and the last one (the
    // central directory), with the errors a disk gives.
    for (const auto& [at, err] : {std::pair{1, EIO}, std::pair{3, ENOSPC}, std::pair{6, EDQUOT}, std::pair{2, EFBIG}}) {
        TPackage p = TPackage::Open(Target);
        p.SetPart("xl/media/image2.bin", Noise(400000, 9));
        gFailAt = static_cast<std::uint64_t>(at);
        gFailWith = err;
        const TFileFaultScope scope(&FailNthWrite);
        EXPECT_EQ(tabrix::testing::RaisedMessage<EPackageError>([&] { p.SaveAs(Target); }),
                  "Cannot save \"" + Target + "\": write failed: " + std::strerror(err))
            << "write " << at;
        ExpectOldFileIntact();
    }
}

TEST_F(SaveFaults, AFailingReadKeepsTheOldFile) {
    WriteOldFile();
    // The raw copies are read (checked) during the save: a read error of
    // the second part stops it after part of the file was written.
    for (const std::uint64_t at : {1u, 2u, 3u}) {
        TPackage p = TPackage::Open(Target);
        p.SetPart("[Content_Types].xml", "<Types><Default Extension=\"bin\" ContentType=\"x/y\"/></Types>");
        gFailAt = at;
        gFailWith = EIO;
        const TFileFaultScope scope(&FailNthRead);
        EXPECT_EQ(tabrix::testing::RaisedMessage<EPackageError>([&] { p.SaveAs(Target); }),
                  "Cannot read part \"xl/media/image" + std::to_string(at) + ".bin\" of \"" + Target +
                      "\": read failed: " + std::strerror(EIO))
            << "read " << at;
        ExpectOldFileIntact();
    }
    // Without the fault the same save goes through.
    TPackage p = TPackage::Open(Target);
    p.SetPart("xl/media/image1.bin", "new");
    p.SaveAs(Target);
    EXPECT_EQ(TPackage::Open(Target).ReadPart("xl/media/image3.bin"), Noise(300000, 3));
}

// A real full file system: a 1 MiB tmpfs mounted for the test.
class FullFileSystem : public SaveFaults {
protected:
    void SetUp() override {
        SaveFaults::SetUp();
        Mount = Folder / "small";
        fs::create_directories(Mount);
        if (::mount("tabrix-test", Mount.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=1m") != 0)
            GTEST_SKIP() << "cannot mount a 1 MiB tmpfs at " << Mount << " (" << std::strerror(errno)
                         << "): the test needs root in a system that allows mounting";
        Mounted = true;
        Target = (Mount / "report.xlsx").string();
    }
    void TearDown() override {
        if (Mounted) ::umount2(Mount.c_str(), MNT_DETACH);
        SaveFaults::TearDown();
    }
    fs::path Mount;
    bool Mounted = false;
};

TEST_F(FullFileSystem, TheOldFileStaysWhenTheDiskFills) {
    WriteOldFile();  // 900 KB of the 1 MiB
    TPackage p = TPackage::Open(Target);
    p.SetPart("xl/media/image4.bin", Noise(600000, 4));
    const std::string message = tabrix::testing::RaisedMessage<EPackageError>([&] { p.SaveAs(Target); });
    EXPECT_THAT(message, HasSubstr("Cannot save \"" + Target + "\": "));
    EXPECT_THAT(message, HasSubstr(std::strerror(ENOSPC)));
    ExpectOldFileIntact();
    // What fits is saved.
    TPackage small;
    small.SetPart("a.xml", "<a/>");
    small.SaveAs(Target);
    EXPECT_EQ(TPackage::Open(Target).ReadPart("a.xml"), "<a/>");
}

// A child process saves a large workbook and stops at its third write, so
// that the signal finds it mid-save; it tells the parent through a pipe.
int gReadyPipe = -1;
int HoldAtThirdWrite(TFileOp op, std::uint64_t n) {
    if (op == TFileOp::Write && n == 3) {
        const char c = 'r';
        if (::write(gReadyPipe, &c, 1) != 1) ::_exit(3);
        for (;;) ::pause();
    }
    return 0;
}

// The signal that ended the child, or -1.
int SaveInChildAndSignal(const std::string& target, int sig) {
    int fds[2];
    if (::pipe(fds) != 0) return -1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        // As a program started from a terminal has them (a test runner may
        // have set them to be ignored).
        ::signal(SIGINT, SIG_DFL);
        ::signal(SIGTERM, SIG_DFL);
        ::alarm(30);  // a child never signalled does not hang the test
        gReadyPipe = fds[1];
        TPackage p = TPackage::Open(target);
        for (int i = 0; i < 8; ++i)
            p.SetPart("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", Noise(4 << 20, 100u + unsigned(i)));
        const TFileFaultScope scope(&HoldAtThirdWrite);
        p.SaveAs(target);
        ::_exit(0);
    }
    ::close(fds[1]);
    char c = 0;
    const bool ready = ::read(fds[0], &c, 1) == 1;
    ::close(fds[0]);
    if (ready) ::kill(child, sig);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : -1;
}

TEST_F(SaveFaults, AnInterruptedSaveRemovesItsTemporaryFile) {
    WriteOldFile();
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        EXPECT_EQ(SaveInChildAndSignal(Target, sig), sig) << strsignal(sig);
        ExpectOldFileIntact();
    }
}

TEST_F(SaveFaults, AKilledSaveLeavesTheTargetUnchanged) {
    WriteOldFile();
    EXPECT_EQ(SaveInChildAndSignal(Target, SIGKILL), SIGKILL);
    EXPECT_EQ(ReadFileBytes(Target), OldBytes);
    // SIGKILL cannot be caught: its temporary file stays, hidden, beside the target.
    const std::vector<std::string> names = Contents(Folder);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_THAT(names[0], ::testing::StartsWith(".report.xlsx."));
    EXPECT_EQ(names[1], "report.xlsx");
}

TEST_F(SaveFaults, AnInterruptHandledByTheApplicationIsLeftToIt) {
    // A program that handles SIGINT itself (a cancel key) keeps its handler
    // during a save, and the save unwinds as its own clean-up decides.
    static volatile std::sig_atomic_t seen = 0;
    struct sigaction mine {
    }, previous{};
    mine.sa_handler = [](int) { seen = 1; };
    sigemptyset(&mine.sa_mask);
    ASSERT_EQ(::sigaction(SIGINT, &mine, &previous), 0);
    WriteOldFile();
    TPackage p = TPackage::Open(Target);
    p.SetPart("a.xml", "<a/>");
    gFailAt = 2;
    gFailWith = EIO;
    {
        const TFileFaultScope scope(+[](TFileOp op, std::uint64_t n) {
            if (op == TFileOp::Write && n == 1) ::raise(SIGINT);
            return FailNthWrite(op, n);
        });
        EXPECT_THROW(p.SaveAs(Target), EPackageError);
    }
    struct sigaction after {};
    ::sigaction(SIGINT, &previous, &after);
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(after.sa_handler, mine.sa_handler);
    ExpectOldFileIntact();
}

}  // namespace
}  // namespace tabrix::xl
