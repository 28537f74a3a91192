// An application's view of libVela2.so: the public header alone and the
// exported functions.

#include <Vela.h>
#include <gtest/gtest.h>

#include "TempDir.h"

namespace {

TEST(VelaSharedLibraryTest, LibraryFunctionsAreExported) {
    const VelaVersion version = velaGetVersion();
    EXPECT_EQ(2, version.major);
    EXPECT_EQ(2, version.minor);
    EXPECT_EQ(0, version.maintenance);
    EXPECT_EQ(11, version.build);

    vela_test::TempDir dir;
    vela_test::ScopedCwd cwd(dir.Path());
    EXPECT_EQ(VELA_STATUS_OK, velaInitialize());
    velaShutdown();
}

}  // namespace
