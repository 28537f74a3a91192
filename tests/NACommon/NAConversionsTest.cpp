// Sensor parameters, the device's tables and the hybrid tables on a fake
// first-family stream (NAConversionsTestSupport.h); the agreement of the
// closed forms with a real sensor model's tables is tested on the synthetic
// camera (NACommonDataOnCameraTest.cpp).

#include "NACommon/NAConversions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <sys/stat.h>

#include "NAConversionsTestSupport.h"
#include "TempDir.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using vela_test::FakeSensor;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class NAConversionsTest : public ::testing::Test {
protected:
    // InitConversions at QVGA; what it wrote on standard error in m_errors.
    bool Init(Resolution resolution = QVGA) {
        CaptureStderr();
        const bool ok = m_conversions.InitConversions(m_sensor.m_node, resolution);
        m_errors = GetCapturedStderr();
        return ok;
    }
    void ExpectEmpty() const {
        EXPECT_EQ(nullptr, m_conversions.m_pShiftToDepth);
        EXPECT_EQ(nullptr, m_conversions.m_pDepthToShift);
        EXPECT_EQ(nullptr, m_conversions.m_pShiftToHybrid);
        EXPECT_EQ(nullptr, m_conversions.m_pHybridToShift);
        for (int r = 0; r < 7; ++r) {
            EXPECT_EQ(nullptr, m_conversions.m_pWorldPointConverters[r]) << r;
            EXPECT_EQ(nullptr, m_conversions.m_pAreaAtShiftInt[r]) << r;
        }
    }

    FakeSensor m_sensor;
    NAConversions m_conversions;
    std::string m_errors;
};

TEST_F(NAConversionsTest, ReadsTheSensorParametersAndTheDeviceTables) {
    ASSERT_TRUE(Init()) << m_errors;
    const NAConversions::SensorParameters& p = m_conversions.m_sensorParams;
    EXPECT_EQ(120, p.nZeroPlaneDistance);
    EXPECT_EQ(2047u, p.nDeviceMaxShiftValue);
    EXPECT_EQ(10000, p.nDeviceMaxDepthValue);
    EXPECT_EQ(1u, p.nPixelSizeFactor);
    // Without "ZPOPS" the output pixel size is ZPPS scaled to 1280 pixels.
    EXPECT_DOUBLE_EQ(0.1042 / 320 * 1280, p.dZPOutputPS);
    EXPECT_EQ(1280, p.nReferenceImageWidth);
    EXPECT_EQ(2048u, m_conversions.m_nShiftTableSize);
    EXPECT_EQ(10001, m_conversions.m_nDepthTableSize);
    EXPECT_EQ(1000, m_conversions.m_pShiftToDepth[200]);
    EXPECT_EQ(200, m_conversions.m_pDepthToShift[1000]);
    for (int r = 0; r <= QVGA; ++r) {
        EXPECT_NE(nullptr, m_conversions.m_pWorldPointConverters[r]) << r;
        const WorldPointConverter<float>& c = *m_conversions.m_pWorldPointConverters[r];
        EXPECT_EQ(c.m_pAreaAtDepthInt[1000], m_conversions.m_pAreaAtShiftInt[r][200]);
        EXPECT_EQ(c.m_pLengthAtDepthInt[1000], m_conversions.m_pLengthAtShiftInt[r][200]);
    }
    EXPECT_EQ(nullptr, m_conversions.m_pWorldPointConverters[VGA]);
    ASSERT_TRUE(Init(VGA));
    EXPECT_EQ(1280, m_conversions.m_sensorParams.nReferenceImageWidth);
    EXPECT_NE(nullptr, m_conversions.m_pWorldPointConverters[VGA]);
}

