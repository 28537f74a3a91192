#include "NACommon/SensorTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>

#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Serialization.h"

namespace {

TEST(SerializationSensorTimeTest, TimeStampsAreEightRawBytes) {
    EXPECT_EQ(static_cast<int64_t>(SensorTime::InvalidTime()), INT64_MAX);
    EXPECT_EQ(&SensorTime::InvalidTime(), &SensorTime::InvalidTime());
    const SensorTime later(2500000);
    EXPECT_EQ(later - SensorTime(500000), 2000000);

    Vector3D<float> position(1.0f, 2.0f, 3.0f);
    Vector3D<float> velocity(-4.0f, 0.5f, 0.0f);
    SensorTime first(-7);
    SensorTime last = SensorTime::InvalidTime();
    std::ostringstream out(std::ios::out | std::ios::binary);
    OStreamWrapper writer(out);
    ReadOrWriteBinary<Vector3D<float>, Vector3D<float>, SensorTime, SensorTime>(writer, position, velocity, first,
                                                                                last);
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 12u + 12u + 8u + 8u);
    int64_t stored = 0;
    bytes.copy(reinterpret_cast<char*>(&stored), sizeof(stored), 24);
    EXPECT_EQ(stored, -7);

    Vector3D<float> p;
    Vector3D<float> v;
    SensorTime a;
    SensorTime b;
    std::istringstream in(bytes, std::ios::in | std::ios::binary);
    IStreamWrapper reader(in);
    ReadOrWriteBinary(reader, p, v, a, b);
    EXPECT_FALSE(in.fail());
    EXPECT_EQ(p, position);
    EXPECT_EQ(v, velocity);
    EXPECT_EQ(static_cast<int64_t>(a), -7);
    EXPECT_EQ(static_cast<int64_t>(b), INT64_MAX);
}

}  // namespace
