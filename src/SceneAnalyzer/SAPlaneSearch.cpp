// The exhaustive plane search of a slot: candidate pixels whose local
// surface faces the kind's way, the histogram of their tangent planes'
// distances from the shift-space origin, its relevant mode, and a trimmed
// least-squares fit to the pixels of that mode.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/SensorUtilities/Morphology.h"
#include "SceneAnalyzer/SAPlane.h"

namespace {

// Fraction bits of the local normals.
constexpr int floorNormalPrecision = 14;

// 3x3 grey-level erosion (minimum) or dilation (maximum) of rows first..h-1,
// the window clipped to the image and to those rows.
void FilterRows(const short* source, short* target, int w, int h, int first, bool minimum) {
    for (int j = first; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            int value = minimum ? 32767 : -32768;
            for (int jj = std::max(j - 1, first); jj <= std::min(j + 1, h - 1); ++jj) {
                for (int ii = std::max(i - 1, 0); ii <= std::min(i + 1, w - 1); ++ii) {
                    const int v = source[jj * w + ii];
                    value = minimum ? std::min(value, v) : std::max(value, v);
                }
            }
            target[j * w + i] = static_cast<short>(value);
        }
    }
}

int CompareResidualsDescending(const void* a, const void* b) {
    const int32_t x = static_cast<const SAErrPoint*>(a)->residual;
    const int32_t y = static_cast<const SAErrPoint*>(b)->residual;
    return x > y ? -1 : (x < y ? 1 : 0);
}

// The exhaustive fit's sums; the products exact per chunk, then in float.
struct CandidateSums {
    int64_t n = 0;
    int64_t x = 0;
    int64_t y = 0;
    int64_t s = 0;
    int64_t area = 0;
    float xx = 0.0f;
    float xy = 0.0f;
    float xs = 0.0f;
    float yy = 0.0f;
    float ys = 0.0f;

    SAPlaneSums ForSolving() const {
        SAPlaneSums sums;
        sums.n = static_cast<float>(n);
        sums.x = static_cast<float>(x);
        sums.y = static_cast<float>(y);
        sums.s = static_cast<float>(s);
        sums.xx = xx;
        sums.xy = xy;
        sums.xs = xs;
        sums.yy = yy;
        sums.ys = ys;
        return sums;
    }
};

}  // namespace

bool SAPlane::ExhaustiveFloor() {
    if (!FindSAPlanePixelCandidates() || m_pShared->m_candidates.Size() < 1) {
        return false;
    }
    int low = 0;
    int high = 0;
    if (!findRelevantModeInHist(low, high)) {
        return false;
    }
    return calcExhaustiveSAPlane(low, high);
}

