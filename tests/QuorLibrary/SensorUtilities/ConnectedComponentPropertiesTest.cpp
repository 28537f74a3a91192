#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "../../XnAdapter/XnNodesTestSupport.h"
#include "ConnectedComponentTestSupport.h"
#include "QuorLibrary/SensorUtilities/ConnectedComponentDetector.h"

namespace {

using Pixels = std::vector<uint16_t>;

void FillDepth(xn::DepthMetaData& map, int width, int height, XnUInt32 frameId, const Pixels& values) {
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(width, height));
    map.FrameID() = frameId;
    std::copy(values.begin(), values.end(), map.WritableData());
}

void FillLabels(xn::SceneMetaData& map, int width, int height, const Pixels& values) {
    ASSERT_EQ(XN_STATUS_OK, map.AllocateData(width, height));
    std::copy(values.begin(), values.end(), map.WritableData());
}

// Per-label properties by a brute-force scan, in double where they are
// sums; world points by the converter's formula in T, so boxes compare
// exactly.
template <typename T>
struct Reference {
    Reference(const WorldPointConverterBase<T>& c, const Pixels& depth, int depthWidth, const Pixels& labels,
              int labelWidth, int rows, int columns, int labelLimit = 2000)
        : count(2000, 0),
          area(2000, 0.0),
          zBounds(2000),
          xBounds(2000),
          imageBounds(2000),
          bbox(2000, ConnectedComponentProperties<T>::EmptyWorldBox()),
          weightedSum(2000),
          sum(2000) {
        for (int i = 0; i < rows; ++i) {
            for (int j = 0; j < columns; ++j) {
                const int l = labels[static_cast<size_t>(i) * labelWidth + j];
                if (l == 0 || l >= labelLimit) {
                    continue;
                }
                const int z = depth[static_cast<size_t>(i) * depthWidth + j];
                const T size = c.PixelSizeAt(z);
                const Vector3D<T> p((static_cast<T>(j) - c.m_fCenterX) * size, (c.m_fCenterY - static_cast<T>(i)) * size,
                                    static_cast<T>(z));
                const double k = c.m_fPixelSizeFactor;
                const double w = k * k * z * z;
                ++count[l];
                area[l] += w;
                zBounds[l].min = std::min<unsigned short>(zBounds[l].min, z);
                zBounds[l].max = std::max<unsigned short>(zBounds[l].max, z);
                xBounds[l].min = std::min(xBounds[l].min, j);
                xBounds[l].max = std::max(xBounds[l].max, j);
                imageBounds[l].min = Vector2D<int>(std::min(imageBounds[l].min.x, j), std::min(imageBounds[l].min.y, i));
                imageBounds[l].max = Vector2D<int>(std::max(imageBounds[l].max.x, j), std::max(imageBounds[l].max.y, i));
                for (int a = 0; a < 3; ++a) {
                    bbox[l].min[a] = std::min(bbox[l].min[a], p[a]);
                    bbox[l].max[a] = std::max(bbox[l].max[a], p[a]);
                }
                weightedSum[l] += Vector3D<double>(p) * w;
                sum[l] += Vector3D<double>(p);
            }
        }
    }
    Vector3D<double> Centre(int l, bool weighted) const {
        if (weighted) {
            return area[l] != 0 ? weightedSum[l] / area[l] : Vector3D<double>();
        }
        return count[l] != 0 ? sum[l] / count[l] : Vector3D<double>();
    }

    std::vector<int> count;
    std::vector<double> area;
    std::vector<Box1D<unsigned short>> zBounds;
    std::vector<Box1D<int>> xBounds;
    std::vector<Box2D<int>> imageBounds;
    std::vector<Box3D<T>> bbox;
    std::vector<Vector3D<double>> weightedSum;
    std::vector<Vector3D<double>> sum;
};

template <typename T>
double Tolerance() {
    return sizeof(T) == sizeof(float) ? 2e-4 : 1e-10;
}

template <typename T>
void ExpectBoxEq(const Box3D<T>& expected, const Box3D<T>& actual, int label) {
    EXPECT_EQ(expected.min, actual.min) << "label " << label;
    EXPECT_EQ(expected.max, actual.max) << "label " << label;
}

