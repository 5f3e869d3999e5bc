// Saving to disk: the target is replaced whole or not at all.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/rtl/files.h"
#include "platform/spreadsheet/package/package.h"

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

TEST_F(AtomicSave, FailedRenameLeavesNoPartialFile) {
    // A folder of that name cannot be replaced by a file: everything is
    // written, then the last step fails.
    const fs::path target = Folder / "report.xlsx";
    fs::create_directories(target / "inside");
    EXPECT_THROW(Package.SaveAs(target.string()), EPackageError);
    EXPECT_EQ(FolderContents(), std::vector<std::string>{"report.xlsx"});
    EXPECT_TRUE(fs::is_directory(target / "inside"));
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
