#include "QuorLibrary/Utilities/Array3D.h"

#include <gtest/gtest.h>

#include "QuorLibrary/Math/Vector3D.h"

namespace {

TEST(Array3DTest, LastIndexVariesFastest) {
    Array3D<int> volume;
    volume.SetSize(2, 3, 4);
    EXPECT_EQ(24, volume.Size());
    EXPECT_EQ(2, volume.Dim0());
    EXPECT_EQ(3, volume.Dim1());
    EXPECT_EQ(4, volume.Dim2());
    for (int i = 0; i < 24; ++i) {
        volume[i] = i;
    }
    EXPECT_EQ((1 * 3 + 2) * 4 + 3, volume(1, 2, 3));
    EXPECT_EQ(1, volume(0, 0, 1));
    EXPECT_EQ(4, volume(0, 1, 0));
    EXPECT_EQ(12, volume(1, 0, 0));
}

TEST(Array3DTest, SetSizeGrowsWithoutKeepingAndCopiesAreDeep) {
    Array3D<Vector3D<int>> volume;
    volume.SetSize(2, 2, 2);
    volume(1, 1, 1) = Vector3D<int>(1, 2, 3);
    const Vector3D<int>* storage = volume.Data();
    volume.SetSize(1, 2, 3);
    EXPECT_EQ(storage, volume.Data());
    EXPECT_EQ(6, volume.Size());

    volume.SetSize(3, 3, 3);
    EXPECT_EQ(27, volume.Capacity());
    EXPECT_EQ(Vector3D<int>(0, 0, 0), volume(1, 1, 1));
    volume(2, 1, 0) = Vector3D<int>(4, 5, 6);

    Array3D<Vector3D<int>> copy(volume);
    EXPECT_EQ(Vector3D<int>(4, 5, 6), copy(2, 1, 0));
    EXPECT_NE(volume.Data(), copy.Data());

    Array3D<Vector3D<int>> assigned;
    assigned.SetSize(1, 1, 1);
    assigned = volume;
    EXPECT_EQ(3, assigned.Dim0());
    EXPECT_EQ(27, assigned.Size());
    EXPECT_EQ(Vector3D<int>(4, 5, 6), assigned(2, 1, 0));
}

}  // namespace
