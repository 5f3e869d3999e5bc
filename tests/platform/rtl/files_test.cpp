#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"

namespace tabrix {
namespace {

TEST(Files, TempFilesAreUniquePrivateAndNamedByPrefix) {
    const std::string dir = TempFolder();
    ASSERT_EQ(dir.back(), '/');
    TTempFileGuard a(CreateUniqueTempFile(dir, "TBR"));
    TTempFileGuard b(CreateUniqueTempFile(dir, "TBR"));
    EXPECT_NE(a.Name(), b.Name());
    EXPECT_EQ(ExtractFileName(a.Name()).substr(0, 3), "TBR");
    EXPECT_EQ(ExtractFileExt(a.Name()), ".tmp");
    struct stat st {};
    ASSERT_EQ(stat(a.Name().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_THROW(CreateUniqueTempFile("/nonexistent-folder/", "TBR"), EFCreateError);
}

TEST(Files, CopyDeleteExists) {
    TTempFileGuard src(CreateUniqueTempFile(TempFolder(), "TBR"));
    WriteFileBytes(src.Name(), std::string("abc\0def", 7));
    TTempFileGuard dst(src.Name() + ".copy");
    EXPECT_TRUE(CopyFileTo(src.Name(), dst.Name(), true));
    EXPECT_EQ(ReadFileBytes(dst.Name()), std::string("abc\0def", 7));
    EXPECT_FALSE(CopyFileTo(src.Name(), dst.Name(), true));  // exists already
    EXPECT_TRUE(CopyFileTo(src.Name(), dst.Name(), false));
    EXPECT_FALSE(CopyFileTo("/nonexistent", dst.Name(), false));
    EXPECT_TRUE(DeleteFileAt(dst.Release()));
    EXPECT_FALSE(FileExists(src.Name() + ".copy"));
    EXPECT_TRUE(FileExists(src.Name()));
    EXPECT_FALSE(FileExists(TempFolder()));  // a folder is no file
    EXPECT_THROW(ReadFileBytes("/nonexistent"), EFOpenError);
}

TEST(Files, CopyOntoItselfKeepsTheFile) {
    // A working copy named like its template must not wipe the template.
    TTempFileGuard src(CreateUniqueTempFile(TempFolder(), "TBR"));
    WriteFileBytes(src.Name(), "template");
    EXPECT_FALSE(CopyFileTo(src.Name(), src.Name(), false));
    const std::string dotted = ExtractFilePath(src.Name()) + "./" + ExtractFileName(src.Name());
    EXPECT_FALSE(CopyFileTo(src.Name(), dotted, false));
    EXPECT_EQ(ReadFileBytes(src.Name()), "template");
}

TEST(Files, AFailedCopyRemovesOnlyATargetItCreated) {
    // The process's own memory reads as a regular file whose first page
    // cannot be read: a copy that fails after the target was opened.
    const std::string unreadable = "/proc/self/mem";
    TTempFileGuard fresh(CreateUniqueTempFile(TempFolder(), "TBR"));
    ASSERT_TRUE(DeleteFileAt(fresh.Name()));
    EXPECT_FALSE(CopyFileTo(unreadable, fresh.Name(), false));
    EXPECT_FALSE(FileExists(fresh.Name())) << "the half-made copy is gone";
    EXPECT_FALSE(CopyFileTo(unreadable, fresh.Name(), true));
    EXPECT_FALSE(FileExists(fresh.Name()));

    TTempFileGuard existing(CreateUniqueTempFile(TempFolder(), "TBR"));
    WriteFileBytes(existing.Name(), "someone's");
    EXPECT_FALSE(CopyFileTo(unreadable, existing.Name(), false));
    EXPECT_TRUE(FileExists(existing.Name())) << "a file that was there is not removed";
    fresh.Release();
}

TEST(Files, ApplicationFileNameRule) {
    SetApplicationFolder("/srv/app");
    EXPECT_EQ(ApplicationFolder(), "/srv/app/");
    EXPECT_EQ(ExpandApplicationFileName("  report.xlsx "), "/srv/app/report.xlsx");
    EXPECT_EQ(ExpandApplicationFileName("\\sub\\report.xlsx"), "/srv/app/sub/report.xlsx");
    EXPECT_EQ(ExpandApplicationFileName("/abs/report.xlsx"), "/abs/report.xlsx");
    EXPECT_EQ(ExpandApplicationFileName("C:\\r.xlsx"), "C:\\r.xlsx");
    EXPECT_EQ(ExpandApplicationFileName("\\\\server\\r.xlsx"), "\\\\server\\r.xlsx");
    EXPECT_EQ(ExpandApplicationFileName("   "), "");
    SetApplicationFolder("");
    EXPECT_EQ(ApplicationFolder().back(), '/');
}

TEST(Files, NameParts) {
    EXPECT_EQ(ExtractFileExt("a/b.c/d"), "");
    EXPECT_EQ(ExtractFileExt("a/b.xlsx"), ".xlsx");
    EXPECT_EQ(ExtractFilePath("a/b.xlsx"), "a/");
    EXPECT_EQ(ChangeFileExt("a/b.xls", ".xlsx"), "a/b.xlsx");
    EXPECT_EQ(IncludeTrailingPathDelimiter("x"), "x/");
}

}  // namespace
}  // namespace tabrix
