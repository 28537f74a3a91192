// The INI operations that work on the file on disk, the writers that are not
// provided, and the cache under concurrent readers.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "QuorLibrary/Utilities/SimpleINI.h"
#include "TempDir.h"

namespace {

using Strings = std::vector<std::string>;
using vela_test::ReadWholeFile;
using vela_test::TempDir;
using vela_test::WriteWholeFile;

TEST(IniRepeatedKeysTest, EveryMatchingLineOfEveryBlock) {
    TempDir temp;
    const std::string file = temp.File("repeated.ini");
    WriteWholeFile(file,
                   "Item=orphan\n[Sec]\nItem=a\n  Item = b \t\r\nItemX=c\nOther=d\nItem\n; Item=comment?\n"
                   "[Other]\nItem=e\n[Sec]\nItem=f=g\n");
    Strings values = {"stale"};
    EXPECT_TRUE(ReadFromINIRepeatedKeys(file, "Sec", "Item", values));
    // Prefix matching: "ItemX" counts too; comments are not recognised here.
    EXPECT_EQ(values, Strings({"a", "b", "c", "f=g"}));

    values = {"stale"};
    EXPECT_TRUE(ReadFromINIRepeatedKeys(temp.File("missing.ini"), "Sec", "Item", values));
    EXPECT_TRUE(values.empty());
}

TEST(IniRemoveSectionTest, DropsEveryBlockAndEndsEveryLineWithLf) {
    TempDir temp;
    const std::string file = temp.File("remove.ini");
    WriteWholeFile(file, "top=0\n[A]\nx=1\n[B]\r\ny=2\r\n  [A]  \nz=3\n[C]\nw=4");
    EXPECT_TRUE(RemoveSectionFromINI(file, "A"));
    EXPECT_EQ(ReadWholeFile(file), "top=0\n[B]\r\ny=2\r\n[C]\nw=4\n");

    EXPECT_FALSE(RemoveSectionFromINI(file, "Missing"));
    EXPECT_EQ(ReadWholeFile(file), "top=0\n[B]\r\ny=2\r\n[C]\nw=4\n");
}

TEST(IniRemoveSectionTest, CacheKeepsTheTextLoadedBefore) {
    TempDir temp;
    const std::string file = temp.File("cached.ini");
    WriteWholeFile(file, "[A]\nx=1\n");
    int x = 0;
    ASSERT_TRUE(ReadFromINI(file, "A", "x", x, false));
    ASSERT_TRUE(RemoveSectionFromINI(file, "A"));
    x = 0;
    EXPECT_TRUE(ReadFromINI(file, "A", "x", x, false));
    EXPECT_EQ(x, 1);
}

TEST(IniRemoveSectionTest, MissingFileIsNotCreated) {
    TempDir temp;
    const std::string file = temp.File("missing.ini");
    EXPECT_FALSE(RemoveSectionFromINI(file, "A"));
    EXPECT_NE(access(file.c_str(), F_OK), 0);
}

// Death-test child: drops root (which reads anything) and tries to remove a
// section from a file it may write but not read.
void RemoveFromWriteOnlyFile(const std::string& file) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        _exit(3);
    }
    _exit(RemoveSectionFromINI(file, "A") ? 10 : 11);
}

// True when every folder above path lets others pass (the child may drop root).
bool PassableByOthers(std::string path) {
    while (!path.empty() && path != "/") {
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) {
            return false;
        }
        path = path.substr(0, path.find_last_of('/'));
    }
    return true;
}

TEST(IniRemoveSectionDeathTest, UnreadableFileIsLeftAlone) {
    // The child must see this test's file, not a fresh run's.
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir temp;
    const std::string file = temp.File("write only.ini");
    const std::string content = "[A]\nx=1\n[B]\ny=2\n";
    WriteWholeFile(file, content);
    ASSERT_EQ(chmod(temp.Path().c_str(), 0755), 0);
    if (geteuid() == 0 && !PassableByOthers(temp.Path())) {
        GTEST_SKIP() << "the temporary folder cannot be reached without root";
    }
    ASSERT_EQ(chmod(file.c_str(), 0222), 0);
    EXPECT_EXIT(RemoveFromWriteOnlyFile(file), ::testing::ExitedWithCode(11), "");
    chmod(file.c_str(), 0644);
    EXPECT_EQ(ReadWholeFile(file), content);

    // A path that opens but cannot be read (a directory) is not rewritten either.
    EXPECT_FALSE(RemoveSectionFromINI(temp.Path(), "A"));
}

TEST(IniWriterDeathTest, WritersAreNotImplemented) {
    EXPECT_EXIT(WriteStringToINI("f.ini", "S", "K", "v"), ::testing::ExitedWithCode(1),
                "NOT IMPLEMENTED: function 'WriteStringToINI' file 'QuorLibrary/Utilities/SimpleINI' line 22");
    EXPECT_EXIT(WriteIntToINI("f.ini", "S", "K", 1), ::testing::ExitedWithCode(1),
                "NOT IMPLEMENTED: function 'WriteIntToINI' file 'QuorLibrary/Utilities/SimpleINI' line 33");
}

TEST(IniCacheTest, ConcurrentFirstReadsOfManyFiles) {
    TempDir temp;
    const int kFiles = 200;
    const int kThreads = 8;
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(temp.File("file" + std::to_string(i) + ".ini"));
        WriteWholeFile(files.back(), "[S]\nValue=" + std::to_string(i) + "\n");
    }
    std::atomic<int> ready(0);
    std::atomic<int> mismatches(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Start together so that first loads of the same files collide.
            ++ready;
            while (ready.load() < kThreads) {
            }
            for (int k = 0; k < kFiles; ++k) {
                const int i = (t % 2 == 0) ? k : kFiles - 1 - k;
                int value = -1;
                if (!ReadFromINI(files[i], "S", "Value", value, false) || value != i) {
                    ++mismatches;
                }
                if (t == 0 && k % 50 == 0) {
                    INIFileCache::GetInstance().LoadFileIntoCache(files[i]);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