TEST_F(NAConversionsTest, TheDepthTableIsPaddedWithZerosButReadAsTheDeviceHasIt) {
    const auto expectTable = [&](int maxDepth) {
        ASSERT_TRUE(Init()) << m_errors;
        int asked = 0;
        for (const auto& read : m_sensor.m_fake.PropertyReads()) {
            asked = read.id == FakeSensor::kD2S ? read.size : asked;
        }
        EXPECT_EQ(2 * (maxDepth + 1), asked);
        EXPECT_EQ(maxDepth + 1, m_conversions.m_nDepthTableSize);
        ASSERT_GE(m_conversions.m_nDepthTableCapacity, 10100u);
        EXPECT_EQ(maxDepth / 5, m_conversions.m_pDepthToShift[maxDepth]);
        for (int d = maxDepth + 1; d < 10100; ++d) {
            ASSERT_EQ(0, m_conversions.m_pDepthToShift[d]) << d;
        }
    };
    expectTable(10000);
    // A device of 4000 mm: its table of 4001 entries, read whole.
    std::array<uint16_t, 4001> shorter;
    std::copy(m_sensor.m_depthToShift.begin(), m_sensor.m_depthToShift.begin() + 4001, shorter.begin());
    m_sensor.m_fake.SetProperty(m_sensor.m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, static_cast<int32_t>(4000));
    m_sensor.m_fake.SetProperty(m_sensor.m_stream, FakeSensor::kD2S, shorter);
    expectTable(4000);
}

TEST_F(NAConversionsTest, ShiftsAboveTheMaximumInTheDeviceTableMeanNoShift) {
    m_sensor.m_depthToShift[100] = 3000;
    m_sensor.m_depthToShift[9999] = 65535;
    m_sensor.SetTables();
    ASSERT_TRUE(Init()) << m_errors;
    EXPECT_EQ(0, m_conversions.m_pDepthToShift[100]);
    EXPECT_EQ(0, m_conversions.m_pDepthToShift[9999]);
    EXPECT_EQ(m_conversions.m_nMaxHybridValue, m_conversions.m_depthToHybrid[100]);
}

TEST_F(NAConversionsTest, ParametersThatBreakTheFormulasOrSixteenBitRangesAreRefused) {
    struct Case {
        int id;
        double value;
        const char* message;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {FakeSensor::kParamCoeff, 0, "ParamCoeff"},
        {FakeSensor::kZPPS, 0, "ZPPS"},
        {FakeSensor::kZPPS, -0.1, "ZPPS"},
        {FakeSensor::kZPPS, nan, "ZPPS"},
        {FakeSensor::kZPD, 0, "ZPD"},
        {FakeSensor::kZPD, 65536, "ZPD"},  // its low 16 bits are 0
        {FakeSensor::kShiftScale, 0, "ShiftScale"},
        {FakeSensor::kMaxShiftId, 0, "MaxShift"},
        {FakeSensor::kMaxShiftId, 70000, "MaxShift"},
        {FakeSensor::kLDDIS, 0, "LDDIS"},
        {FakeSensor::kLDDIS, std::numeric_limits<double>::infinity(), "LDDIS"},
        {ONI_STREAM_PROPERTY_MAX_VALUE, 65535, "maximum depth"},
    };
    for (const Case& c : cases) {
        FakeSensor sensor;
        if (c.id == FakeSensor::kZPPS || c.id == FakeSensor::kLDDIS) {
            sensor.SetReal(c.id, c.value);
        } else if (c.id == ONI_STREAM_PROPERTY_MAX_VALUE) {
            sensor.m_fake.SetProperty(sensor.m_stream, c.id, static_cast<int32_t>(c.value));
        } else {
            sensor.SetInt(c.id, static_cast<uint64_t>(c.value));
        }
        NAConversions conversions;
        CaptureStderr();
        EXPECT_FALSE(conversions.InitConversions(sensor.m_node, QVGA)) << c.message << " " << c.value;
        const std::string errors = GetCapturedStderr();
        EXPECT_TRUE(Contains(errors, c.message)) << errors;
        EXPECT_EQ(nullptr, conversions.m_pShiftToDepth);
    }
}