template <typename T>
void ExpectCentreNear(const Vector3D<double>& expected, const Vector3D<T>& actual, int label) {
    const double tolerance = Tolerance<T>() * 10 * (1.0 + std::sqrt(expected.MagnitudeSquared()));
    EXPECT_NEAR(expected.x, actual.x, tolerance) << "label " << label;
    EXPECT_NEAR(expected.y, actual.y, tolerance) << "label " << label;
    EXPECT_NEAR(expected.z, actual.z, tolerance) << "label " << label;
}

// Every list at 2000 entries of its reset value (entry 1999 and all others).
template <typename T>
void ExpectReset(const ConnectedComponentProperties<T>& p) {
    ASSERT_EQ(2000, p.m_pixelCount.Size());
    ASSERT_EQ(2000, p.m_area.Size());
    ASSERT_EQ(2000, p.m_zBounds.Size());
    ASSERT_EQ(2000, p.m_xBounds.Size());
    ASSERT_EQ(2000, p.m_imageBounds.Size());
    ASSERT_EQ(2000, p.m_bbox.Size());
    ASSERT_EQ(2000, p.m_centerOfMass.Size());
    const Box3D<T> empty = ConnectedComponentProperties<T>::EmptyWorldBox();
    for (int l = 0; l < 2000; ++l) {
        ASSERT_EQ(0, p.m_pixelCount[l]) << l;
        ASSERT_EQ(T(0), p.m_area[l]) << l;
        ASSERT_EQ(Box1D<unsigned short>(65535, 0), p.m_zBounds[l]) << l;
        ASSERT_EQ(Box1D<int>(INT_MAX, INT_MIN), p.m_xBounds[l]) << l;
        ASSERT_EQ(Box2D<int>(INT_MAX, INT_MAX, INT_MIN, INT_MIN), p.m_imageBounds[l]) << l;
        ASSERT_EQ(empty.min, p.m_bbox[l].min) << l;
        ASSERT_EQ(empty.max, p.m_bbox[l].max) << l;
        ASSERT_EQ(Vector3D<T>(), p.m_centerOfMass[l]) << l;
    }
}

// A depth node on a fake stream (field of view 1.0226 rad, maximum depth
// 10000), and a labelled frame built from seeded depth blobs.
template <typename T>
class ConnectedComponentPropertiesTest : public ::testing::Test {
protected:
    ConnectedComponentPropertiesTest() {
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_HORIZONTAL_FOV, 1.0226f);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_VERTICAL_FOV, 0.7966f);
        m_oni.SetProperty(m_stream, ONI_STREAM_PROPERTY_MAX_VALUE, 10000);
        m_depthGen.SetStream(m_stream);
    }

    // Blobs of depth labelled into components, plus labels the properties
    // ignore (2000 and up) and labelled pixels without depth.
    void MakeFrame(int width, int height, uint64_t seed) {
        m_width = width;
        m_height = height;
        m_depthPixels = cc_test::MakeBlobImage(width, height, seed, 400, 9000);
        ConnectedComponentDetector detector;
        ASSERT_TRUE(detector.Run(m_depthPixels.data(), nullptr, nullptr, width, height, m_labels, 8));
        m_labelPixels.assign(m_labels.Data(), m_labels.Data() + static_cast<size_t>(width) * height);
        cc_test::Rng rng(seed + 77);
        for (int n = 0; n < width * height / 50; ++n) {
            const size_t at = static_cast<size_t>(rng.Uniform(0, width * height - 1));
            const uint16_t ignored[] = {2000, 2001, 40000, 65535};
            if (rng.Chance(50)) {
                m_labelPixels[at] = ignored[rng.Uniform(0, 3)];
            } else if (m_labelPixels[at] != 0) {
                m_depthPixels[at] = 0;
            }
        }
        FillDepth(m_depth, width, height, 1, m_depthPixels);
        FillLabels(m_labels, width, height, m_labelPixels);
    }

    Reference<T> MakeReference(const WorldPointConverterBase<T>& c, int labelLimit = 2000) const {
        return Reference<T>(c, m_depthPixels, m_width, m_labelPixels, m_width, m_height, m_width, labelLimit);
    }

    std::unique_ptr<WorldPointConverter<T>> NewConverter() const {
        return std::unique_ptr<WorldPointConverter<T>>(new WorldPointConverter<T>(m_depthGen, m_width, m_height));
    }

    vela_test::FakeOniStreams m_oni;
    OniStreamHandle m_stream = m_oni.NewStream();
    xn::DepthGenerator m_depthGen;
    int m_width = 0;
    int m_height = 0;
    Pixels m_depthPixels;
    Pixels m_labelPixels;
    xn::DepthMetaData m_depth;
    xn::SceneMetaData m_labels;
};

