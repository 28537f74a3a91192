#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SceneRenderer/SensorModel.h"

namespace {

using vela::scene::SensorModel;
using vela::scene::SensorParameters;

TEST(SensorModel, DefaultTablesHaveTheServedSizesAndEnds) {
    SensorModel sensor;
    const auto& s2d = sensor.ShiftToDepthTable();
    const auto& d2s = sensor.DepthToShiftTable();
    ASSERT_EQ(2048u, s2d.size());
    ASSERT_EQ(10001u, d2s.size());
    EXPECT_EQ(0, s2d[0]);
    EXPECT_EQ(0, d2s[0]);
    // Rounding the deepest depth down lands on a shift whose depth stays
    // inside the range; rounding to nearest would give shift 1055, 10041 mm.
    EXPECT_EQ(1054, d2s[10000]);
    EXPECT_EQ(9757, s2d[1054]);
    EXPECT_EQ(0, s2d[1055]);
    EXPECT_EQ(0, s2d[2047]);
    EXPECT_NEAR(75.0, sensor.BaselineMm(), 1e-12);
    EXPECT_NEAR(36000.0 / (113.5163 - 0.1042 * 1054.0), sensor.DepthOfShift(1054.0), 1e-9);
}

TEST(SensorModel, TablesAreMonotoneAndQuantisedDepthNeverExceedsTheTruth) {
    SensorModel sensor;
    const auto& s2d = sensor.ShiftToDepthTable();
    const auto& d2s = sensor.DepthToShiftTable();
    for (int z = 401; z <= 10000; ++z) ASSERT_LE(d2s[z - 1], d2s[z]) << z;
    for (int s = 2; s <= d2s[10000]; ++s) ASSERT_LE(s2d[s - 1], s2d[s]) << s;
    for (int z = 400; z <= 10000; ++z) {
        const uint16_t q = sensor.Measure(z, 0.0, true);
        ASSERT_GT(q, 0) << z;
        ASSERT_LE(q, z) << z;
        ASSERT_LE(q, sensor.MaxDepth());
        // Within one shift step: the next shift's depth lies beyond z.
        ASSERT_GT(sensor.DepthOfShift(d2s[z] + 1.0), z - 0.5) << z;
        // The device's tables and the closed form agree within a shift.
        EXPECT_LT(std::fabs(sensor.ShiftOfDepth(z) - d2s[z]), 1.0);
    }
}

TEST(SensorModel, RangeLimits) {
    SensorModel sensor;
    const double nearest = sensor.MinDepth();
    EXPECT_GT(nearest, 300);
    EXPECT_LT(nearest, 400);
    struct Case {
        double depth;
        bool quantise;
        bool hasDepth;
    };
    const Case cases[] = {
        {0.0, true, false},      {-5.0, false, false},     {nearest - 1.0, true, false}, {nearest - 1.0, false, false},
        {nearest, true, true},   {nearest, false, true},   {10000.0, true, true},        {10000.4, false, true},
        {10000.6, true, false},  {10000.6, false, false},  {20000.0, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.hasDepth, sensor.Measure(c.depth, 0.0, c.quantise) != 0) << c.depth << " " << c.quantise;
    }
    EXPECT_EQ(2345, sensor.Measure(2345.2, 0.0, false));
}

TEST(SensorModel, NoiseMovesDepthByShiftSteps) {
    SensorModel sensor;
    const double z = 2000.0;
    const double plain = sensor.Measure(z, 0.0, false);
    // Half a shift unit at 2 m is about z^2 / E / 2 millimetres.
    const double step = z * z / 345489.44;
    EXPECT_NEAR(plain + 0.5 * step, sensor.Measure(z, 0.5, false), 1.0);
    EXPECT_NEAR(plain - 0.5 * step, sensor.Measure(z, -0.5, false), 1.0);
    // Quantised: the noisy shift is rounded down through the table.
    const uint16_t shift = sensor.DepthToShiftTable()[2000];
    EXPECT_EQ(sensor.ShiftToDepthTable()[shift + 2], sensor.Measure(z, 2.0, true));
}

TEST(SensorModel, RejectsParametersWithoutMeasurableDepth) {
    SensorModel sensor;
    std::string error;
    SensorParameters p;
    p.nParamCoeff = 0;
    EXPECT_FALSE(sensor.Init(p, &error));
    EXPECT_FALSE(error.empty());
    p = SensorParameters();
    p.nDeviceMaxShiftValue = 0;
    EXPECT_FALSE(sensor.Init(p, &error));
    p = SensorParameters();
    p.nDeviceMaxDepthValue = 200;  // nearer than any shift reaches
    EXPECT_FALSE(sensor.Init(p, &error));
    p = SensorParameters();
    p.dZeroPlanePixelSize = NAN;
    EXPECT_FALSE(sensor.Init(p, &error));
    // A failed Init keeps the previous tables.
    EXPECT_EQ(2048u, sensor.ShiftToDepthTable().size());
    p = SensorParameters();
    p.nDeviceMaxDepthValue = 4000;
    ASSERT_TRUE(sensor.Init(p, &error)) << error;
    EXPECT_EQ(4001u, sensor.DepthToShiftTable().size());
    EXPECT_EQ(0, sensor.Measure(4001.0, 0.0, true));
    EXPECT_LE(sensor.Measure(4000.0, 0.0, true), 4000);
}

// One row: background at zb with an object at zn over [first, last].
std::vector<uint8_t> ShadowOfStep(double zn, double zb, int first, int last, int count, double k, double projectorX) {
    std::vector<double> depth(count, zb), rayX(count);
    for (int i = 0; i < count; ++i) rayX[i] = (i - count / 2) * k;
    for (int i = first; i <= last; ++i) depth[i] = zn;
    std::vector<uint8_t> shadow(count, 0);
    SensorModel::MarkProjectorShadow(depth.data(), rayX.data(), count, projectorX, shadow.data());
    return shadow;
}

TEST(SensorModel, ShadowBandLiesAwayFromTheProjectorWithTheBaselineWidth) {
    const double k = 0.0035;
    const double zn = 1000.0, zb = 3000.0;
    const double expected = 75.0 / k * (1.0 / zn - 1.0 / zb);  // about 14.3 pixels
    for (const double projectorX : {75.0, -75.0}) {
        const std::vector<uint8_t> shadow = ShadowOfStep(zn, zb, 140, 180, 320, k, projectorX);
        int left = 0, right = 0;
        for (int i = 0; i < 140; ++i) left += shadow[i];
        for (int i = 181; i < 320; ++i) right += shadow[i];
        for (int i = 140; i <= 180; ++i) EXPECT_EQ(0, shadow[i]) << "object pixel " << i;
        // Projector on the right (image not mirrored): shadow on the left.
        const int band = projectorX > 0 ? left : right;
        EXPECT_EQ(0, projectorX > 0 ? right : left);
        EXPECT_NEAR(expected, band, 1.0);
        // The band touches the object.
        EXPECT_EQ(1, projectorX > 0 ? shadow[139] : shadow[181]);
    }
}

TEST(SensorModel, ShadowEdgeCases) {
    const double k = 0.0035;
    // A flat tilted plane and an empty row cast nothing.
    std::vector<double> depth(100), rayX(100);
    for (int i = 0; i < 100; ++i) {
        rayX[i] = (i - 50) * k;
        depth[i] = 2000.0 / (1.0 + 0.8 * rayX[i]);
    }
    std::vector<uint8_t> shadow(100, 0);
    SensorModel::MarkProjectorShadow(depth.data(), rayX.data(), 100, 75.0, shadow.data());
    SensorModel::MarkProjectorShadow(depth.data(), rayX.data(), 100, -75.0, shadow.data());
    std::vector<double> empty(100, 0.0);
    SensorModel::MarkProjectorShadow(empty.data(), rayX.data(), 100, 75.0, shadow.data());
    for (uint8_t s : shadow) EXPECT_EQ(0, s);
    // Two objects each cast their own band; the nearer one's is wider.
    std::vector<double> two(300, 4000.0), rays(300);
    for (int i = 0; i < 300; ++i) rays[i] = (i - 150) * k;
    for (int i = 60; i < 90; ++i) two[i] = 800.0;
    for (int i = 200; i < 230; ++i) two[i] = 1600.0;
    std::vector<uint8_t> marks(300, 0);
    SensorModel::MarkProjectorShadow(two.data(), rays.data(), 300, 75.0, marks.data());
    int nearBand = 0, farBand = 0;
    for (int i = 0; i < 60; ++i) nearBand += marks[i];
    for (int i = 90; i < 200; ++i) farBand += marks[i];
    EXPECT_NEAR(75.0 / k * (1.0 / 800 - 1.0 / 4000), nearBand, 1.0);
    EXPECT_NEAR(75.0 / k * (1.0 / 1600 - 1.0 / 4000), farBand, 1.0);
}

}  // namespace
