#pragma once

// Per-label statistics of a 16-bit label map read together with the depth
// map of the same frame: pixel count, world area, depth range, column range,
// image box, world box and centre of mass, each in a list indexed by the
// label. Labels 1 to 1999 are counted; 0 (no component) and labels from
// 2000 up are skipped.
//
// The lists are allocated once for 2000 labels and reset in place. The hand
// detector fills and reads them with its own passes; the Compute operations
// are single passes over the maps. World points come from the converter's
// per-frame world map, so a converter kept by the caller computes it once
// per depth frame however many operations run; with a null converter each
// operation builds a temporary one from the depth node and the map's size.
//
// The depth and label maps are read pixel by pixel at the same row and
// column, each with its own row length; they should have the same size, and
// only the rows and columns both cover are read. Depths beyond the
// converter's tables take their area from the converter's factor.

#include "QuorLibrary/Math/Box1D.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "QuorLibrary/Utilities/Array.h"
#include "XnAdapter/XnDepthMetaData.h"
#include "XnAdapter/XnNodes.h"
#include "XnAdapter/XnSceneMetaData.h"

// A label map and the number of labels in use (label 0 included): the
// operations that take one consider labels 1 to min(count, 2000) - 1.
struct LabelMatrixWithCount {
    LabelMatrixWithCount(const xn::SceneMetaData& labels, int count) : m_labels(labels), m_nCount(count) {}

    const xn::SceneMetaData& m_labels;
    int m_nCount;
};

template <typename T>
class ConnectedComponentProperties {
public:
    // Entries of every list; labels from this value up are ignored.
    static constexpr int kMaxLabels = 2000;

    ConnectedComponentProperties();

    // Resets entry label of all seven lists; labels from 2000 up are
    // ignored, and a column-range list shortened by ComputeImageXBounds is
    // reset only below its size.
    void ClearCC(unsigned short label);
    // Zeroes the pixels of the label map inside box (inclusive; the part
    // outside the map is skipped) whose label is label, then ClearCC(label).
    void ClearLabel(const Box2D<int>& box, xn::SceneMetaData& labels, unsigned short label);

    void ComputePixelCount(const xn::SceneMetaData& labels);
    // Sums the world area (mm^2) of each label's pixels.
    void ComputeArea(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                     const xn::SceneMetaData& labels, WorldPointConverter<T>* converter);
    // The first label of largest area (0 when every area is 0), -1 when the
    // area list is empty; with recompute the areas are computed first.
    int GetLabelWithLargestArea(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                                const xn::SceneMetaData& labels, WorldPointConverter<T>* converter, bool recompute);
    // Depth range of each label's pixels, zero depths included.
    void ComputeZBounds(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels);
    // Column ranges of labels 1 to m - 1, m = min(count, 2000) (0 for a
    // negative count); the list is left with m entries.
    void ComputeImageXBounds(const xn::DepthMetaData& depth, const LabelMatrixWithCount& labels);
    void ComputeImageXBounds(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels);
    // Image box (columns and rows) of each label.
    void ComputeImageBounds(const xn::DepthMetaData& depth, const xn::SceneMetaData& labels);
    // World box of each label's pixels.
    void ComputeBBox(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                     const xn::SceneMetaData& labels, WorldPointConverter<T>* converter);
    // World centre of mass of labels 1 to min(count, 2000) - 1, each pixel
    // weighted by its world area (weighted) or by 1; refreshes m_area
    // (weighted) or m_pixelCount (unweighted) on the way. Labels without
    // weight keep (0, 0, 0).
    void ComputeCenterOfMass(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                             const LabelMatrixWithCount& labels, bool weighted, WorldPointConverter<T>* converter);
    void ComputeCenterOfMass(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                             const xn::SceneMetaData& labels, bool weighted, WorldPointConverter<T>* converter);
    // All seven lists in one pass; the column-range list gets its 2000
    // entries back.
    void ComputeAllProperties(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                              const xn::SceneMetaData& labels, bool weighted, WorldPointConverter<T>* converter);
    // Centre of mass of the pixels of one label inside box (inclusive, the
    // part outside the maps skipped); (0, 0, 0) when there are none. The
    // lists are left alone.
    Vector3D<T> GetLabelCenterOfMass(const xn::DepthGenerator& depthGen, const xn::DepthMetaData& depth,
                                     const Box2D<int>& box, const xn::SceneMetaData& labels, unsigned short label,
                                     bool weighted, WorldPointConverter<T>* converter);

    // Carried along by copies; no operation computes them.
    Box3D<T> m_box;
    Vector3D<T> m_point;

    Array<int> m_pixelCount;
    // World area in mm^2.
    Array<T> m_area;
    // Depth range in mm.
    Array<Box1D<unsigned short>> m_zBounds;
    // Column range.
    Array<Box1D<int>> m_xBounds;
    // Columns and rows.
    Array<Box2D<int>> m_imageBounds;
    // World box in mm.
    Array<Box3D<T>> m_bbox;
    Array<Vector3D<T>> m_centerOfMass;

    // The reset value of the world boxes. For double its maximum corner
    // starts at the single-precision lowest value, -3.4028234663852886e38.
    static Box3D<T> EmptyWorldBox();

private:
    // Every list at 2000 entries of its reset value.
    void ResetAll();
};

template <>
Box3D<double> ConnectedComponentProperties<double>::EmptyWorldBox();

extern template class ConnectedComponentProperties<float>;
extern template class ConnectedComponentProperties<double>;
