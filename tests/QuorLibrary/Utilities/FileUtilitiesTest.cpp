#include "QuorLibrary/Utilities/FileUtilities.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "TempDir.h"

namespace {

using Strings = std::vector<std::string>;
using vela_test::ReadWholeFile;
using vela_test::TempDir;
using vela_test::WriteWholeFile;

// A tree with blanks in its directory names:
//   my dir/a.txt, b.dat, rec one.oni, rec.xns
//   my dir/sub one/c.txt, deeper/d.txt
//   my dir/sub two/ (empty)
class FileTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = m_temp.File("my dir");
        for (const char* dir : {"", "/sub one", "/sub one/deeper", "/sub two"}) {
            ASSERT_EQ(mkdir((m_root + dir).c_str(), 0755), 0) << dir;
        }
        for (const char* file : {"/a.txt", "/b.dat", "/rec one.oni", "/rec.xns", "/sub one/c.txt",
                                 "/sub one/deeper/d.txt"}) {
            WriteWholeFile(m_root + file, "x");
        }
    }

    TempDir m_temp;
    std::string m_root;
};

// Folders whose path reaches 256 bytes or more list their files like any
// other.
TEST(FileListTest, ListingsUnderLongFolderPaths) {
    TempDir temp;
    std::string root = temp.Path();
    while (root.size() < 300) {
        root += "/" + std::string(90, 'd');
    }
    std::filesystem::create_directories(root + "/sub");
    for (const char* file : {"/a.txt", "/rec.oni", "/sub/c.txt"}) {
        WriteWholeFile(root + file, "x");
    }
    EXPECT_EQ(GetFileList(root + "/*.txt", false), Strings({"a.txt"}));
    EXPECT_EQ(GetRecordingsFromDirectory(root), Strings({root + "//rec.oni"}));
    EXPECT_EQ(GetSubdirectories(root, false), Strings({"sub"}));
    EXPECT_EQ(FindFiles(root, "*.txt", -1, false), Strings({"a.txt", "sub/c.txt"}));
}

TEST_F(FileTreeTest, FileListNamesOrJoinsTheDirectoryPart) {
    EXPECT_EQ(GetFileList(m_root + "/*.txt", false), Strings({"a.txt"}));
    // The directory part keeps its separator and gets another.
    EXPECT_EQ(GetFileList(m_root + "/*.txt", true), Strings({m_root + "//a.txt"}));
    EXPECT_EQ(GetFileList(m_root + "/*", false),
              Strings({"a.txt", "b.dat", "rec one.oni", "rec.xns", "sub one", "sub two"}));
    EXPECT_TRUE(GetFileList(m_root + "/*.none", true).empty());
    EXPECT_TRUE(GetFileList(m_temp.File("missing dir/*"), false).empty());
}

TEST_F(FileTreeTest, BarePatternGetsNoRootPrefix) {
    vela_test::ScopedCwd cwd(m_root);
    EXPECT_EQ(GetFileList("*.txt", true), Strings({"a.txt"}));
    EXPECT_EQ(GetFileList("*.txt", false), Strings({"a.txt"}));
}

TEST(FileListTest, ListingIsNotCutShort) {
    TempDir temp;
    const int kFiles = 300;
    for (int i = 0; i < kFiles; ++i) {
        char name[32];
        std::snprintf(name, sizeof(name), "f%04d", i);
        WriteWholeFile(temp.File(name), "");
    }
    const Strings files = GetFileList(temp.File("f*"), false);
    ASSERT_EQ(files.size(), static_cast<size_t>(kFiles));
    EXPECT_EQ(files.front(), "f0000");
    EXPECT_EQ(files.back(), "f0299");
}

TEST_F(FileTreeTest, RecordingsAreJoinedWithSlash) {
    const Strings expected = {m_root + "//rec one.oni", m_root + "//rec.xns"};
    EXPECT_EQ(GetRecordingsFromDirectory(m_root), expected);

    Strings extended = {"first"};
    GetRecordingsFromDirectory(m_root, extended);
    EXPECT_EQ(extended, Strings({"first", expected[0], expected[1]}));
}

