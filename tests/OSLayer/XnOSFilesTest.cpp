#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/stat.h>

#include "OSLayer/XnOS.h"
#include "TempDir.h"

namespace {

using vela_test::TempDir;

TEST(XnOSFiles, OpenFlagsAndErrors) {
    TempDir dir;
    const std::string path = dir.File("f.bin");
    XN_FILE_HANDLE h = 123;
    EXPECT_EQ(XN_STATUS_OS_FILE_NOT_FOUND, xnOSOpenFile(path.c_str(), XN_OS_FILE_READ, &h));
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, h);

    ASSERT_EQ(XN_STATUS_OK, xnOSOpenFile(path.c_str(), XN_OS_FILE_WRITE, &h));
    ASSERT_EQ(XN_STATUS_OK, xnOSWriteFile(h, "hello", 5));
    ASSERT_EQ(XN_STATUS_OK, xnOSCloseFile(&h));
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, h);
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSCloseFile(&h));

    EXPECT_EQ(XN_STATUS_OS_FILE_ALREDY_EXISTS,
              xnOSOpenFile(path.c_str(), XN_OS_FILE_CREATE_NEW_ONLY | XN_OS_FILE_WRITE, &h));
    EXPECT_EQ(XN_INVALID_FILE_HANDLE, h);
    // A missing folder on the way reads as a missing file.
    EXPECT_EQ(XN_STATUS_OS_FILE_NOT_FOUND, xnOSOpenFile(dir.File("missing/x").c_str(), XN_OS_FILE_WRITE, &h));
    EXPECT_EQ(XN_STATUS_OS_FILE_OPEN_FAILED, xnOSOpenFile(dir.Path().c_str(), XN_OS_FILE_WRITE, &h));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSOpenFile(nullptr, XN_OS_FILE_READ, &h));
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSOpenFile(path.c_str(), XN_OS_FILE_READ, nullptr));

    // Every operation on the absent handle says so.
    XnUInt32 n = 1;
    char c;
    XnUInt64 pos64;
    XnUInt32 pos;
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSReadFile(h, &c, &n));
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSWriteFile(h, "x", 1));
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSSeekFile(h, XN_OS_SEEK_SET, 0));
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSTellFile64(h, &pos64));
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSTellFile(h, &pos));
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSFlushFile(h));
    EXPECT_EQ(XN_STATUS_OS_INVALID_FILE, xnOSTruncateFile64(h, 0));
}

TEST(XnOSFiles, ReadSeekTellTruncate) {
    TempDir dir;
    const std::string path = dir.File("data");
    ASSERT_EQ(XN_STATUS_OK, xnOSSaveFile(path.c_str(), "0123456789", 10));
    XN_FILE_HANDLE h;
    ASSERT_EQ(XN_STATUS_OK, xnOSOpenFile(path.c_str(), XN_OS_FILE_READ | XN_OS_FILE_WRITE, &h));
    ASSERT_EQ(XN_STATUS_OK, xnOSSeekFile(h, XN_OS_SEEK_END, -3));
    XnUInt32 pos = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSTellFile(h, &pos));
    EXPECT_EQ(7u, pos);
    char buf[8] = {};
    XnUInt32 n = sizeof(buf);
    ASSERT_EQ(XN_STATUS_OK, xnOSReadFile(h, buf, &n));
    EXPECT_EQ(3u, n);  // fewer at the end of the file
    EXPECT_EQ(0, memcmp(buf, "789", 3));
    EXPECT_EQ(XN_STATUS_OS_INVALID_SEEK_TYPE, xnOSSeekFile(h, (XnOSSeekType)3, 0));
    EXPECT_EQ(XN_STATUS_OS_FILE_SEEK_FAILED, xnOSSeekFile(h, XN_OS_SEEK_SET, -1));
    ASSERT_EQ(XN_STATUS_OK, xnOSSeekFile64(h, XN_OS_SEEK_SET, 2));
    ASSERT_EQ(XN_STATUS_OK, xnOSTruncateFile64(h, 5));
    XnUInt64 pos64 = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSTellFile64(h, &pos64));
    EXPECT_EQ(2u, pos64);
    ASSERT_EQ(XN_STATUS_OK, xnOSFlushFile(h));
    ASSERT_EQ(XN_STATUS_OK, xnOSCloseFile(&h));
    XnUInt32 size = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFileSize(path.c_str(), &size));
    EXPECT_EQ(5u, size);
}

