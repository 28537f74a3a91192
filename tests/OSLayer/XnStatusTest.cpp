#include <gtest/gtest.h>

#include "OSLayer/XnStatus.h"

namespace {

TEST(XnStatus, OnlySuccessIsRegisteredAtLoad) {
    EXPECT_STREQ("OK", xnGetStatusString(XN_STATUS_OK));
    EXPECT_STREQ("((XnStatus)0)", xnGetStatusName(XN_STATUS_OK));
    // A failure code of an unregistered group, and an unregistered code of a
    // registered group, read alike.
    for (XnStatus status : {XN_STATUS_OS_FILE_NOT_FOUND, XN_STATUS_ERROR, (XnStatus)5}) {
        EXPECT_STREQ("Unknown Zelto Status!", xnGetStatusString(status)) << std::hex << status;
        EXPECT_STREQ("Unknown Zelto Status!", xnGetStatusName(status)) << std::hex << status;
        EXPECT_EQ(nullptr, xnGetErrorCodeData(status));
    }
}

TEST(XnStatus, RegistrationAddsAndReplacesCodes) {
    const XnErrorCodeData ab[] = {{0, "A", "message A"}, {0, "B", "message B"}};
    ASSERT_EQ(XN_STATUS_OK, xnRegisterErrorCodeMessages(7, 3, 2, ab));
    EXPECT_STREQ("message A", xnGetStatusString(XN_STATUS_MAKE(7, 3)));
    EXPECT_STREQ("B", xnGetStatusName(XN_STATUS_MAKE(7, 4)));
    EXPECT_EQ(4u, xnGetErrorCodeData(XN_STATUS_MAKE(7, 4))->nCode);  // the code within its group

    const XnErrorCodeData c[] = {{0, "C", "message C"}};
    ASSERT_EQ(XN_STATUS_OK, xnRegisterErrorCodeMessages(7, 4, 1, c));
    EXPECT_STREQ("message C", xnGetStatusString(XN_STATUS_MAKE(7, 4)));
    EXPECT_STREQ("message A", xnGetStatusString(XN_STATUS_MAKE(7, 3)));
}

TEST(XnStatus, RegistrationCopiesTheTexts) {
    char name[] = "name";
    char message[] = "message";
    const XnErrorCodeData record[] = {{0, name, message}};
    ASSERT_EQ(XN_STATUS_OK, xnRegisterErrorCodeMessages(8, 1, 1, record));
    name[0] = message[0] = 'X';
    EXPECT_STREQ("message", xnGetStatusString(XN_STATUS_MAKE(8, 1)));
    EXPECT_STREQ("name", xnGetStatusName(XN_STATUS_MAKE(8, 1)));
}

TEST(XnStatus, RegistrationEdgeCases) {
    EXPECT_EQ(XN_STATUS_NULL_OUTPUT_PTR, xnRegisterErrorCodeMessages(9, 0, 1, nullptr));
    const XnErrorCodeData none[] = {{0, "unused", "unused"}};
    EXPECT_EQ(XN_STATUS_OK, xnRegisterErrorCodeMessages(9, 0, 0, none));
    EXPECT_EQ(nullptr, xnGetErrorCodeData(XN_STATUS_MAKE(9, 0)));
    // Codes past 0xFFFF wrap within the group.
    const XnErrorCodeData two[] = {{0, "last", "last"}, {0, "wrapped", "wrapped"}};
    EXPECT_EQ(XN_STATUS_OK, xnRegisterErrorCodeMessages(10, 0xFFFF, 2, two));
    EXPECT_STREQ("wrapped", xnGetStatusString(XN_STATUS_MAKE(10, 0)));
}

TEST(XnStatus, PrintErrorWritesPrefixAndMessage) {
    testing::internal::CaptureStdout();
    xnPrintError(XN_STATUS_OK, "init");
    xnPrintError(XN_STATUS_OS_FILE_NOT_FOUND, "open");
    EXPECT_EQ("init: OK\nopen: Unknown Zelto Status!\n", testing::internal::GetCapturedStdout());
}

}  // namespace
