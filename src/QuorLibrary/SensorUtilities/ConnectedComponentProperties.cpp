#include "QuorLibrary/SensorUtilities/ConnectedComponentProperties.h"

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <memory>

#include "QuorLibrary/SensorUtilities/LabelMapAccessors.h"

namespace {

// Rows and columns that every map of a pass covers; none when a map has no
// pixels.
struct Extent {
    int rows;
    int columns;
    bool Empty() const { return rows <= 0 || columns <= 0; }
};

Extent CommonExtent(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels) {
    if (depth.Data() == nullptr || labels.Data() == nullptr) {
        return Extent{0, 0};
    }
    return Extent{std::min(depth.YRes(), labels.YRes()), std::min(depth.XRes(), labels.XRes())};
}

template <typename T>
Extent CommonExtent(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels,
                    const WorldPointConverter<T>* converter) {
    Extent extent = CommonExtent(depth, labels);
    if (converter == nullptr || converter->m_worldMap.Data() == nullptr) {
        return Extent{0, 0};
    }
    extent.rows = std::min(extent.rows, converter->m_worldMap.Rows());
    extent.columns = std::min(extent.columns, converter->m_worldMap.Columns());
    return extent;
}

// The caller's converter, or a temporary one from the depth node and the
// depth map's size while the operation runs. A pass without pixels needs
// none, and none is built for an empty map (a converter needs a size).
template <typename T>
class ConverterInUse {
public:
    ConverterInUse(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                   WorldPointConverter<T>* converter, bool needed)
        : m_pConverter(converter) {
        if (m_pConverter == nullptr && needed && depth.XRes() > 0 && depth.YRes() > 0) {
            m_owned.reset(new WorldPointConverter<T>(depthGen, depth.XRes(), depth.YRes()));
            m_pConverter = m_owned.get();
        }
    }
    WorldPointConverter<T>* Get() const { return m_pConverter; }

    // Brings the world map up to the depth map; false without a converter
    // or without pixels.
    bool UpdateWorldPoints(const xn::DepthMetaData& depth) const {
        if (m_pConverter == nullptr || depth.Data() == nullptr) {
            return false;
        }
        m_pConverter->UpdateWorldPoints(depth);
        return true;
    }

private:
    WorldPointConverter<T>* m_pConverter;
    std::unique_ptr<WorldPointConverter<T>> m_owned;
};

// World area of one pixel at depth z; beyond the tables from the factor,
// exactly as the table would hold it.
template <typename T>
T PixelAreaAt(const WorldPointConverterBase<T>& converter, int z) {
    if (z < converter.m_nDepthTableSize) {
        return converter.m_pPixelAreaAtDepth[z];
    }
    const T k = converter.m_fPixelSizeFactor;
    const T depth = static_cast<T>(z);
    return ((k * k) * depth) * depth;
}

// The float form multiplies by the reciprocal, the double form divides.
inline Vector3D<float> Normalized(const Vector3D<float>& sum, float weight) {
    const float r = 1.0f / weight;
    return sum * r;
}
inline Vector3D<double> Normalized(const Vector3D<double>& sum, double weight) { return sum / weight; }

template <typename U>
void ResetList(Array<U>& list, const U& value, int size) {
    list.Clear();
    for (int i = 0; i < size; ++i) {
        list.Push(value);
    }
}

template <typename U>
void Widen(Box1D<U>& box, U value) {
    box.min = std::min(box.min, value);
    box.max = std::max(box.max, value);
}

inline void Widen(Box2D<int>& box, int x, int y) {
    box.min.x = std::min(box.min.x, x);
    box.min.y = std::min(box.min.y, y);
    box.max.x = std::max(box.max.x, x);
    box.max.y = std::max(box.max.y, y);
}

template <typename T>
void Widen(Box3D<T>& box, const Vector3D<T>& p) {
    box.min.x = std::min(box.min.x, p.x);
    box.min.y = std::min(box.min.y, p.y);
    box.min.z = std::min(box.min.z, p.z);
    box.max.x = std::max(box.max.x, p.x);
    box.max.y = std::max(box.max.y, p.y);
    box.max.z = std::max(box.max.z, p.z);
}

// Calls f(label, row, column, depth) for every pixel of the extent whose
// label lies in 1 .. limit - 1.
template <typename F>
void ForEachLabelledPixel(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels, const Extent& extent,
                          int limit, F f) {
    for (int i = 0; i < extent.rows; ++i) {
        const XnDepthPixel* pDepth = depth.Data() + static_cast<ptrdiff_t>(i) * depth.XRes();
        const XnLabel* pLabels = labels.Data() + static_cast<ptrdiff_t>(i) * labels.XRes();
        for (int j = 0; j < extent.columns; ++j) {
            const int label = pLabels[j];
            if (label > 0 && label < limit) {
                f(label, i, j, static_cast<int>(pDepth[j]));
            }
        }
    }
}

// The same with the pixel's world point: f(label, row, column, depth, P).
template <typename T, typename F>
void ForEachLabelledWorldPixel(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels,
                               const WorldPointConverter<T>& converter, const Extent& extent, int limit, F f) {
    const Array2D<Vector3D<T>>& world = converter.m_worldMap;
    for (int i = 0; i < extent.rows; ++i) {
        const XnDepthPixel* pDepth = depth.Data() + static_cast<ptrdiff_t>(i) * depth.XRes();
        const XnLabel* pLabels = labels.Data() + static_cast<ptrdiff_t>(i) * labels.XRes();
        const Vector3D<T>* pWorld = world.Data() + static_cast<ptrdiff_t>(i) * world.Columns();
        for (int j = 0; j < extent.columns; ++j) {
            const int label = pLabels[j];
            if (label > 0 && label < limit) {
                f(label, i, j, static_cast<int>(pDepth[j]), pWorld[j]);
            }
        }
    }
}

// The label count of a LabelMatrixWithCount as a list size: 0 to 2000.
int LabelLimit(int count, int maxLabels) { return std::max(0, std::min(count, maxLabels)); }

}  // namespace