TEST_F(NAConversionsTest, AFailedReadNamesThePropertyAndLeavesTheObjectEmpty) {
    const std::pair<int, const char*> reads[] = {
        {FakeSensor::kZPD, "Couldn't getXN_STREAM_PROPERTY_ZERO_PLANE_DISTANCE\n"},
        {FakeSensor::kLDDIS, "Couldn't getXN_STREAM_PROPERTY_EMITTER_DCMOS_DISTANCE\n"},
        {FakeSensor::kShiftScale, "Couldn't getXN_STREAM_PROPERTY_SHIFT_SCALE\n"},
        {FakeSensor::kS2D, "Couldn't get shift2Depth table.\n"},
        {FakeSensor::kD2S, "Couldn't get depth2Depth table.\n"},
    };
    ASSERT_TRUE(Init());
    for (const auto& read : reads) {
        FakeSensor sensor;
        sensor.m_fake.FailProperty(sensor.m_stream, read.first);
        CaptureStderr();
        EXPECT_FALSE(m_conversions.InitConversions(sensor.m_node, QVGA));
        EXPECT_EQ(read.second, GetCapturedStderr());
        ExpectEmpty();
    }
    // A stream size that is none of the resolutions has no converters.
    EXPECT_FALSE(Init(INVALID));
    ExpectEmpty();
    m_conversions.FreeAllocatedData();
    ExpectEmpty();
}

TEST_F(NAConversionsTest, ClosedFormsAndTheirEdges) {
    ASSERT_TRUE(Init());
    EXPECT_EQ(0.0f, m_conversions.ShiftToDepth(0.0f));
    EXPECT_EQ(0.0f, m_conversions.ShiftToDepth(-3.0f));
    EXPECT_EQ(0.0f, m_conversions.DepthToShift(0.0f));
    EXPECT_EQ(0.0f, m_conversions.DepthToShift(-3.0f));
    EXPECT_EQ(0.0f, m_conversions.DepthToShift(1.0f));  // D - E / z < 0
    const float pole = static_cast<float>(m_conversions.m_dB / m_conversions.m_dPs);
    EXPECT_EQ(0.0f, m_conversions.ShiftToDepth(pole + 1.0f));
    for (float z = 400.0f; z < 20000.0f; z *= 1.01f) {
        const float s = m_conversions.DepthToShift(z);
        // Up to the rounding of the shift to single precision.
        ASSERT_NEAR(z, m_conversions.ShiftToDepth(s), m_conversions.DDepthDShift(s) * s * 1.2e-7f + z * 1e-6f) << z;
        // 1 / depth is linear in the shift.
        ASSERT_NEAR(1.0 / z, m_conversions.m_dF * (m_conversions.m_dG - s), 1e-9) << z;
        ASSERT_NEAR(1.0f / m_conversions.DShiftDDepth(z), m_conversions.DDepthDShift(s), z * z * 1e-5f) << z;
    }
}

TEST_F(NAConversionsTest, TableChecksAndMapTranslation) {
    ASSERT_TRUE(Init());
    // Nothing to compare with: depth rounding to 0 or below, beyond the
    // table, or an entry of 0.
    for (float depth : {0.4f, -7.0f, 10001.0f, 2.0f}) {
        EXPECT_TRUE(m_conversions.IsDepthToShiftRight(depth, 12345.0f)) << depth;
    }
    EXPECT_TRUE(m_conversions.IsDepthToShiftRight(1000.0f, 200.5f));
    EXPECT_FALSE(m_conversions.IsDepthToShiftRight(1000.0f, 230.0f));
    EXPECT_TRUE(m_conversions.IsShiftToDepthRight(12345.0f, 2047.0f));  // S2D[2047] is 0
    EXPECT_TRUE(m_conversions.IsShiftToDepthRight(1000.5f, 200.0f));

    Array2D<unsigned short> depth;
    depth.SetSize(1, 4, false);
    const unsigned short values[] = {0, 1000, 10000, 10001};
    std::copy(values, values + 4, depth.Data());
    Array2D<unsigned short> shift;
    shift.SetSize(1, 4, false);
    m_conversions.DepthToShift(depth, shift);
    EXPECT_EQ(std::vector<unsigned short>({0, 200, 2000, 0}), std::vector<unsigned short>(shift.Data(), shift.Data() + 4));
    Array2D<unsigned short> back;
    back.SetSize(1, 4, false);
    shift(0, 3) = 4000;  // beyond the shift table
    m_conversions.ShiftToDepth(shift, back);
    EXPECT_EQ(std::vector<unsigned short>({0, 1000, 10000, 0}), std::vector<unsigned short>(back.Data(), back.Data() + 4));
    Array2D<unsigned short> other;
    other.SetSize(2, 2, false);
    std::fill(other.Data(), other.Data() + 4, 7);
    m_conversions.DepthToShift(depth, other);
    EXPECT_EQ(7, other(1, 1));

    Array2D<float> fractional;
    fractional.SetSize(1, 3, false);
    fractional(0, 0) = 0.0f;
    fractional(0, 1) = m_conversions.DepthToShift(1234.0f);
    fractional(0, 2) = 1e9f;
    m_conversions.ShiftToDepth(fractional, back);
    EXPECT_EQ(0, back(0, 0));
    EXPECT_EQ(1234, back(0, 1));
    EXPECT_EQ(0, back(0, 2));
}