using Types = ::testing::Types<float, double>;
TYPED_TEST_SUITE(ConnectedComponentPropertiesTest, Types);

TYPED_TEST(ConnectedComponentPropertiesTest, ConstructionAndCopies) {
    using T = TypeParam;
    ConnectedComponentProperties<T> p;
    ExpectReset(p);
    const Box3D<T> empty = ConnectedComponentProperties<T>::EmptyWorldBox();
    if (sizeof(T) == sizeof(float)) {
        EXPECT_EQ(Vector3D<T>(FLT_MAX, FLT_MAX, FLT_MAX), empty.min);
        EXPECT_EQ(Vector3D<T>(-FLT_MAX, -FLT_MAX, -FLT_MAX), empty.max);
    } else {
        // The double form's maximum corner starts at the float limit.
        EXPECT_EQ(Vector3D<T>(DBL_MAX, DBL_MAX, DBL_MAX), empty.min);
        EXPECT_EQ(Vector3D<T>(-3.4028234663852886e38, -3.4028234663852886e38, -3.4028234663852886e38), empty.max);
    }
    EXPECT_EQ(empty.min, p.m_box.min);
    EXPECT_EQ(Vector3D<T>(), p.m_point);

    // Copies carry the lists and the two carried values.
    p.m_pixelCount[7] = 3;
    p.m_centerOfMass[1999] = Vector3D<T>(1, 2, 3);
    p.m_point = Vector3D<T>(4, 5, 6);
    const ConnectedComponentProperties<T> copy(p);
    EXPECT_EQ(3, copy.m_pixelCount[7]);
    EXPECT_EQ(Vector3D<T>(1, 2, 3), copy.m_centerOfMass[1999]);
    EXPECT_EQ(Vector3D<T>(4, 5, 6), copy.m_point);
    ConnectedComponentProperties<T> assigned;
    assigned = p;
    EXPECT_EQ(3, assigned.m_pixelCount[7]);
    EXPECT_EQ(2000, assigned.m_bbox.Size());
}