TEST_F(FileTreeTest, SubdirectoriesByNameOrPath) {
    EXPECT_EQ(GetSubdirectories(m_root, false), Strings({"sub one", "sub two"}));
    EXPECT_EQ(GetSubdirectories(m_root, true), Strings({m_root + "/sub one", m_root + "/sub two"}));
    EXPECT_TRUE(GetSubdirectories(m_root + "/sub two", false).empty());
}

TEST_F(FileTreeTest, FindFilesByDepth) {
    struct Case {
        int32_t depth;
        Strings expected;
    };
    const Case cases[] = {
        {0, {"a.txt"}},
        {-2, {"a.txt"}},
        {1, {"a.txt", "sub one/c.txt"}},
        {2, {"a.txt", "sub one/c.txt", "sub one/deeper/d.txt"}},
        {-1, {"a.txt", "sub one/c.txt", "sub one/deeper/d.txt"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindFiles(m_root, "*.txt", c.depth, false), c.expected) << "depth " << c.depth;
    }
    EXPECT_EQ(FindFiles(m_root, "*.txt", 1, true), Strings({m_root + "/a.txt", m_root + "/sub one/c.txt"}));
    // Directories match the pattern too but are not files.
    EXPECT_TRUE(FindFiles(m_root, "sub*", -1, false).empty());
}

TEST_F(FileTreeTest, FindFilesStopsAtDirectoryLinkLoops) {
    ASSERT_EQ(symlink("..", (m_root + "/sub one/back up").c_str()), 0);
    EXPECT_EQ(FindFiles(m_root, "*.txt", -1, false),
              Strings({"a.txt", "sub one/c.txt", "sub one/deeper/d.txt"}));
}

TEST_F(FileTreeTest, PathTests) {
    struct Case {
        std::string path;
        bool regular;
        bool directory;
        bool exists;
    };
    const Case cases[] = {
        {m_root + "/a.txt", true, false, true},
        {m_root + "/sub one", false, true, true},
        {m_root + "/nothing", false, false, false},
        {"", false, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsRegularFile(c.path), c.regular) << c.path;
        EXPECT_EQ(IsDirectory(c.path), c.directory) << c.path;
        EXPECT_EQ(DirectoryExists(c.path), c.directory) << c.path;
        // A directory opens as an input stream on Linux.
        EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
        EXPECT_EQ(IsFileExists(c.path), c.exists) << c.path;
    }
}

TEST(FileLengthTest, LengthsOfPathsAndStreams) {
    TempDir temp;
    WriteWholeFile(temp.File("ten"), "0123456789");
    WriteWholeFile(temp.File("empty"), "");
    EXPECT_EQ(FileLength(temp.File("ten")), 10);
    EXPECT_EQ(FileLength(temp.File("empty")), 0);
    EXPECT_EQ(FileLength(temp.File("missing")), 0);

    std::ifstream stream(temp.File("ten"), std::ios::binary);
    stream.seekg(3);
    EXPECT_EQ(FileLength(stream), 10);
    EXPECT_EQ(stream.tellg(), 3);  // the read position is kept
    stream.setstate(std::ios::failbit);
    EXPECT_EQ(FileLength(stream), 0);
}

TEST(FileLengthTest, FilesThatCannotBeWrittenHaveTheirLength) {
    TempDir temp;
    const std::string readOnly = temp.File("read only");
    WriteWholeFile(readOnly, "abc");
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    EXPECT_EQ(FileLength(readOnly), 3);

    // The running executable refuses writers even to root (ETXTBSY).
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof(self) - 1), 0);
    ASSERT_EQ(open(self, O_RDWR), -1);
    struct stat info;
    ASSERT_EQ(stat(self, &info), 0);
    EXPECT_EQ(FileLength(std::string(self)), static_cast<int32_t>(info.st_size));
}