TEST(XnOSFiles, WholeFiles) {
    TempDir dir;
    const std::string path = dir.File("whole");
    ASSERT_EQ(XN_STATUS_OK, xnOSSaveFile(path.c_str(), "abc", 3));
    ASSERT_EQ(XN_STATUS_OK, xnOSAppendFile(path.c_str(), "def", 3));
    char buf[6];
    ASSERT_EQ(XN_STATUS_OK, xnOSLoadFile(path.c_str(), buf, 6));
    EXPECT_EQ(0, memcmp(buf, "abcdef", 6));
    char big[10];
    EXPECT_EQ(XN_STATUS_OS_FILE_READ_FAILED, xnOSLoadFile(path.c_str(), big, 10));
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSLoadFile(path.c_str(), buf, 0));
    EXPECT_EQ(XN_STATUS_OS_FILE_NOT_FOUND, xnOSLoadFile(dir.File("none").c_str(), buf, 1));
    ASSERT_EQ(XN_STATUS_OK, xnOSSaveFile(path.c_str(), "x", 1));
    XnUInt64 size = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFileSize64(path.c_str(), &size));
    EXPECT_EQ(1u, size);
    EXPECT_EQ(XN_STATUS_OS_FILE_GET_SIZE_FAILED, xnOSGetFileSize64(dir.File("none").c_str(), &size));
}

TEST(XnOSFiles, QueriesDirectoriesAndLists) {
    TempDir dir;
    const std::string sub = dir.File("sub dir");
    ASSERT_EQ(XN_STATUS_OK, xnOSCreateDirectory(sub.c_str()));
    EXPECT_EQ(XN_STATUS_OS_FAILED_TO_CREATE_DIR, xnOSCreateDirectory(sub.c_str()));
    for (const char* name : {"c.txt", "a.txt", "b.txt", "other.dat"}) {
        ASSERT_EQ(XN_STATUS_OK, xnOSSaveFile((sub + "/" + name).c_str(), "1", 1));
    }
    XnBool exists = FALSE;
    ASSERT_EQ(XN_STATUS_OK, xnOSDoesFileExist(sub.c_str(), &exists));
    EXPECT_TRUE(exists);  // a directory counts as existing
    ASSERT_EQ(XN_STATUS_OK, xnOSDoesDirectoryExist(sub.c_str(), &exists));
    EXPECT_TRUE(exists);
    ASSERT_EQ(XN_STATUS_OK, xnOSDoesDirectoryExist((sub + "/a.txt").c_str(), &exists));
    EXPECT_FALSE(exists);
    ASSERT_EQ(XN_STATUS_OK, xnOSDoesDirectoryExist(dir.File("none").c_str(), &exists));
    EXPECT_FALSE(exists);
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSDoesFileExist("x", nullptr));

    const std::string pattern = sub + "/*.txt";
    XnInt32 count = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSCountFiles(pattern.c_str(), &count));
    EXPECT_EQ(3, count);
    ASSERT_EQ(XN_STATUS_OK, xnOSCountFiles((sub + "/*.none").c_str(), &count));
    EXPECT_EQ(0, count);

    XnChar names[3][XN_FILE_MAX_PATH];
    XnUInt32 found = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFileList(pattern.c_str(), nullptr, names, 2, &found));
    EXPECT_EQ(2u, found);
    EXPECT_STREQ("a.txt", names[0]);
    EXPECT_STREQ("b.txt", names[1]);
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFileList(pattern.c_str(), "pre/", names, 3, &found));
    EXPECT_EQ(3u, found);
    EXPECT_STREQ("pre/c.txt", names[2]);
    EXPECT_EQ(XN_STATUS_OS_FILE_NOT_FOUND, xnOSGetFileList((sub + "/*.none").c_str(), nullptr, names, 3, &found));

    ASSERT_EQ(XN_STATUS_OK, xnOSDeleteFile((sub + "/a.txt").c_str()));
    EXPECT_EQ(XN_STATUS_OS_FAILED_TO_DELETE_FILE, xnOSDeleteFile((sub + "/a.txt").c_str()));
}