TYPED_TEST(ConnectedComponentPropertiesTest, RandomFramesMatchBruteForce) {
    using T = TypeParam;
    const int sizes[][2] = {{40, 30}, {64, 48}, {160, 120}};
    uint64_t seed = 1;
    for (const auto& size : sizes) {
        for (int repeat = 0; repeat < 3; ++repeat, ++seed) {
            this->MakeFrame(size[0], size[1], seed);
            const auto converter = this->NewConverter();
            const Reference<T> ref = this->MakeReference(*converter);
            SCOPED_TRACE(testing::Message() << size[0] << "x" << size[1] << " seed " << seed);
            for (const bool weighted : {true, false}) {
                // One pass for everything, then each list on its own, with the
                // caller's converter and with a temporary one.
                ConnectedComponentProperties<T> all;
                all.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, weighted, converter.get());
                ConnectedComponentProperties<T> single;
                single.ComputePixelCount(this->m_labels);
                single.ComputeArea(this->m_depthGen, this->m_depth, this->m_labels, nullptr);
                single.ComputeZBounds(this->m_depth, this->m_labels);
                single.ComputeImageXBounds(this->m_depth, this->m_labels);
                single.ComputeImageBounds(this->m_depth, this->m_labels);
                single.ComputeBBox(this->m_depthGen, this->m_depth, this->m_labels, nullptr);
                ConnectedComponentProperties<T> centre;
                centre.ComputeCenterOfMass(this->m_depthGen, this->m_depth, this->m_labels, weighted, converter.get());
                for (const ConnectedComponentProperties<T>* p : {&all, &single}) {
                    ASSERT_EQ(2000, p->m_xBounds.Size());
                    for (int l = 0; l < 2000; ++l) {
                        ASSERT_EQ(ref.count[l], p->m_pixelCount[l]) << l;
                        ASSERT_NEAR(ref.area[l], p->m_area[l], ref.area[l] * Tolerance<T>()) << l;
                        ASSERT_EQ(ref.zBounds[l], p->m_zBounds[l]) << l;
                        ASSERT_EQ(ref.xBounds[l], p->m_xBounds[l]) << l;
                        ASSERT_EQ(ref.imageBounds[l], p->m_imageBounds[l]) << l;
                        ExpectBoxEq(ref.bbox[l], p->m_bbox[l], l);
                    }
                }
                for (int l = 0; l < 2000; ++l) {
                    ExpectCentreNear(ref.Centre(l, weighted), all.m_centerOfMass[l], l);
                    ExpectCentreNear(ref.Centre(l, weighted), centre.m_centerOfMass[l], l);
                    // The by-product of the centre pass.
                    if (weighted) {
                        ASSERT_NEAR(ref.area[l], centre.m_area[l], ref.area[l] * Tolerance<T>()) << l;
                    } else {
                        ASSERT_EQ(ref.count[l], centre.m_pixelCount[l]) << l;
                    }
                }
                int largest = 0;
                for (int l = 1; l < 2000; ++l) {
                    if (ref.area[l] > ref.area[largest]) {
                        largest = l;
                    }
                }
                EXPECT_EQ(largest, all.GetLabelWithLargestArea(this->m_depthGen, this->m_depth, this->m_labels,
                                                                converter.get(), false));
            }
        }
    }
}

TYPED_TEST(ConnectedComponentPropertiesTest, EmptyAndIgnoredLabelsLeaveResetValues) {
    using T = TypeParam;
    // A map of zeros, and a map of labels from 2000 up only.
    const Pixels zeros(12 * 9, 0);
    Pixels highLabels(12 * 9, 2000);
    highLabels[5] = 65535;
    highLabels[17] = 2001;
    const Pixels high = highLabels;
    for (const Pixels* labels : {&zeros, &high}) {
        FillDepth(this->m_depth, 12, 9, 1, Pixels(12 * 9, 1500));
        FillLabels(this->m_labels, 12, 9, *labels);
        ConnectedComponentProperties<T> p;
        p.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, nullptr);
        ExpectReset(p);
        p.ComputeCenterOfMass(this->m_depthGen, this->m_depth, this->m_labels, false, nullptr);
        p.ComputeImageXBounds(this->m_depth, this->m_labels);
        p.ComputeBBox(this->m_depthGen, this->m_depth, this->m_labels, nullptr);
        p.ComputePixelCount(this->m_labels);
        ExpectReset(p);
        EXPECT_EQ(0, p.GetLabelWithLargestArea(this->m_depthGen, this->m_depth, this->m_labels, nullptr, true));
    }
}

TYPED_TEST(ConnectedComponentPropertiesTest, LabelledPixelWithoutDepth) {
    using T = TypeParam;
    // Label 3 at (1, 0) with depth 0 and at (4, 2) with depth 1000.
    Pixels depth(6 * 4, 800);
    Pixels labels(6 * 4, 0);
    depth[1] = 0;
    labels[1] = 3;
    depth[2 * 6 + 4] = 1000;
    labels[2 * 6 + 4] = 3;
    FillDepth(this->m_depth, 6, 4, 1, depth);
    FillLabels(this->m_labels, 6, 4, labels);
    WorldPointConverter<T> converter(this->m_depthGen, 6, 4);
    ConnectedComponentProperties<T> p;
    p.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, &converter);
    EXPECT_EQ(2, p.m_pixelCount[3]);
    EXPECT_EQ(converter.m_pPixelAreaAtDepth[1000], p.m_area[3]);  // the pixel without depth adds 0
    EXPECT_EQ(Box1D<unsigned short>(0, 1000), p.m_zBounds[3]);
    EXPECT_TRUE(p.m_bbox[3].Intersects(Vector3D<T>(0, 0, 0)));
    EXPECT_EQ(T(0), p.m_bbox[3].min.z);
    // Weighted, the pixel without depth has no weight; unweighted it counts
    // as the point (0, 0, 0).
    const Vector3D<T> deep = converter.WorldPt(this->m_depth, Vector2D<int>(4, 2));
    ExpectCentreNear(Vector3D<double>(deep), p.m_centerOfMass[3], 3);
    p.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, false, &converter);
    ExpectCentreNear(Vector3D<double>(deep) * 0.5, p.m_centerOfMass[3], 3);
}