bool SAPlane::FindSAPlanePixelCandidates() {
    CSAPlanesCommonData& shared = *m_pShared;
    shared.m_candidates.Clear();
    shared.m_candidateDistances.Clear();
    shared.m_candidateSelected.Clear();
    shared.m_residuals.Clear();
    std::fill(shared.m_histogram.Data(), shared.m_histogram.Data() + shared.m_histogram.Size(), 0);
    if (m_pBackground == nullptr || !IsValidResolution(shared.m_halfResolution)) {
        return false;
    }
    const Array2D<unsigned short>* work = m_pBackground;
    if (m_pBackground->Columns() != shared.m_nHalfXRes || m_pBackground->Rows() != shared.m_nHalfYRes) {
        if (m_pBackground->Columns() != shared.m_nXRes || m_pBackground->Rows() != shared.m_nYRes) {
            return false;
        }
        m_pCommonData->Downscale(m_pBackground->Data(), shared.m_halfBackground.Data(), shared.m_nXRes,
                                 shared.m_nYRes, shared.m_nFactor);
        work = &shared.m_halfBackground;
    }
    const int w = shared.m_nHalfXRes;
    const int h = shared.m_nHalfYRes;
    short* distance = shared.m_distanceMap.Data();
    std::memset(distance, 0, sizeof(short) * static_cast<size_t>(w * h));
    const int f = shared.m_nFactor;
    const int step = shared.m_nStep;
    const int v = step / f;
    const int r0 = m_type == PLANE_FLOOR ? (2 * h) / 3 : v;
    const int W = shared.m_nXRes;
    const int H = shared.m_nYRes;
    const int maxShift = shared.m_nMaxShift;
    const unsigned short* g0 = work->Data();
    const int shiftPart = floorNormalPrecision - 6;
    const int64_t rounding = int64_t{1} << (floorNormalPrecision - 7);

    for (int j = r0; j < h; ++j) {
        const int yc = f * j - H / 2;
        for (int i = v; i < w; ++i) {
            const int xc = f * i - W / 2;
            const int g = g0[j * w + i];
            const int gl = g0[j * w + i - v];
            const int gu = g0[(j - v) * w + i];
            if (g < 2 || g > maxShift || gl < 2 || gu < 2 || g >= shared.m_nCoeffCount) {
                continue;
            }
            const int dx = g - gl;
            const int dy = g - gu;
            if (dx < -100 || dx > 100 || dy < -100 || dy > 100) {
                continue;
            }
            const int64_t c11 = shared.m_pCoeff11[g];
            const int64_t c31 = shared.m_pCoeff31[g];
            const int64_t c33 = shared.m_pCoeff33[g];
            const int64_t along = static_cast<int64_t>(xc) * dx + static_cast<int64_t>(yc) * dy;
            const int64_t nx = (c11 * dx + rounding) >> shiftPart;
            const int64_t ny = (-c11 * dy + rounding) >> shiftPart;
            const int64_t nz = (c31 * along - step * c33 + rounding) >> shiftPart;
            int64_t d = 0;
            switch (m_type) {
                case PLANE_FLOOR: d = ny; break;
                case PLANE_CEILING: d = -ny; break;
                case PLANE_WALL_NEG_X: d = -nx; break;
                case PLANE_WALL_POS_X: d = nx; break;
                default: d = -nz; break;
            }
            if (d <= 0 || (nx * nx + ny * ny + nz * nz) / 2 >= d * d) {
                continue;
            }
            const int64_t o = -((along - static_cast<int64_t>(step) * g + 2) >> 2);
            if (o <= 0) {
                continue;
            }
            const int64_t q = (o * o) / (static_cast<int64_t>(dx) * dx + static_cast<int64_t>(dy) * dy +
                                         static_cast<int64_t>(step) * step);
            const int64_t value = 4 * static_cast<int64_t>(std::sqrt(static_cast<double>(q)) + 0.5);
            const short stored = static_cast<short>(std::min<int64_t>(value, 32767));
            distance[j * w + i] = stored;
            if (distance[j * w + i - v] == 0) {
                distance[j * w + i - v] = stored;
            }
            if (distance[(j - v) * w + i] == 0) {
                distance[(j - v) * w + i] = stored;
            }
        }
    }
    if (shared.m_bUsePolygon) {
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                const int x = std::min(f * i, W - 1);
                const int y = std::min(f * j, H - 1);
                if (shared.m_polygonMask(y, x) == 0) {
                    distance[j * w + i] = 0;
                }
            }
        }
    }
    short* temp = shared.m_tempMap.Data();
    if (r0 < h) {
        if (shared.m_bSSE != 0 && w % 8 == 0) {
            Morphology::ErodeSSE(distance, temp, w, h, 0, w - 1, r0, h - 1, 3, 3);
            Morphology::DilateSSE(temp, distance, w, h, 0, w - 1, r0, h - 1, 3, 3);
        } else {
            FilterRows(distance, temp, w, h, r0, true);
            FilterRows(temp, distance, w, h, r0, false);
        }
    }
    const int binWidth = 1500 / shared.m_nBins;
    for (int j = r0; j < h; ++j) {
        for (int i = v; i < w; ++i) {
            const int d = distance[j * w + i];
            if (d == 0) {
                continue;
            }
            const int s = g0[j * w + i];
            shared.m_candidates.push_back_fast(Vector3D<int>(f * i, f * j, s));
            shared.m_candidateDistances.push_back_fast(d);
            shared.m_candidateSelected.push_back_fast(false);
            // Negative values are distances no bin holds; the opening only
            // ever takes a minimum of non-negative ones.
            const int bin = std::min(shared.m_nBins - 1, std::max(d, 0) / binWidth);
            shared.m_histogram[bin] += shared.AreaAtShift(static_cast<unsigned>(s));
        }
    }
    return true;
}

bool SAPlane::findRelevantModeInHist(int& low, int& high) const {
    const CSAPlanesCommonData& shared = *m_pShared;
    const int bins = shared.m_nBins;
    const int64_t* hist = shared.m_histogram.Data();
    if (shared.m_histogram.Size() < bins) {
        return false;
    }
    bool chosen = false;
    int64_t chosenMass = 0;
    int chosenPeak = 0;
    int chosenLeft = 0;
    int chosenRight = 0;
    for (int p = 1; p <= bins - 2; ++p) {
        if (!(hist[p] > hist[p - 1] && hist[p] > hist[p + 1])) {
            continue;
        }
        int64_t mass = hist[p];
        int right = p;
        for (int q = p + 1; q <= std::min(p + 4, bins - 1) && hist[q] != 0; ++q) {
            mass += hist[q];
            right = q;
        }
        int left = p;
        for (int q = p - 1; q >= std::max(p - 4, 0) && hist[q] != 0; --q) {
            mass += hist[q];
            left = q;
        }
        if (mass < CSAPlanesCommonData::kMassThreshold) {
            continue;
        }
        if (!chosen || mass > chosenMass || p > chosenPeak + 4) {
            chosen = true;
            chosenMass = mass;
            chosenPeak = p;
            chosenLeft = left;
            chosenRight = right;
        }
    }
    if (!chosen) {
        return false;
    }
    const int binWidth = 1500 / bins;
    low = chosenLeft * binWidth;
    high = chosenRight * (binWidth + 1);
    return true;
}