template <typename T>
Box3D<T> ConnectedComponentProperties<T>::EmptyWorldBox() {
    return Box3D<T>();
}

template <>
Box3D<double> ConnectedComponentProperties<double>::EmptyWorldBox() {
    return Box3D<double>(Vector3D<double>(DBL_MAX, DBL_MAX, DBL_MAX),
                         Vector3D<double>(-static_cast<double>(FLT_MAX), -static_cast<double>(FLT_MAX),
                                          -static_cast<double>(FLT_MAX)));
}

template <typename T>
ConnectedComponentProperties<T>::ConnectedComponentProperties() : m_box(EmptyWorldBox()) {
    ResetAll();
}

template <typename T>
void ConnectedComponentProperties<T>::ResetAll() {
    ResetList(m_pixelCount, 0, kMaxLabels);
    ResetList(m_area, T(0), kMaxLabels);
    ResetList(m_zBounds, Box1D<unsigned short>(), kMaxLabels);
    ResetList(m_xBounds, Box1D<int>(), kMaxLabels);
    ResetList(m_imageBounds, Box2D<int>(), kMaxLabels);
    ResetList(m_bbox, EmptyWorldBox(), kMaxLabels);
    ResetList(m_centerOfMass, Vector3D<T>(), kMaxLabels);
}

template <typename T>
void ConnectedComponentProperties<T>::ClearCC(unsigned short label) {
    if (label >= kMaxLabels) {
        return;
    }
    // Every list is checked: the column ranges may have been shortened, and
    // the lists are public.
    if (label < m_pixelCount.Size()) {
        m_pixelCount[label] = 0;
    }
    if (label < m_area.Size()) {
        m_area[label] = T(0);
    }
    if (label < m_zBounds.Size()) {
        m_zBounds[label] = Box1D<unsigned short>();
    }
    if (label < m_xBounds.Size()) {
        m_xBounds[label] = Box1D<int>();
    }
    if (label < m_imageBounds.Size()) {
        m_imageBounds[label] = Box2D<int>();
    }
    if (label < m_bbox.Size()) {
        m_bbox[label] = EmptyWorldBox();
    }
    if (label < m_centerOfMass.Size()) {
        m_centerOfMass[label] = Vector3D<T>();
    }
}