TYPED_TEST(ConnectedComponentPropertiesTest, ImageXBoundsWithALabelCount) {
    using T = TypeParam;
    // Labels 1 to 6 in columns 1 to 6 of every row; label 1500 in column 7.
    Pixels labels(8 * 3, 0);
    for (int i = 0; i < 3; ++i) {
        for (int j = 1; j < 7; ++j) {
            labels[i * 8 + j] = static_cast<uint16_t>(j);
        }
        labels[i * 8 + 7] = 1500;
    }
    FillDepth(this->m_depth, 8, 3, 1, Pixels(8 * 3, 1200));
    FillLabels(this->m_labels, 8, 3, labels);

    ConnectedComponentProperties<T> p;
    p.ComputeImageXBounds(this->m_depth, LabelMatrixWithCount(this->m_labels, 5));
    ASSERT_EQ(5, p.m_xBounds.Size());
    EXPECT_EQ(Box1D<int>(INT_MAX, INT_MIN), p.m_xBounds[0]);
    for (int l = 1; l < 5; ++l) {
        EXPECT_EQ(Box1D<int>(l, l), p.m_xBounds[l]);
    }

    // The shortened list is never indexed beyond its end: ClearCC skips it
    // there, and a copy (whose storage is only 5 entries) too.
    p.ClearCC(3);
    EXPECT_EQ(Box1D<int>(INT_MAX, INT_MIN), p.m_xBounds[3]);
    EXPECT_EQ(Box1D<int>(4, 4), p.m_xBounds[4]);
    p.ClearCC(1500);
    ConnectedComponentProperties<T> copy(p);
    ASSERT_EQ(5, copy.m_xBounds.Size());
    copy.ClearCC(1999);
    // The pass over all properties gives the list its 2000 entries back.
    copy.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, nullptr);
    ASSERT_EQ(2000, copy.m_xBounds.Size());
    EXPECT_EQ(Box1D<int>(7, 7), copy.m_xBounds[1500]);
    EXPECT_EQ(Box1D<int>(6, 6), copy.m_xBounds[6]);

    struct Case {
        int count;
        int size;
    };
    const Case cases[] = {{3000, 2000}, {2000, 2000}, {1, 1}, {0, 0}, {-7, 0}};
    for (const Case& c : cases) {
        p.ComputeImageXBounds(this->m_depth, LabelMatrixWithCount(this->m_labels, c.count));
        EXPECT_EQ(c.size, p.m_xBounds.Size()) << c.count;
    }
    p.ComputeImageXBounds(this->m_depth, this->m_labels);
    EXPECT_EQ(Box1D<int>(7, 7), p.m_xBounds[1500]);
}

TYPED_TEST(ConnectedComponentPropertiesTest, CentreOfMassWithALabelCount) {
    using T = TypeParam;
    this->MakeFrame(64, 48, 5);
    const auto converter = this->NewConverter();
    const Reference<T> ref = this->MakeReference(*converter, 4);
    ConnectedComponentProperties<T> p;
    p.ComputeCenterOfMass(this->m_depthGen, this->m_depth, LabelMatrixWithCount(this->m_labels, 4), false,
                          converter.get());
    for (int l = 0; l < 2000; ++l) {
        ExpectCentreNear(ref.Centre(l, false), p.m_centerOfMass[l], l);
        ASSERT_EQ(ref.count[l], p.m_pixelCount[l]) << l;
    }
    EXPECT_NE(0, p.m_pixelCount[3]);
}

