// Saving to disk: the target is replaced whole or not at all.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/atomic_file.h"
#include "platform/spreadsheet/package/package.h"
#include "tests/support/test_support.h"

namespace tabrix::xl {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class AtomicSave : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = fs::path(TempFolder()) / ("tbr_save_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Folder);
        fs::create_directories(Folder);
        Package.SetPart("[Content_Types].xml", "<Types/>");
        Package.SetPart("xl/workbook.xml", std::string(100000, 'w'));
    }
    void TearDown() override {
        fs::permissions(Folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(Folder);
    }
    std::vector<std::string> FolderContents() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(Folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path Folder;
    TPackage Package;
};

TEST_F(AtomicSave, ReplacesAnExistingFileAndKeepsItsMode) {
    const std::string target = (Folder / "report.xlsx").string();
    WriteFileBytes(target, "old content");
    ::chmod(target.c_str(), 0640);
    Package.SaveAs(target);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"report.xlsx"});
    EXPECT_EQ(TPackage::Open(target).ReadPart("xl/workbook.xml"), std::string(100000, 'w'));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(AtomicSave, SavingOverTheOpenedFileWorks) {
    const std::string target = (Folder / "book.xlsx").string();
    Package.SaveAs(target);
    TPackage reopened = TPackage::Open(target);
    reopened.SetPart("xl/styles.xml", "<styleSheet/>");
    reopened.SaveAs(target);
    const TPackage again = TPackage::Open(target);
    EXPECT_EQ(again.ReadPart("xl/workbook.xml"), std::string(100000, 'w'));
    EXPECT_EQ(again.ReadPart("xl/styles.xml"), "<styleSheet/>");
}

TEST_F(AtomicSave, MissingFolderFailsWithItsName) {
    const std::string target = (Folder / "no" / "such" / "report.xlsx").string();
    try {
        Package.SaveAs(target);
        FAIL();
    } catch (const EPackageError& e) {
        EXPECT_THAT(e.Message(), HasSubstr("Cannot save \"" + target + "\""));
        EXPECT_THAT(e.Message(), HasSubstr("cannot create a file in folder"));
    }
    EXPECT_TRUE(FolderContents().empty());
}

// The rename would replace whatever has the name: only a regular file may be
// replaced, anything else is refused before a byte is written.
TEST_F(AtomicSave, OutputThatIsNoRegularFileIsRefused) {
    const fs::path fifo = Folder / "pipe.xlsx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path folder = Folder / "folder.xlsx";
    fs::create_directories(folder / "inside");
    const fs::path socketName = Folder / "socket.xlsx";
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketName.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    const fs::path linkToNull = Folder / "null-link.xlsx";
    fs::create_symlink("/dev/null", linkToNull);

    const struct {
        std::string Target;
        std::string What;
    } cases[] = {
        {"/dev/null", "it is a character device, not a regular file"},
        {fifo.string(), "it is a FIFO, not a regular file"},
        {socketName.string(), "it is a socket, not a regular file"},
        {folder.string(), "it is a folder, not a regular file"},
        {linkToNull.string(), "it is a symbolic link to \"/dev/null\", a character device, not a regular file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tabrix::testing::RaisedMessage<EPackageError>([&] { Package.SaveAs(c.Target); }),
                  "Cannot save \"" + c.Target + "\": " + c.What + "; it is left as it is")
            << c.Target;
    }
    ::close(sock);
    struct stat st {};
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_socket(socketName));
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(fs::read_symlink(linkToNull), "/dev/null");
    EXPECT_EQ(FolderContents(),
              (std::vector<std::string>{"folder.xlsx", "null-link.xlsx", "pipe.xlsx", "socket.xlsx"}));
}

TEST_F(AtomicSave, SymbolicLinksStayAndTheFileTheyNameIsReplaced) {
    fs::create_directories(Folder / "real");
    const fs::path file = Folder / "real" / "report.xlsx";
    WriteFileBytes(file.string(), "old content");
    const fs::path relative = Folder / "relative.xlsx";
    fs::create_symlink("real/report.xlsx", relative);
    const fs::path chain = Folder / "chain.xlsx";
    fs::create_symlink(relative, chain);  // a link to a link
    const fs::path dangling = Folder / "dangling.xlsx";
    fs::create_symlink("real/new.xlsx", dangling);

    for (const fs::path& link : {relative, chain}) {
        Package.SetPart("xl/styles.xml", link.filename().string());
        Package.SaveAs(link.string());
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(TPackage::Open(file.string()).ReadPart("xl/styles.xml"), link.filename().string());
    }
    Package.SaveAs(dangling.string());  // the file it names is created
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_TRUE(fs::is_regular_file(Folder / "real" / "new.xlsx"));
    // The temporary files went beside the files replaced, and are gone.
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"chain.xlsx", "dangling.xlsx", "real", "relative.xlsx"}));
    std::vector<std::string> real;
    for (const auto& e : fs::directory_iterator(Folder / "real")) real.push_back(e.path().filename().string());
    std::sort(real.begin(), real.end());
    EXPECT_EQ(real, (std::vector<std::string>{"new.xlsx", "report.xlsx"}));
}

TEST_F(AtomicSave, LinksThatLoopAreRefused) {
    const fs::path a = Folder / "a.xlsx";
    const fs::path b = Folder / "b.xlsx";
    fs::create_symlink(b, a);
    fs::create_symlink(a, b);
    EXPECT_THAT(tabrix::testing::RaisedMessage<EPackageError>([&] { Package.SaveAs(a.string()); }),
                HasSubstr("Cannot save \"" + a.string() + "\": more than 40 symbolic links to follow"));
    // At the limit a chain still works.
    fs::path last = Folder / "target.xlsx";
    for (int i = 0; i < detail::kMaxSymbolicLinks; ++i) {
        const fs::path link = Folder / ("l" + std::to_string(i));
        fs::create_symlink(last, link);
        last = link;
    }
    Package.SaveAs(last.string());
    EXPECT_TRUE(fs::is_regular_file(Folder / "target.xlsx"));
    const fs::path over = Folder / "over";
    fs::create_symlink(last, over);
    EXPECT_THAT(tabrix::testing::RaisedMessage<EPackageError>([&] { Package.SaveAs(over.string()); }),
                HasSubstr("more than 40 symbolic links"));
}

TEST_F(AtomicSave, ReadOnlyFolderKeepsTheOldFile) {
    const std::string target = (Folder / "report.xlsx").string();
    WriteFileBytes(target, "old content");
    fs::permissions(Folder, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(Folder.c_str(), W_OK) == 0) GTEST_SKIP() << "this user writes into read-only folders (root)";
    EXPECT_THROW(Package.SaveAs(target), EPackageError);
    EXPECT_EQ(ReadFileBytes(target), "old content");
    fs::permissions(Folder, fs::perms::owner_all, fs::perm_options::add);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"report.xlsx"});
}

}  // namespace
}  // namespace tabrix::xl