TEST_F(NAConversionsTest, PointsAndLines) {
    ASSERT_TRUE(Init());
    const Vector3D<float> world(150.0f, -80.0f, 2000.0f);
    const Vector3D<float> projective = m_conversions.DepthToShift(QVGA, world);
    const Vector3D<float> again = m_conversions.ShiftToDepth(QVGA, projective);
    EXPECT_NEAR(world.x, again.x, 0.01f);
    EXPECT_NEAR(world.y, again.y, 0.01f);
    EXPECT_NEAR(world.z, again.z, 0.01f);
    EXPECT_EQ(Vector3D<float>(0.0f, 0.0f, 0.0f), m_conversions.DepthToShift(QVGA, Vector3D<float>(1.0f, 1.0f, 0.0f)));

    const Vector3D<int> pixel(200, 50, static_cast<int>(m_conversions.DepthToShift(2000.0f)));
    const Vector3D<int> worldInt = m_conversions.ShiftToDepth(QVGA, pixel);
    // The shift was truncated: up to one shift step (12 mm here) nearer.
    EXPECT_NEAR(1994, worldInt.z, 6);
    const Vector3D<int> pixelAgain = m_conversions.DepthToShift(QVGA, worldInt);
    EXPECT_NEAR(pixel.x, pixelAgain.x, 1);
    EXPECT_NEAR(pixel.y, pixelAgain.y, 1);
    EXPECT_NEAR(pixel.z, pixelAgain.z, 1);

    // A direction whose two points convert to one point keeps (1, 0, 0).
    const Line3D<float> degenerate(Vector3D<float>(10.0f, 10.0f, 0.0f), Vector3D<float>(0.0f, 0.0f, -5.0f));
    EXPECT_EQ(Vector3D<float>(1.0f, 0.0f, 0.0f), m_conversions.DepthToShift(QVGA, degenerate).m_direction);
    const Line3D<float> axis(Vector3D<float>(0.0f, 0.0f, 1000.0f), Vector3D<float>(0.0f, 0.0f, 1.0f));
    const Line3D<float> converted = m_conversions.DepthToShift(QVGA, axis);
    EXPECT_NEAR(1.0f, converted.m_direction.z, 1e-4f);
    EXPECT_EXIT(m_conversions.ShiftToDepth(VGA, world), ::testing::ExitedWithCode(1), "Unsupported resolution");
}

TEST_F(NAConversionsTest, WithoutATransitionHybridIsDepthUpToTheShiftAt9999) {
    ASSERT_TRUE(Init()) << m_errors;
    EXPECT_EQ(65535, m_conversions.m_nHybridTransitionDepth);
    EXPECT_EQ(65535, m_conversions.m_nHybridTransitionShift);
    EXPECT_EQ(9999, m_conversions.m_nMaxHybridValue);
    for (int s = 1; s <= 1999; ++s) {
        ASSERT_EQ(m_sensor.m_shiftToDepth[s], m_conversions.m_pShiftToHybrid[s]) << s;
        ASSERT_EQ(s, m_conversions.m_pHybridToShift[5 * s]) << s;
    }
    EXPECT_EQ(0, m_conversions.m_pShiftToHybrid[2000]);
    EXPECT_EQ(9999, m_conversions.m_pShiftToHybrid[0]);
    EXPECT_EQ(9999, m_conversions.m_depthToHybrid[0]);
    EXPECT_EQ(9999, m_conversions.m_depthToHybrid[3]);  // shift 0: no depth
    EXPECT_EQ(5000, m_conversions.m_depthToHybrid[5004]);
}