TYPED_TEST(ConnectedComponentPropertiesTest, WeightedAndUnweightedCentresAgreeAtOneDepth) {
    using T = TypeParam;
    this->MakeFrame(64, 48, 9);
    std::fill(this->m_depthPixels.begin(), this->m_depthPixels.end(), 2345);
    FillDepth(this->m_depth, 64, 48, 2, this->m_depthPixels);
    ConnectedComponentProperties<T> weighted;
    ConnectedComponentProperties<T> unweighted;
    weighted.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, nullptr);
    unweighted.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, false, nullptr);
    for (int l = 0; l < 2000; ++l) {
        ExpectCentreNear(Vector3D<double>(unweighted.m_centerOfMass[l]), weighted.m_centerOfMass[l], l);
    }
}

TYPED_TEST(ConnectedComponentPropertiesTest, LabelCentreOfMassInsideABox) {
    using T = TypeParam;
    this->MakeFrame(64, 48, 3);
    const auto converter = this->NewConverter();
    ConnectedComponentProperties<T> p;
    p.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, converter.get());
    const ConnectedComponentProperties<T> before(p);

    // The boxes of labels 1 to 3, a box over part of label 1, and boxes
    // reaching beyond the map (only the part inside counts).
    struct Case {
        Box2D<int> box;
        unsigned short label;
    };
    std::vector<Case> cases;
    for (unsigned short l = 1; l <= 3; ++l) {
        cases.push_back(Case{p.m_imageBounds[l], l});
    }
    const Box2D<int> b1 = p.m_imageBounds[1];
    cases.push_back(Case{Box2D<int>(b1.min.x, b1.min.y, (b1.min.x + b1.max.x) / 2, b1.max.y), 1});
    cases.push_back(Case{Box2D<int>(-100, -100, 1000, 1000), 2});
    cases.push_back(Case{Box2D<int>(INT_MIN, 20, INT_MAX, INT_MAX), 1});
    for (const Case& c : cases) {
        for (const bool weighted : {true, false}) {
            double total = 0;
            Vector3D<double> sum;
            for (int i = std::max(0, c.box.min.y); i <= std::min(47, c.box.max.y); ++i) {
                for (int j = std::max(0, c.box.min.x); j <= std::min(63, c.box.max.x); ++j) {
                    if (this->m_labelPixels[i * 64 + j] != c.label) {
                        continue;
                    }
                    const int z = this->m_depthPixels[i * 64 + j];
                    const double w = weighted ? converter->m_pPixelAreaAtDepth[z] : 1.0;
                    sum += Vector3D<double>(converter->WorldPt(this->m_depth, Vector2D<int>(j, i))) * w;
                    total += w;
                }
            }
            const Vector3D<double> expected = total != 0 ? sum / total : Vector3D<double>();
            ExpectCentreNear(expected, p.GetLabelCenterOfMass(this->m_depthGen, this->m_depth, c.box, this->m_labels,
                                                              c.label, weighted, nullptr),
                             c.label);
        }
    }
    // An absent label and a box without rows give (0, 0, 0).
    EXPECT_EQ(Vector3D<T>(), p.GetLabelCenterOfMass(this->m_depthGen, this->m_depth, Box2D<int>(0, 0, 63, 47),
                                                    this->m_labels, 1999, true, converter.get()));
    EXPECT_EQ(Vector3D<T>(), p.GetLabelCenterOfMass(this->m_depthGen, this->m_depth, Box2D<int>(0, 10, 63, 9),
                                                    this->m_labels, 1, true, converter.get()));
    // The lists are left alone.
    for (int l = 0; l < 2000; ++l) {
        ASSERT_EQ(before.m_area[l], p.m_area[l]);
        ASSERT_EQ(before.m_centerOfMass[l], p.m_centerOfMass[l]);
    }
}