// Each match's last component, however long the folder above it; every
// slot counted is filled.
TEST(XnOSFiles, FileListUnderLongFolderPath) {
    vela_test::TempDir dir;
    std::string folder = dir.Path();
    while (folder.size() < 300) {
        folder += "/" + std::string(100, 'f');
        ASSERT_EQ(XN_STATUS_OK, xnOSCreateDirectory(folder.c_str()));
    }
    for (const char* name : {"/one.txt", "/two.txt"}) {
        vela_test::WriteWholeFile(folder + name, "x");
    }
    XnChar names[3][XN_FILE_MAX_PATH] = {};
    XnUInt32 found = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFileList((folder + "/*.txt").c_str(), "p/", names, 3, &found));
    ASSERT_EQ(2u, found);
    EXPECT_STREQ("p/one.txt", names[0]);
    EXPECT_STREQ("p/two.txt", names[1]);
    EXPECT_STREQ("", names[2]);
}

TEST(XnOSFiles, PathHelpers) {
    struct AppendCase {
        const char* path;
        const char* name;
        const char* result;
    } appends[] = {{"data/", "a.ini", "data/a.ini"}, {"data", "a.ini", "data/a.ini"}, {"data", "/etc/x", "/etc/x"}};
    for (const AppendCase& c : appends) {
        char path[32];
        strcpy(path, c.path);
        ASSERT_EQ(XN_STATUS_OK, xnOSAppendFilePath(path, c.name, sizeof(path)));
        EXPECT_STREQ(c.result, path);
    }
    char small[8] = "data";
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSAppendFilePath(small, "long.ini", sizeof(small)));

    char part[64];
    ASSERT_EQ(XN_STATUS_OK, xnOSGetDirName("/a/b/c.txt", part, sizeof(part)));
    EXPECT_STREQ("/a/b", part);
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFileName("/a/b/c.txt", part, sizeof(part)));
    EXPECT_STREQ("c.txt", part);
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSGetFileName("/a/b/c.txt", part, 3));
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSGetFileName(std::string(300, 'a').c_str(), part, 64));

    EXPECT_TRUE(xnOSIsAbsoluteFilePath("/x"));
    EXPECT_FALSE(xnOSIsAbsoluteFilePath("x/"));
    EXPECT_TRUE(xnOSIsDirSep('/'));
    EXPECT_FALSE(xnOSIsDirSep('\0'));
    EXPECT_FALSE(xnOSIsDirSep('\\'));
    char strip[8] = "a//";
    xnOSStripDirSep(strip);
    EXPECT_STREQ("a/", strip);
}

TEST(XnOSFiles, WorkingDirectoryAndFullPaths) {
    TempDir dir;
    vela_test::ScopedCwd cwd(dir.Path());
    ASSERT_EQ(XN_STATUS_OK, xnOSCreateDirectory("inner"));
    char full[XN_FILE_MAX_PATH];
    ASSERT_EQ(XN_STATUS_OK, xnOSGetFullPathName("inner/../inner/.", full, sizeof(full)));
    char real[XN_FILE_MAX_PATH];
    ASSERT_NE(nullptr, realpath(dir.Path().c_str(), real));
    EXPECT_EQ(std::string(real) + "/inner", full);
    EXPECT_EQ(XN_STATUS_OUTPUT_BUFFER_OVERFLOW, xnOSGetFullPathName("inner", full, 4));
    EXPECT_EQ(XN_STATUS_ERROR, xnOSGetFullPathName("missing/x", full, sizeof(full)));

    ASSERT_EQ(XN_STATUS_OK, xnOSSetCurrentDir("inner"));
    char current[XN_FILE_MAX_PATH];
    ASSERT_EQ(XN_STATUS_OK, xnOSGetCurrentDir(current, sizeof(current)));
    EXPECT_EQ(std::string(real) + "/inner", current);
    EXPECT_EQ(XN_STATUS_OUTPUT_BUFFER_OVERFLOW, xnOSGetCurrentDir(current, 2));
    EXPECT_EQ(XN_STATUS_ERROR, xnOSSetCurrentDir("no such dir"));
}

}  // namespace
