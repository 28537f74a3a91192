#pragma once

// One plane slot of the plane set: the plane of one kind and order that the
// rest of the system reads (the slot is that plane record, with what keeps
// it), followed from frame to frame. On the frames the plane set gives it,
// the slot marks the background pixels on and behind its plane, refits the
// plane over them and keeps the refit only when it beats the best quality
// since the plane was found; a slot without a plane searches the whole
// background for one (a histogram of the tangent planes of pixels that face
// the kind's way, and a trimmed least-squares fit to its main mode).
//
// All fitting is in shift space, where a world plane stays a plane.

#include <cstdint>
#include <fstream>
#include <string>

#include "QuorLibrary/Utilities/Array2D.h"
#include "SceneAnalyzer/CSAPlanesCommonData.h"
#include "SceneAnalyzer/SAPlaneData.h"

class NACommonData;

// One row's exact sums of the refit: count, and sums of x, x*x, s and x*s
// of the marked pixels with a shift.
struct SAPlaneRowSums {
    int64_t n = 0;
    int64_t x = 0;
    int64_t xx = 0;
    int64_t s = 0;
    int64_t xs = 0;

    void Add(int column, unsigned short mark, unsigned short shift) {
        if (mark == 0 || shift == 0) {
            return;
        }
        const int64_t c = column;
        ++n;
        x += c;
        xx += c * c;
        s += shift;
        xs += c * shift;
    }
};

// Sums of a least-squares plane fit s = A x + B y + C.
struct SAPlaneSums {
    float xx = 0.0f;
    float xy = 0.0f;
    float xs = 0.0f;
    float yy = 0.0f;
    float ys = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    float s = 0.0f;
    float n = 0.0f;

    // Adds the exact sums of row y.
    void AddRow(int y, const SAPlaneRowSums& row);
    // Solves by cofactors; false when the determinant's magnitude is at
    // most 1e-8.
    bool Solve(float& a, float& b, float& c) const;
};

class SAPlane : public SAPlaneData {
public:
    // Initial best quality: lower than any plane's.
    static constexpr float kNoQuality = -10000000.0f;

    SAPlane();
    ~SAPlane();
    SAPlane(const SAPlane&) = delete;
    // Takes the other slot's three plane records and best quality; keeps
    // its own references, order, band and profiling.
    SAPlane& operator=(const SAPlane& other);

    void init(NACommonData* hub, int order, EPlaneType type, int profiling, CSAPlanesCommonData* shared);
    // One update on the frame's background shift map.
    void update(const Array2D<unsigned short>& background, int backgroundReset);
    // Re-links the slot to shared data (after a saved state is loaded).
    void SetPointers(CSAPlanesCommonData* shared);
    void SetProfFile(const char* path) const;

    // The exhaustive search; true when it found a legal plane.
    bool ExhaustiveFloor();
    bool FindSAPlanePixelCandidates();
    bool findRelevantModeInHist(int& low, int& high) const;
    bool calcExhaustiveSAPlane(int low, int high);
    void CalcRealWorldPlane(SAPlaneData* data) const;

    void findNewSAPlane();
    void MarkFloor(SAPlaneData* data) const;
    void ResetSAPlane(SAPlaneData* data) const;
    // The marking of rows [minY, maxY) and columns [minX, maxX) against the
    // fixed-point plane p(x, y) = (A x + B y + C) >> 10: the plain loop
    // honours the floor polygon, the SSE one (8 pixels a step, columns in
    // whole blocks of 8) has no mask.
    void Mark(SAPlaneData* data, int32_t A, int32_t B, int32_t C) const;
    void Mark_SSE(SAPlaneData* data, int32_t A, int32_t B, int32_t C) const;
    // Least-squares refit over every marked pixel of from's mark map.
    void calc_floor(const SAPlaneData* from, SAPlaneData* to) const;
    void calc_floor_SSE(SAPlaneData* from, SAPlaneData* to) const;
    void improve_floor();
    void optimize_floor();
    void SwapPlaneData(SAPlaneData* other);
    bool below_high_mark(SAPlaneData* data) const;

    // Fixed-point coefficients of m_sol at 10 fraction bits (halves away
    // from zero).
    static int32_t FixedPoint10(float value);

    // Raw state: the current plane, the order, the band and the best
    // quality. Reading leaves the current plane without a mark map (until
    // SetPointers) and gives the scratch records its kind; false, with the
    // slot unchanged, on a short or malformed state.
    void WriteBinary(std::ostream& out) const;
    bool ReadBinary(std::istream& in);
    static bool CheckSimilarity(const SAPlane& a, const SAPlane& b, std::string* message);

    SAPlaneData& Current() { return *this; }
    const SAPlaneData& Current() const { return *this; }

    NACommonData* m_pCommonData;
    CSAPlanesCommonData* m_pShared;
    const Array2D<unsigned short>* m_pBackground;
    int32_t m_planeOrder;
    SAPlaneData m_first;
    SAPlaneData m_second;
    float m_maxQuality;
    int32_t m_bProfiling;
    mutable std::ofstream m_profStream;
    uint32_t m_planeWidth;
    // Profiling placeholders of the update under way.
    mutable int m_nPlaceholders;

private:
    void Profile(int placeholders) const;
    void PresenceRule(SAPlaneData* data) const;
    // Solves the refit's sums into to: with more than 2 pixels and a
    // regular system; otherwise to keeps m_sol (0, 0, 0) and its old plane.
    void FinishRefit(const SAPlaneSums& sums, SAPlaneData* to) const;
};