TYPED_TEST(ConnectedComponentPropertiesTest, ClearLabelInsideABox) {
    using T = TypeParam;
    this->MakeFrame(64, 48, 4);
    ConnectedComponentProperties<T> p;
    p.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, nullptr);
    ASSERT_GT(p.m_pixelCount[2], 0);
    const Box2D<int> b = p.m_imageBounds[2];
    // The left half of label 2's box, and a box reaching beyond the map.
    const Box2D<int> left(b.min.x, b.min.y, (b.min.x + b.max.x) / 2, b.max.y);
    const ConnectedComponentProperties<T> before(p);
    p.ClearLabel(left, this->m_labels, 2);
    for (int i = 0; i < 48; ++i) {
        for (int j = 0; j < 64; ++j) {
            const uint16_t old = this->m_labelPixels[i * 64 + j];
            const bool inside = j >= left.min.x && j <= left.max.x && i >= left.min.y && i <= left.max.y;
            ASSERT_EQ(old == 2 && inside ? 0 : old, this->m_labels(j, i)) << j << " " << i;
        }
    }
    EXPECT_EQ(0, p.m_pixelCount[2]);
    EXPECT_EQ(T(0), p.m_area[2]);
    EXPECT_EQ(Box1D<int>(INT_MAX, INT_MIN), p.m_xBounds[2]);
    EXPECT_EQ(Vector3D<T>(), p.m_centerOfMass[2]);
    EXPECT_EQ(before.m_pixelCount[1], p.m_pixelCount[1]);
    EXPECT_EQ(before.m_bbox[3].min, p.m_bbox[3].min);

    p.ClearLabel(Box2D<int>(-5, -5, 500, 500), this->m_labels, 1);
    for (int i = 0; i < 48 * 64; ++i) {
        ASSERT_NE(1, this->m_labels.Data()[i]);
    }
    // Labels from 2000 up have no entries: only the pixels change.
    p.ClearLabel(Box2D<int>(0, 0, 63, 47), this->m_labels, 2000);
    for (int i = 0; i < 48 * 64; ++i) {
        ASSERT_NE(2000, this->m_labels.Data()[i]);
    }
    p.ClearCC(65535);
    EXPECT_EQ(before.m_pixelCount[3], p.m_pixelCount[3]);
}

TYPED_TEST(ConnectedComponentPropertiesTest, WorldMapIsComputedOncePerFrameId) {
    using T = TypeParam;
    this->MakeFrame(40, 30, 6);
    WorldPointConverter<T> converter(this->m_depthGen, 40, 30);
    ConnectedComponentProperties<T> p;
    p.ComputeBBox(this->m_depthGen, this->m_depth, this->m_labels, &converter);
    EXPECT_EQ(1, converter.m_nWorldMapFrameId);
    const Box3D<T> first = p.m_bbox[1];

    // New depths under the same frame id: the world map is not recomputed.
    for (int i = 0; i < 40 * 30; ++i) {
        this->m_depth.WritableData()[i] = static_cast<XnDepthPixel>(this->m_depth.Data()[i] / 2);
    }
    p.ComputeCenterOfMass(this->m_depthGen, this->m_depth, this->m_labels, false, &converter);
    p.ComputeBBox(this->m_depthGen, this->m_depth, this->m_labels, &converter);
    ExpectBoxEq(first, p.m_bbox[1], 1);

    // A new frame id recomputes it.
    this->m_depth.FrameID() = 2;
    p.ComputeBBox(this->m_depthGen, this->m_depth, this->m_labels, &converter);
    EXPECT_EQ(2, converter.m_nWorldMapFrameId);
    EXPECT_NE(first.max.z, p.m_bbox[1].max.z);
}