TEST_F(NAConversionsTest, BeyondTheTransitionEachShiftStepAddsTen) {
    m_sensor.UseTransitionAt5000();
    ASSERT_TRUE(Init()) << m_errors;
    EXPECT_EQ(5015, m_conversions.m_nHybridTransitionDepth);
    EXPECT_EQ(1000, m_conversions.m_nHybridTransitionShift);
    EXPECT_EQ(5000 + 10 * 249, m_conversions.m_nMaxHybridValue);
    for (int s = 1; s <= 1000; ++s) {
        ASSERT_EQ(m_sensor.m_shiftToDepth[s], m_conversions.m_pShiftToHybrid[s]) << s;
    }
    for (int s = 1001; s <= 1249; ++s) {
        ASSERT_EQ(m_conversions.m_pShiftToHybrid[s - 1] + 10, m_conversions.m_pShiftToHybrid[s]) << s;
        const unsigned short h = m_conversions.m_pShiftToHybrid[s];
        EXPECT_EQ(s, m_conversions.m_pHybridToShift[h]);
        EXPECT_EQ(m_sensor.m_shiftToDepth[s], m_conversions.m_pHybridToDepth[h]);
        EXPECT_EQ(h, NAConversions::ShiftDepthCombo(m_sensor.m_shiftToDepth[s], static_cast<unsigned short>(s), 1000, 10,
                                                    5000));
    }
    // At and below the transition shift the combination is the depth.
    EXPECT_EQ(4321, NAConversions::ShiftDepthCombo(4321, 1000, 1000, 10, 5000));
    EXPECT_EQ(m_conversions.m_pShiftToHybrid[1249], m_conversions.m_depthToHybrid[9999]);
}

TEST_F(NAConversionsTest, HybridTablesHoldEveryValueAShiftGivesAndKeepWhatIsLargeEnough) {
    // A device depth out of order: hybrid 15000 for shift 5, above the
    // largest value (9999) the tables are made for.
    m_sensor.m_shiftToDepth[5] = 15000;
    m_sensor.SetTables();
    ASSERT_TRUE(Init()) << m_errors;
    ASSERT_GT(m_conversions.m_nHybridLUTSize, 15000);
    EXPECT_EQ(5, m_conversions.m_pHybridToShift[15000]);

    uint16_t* const table = m_conversions.m_pHybridToDepth;
    table[20000] = 77;
    EXPECT_TRUE(m_conversions.AllocateHybridLUTs(100));
    EXPECT_EQ(table, m_conversions.m_pHybridToDepth);
    EXPECT_EQ(77, m_conversions.m_pHybridToDepth[20000]);
}

TEST_F(NAConversionsTest, NormalsAndDirectionsWithoutLengthBecomeTheXAxis) {
    ASSERT_TRUE(Init());
    EXPECT_EQ(Vector3D<float>(1.0f, 0.0f, 0.0f),
              m_conversions.ConvertPlaneNormalS2D(Vector3D<float>(0.0f, 0.0f, 0.0f), Vector3D<float>(10.0f, 10.0f, 500.0f),
                                                  QVGA));
    EXPECT_EQ(Vector3D<float>(1.0f, 0.0f, 0.0f),
              m_conversions.ConvertVectorS2D(Vector3D<float>(1.0f, 2.0f, 3.0f), Vector3D<float>(10.0f, 10.0f, 0.0f),
                                             QVGA));
    // A step along the shift at the image centre points along the depth.
    const Vector3D<float> centre(160.0f, 120.0f, m_conversions.DepthToShift(2000.0f));
    const Vector3D<float> along = m_conversions.ConvertVectorS2D(Vector3D<float>(0.0f, 0.0f, 1.0f), centre, QVGA);
    EXPECT_NEAR(1.0f, along.z, 1e-5f);
}