TEST(FileCompareTest, LengthsAndContents) {
    TempDir temp;
    WriteWholeFile(temp.File("abc"), "abc");
    WriteWholeFile(temp.File("abd"), "abd");
    WriteWholeFile(temp.File("ab"), "ab");
    WriteWholeFile(temp.File("empty1"), "");
    WriteWholeFile(temp.File("empty2"), "");
    const std::string missing = temp.File("missing");

    struct Case {
        const char* a;
        const char* b;
        int32_t lengthOrder;
        bool identical;
    };
    const Case cases[] = {
        {"abc", "abc", 0, true},  {"abc", "abd", 0, false}, {"ab", "abc", -1, false},
        {"abc", "ab", 1, false},  {"empty1", "empty2", 0, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareFileLengths(temp.File(c.a), temp.File(c.b)), c.lengthOrder) << c.a << " " << c.b;
        EXPECT_EQ(FilesAreIdentical(temp.File(c.a), temp.File(c.b)), c.identical) << c.a << " " << c.b;
    }
    EXPECT_EQ(CompareFileLengths(missing, temp.File("abc")), -1);
    EXPECT_EQ(CompareFileLengths(missing, missing), -1);
    EXPECT_EQ(CompareFileLengths(temp.File("abc"), missing), -1);
    EXPECT_FALSE(FilesAreIdentical(missing, missing));

    std::ifstream a(temp.File("ab")), b(temp.File("abc"));
    EXPECT_EQ(CompareFileLengths(b, a), 1);
}

TEST(FileTimeTest, SortByModificationTimeWhileHelpersStayInert) {
    TempDir temp;
    const Strings names = {"old", "new", "middle"};
    const long long seconds[] = {1000, 3000, 2000};
    for (size_t i = 0; i < names.size(); ++i) {
        WriteWholeFile(temp.File(names[i]), "");
        const struct timespec times[2] = {{seconds[i], 0}, {seconds[i], 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, temp.File(names[i]).c_str(), times, 0), 0);
    }
    Strings files = {temp.File("new"), temp.File("old"), temp.File("middle")};
    SortFilesByTime(files, true);
    EXPECT_EQ(files, Strings({temp.File("old"), temp.File("middle"), temp.File("new")}));
    SortFilesByTime(files, false);
    EXPECT_EQ(files, Strings({temp.File("new"), temp.File("middle"), temp.File("old")}));

    EXPECT_EQ(CompareFileTimes(temp.File("old"), temp.File("new")), 0);
    EXPECT_FALSE(CompareFileTimeHelper(temp.File("old"), temp.File("new")));
    EXPECT_FALSE(CompareFileTimeHelper(temp.File("new"), temp.File("old")));
}

TEST(UniqueNameTest, CountsUpFromOne) {
    TempDir temp;
    const std::string fixed = temp.File("fixed.txt");
    WriteWholeFile(fixed, "");
    EXPECT_EQ(GetUniqueFilename(fixed), fixed);

    const std::string pattern = temp.File("run %d.txt");
    EXPECT_EQ(GetUniqueFilename(pattern), temp.File("run 1.txt"));
    WriteWholeFile(temp.File("run 1.txt"), "");
    WriteWholeFile(temp.File("run 2.txt"), "");
    EXPECT_EQ(GetUniqueFilename(pattern), temp.File("run 3.txt"));

    // Directories count for directory names only.
    EXPECT_EQ(GetUniqueDirectoryName(pattern), temp.File("run 1.txt"));
    ASSERT_EQ(mkdir(temp.File("dir1").c_str(), 0755), 0);
    EXPECT_EQ(GetUniqueDirectoryName(temp.File("dir%d")), temp.File("dir2"));
}

TEST(UniqueNameTest, PatternIsNotUsedAsAFormat) {
    TempDir temp;
    EXPECT_EQ(GetUniqueFilename(temp.File("a%s%n_%d")), temp.File("a%s%n_1"));
    EXPECT_EQ(GetUniqueFilename(temp.File("100%%_%d")), temp.File("100%_1"));
    const std::string longPattern = temp.File(std::string(3000, 'x') + "%d");
    EXPECT_EQ(GetUniqueFilename(longPattern), temp.File(std::string(3000, 'x') + "1"));
}

TEST(FileLinesTest, LinesKeepTheirBytes) {
    TempDir temp;
    struct Case {
        std::string content;
        Strings lines;
    };
    const Case cases[] = {
        {"one\ntwo\n", {"one", "two"}},
        {"one\ntwo", {"one", "two"}},
        {"one\r\ntwo\r\n", {"one\r", "two\r"}},
        {"\n\nx", {"", "", "x"}},
        {"", {}},
    };
    for (const Case& c : cases) {
        WriteWholeFile(temp.File("lines"), c.content);
        EXPECT_EQ(GetLinesFromFile(temp.File("lines")), c.lines);
    }
    EXPECT_TRUE(GetLinesFromFile(temp.File("missing")).empty());
}