TYPED_TEST(ConnectedComponentPropertiesTest, DepthsBeyondTheConverterTables) {
    using T = TypeParam;
    this->MakeFrame(64, 48, 8);
    const auto full = this->NewConverter();
    // A stream whose maximum depth cannot be read: 2-entry tables.
    this->m_oni.FailProperty(this->m_stream, ONI_STREAM_PROPERTY_MAX_VALUE);
    WorldPointConverter<T> small(this->m_depthGen, 64, 48);
    ASSERT_EQ(2, small.m_nDepthTableSize);
    ConnectedComponentProperties<T> a;
    ConnectedComponentProperties<T> b;
    a.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, full.get());
    b.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, true, &small);
    b.ComputeArea(this->m_depthGen, this->m_depth, this->m_labels, nullptr);
    for (int l = 0; l < 2000; ++l) {
        // The areas beyond the tables come from the factor, as the table
        // would hold them.
        ASSERT_EQ(a.m_area[l], b.m_area[l]) << l;
        ASSERT_EQ(a.m_centerOfMass[l], b.m_centerOfMass[l]) << l;
    }
    EXPECT_EQ(a.GetLabelCenterOfMass(this->m_depthGen, this->m_depth, Box2D<int>(0, 0, 63, 47), this->m_labels, 1,
                                     true, full.get()),
              b.GetLabelCenterOfMass(this->m_depthGen, this->m_depth, Box2D<int>(0, 0, 63, 47), this->m_labels, 1,
                                     true, &small));
}

TYPED_TEST(ConnectedComponentPropertiesTest, MapsOfDifferentSizesAreReadWhereBothExist) {
    using T = TypeParam;
    // Depth 8 x 6, labels 10 x 4: rows 0 to 3 and columns 0 to 7 are read,
    // each map with its own row length.
    cc_test::Rng rng(12);
    Pixels depth(8 * 6);
    Pixels labels(10 * 4);
    for (uint16_t& z : depth) {
        z = static_cast<uint16_t>(rng.Uniform(500, 4000));
    }
    for (uint16_t& l : labels) {
        l = static_cast<uint16_t>(rng.Uniform(0, 4));
    }
    FillDepth(this->m_depth, 8, 6, 1, depth);
    FillLabels(this->m_labels, 10, 4, labels);
    WorldPointConverter<T> converter(this->m_depthGen, 8, 6);
    const Reference<T> ref(converter, depth, 8, labels, 10, 4, 8);
    ConnectedComponentProperties<T> p;
    p.ComputeAllProperties(this->m_depthGen, this->m_depth, this->m_labels, false, &converter);
    p.ComputePixelCount(this->m_labels);  // the label map alone: all of it
    for (int l = 1; l <= 4; ++l) {
        EXPECT_EQ(ref.imageBounds[l], p.m_imageBounds[l]) << l;
        EXPECT_EQ(ref.zBounds[l], p.m_zBounds[l]) << l;
        ExpectBoxEq(ref.bbox[l], p.m_bbox[l], l);
        EXPECT_EQ(static_cast<int>(std::count(labels.begin(), labels.end(), l)), p.m_pixelCount[l]) << l;
    }
}

TYPED_TEST(ConnectedComponentPropertiesTest, EmptyMapsNeedNoConverter) {
    using T = TypeParam;
    // No pixels: nothing to convert, so no temporary converter (which needs
    // a size) is built, and the lists are reset.
    xn::DepthMetaData depth;
    xn::SceneMetaData labels;
    ConnectedComponentProperties<T> p;
    p.m_pixelCount[4] = 9;
    p.ComputeAllProperties(this->m_depthGen, depth, labels, true, nullptr);
    p.ComputeArea(this->m_depthGen, depth, labels, nullptr);
    p.ComputeBBox(this->m_depthGen, depth, labels, nullptr);
    p.ComputeCenterOfMass(this->m_depthGen, depth, labels, false, nullptr);
    EXPECT_EQ(Vector3D<T>(), p.GetLabelCenterOfMass(this->m_depthGen, depth, Box2D<int>(0, 0, 5, 5), labels, 1, true,
                                                    nullptr));
    ExpectReset(p);
}

TYPED_TEST(ConnectedComponentPropertiesTest, LargestAreaIsTheFirstLargest) {
    using T = TypeParam;
    ConnectedComponentProperties<T> p;
    p.m_area[5] = T(10);
    p.m_area[9] = T(10);
    p.m_area[3] = T(4);
    EXPECT_EQ(5, p.GetLabelWithLargestArea(this->m_depthGen, this->m_depth, this->m_labels, nullptr, false));
    p.m_area.Clear();
    EXPECT_EQ(-1, p.GetLabelWithLargestArea(this->m_depthGen, this->m_depth, this->m_labels, nullptr, false));
}

}  // namespace
