#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "OSLayer/XnOS.h"

namespace {

TEST(XnOSStrings, CopyAndAppendRespectTheCapacity) {
    char dst[8] = "keep";
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSStrCopy(dst, "abc", 3));
    EXPECT_STREQ("keep", dst);
    EXPECT_EQ(XN_STATUS_OK, xnOSStrCopy(dst, "abc", 4));
    EXPECT_STREQ("abc", dst);
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSStrCopy(nullptr, "abc", 4));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSStrCopy(dst, nullptr, 4));

    char two[8] = "ab";
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSStrAppend(two, "cd", 4));
    EXPECT_STREQ("ab", two);
    EXPECT_EQ(XN_STATUS_OK, xnOSStrAppend(two, "cd", 5));
    EXPECT_STREQ("abcd", two);
}

TEST(XnOSStrings, CopyPadsWithZeros) {
    char dst[6];
    memset(dst, 'x', sizeof(dst));
    ASSERT_EQ(XN_STATUS_OK, xnOSStrCopy(dst, "ab", sizeof(dst)));
    for (size_t i = 2; i < sizeof(dst); ++i) {
        EXPECT_EQ('\0', dst[i]) << i;
    }
}

TEST(XnOSStrings, NCopyAddsNoTerminatorForLongSources) {
    char dst[6] = "zzzzz";
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSStrNCopy(dst, "abc", 7, 6));
    ASSERT_EQ(XN_STATUS_OK, xnOSStrNCopy(dst, "abcdef", 3, 6));
    EXPECT_EQ(0, memcmp(dst, "abczz", 6));
    ASSERT_EQ(XN_STATUS_OK, xnOSStrNCopy(dst, "a", 3, 6));
    EXPECT_EQ(0, memcmp(dst, "a\0\0zz", 6));
}

TEST(XnOSStrings, PrefixPutsTextInFront) {
    char text[10] = "tail";
    EXPECT_EQ(XN_STATUS_OK, xnOSStrPrefix("head/", text, sizeof(text)));
    EXPECT_STREQ("head/tail", text);
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSStrPrefix("x", text, sizeof(text)));
    EXPECT_STREQ("head/tail", text);
}

TEST(XnOSStrings, FormatReportsOnlyWhatFits) {
    char buf[16];
    XnUInt32 written = 99;
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL, xnOSStrFormat(buf, 10, &written, "%s", "0123456789"));
    EXPECT_EQ(0u, written);
    EXPECT_STREQ("012345678", buf);
    EXPECT_EQ(XN_STATUS_OK, xnOSStrFormat(buf, 11, &written, "%s", "0123456789"));
    EXPECT_EQ(10u, written);
    EXPECT_STREQ("0123456789", buf);
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSStrFormat(buf, 11, nullptr, "x"));
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSStrFormat(nullptr, 11, &written, "x"));
}

TEST(XnOSStrings, Crc32) {
    struct Case {
        const char* text;
        XnUInt32 crc;
    } cases[] = {{"", 0u}, {"123456789", 0xCBF43926u}, {"a", 0xE8B7BE43u},
                 {"The quick brown fox jumps over the lazy dog", 0x414FA339u}};
    for (const Case& c : cases) {
        XnUInt32 crc = 1;
        ASSERT_EQ(XN_STATUS_OK, xnOSStrCRC32(c.text, &crc));
        EXPECT_EQ(c.crc, crc) << c.text;
        XnUInt32 ncrc = 1;
        ASSERT_EQ(XN_STATUS_OK, xnOSStrNCRC32((const XnUInt8*)c.text, (XnUInt32)strlen(c.text), &ncrc));
        EXPECT_EQ(crc, ncrc) << c.text;
    }
    // Bytes above 127 count as unsigned.
    const XnUInt8 high[] = {0xFF};
    XnUInt32 crc = 0;
    ASSERT_EQ(XN_STATUS_OK, xnOSStrNCRC32(high, 1, &crc));
    EXPECT_EQ(0xFF000000u, crc);
    EXPECT_EQ(XN_STATUS_NULL_INPUT_PTR, xnOSStrCRC32(nullptr, &crc));
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnOSStrCRC32("x", nullptr));
}