TEST(PathSplitTest, ParentDirectoryAndBasename) {
    struct Case {
        const char* path;
        const char* parent;
        const char* base;
    };
    const Case cases[] = {
        {"file.txt", "", "file"},
        {"dir/file.txt", "dir/", "dir/file"},
        {"dir\\file.txt", "dir\\", "dir\\file"},
        {"my.dir/file", "my.dir/", "my.dir/file"},
        {"my.dir\\file", "my.dir\\", "my.dir\\file"},
        {"dir/", "dir/", "dir/"},
        {"a/b/archive.tar.gz", "a/b/", "a/b/archive.tar"},
        {"noext", "", "noext"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetParentDirectory(c.path), c.parent) << c.path;
        EXPECT_EQ(GetBasename(c.path), c.base) << c.path;
    }
}

TEST(WorkingDirectoryTest, ReadAndChange) {
    TempDir temp;
    const std::string target = temp.File("with blank");
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    const std::string before = GetCurrentWorkingDirectory();
    ASSERT_FALSE(before.empty());

    ChangeDirectory(target);
    char real[PATH_MAX];
    ASSERT_NE(realpath(target.c_str(), real), nullptr);
    EXPECT_EQ(GetCurrentWorkingDirectory(), real);

    testing::internal::CaptureStderr();
    ChangeDirectory(temp.File("missing"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ERROR: ChangeDirectory to " + temp.File("missing") + " failed!\n");
    EXPECT_EQ(GetCurrentWorkingDirectory(), real);
    ChangeDirectory(before);
}

TEST(CreateDirectoryTest, NothingToDoPrintsNothing) {
    TempDir temp;
    testing::internal::CaptureStdout();
    EXPECT_TRUE(CreateDirectoryIfNecessary("", true));
    EXPECT_TRUE(CreateDirectoryIfNecessary(temp.Path(), true));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(CreateDirectoryTest, CreatesEveryMissingLevelLiterally) {
    TempDir temp;
    // Blanks and shell syntax are plain characters of the names.
    const std::string path = temp.File("out dir/$(touch injected); echo x/last level/");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(CreateDirectoryIfNecessary(path, true));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Attempting to create directory using commandline 'mkdir -p " + path + "'\nSuccess\n");
    EXPECT_TRUE(IsDirectory(temp.File("out dir/$(touch injected); echo x/last level")));
    EXPECT_FALSE(FileExists("injected"));
    EXPECT_FALSE(FileExists(temp.File("injected")));
}

TEST(CreateDirectoryTest, FailureReturnsFalse) {
    TempDir temp;
    WriteWholeFile(temp.File("plain file"), "");
    const std::string path = temp.File("plain file/sub");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(CreateDirectoryIfNecessary(path, false));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Attempting to create directory using commandline 'mkdir -p " + path +
                  "'\nCreating directory, Failed!\n");
}

// Runs in the death-test child: standard input is a pipe nobody writes to, so
// a read would hang until the alarm kills the child.
void CreateWithStdinThatNeverAnswers(const std::string& path, const std::string& output) {
    int fds[2];
    if (pipe(fds) != 0 || dup2(fds[0], STDIN_FILENO) < 0) {
        _exit(3);
    }
    if (std::freopen(output.c_str(), "w", stdout) == nullptr) {
        _exit(4);
    }
    alarm(10);
    CreateDirectoryIfNecessary(path, true);
    _exit(5);
}

TEST(CreateDirectoryDeathTest, FailureEndsTheProcessWithoutReadingInput) {
    // The child must write to this test's folder, not a fresh run's.
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir temp;
    WriteWholeFile(temp.File("plain file"), "");
    const std::string path = temp.File("plain file/sub");
    const std::string output = temp.File("stdout.txt");
    EXPECT_EXIT(CreateWithStdinThatNeverAnswers(path, output), ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(ReadWholeFile(output), "Attempting to create directory using commandline 'mkdir -p " + path +
                                         "'\nCreating directory, Failed!\nExiting.\n");
}

TEST(FileCopyDeathTest, IsNotImplemented) {
    EXPECT_EXIT(MyCopyFile("a", "b", true), ::testing::ExitedWithCode(1),
                "NOT IMPLEMENTED: function 'MyCopyFile' file 'QuorLibrary/Utilities/FileUtilities' line 11");
}

}  // namespace