TEST_F(NAConversionsTest, CurveDerivativesMatchFiniteDifferences) {
    ASSERT_TRUE(Init());
    // x = 100 + 3t, y = 50 - 2t + 0.1t^2, shift = 700 + t - 0.05t^2.
    const float a[3] = {100.0f, 3.0f, 0.0f};
    const float b[3] = {50.0f, -2.0f, 0.1f};
    const float c[3] = {700.0f, 1.0f, -0.05f};
    const auto world = [&](double t) {
        const float s = static_cast<float>(c[0] + c[1] * t + c[2] * t * t);
        return m_conversions.ShiftToDepth(
            QVGA, Vector3D<float>(static_cast<float>(a[0] + a[1] * t + a[2] * t * t),
                                  static_cast<float>(b[0] + b[1] * t + b[2] * t * t), s));
    };
    float d[6];
    m_conversions.xysCurve2XYZDerivs(a[0], a[1], a[2], b[0], b[1], b[2], c[0], c[1], c[2], 2, d[0], d[1], d[2], d[3],
                                     d[4], d[5], QVGA);
    const Vector3D<float> before = world(1.0), after = world(3.0);
    const Vector3D<float> first = (after - before) * 0.5f;
    EXPECT_NEAR(first.x, d[0], std::fabs(first.x) * 0.02f + 0.01f);
    EXPECT_NEAR(first.y, d[1], std::fabs(first.y) * 0.02f + 0.01f);
    EXPECT_NEAR(first.z, d[2], std::fabs(first.z) * 0.02f + 0.01f);
    // The point form at the curve's point t = 2 gives the first derivatives
    // of the same curve.
    float e[6];
    m_conversions.xysCurve2XYZDerivs(a[0] + 2 * a[1] + 4 * a[2], a[1] + 4 * a[2], a[2], b[0] + 2 * b[1] + 4 * b[2],
                                     b[1] + 4 * b[2], b[2], c[0] + 2 * c[1] + 4 * c[2], c[1] + 4 * c[2], c[2], e[0],
                                     e[1], e[2], e[3], e[4], e[5], QVGA);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(d[i], e[i], std::fabs(d[i]) * 1e-4f + 1e-4f) << i;
    }
}

TEST_F(NAConversionsTest, DumpsWriteTheirTablesAsText) {
    ASSERT_TRUE(Init());
    std::ostringstream shifts, depths, shiftSlopes, depthSlopes;
    m_conversions.WriteShiftDepthVectors(shifts, depths, shiftSlopes, depthSlopes);
    EXPECT_EQ(0u, shifts.str().find("s , sensor , new , old\n\n0000 , 0000 , 0.0000 \n0001 , 0005 , "));
    EXPECT_EQ(0u, depths.str().find("d , sensor , new , old\n\n0000 , 0000 , 0.0000 \n"));
    EXPECT_EQ(0u, shiftSlopes.str().find("d , new , old\n\n0000 , 0.0000 \n"));
    EXPECT_EQ(0u, depthSlopes.str().find("s , new , old\n\n0000 , 0.0000 \n"));

    vela_test::TempDir dir;
    vela_test::ScopedCwd cwd(dir.Path());
    ASSERT_EQ(0, mkdir("E:", 0700));
    m_conversions.WriteLUTFiles(m_sensor.m_node);
    const std::string shiftToDepth = vela_test::ReadWholeFile(dir.File("E:/Shift2Depth.csv"));
    EXPECT_EQ(0u, shiftToDepth.find("shift, depth, NAConversions, old algo\n0, 0, 0.00\n1, 5, "));
    EXPECT_EQ(0u, vela_test::ReadWholeFile(dir.File("E:/Depth2Hybrid.csv")).find("depth, hybrid\n0, 9999\n"));
    const std::string parameters = vela_test::ReadWholeFile(dir.File("E:/Parameters.csv"));
    EXPECT_EQ(0u, parameters.find("m_sensorParams.nZeroPlaneDistance,120\nm_sensorParams.dZeroPlanePixelSize,0.1042\n"));
    EXPECT_TRUE(Contains(parameters, "fov_x,1.0226\n")) << parameters;
}

}  // namespace