TEST(XnOSStrings, IntegerToText) {
    struct Case {
        XnInt32 value;
        XnInt32 base;
        const char* text;
    } cases[] = {
        {-255, 16, "-ff"},       {0, 2, "0"},          {255, 36, ""},         {255, 1, ""},
        {255, 35, "7a"},         {5, 2, "101"},        {123456, 10, "123456"},
        {-2147483647 - 1, 10, "-2147483648"},          {-2147483647 - 1, 16, "-80000000"},
        {2147483647, 2, "1111111111111111111111111111111"},
        {-2147483647 - 1, 2, "-10000000000000000000000000000000"},
    };
    for (const Case& c : cases) {
        char dst[34];
        memset(dst, 'x', sizeof(dst));
        xnOSItoA(c.value, dst, c.base);
        EXPECT_STREQ(c.text, dst) << c.value << " base " << c.base;
    }
}

TEST(XnOSStrings, CompareAndEnvironment) {
    EXPECT_EQ(0, xnOSStrCmp("abc", "abc"));
    EXPECT_LT(xnOSStrCmp("abc", "abd"), 0);
    EXPECT_NE(0, xnOSStrCmp("abc", "ABC"));
    EXPECT_EQ(0, xnOSStrCaseCmp("abc", "ABC"));
    EXPECT_EQ((XnInt32)XN_STATUS_NULL_INPUT_PTR, xnOSStrCmp(nullptr, "a"));
    EXPECT_EQ(0u, xnOSStrLen(nullptr));
    EXPECT_EQ(3u, xnOSStrLen("abc"));

    char value[8];
    setenv("VELA_TEST_VARIABLE", "short", 1);
    EXPECT_EQ(XN_STATUS_OK, xnOSGetEnvironmentVariable("VELA_TEST_VARIABLE", value, sizeof(value)));
    EXPECT_STREQ("short", value);
    setenv("VELA_TEST_VARIABLE", "much too long", 1);
    EXPECT_EQ(XN_STATUS_INTERNAL_BUFFER_TOO_SMALL,
              xnOSGetEnvironmentVariable("VELA_TEST_VARIABLE", value, sizeof(value)));
    unsetenv("VELA_TEST_VARIABLE");
    EXPECT_EQ(XN_STATUS_OS_ENV_VAR_NOT_FOUND, xnOSGetEnvironmentVariable("VELA_TEST_VARIABLE", value, sizeof(value)));
}

TEST(XnOSMemory, AlignedBlocksAndByteOrder) {
    XnUInt8* p = (XnUInt8*)xnOSCallocAligned(1000, 4, 16);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, (uintptr_t)p % 16);
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(0, p[i]);
    }
    xnOSFreeAligned(p);
    xnOSFree(nullptr);
    xnOSFreeAligned(nullptr);

    void* q = xnOSMallocAligned(24, 64);
    ASSERT_NE(nullptr, q);
    EXPECT_EQ(0u, (uintptr_t)q % 64);
    xnOSFree(q);  // aligned and plain blocks share one release

    EXPECT_EQ(0x0807060504030201ull, xnOSEndianSwapUINT64(0x0102030405060708ull));
    EXPECT_EQ(0x04030201u, xnOSEndianSwapUINT32(0x01020304u));
    EXPECT_EQ(0x0201, xnOSEndianSwapUINT16(0x0102));
    EXPECT_EQ(1.0f, xnOSEndianSwapFLOAT(xnOSEndianSwapFLOAT(1.0f)));
    XnFloat swapped = xnOSEndianSwapFLOAT(1.0f);  // 0x3F800000 -> 0x0000803F
    XnUInt32 bits;
    memcpy(&bits, &swapped, sizeof(bits));
    EXPECT_EQ(0x0000803Fu, bits);
}

TEST(XnOSMemory, UnsupportedReallocLeavesTheBlock) {
    void* p = xnOSMallocAligned(16, 16);
    EXPECT_EQ(nullptr, xnOSReallocAligned(p, 32, 16));
    EXPECT_EQ(nullptr, xnOSRecalloc(p, 2, 16));
    xnOSFreeAligned(p);
}

}  // namespace
