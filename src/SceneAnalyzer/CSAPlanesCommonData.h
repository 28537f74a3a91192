#pragma once

// What all plane slots of one plane set share: the sizes of the analysis
// and half resolutions, the buffers of the exhaustive search (half-size
// background, distance maps, candidate lists, histogram), the three mark
// maps the slots' plane records write into, the per-shift coefficients
// that turn a shift-space gradient into a world normal, and the optional
// floor polygon that confines the floor to a region of the image.
//
// Buffers only grow; Init may run again (after loading a saved state).

#include <cstdint>
#include <vector>

#include "QuorLibrary/Math/Vector2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/Array.h"
#include "QuorLibrary/Utilities/Array2D.h"

class NACommonData;

// One outlier of the trimming fit: its residual and its candidate index.
struct SAErrPoint {
    int32_t residual;
    int32_t index;
};

class CSAPlanesCommonData {
public:
    // Area tables hold square millimetres at this many fraction bits.
    static constexpr int kAreaPrecision = 7;
    // A plane needs this much surface (mm^2, in area-table units).
    static constexpr int64_t kMassThreshold = int64_t{50000} << kAreaPrecision;
    // Marking looks no farther than this depth (mm).
    static constexpr int kMarkingRangeDepth = 10000;

    CSAPlanesCommonData();
    ~CSAPlanesCommonData();
    CSAPlanesCommonData(const CSAPlanesCommonData&) = delete;
    CSAPlanesCommonData& operator=(const CSAPlanesCommonData&) = delete;

    // floorPoints (pixels of the analysis resolution) outline the floor;
    // null or fewer than 3 points mean none.
    void Init(NACommonData* hub, int bins, int useSSE, Resolution resolution, int factor, int step,
              const std::vector<Vector2D<int> >* floorPoints, unsigned short maxSupportedDepth);
    bool IsValid() const { return m_bValid; }

    // Tables of count entries: entry s is K(s) at 14 fraction bits, rounded,
    // for the three coefficients of the shift-to-world normal transform.
    void InitializeShiftToDepthVectors(int count, Resolution resolution, int** coeff11, int** coeff31,
                                       int** coeff33) const;
    // Applies a floor polygon: builds the inside mask unless the points are
    // those it was built from; switches the SSE variants off (they have no
    // mask) until the next Init.
    void handleExternalPoints(const std::vector<Vector2D<int> >* points);
    // Whether pixel (x, y) of the analysis resolution lies inside the
    // polygon, by the sum of the angles under which it sees the edges.
    static bool IsInsidePolygon(const std::vector<Vector2D<int> >& points, int x, int y);

    // The device's shift of a depth; the table's last entry past its end.
    unsigned short ShiftOfDepth(uint32_t depth) const;
    // Area weight (mm^2 x 128) of a half-resolution pixel at a shift.
    int32_t AreaAtShift(unsigned int shift) const;

    NACommonData* m_pCommonData;
    Resolution m_resolution;
    int m_nXRes;
    int m_nYRes;
    int m_nPixels;
    int m_nXRes8;
    int m_nCenterX;
    int m_nCenterY;
    Resolution m_halfResolution;
    int m_nHalfXRes;
    int m_nHalfYRes;
    int m_nHalfPixels;
    int m_nFactor;
    int m_nStep;
    int m_nBins;
    int m_bSSE;
    unsigned short m_nMaxShift;
    // Shift of 10 m, capped to 16-bit signed: marking's range.
    int m_nMarkRangeLimit;
    // Chunking of the exhaustive fit's unsigned 32-bit product sums: no sum
    // over m_nPointsPerThread candidates can overflow. Derived per Init, so
    // an analyzer at a larger resolution gets shorter chunks.
    uint32_t m_nMaxValue;
    uint32_t m_nPointsPerThread;

    Array2D<unsigned short> m_halfBackground;
    Array2D<short> m_distanceMap;
    Array2D<short> m_tempMap;
    Array<Vector3D<int> > m_candidates;
    Array<int32_t> m_candidateDistances;
    Array<bool> m_candidateSelected;
    Array<SAErrPoint> m_residuals;
    // One sum of area weights per bin; 64-bit, as a large wall's surface at
    // a far depth exceeds 32 bits.
    Array<int64_t> m_histogram;
    Array2D<unsigned short> m_marks[3];

    int* m_pCoeff11;
    int* m_pCoeff31;
    int* m_pCoeff33;
    int m_nCoeffCount;

    bool m_bUsePolygon;
    Array2D<unsigned char> m_polygonMask;
    std::vector<Vector2D<int> > m_polygonPoints;

private:
    void FreeCoefficients();

    bool m_bValid;
};