bool SAPlane::calcExhaustiveSAPlane(int low, int high) {
    CSAPlanesCommonData& shared = *m_pShared;
    const int W = shared.m_nXRes;
    const int H = shared.m_nYRes;
    const int largest = std::max(W, H);
    Array<Vector3D<int> >& candidates = shared.m_candidates;
    Array<bool>& selected = shared.m_candidateSelected;

    CandidateSums sums;
    uint32_t chunk[5] = {0, 0, 0, 0, 0};
    uint32_t inChunk = 0;
    const auto flush = [&sums, &chunk, &inChunk]() {
        sums.xx += static_cast<float>(chunk[0]);
        sums.xy += static_cast<float>(chunk[1]);
        sums.xs += static_cast<float>(chunk[2]);
        sums.yy += static_cast<float>(chunk[3]);
        sums.ys += static_cast<float>(chunk[4]);
        std::fill(chunk, chunk + 5, 0u);
        inChunk = 0;
    };
    for (int i = 0; i < candidates.Size(); ++i) {
        const int d = shared.m_candidateDistances[i];
        if (d > low && d < high) {
            const Vector3D<int>& c = candidates[i];
            selected[i] = true;
            ++sums.n;
            sums.x += c.x;
            sums.y += c.y;
            sums.s += c.z;
            sums.area += shared.AreaAtShift(static_cast<unsigned>(c.z));
            const uint32_t x = static_cast<uint32_t>(c.x);
            const uint32_t y = static_cast<uint32_t>(c.y);
            const uint32_t s = static_cast<uint32_t>(c.z);
            chunk[0] += x * x;
            chunk[1] += x * y;
            chunk[2] += x * s;
            chunk[3] += y * y;
            chunk[4] += y * s;
        }
        if (++inChunk == shared.m_nPointsPerThread) {
            flush();
        }
    }
    flush();

    float A = 0.0f;
    float B = 0.0f;
    float C = 0.0f;
    if (!sums.ForSolving().Solve(A, B, C)) {
        return false;
    }
    const float deepest = static_cast<float>(shared.ShiftOfDepth(m_pCommonData->m_sensorParams.nDeviceMaxDepthValue));
    const float span = std::fabs(A) * static_cast<float>(W) + std::fabs(B) * static_cast<float>(H) + std::fabs(C);
    if (static_cast<float>(10 * largest) > 2147483648.0f / std::max(deepest, span)) {
        return false;
    }
    int k = 0;
    while ((int64_t{2} << k) <= 10 * largest) {
        ++k;
    }
    const int64_t c = int64_t{1} << k;
    const auto enough = [&sums]() { return sums.n > 14 && sums.area >= CSAPlanesCommonData::kMassThreshold; };
    if (!enough()) {
        return false;
    }
    // Candidates still in the list; the walk moves the last one into each
    // deselected one's place.
    int count = candidates.Size();
    bool removed = false;
    do {
        const int64_t Ai = std::llround(static_cast<double>(c) * A);
        const int64_t Bi = std::llround(static_cast<double>(c) * B);
        const int64_t Ci = std::llround(static_cast<double>(c) * C);
        shared.m_residuals.Clear();
        for (int i = 0; i < count;) {
            if (!selected[i]) {
                --count;
                candidates[i] = candidates[count];
                selected[i] = selected[count];
                continue;
            }
            const Vector3D<int>& p = candidates[i];
            const int64_t r = std::llabs((Ai * p.x + Bi * p.y + Ci - c * p.z) >> k);
            if (r > static_cast<int64_t>(m_planeWidth)) {
                shared.m_residuals.push_back_fast({static_cast<int32_t>(std::min<int64_t>(r, INT32_MAX)), i});
            }
            ++i;
        }
        const int outliers = shared.m_residuals.Size();
        std::qsort(shared.m_residuals.Data(), static_cast<size_t>(outliers), sizeof(SAErrPoint),
                   CompareResidualsDescending);
        const int removable = std::min(outliers, std::max(1, static_cast<int>(0.1 * count)));
        for (int e = 0; e < removable; ++e) {
            const int i = shared.m_residuals[e].index;
            const Vector3D<int>& p = candidates[i];
            selected[i] = false;
            const int64_t x = p.x;
            const int64_t y = p.y;
            const int64_t s = p.z;
            --sums.n;
            sums.x -= x;
            sums.y -= y;
            sums.s -= s;
            sums.area -= shared.AreaAtShift(static_cast<unsigned>(s));
            sums.xx -= static_cast<float>(x * x);
            sums.xy -= static_cast<float>(x * y);
            sums.xs -= static_cast<float>(x * s);
            sums.yy -= static_cast<float>(y * y);
            sums.ys -= static_cast<float>(y * s);
        }
        removed = removable > 0;
        if (!sums.ForSolving().Solve(A, B, C)) {
            return false;
        }
    } while (enough() && removed);
    if (!enough()) {
        return false;
    }
    m_sol[0] = A;
    m_sol[1] = B;
    m_sol[2] = C;
    CalcRealWorldPlane(this);
    return IsLegal();
}