template <typename T>
void ConnectedComponentProperties<T>::ClearLabel(const Box2D<int>& box, xn::SceneMetaData& labels,
                                                 unsigned short label) {
    XnLabel* pLabels = WritableLabels(labels);
    if (pLabels != nullptr) {
        const int firstRow = std::max(box.min.y, 0);
        const int lastRow = std::min(box.max.y, labels.YRes() - 1);
        const int firstColumn = std::max(box.min.x, 0);
        const int lastColumn = std::min(box.max.x, labels.XRes() - 1);
        for (int i = firstRow; i <= lastRow; ++i) {
            XnLabel* pRow = pLabels + static_cast<ptrdiff_t>(i) * labels.XRes();
            for (int j = firstColumn; j <= lastColumn; ++j) {
                if (pRow[j] == label) {
                    pRow[j] = 0;
                }
            }
        }
    }
    ClearCC(label);
}

template <typename T>
void ConnectedComponentProperties<T>::ComputePixelCount(const xn::SceneMetaData& labels) {
    ResetList(m_pixelCount, 0, std::max(m_pixelCount.Size(), static_cast<int>(kMaxLabels)));
    if (labels.Data() == nullptr) {
        return;
    }
    const int rows = labels.YRes();
    const int columns = labels.XRes();
    for (int i = 0; i < rows; ++i) {
        const XnLabel* pLabels = labels.Data() + static_cast<ptrdiff_t>(i) * columns;
        for (int j = 0; j < columns; ++j) {
            const int label = pLabels[j];
            if (label > 0 && label < kMaxLabels) {
                ++m_pixelCount[label];
            }
        }
    }
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeArea(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                                                  const xn::SceneMetaData& labels,
                                                  WorldPointConverter<T>* converter) {
    ResetList(m_area, T(0), std::max(m_area.Size(), static_cast<int>(kMaxLabels)));
    const Extent extent = CommonExtent(depth, labels);
    const ConverterInUse<T> inUse(depthGen, depth, converter, !extent.Empty());
    if (inUse.Get() == nullptr) {
        return;
    }
    const WorldPointConverter<T>& c = *inUse.Get();
    ForEachLabelledPixel(depth, labels, extent, kMaxLabels,
                         [&](int label, int, int, int z) { m_area[label] += PixelAreaAt(c, z); });
}

template <typename T>
int ConnectedComponentProperties<T>::GetLabelWithLargestArea(const xn::DepthGenerator& depthGen,
                                                             const xn::DepthMetaData& depth,
                                                             const xn::SceneMetaData& labels,
                                                             WorldPointConverter<T>* converter, bool recompute) {
    if (recompute) {
        ComputeArea(depthGen, depth, labels, converter);
    }
    if (m_area.Size() == 0) {
        return -1;
    }
    int best = 0;
    for (int i = 1; i < m_area.Size(); ++i) {
        if (m_area[i] > m_area[best]) {
            best = i;
        }
    }
    return best;
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeZBounds(const xn::DepthMetaData& depth,
                                                     const xn::SceneMetaData& labels) {
    ResetList(m_zBounds, Box1D<unsigned short>(), std::max(m_zBounds.Size(), static_cast<int>(kMaxLabels)));
    ForEachLabelledPixel(depth, labels, CommonExtent(depth, labels), kMaxLabels, [&](int label, int, int, int z) {
        Widen(m_zBounds[label], static_cast<unsigned short>(z));
    });
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeImageXBounds(const xn::DepthMetaData& depth,
                                                          const LabelMatrixWithCount& labels) {
    const int limit = LabelLimit(labels.m_nCount, kMaxLabels);
    ResetList(m_xBounds, Box1D<int>(), limit);
    ForEachLabelledPixel(depth, labels.m_labels, CommonExtent(depth, labels.m_labels), limit,
                         [&](int label, int, int j, int) { Widen(m_xBounds[label], j); });
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeImageXBounds(const xn::DepthMetaData& depth,
                                                          const xn::SceneMetaData& labels) {
    ComputeImageXBounds(depth, LabelMatrixWithCount(labels, kMaxLabels));
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeImageBounds(const xn::DepthMetaData& depth,
                                                         const xn::SceneMetaData& labels) {
    ResetList(m_imageBounds, Box2D<int>(), std::max(m_imageBounds.Size(), static_cast<int>(kMaxLabels)));
    ForEachLabelledPixel(depth, labels, CommonExtent(depth, labels), kMaxLabels,
                         [&](int label, int i, int j, int) { Widen(m_imageBounds[label], j, i); });
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeBBox(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                                                  const xn::SceneMetaData& labels,
                                                  WorldPointConverter<T>* converter) {
    const ConverterInUse<T> inUse(depthGen, depth, converter, !CommonExtent(depth, labels).Empty());
    inUse.UpdateWorldPoints(depth);
    ResetList(m_bbox, EmptyWorldBox(), std::max(m_zBounds.Size(), static_cast<int>(kMaxLabels)));
    if (inUse.Get() == nullptr) {
        return;
    }
    const Extent extent = CommonExtent(depth, labels, inUse.Get());
    ForEachLabelledWorldPixel(depth, labels, *inUse.Get(), extent, kMaxLabels,
                              [&](int label, int, int, int, const Vector3D<T>& p) { Widen(m_bbox[label], p); });
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeCenterOfMass(const xn::DepthGenerator& depthGen,
                                                          const xn::DepthMetaData& depth,
                                                          const LabelMatrixWithCount& labels, bool weighted,
                                                          WorldPointConverter<T>* converter) {
    const int limit = LabelLimit(labels.m_nCount, kMaxLabels);
    const xn::SceneMetaData& map = labels.m_labels;
    const ConverterInUse<T> inUse(depthGen, depth, converter, !CommonExtent(depth, map).Empty());
    inUse.UpdateWorldPoints(depth);
    ResetList(m_centerOfMass, Vector3D<T>(), std::max(m_zBounds.Size(), static_cast<int>(kMaxLabels)));
    if (weighted) {
        ResetList(m_area, T(0), std::max(m_area.Size(), static_cast<int>(kMaxLabels)));
    } else {
        ResetList(m_pixelCount, 0, std::max(m_pixelCount.Size(), static_cast<int>(kMaxLabels)));
    }
    if (inUse.Get() == nullptr) {
        return;
    }
    const WorldPointConverter<T>& c = *inUse.Get();
    const Extent extent = CommonExtent(depth, map, &c);
    if (weighted) {
        ForEachLabelledWorldPixel(depth, map, c, extent, limit, [&](int label, int, int, int z, const Vector3D<T>& p) {
            const T w = PixelAreaAt(c, z);
            m_centerOfMass[label] += p * w;
            m_area[label] += w;
        });
        for (int label = 0; label < limit; ++label) {
            if (m_area[label] != T(0)) {
                m_centerOfMass[label] = Normalized(m_centerOfMass[label], m_area[label]);
            }
        }
    } else {
        ForEachLabelledWorldPixel(depth, map, c, extent, limit, [&](int label, int, int, int, const Vector3D<T>& p) {
            m_centerOfMass[label] += p;
            ++m_pixelCount[label];
        });
        for (int label = 0; label < limit; ++label) {
            if (m_pixelCount[label] != 0) {
                m_centerOfMass[label] = Normalized(m_centerOfMass[label], static_cast<T>(m_pixelCount[label]));
            }
        }
    }
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeCenterOfMass(const xn::DepthGenerator& depthGen,
                                                          const xn::DepthMetaData& depth,
                                                          const xn::SceneMetaData& labels, bool weighted,
                                                          WorldPointConverter<T>* converter) {
    ComputeCenterOfMass(depthGen, depth, LabelMatrixWithCount(labels, kMaxLabels), weighted, converter);
}

template <typename T>
void ConnectedComponentProperties<T>::ComputeAllProperties(const xn::DepthGenerator& depthGen,
                                                           const xn::DepthMetaData& depth,
                                                           const xn::SceneMetaData& labels, bool weighted,
                                                           WorldPointConverter<T>* converter) {
    const ConverterInUse<T> inUse(depthGen, depth, converter, !CommonExtent(depth, labels).Empty());
    inUse.UpdateWorldPoints(depth);
    // Every list back to (at least) 2000 entries, the column ranges too: a
    // shorter list would be indexed beyond its end below.
    ResetList(m_zBounds, Box1D<unsigned short>(), std::max(m_zBounds.Size(), static_cast<int>(kMaxLabels)));
    ResetList(m_area, T(0), std::max(m_area.Size(), static_cast<int>(kMaxLabels)));
    ResetList(m_pixelCount, 0, std::max(m_pixelCount.Size(), static_cast<int>(kMaxLabels)));
    ResetList(m_xBounds, Box1D<int>(), std::max(m_xBounds.Size(), static_cast<int>(kMaxLabels)));
    ResetList(m_bbox, EmptyWorldBox(), m_zBounds.Size());
    ResetList(m_centerOfMass, Vector3D<T>(), m_zBounds.Size());
    ResetList(m_imageBounds, Box2D<int>(), std::max(m_imageBounds.Size(), static_cast<int>(kMaxLabels)));
    if (inUse.Get() == nullptr) {
        return;
    }
    const WorldPointConverter<T>& c = *inUse.Get();
    const Extent extent = CommonExtent(depth, labels, &c);
    ForEachLabelledWorldPixel(depth, labels, c, extent, kMaxLabels,
                              [&](int label, int i, int j, int z, const Vector3D<T>& p) {
                                  const T area = PixelAreaAt(c, z);
                                  ++m_pixelCount[label];
                                  m_area[label] += area;
                                  Widen(m_zBounds[label], static_cast<unsigned short>(z));
                                  Widen(m_xBounds[label], j);
                                  Widen(m_imageBounds[label], j, i);
                                  Widen(m_bbox[label], p);
                                  m_centerOfMass[label] += weighted ? p * area : p;
                              });
    for (int label = 0; label < kMaxLabels; ++label) {
        const T weight = weighted ? m_area[label] : static_cast<T>(m_pixelCount[label]);
        if (weight != T(0)) {
            m_centerOfMass[label] = Normalized(m_centerOfMass[label], weight);
        }
    }
}

template <typename T>
Vector3D<T> ConnectedComponentProperties<T>::GetLabelCenterOfMass(const xn::DepthGenerator& depthGen,
                                                                  const xn::DepthMetaData& depth,
                                                                  const Box2D<int>& box,
                                                                  const xn::SceneMetaData& labels,
                                                                  unsigned short label, bool weighted,
                                                                  WorldPointConverter<T>* converter) {
    const ConverterInUse<T> inUse(depthGen, depth, converter, !CommonExtent(depth, labels).Empty());
    inUse.UpdateWorldPoints(depth);
    if (box.max.y < box.min.y || inUse.Get() == nullptr) {
        return Vector3D<T>();
    }
    const WorldPointConverter<T>& c = *inUse.Get();
    const Extent extent = CommonExtent(depth, labels, &c);
    const int firstRow = std::max(box.min.y, 0);
    const int lastRow = std::min(box.max.y, extent.rows - 1);
    const int firstColumn = std::max(box.min.x, 0);
    const int lastColumn = std::min(box.max.x, extent.columns - 1);
    const Array2D<Vector3D<T>>& world = c.m_worldMap;
    Vector3D<T> sum;
    T total = T(0);
    for (int i = firstRow; i <= lastRow; ++i) {
        const XnDepthPixel* pDepth = depth.Data() + static_cast<ptrdiff_t>(i) * depth.XRes();
        const XnLabel* pLabels = labels.Data() + static_cast<ptrdiff_t>(i) * labels.XRes();
        const Vector3D<T>* pWorld = world.Data() + static_cast<ptrdiff_t>(i) * world.Columns();
        for (int j = firstColumn; j <= lastColumn; ++j) {
            if (pLabels[j] != label) {
                continue;
            }
            if (weighted) {
                const T w = PixelAreaAt(c, pDepth[j]);
                sum += pWorld[j] * w;
                total += w;
            } else {
                sum += pWorld[j];
                total += T(1);
            }
        }
    }
    return total != T(0) ? sum / total : Vector3D<T>();
}

template class ConnectedComponentProperties<float>;
template class ConnectedComponentProperties<double>;
