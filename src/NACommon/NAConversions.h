#pragma once

// Conversions between depth and shift, the device's disparity unit. In shift
// space a plane of the world is again a plane (1 / depth is linear in the
// shift), so several algorithms fit and compare there. The device's
// calibration parameters give closed forms, its own tables give exact
// per-value lookups, and one world-point converter per resolution gives the
// pixel geometry; per-shift integer tables of pixel area and length spare the
// per-pixel loops every division.
//
// The hybrid code (hybrid tables and shift-space geometry below) is a 16-bit
// value that equals the device's depth up to a transition depth and counts
// shift steps beyond it, where one millimetre no longer changes the shift.
//
// Every table is built once by InitConversions and only read afterwards.
// Values that frames bring in are checked where they index a table: a depth
// or shift beyond its table reads as no depth (0), never as a nearby entry.

#include <cstdint>
#include <ostream>

#include "QuorLibrary/Math/Line3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/SensorUtilities/WorldPointConverter.h"
#include "QuorLibrary/Utilities/Array2D.h"
#include "XnAdapter/XnNodes.h"

class NAConversions {
public:
    // The device's calibration, as the device reports it (no unit change).
    struct SensorParameters {
        uint16_t nZeroPlaneDistance;      // "ZPD", low 16 bits
        double dZeroPlanePixelSize;       // "ZPPS"
        double dEmitterDCmosDistance;     // "LDDIS"
        uint32_t nDeviceMaxShiftValue;    // "MaxShift"
        uint32_t nConstShift;             // "ConstShift"
        uint32_t nPixelSizeFactor;        // always 1
        uint32_t nParamCoeff;             // "ParamCoeff"
        uint32_t nShiftScale;             // "ShiftScale"
        uint16_t nDeviceMaxDepthValue;    // the stream's maximum value, 0 when unreadable
        int32_t nReferenceImageWidth;     // width x ZPOPS / ZPPS, rounded
        double dZPOutputPS;               // "ZPOPS", or ZPPS scaled to 1280 pixels
    };

    // Entries of the fixed depth-to-hybrid table: depths 0 to 9999 mm.
    static constexpr int kDepthToHybridSize = 10000;
    // The depth-to-shift table always has at least this many entries (zero
    // beyond the device's maximum): the transition search and later readers
    // look up to 100 mm past 9999.
    static constexpr int kMinDepthTableEntries = 10100;

    NAConversions();
    ~NAConversions();
    NAConversions(const NAConversions&) = delete;
    NAConversions& operator=(const NAConversions&) = delete;

    // The whole initialisation for the depth node whose stream has the native
    // resolution given. False (after a line on standard error) leaves the
    // object empty.
    bool InitConversions(const xn::DepthGenerator& depth, Resolution resolution);
    // Its steps. GetSensorParameters refuses parameters that make the
    // formulas divide by zero or leave 16-bit ranges, with a logged error.
    bool GetSensorParameters(const xn::DepthGenerator& depth, Resolution resolution);
    bool InitShiftDepthVectorsFromSensor(const xn::DepthGenerator& depth);
    void UpdateConstants();
    bool InitializeConvertersAndLookupTables(const xn::DepthGenerator& depth, Resolution resolution);
    // Releases every table and converter; safe to call again.
    void FreeAllocatedData();

    // Closed forms; 0 for no shift, no depth, or a result past the pole.
    float ShiftToDepth(float shift) const;
    float DepthToShift(float depth) const;
    float DDepthDShift(float shift) const;
    float DShiftDDepth(float depth) const;
    // Whether a shift (depth) agrees with the device's table entry for the
    // depth (shift) within one unit or one step of the formula; true where
    // the table has nothing to compare with.
    bool IsDepthToShiftRight(float depth, float shift) const;
    bool IsShiftToDepthRight(float depth, float shift) const;

    // Whole maps through the device's tables; nothing unless both maps have
    // the same size. 0 stays 0, and so does a value beyond the table.
    void DepthToShiftTranslator(const Array2D<unsigned short>& input, Array2D<unsigned short>& output,
                                bool toShift) const;
    void DepthToShift(const Array2D<unsigned short>& depth, Array2D<unsigned short>& shift) const;
    void ShiftToDepth(const Array2D<unsigned short>& shift, Array2D<unsigned short>& depth) const;
    // Fractional shifts through the closed form, rounded to millimetres; a
    // depth beyond 16 bits is no depth. As many elements as both maps hold.
    void ShiftToDepth(const Array2D<float>& shift, Array2D<unsigned short>& depth) const;

    // Projective points (column, row, shift) and world points (mm) at a
    // resolution whose converter exists (up to the native one).
    Vector3D<float> ShiftToDepth(Resolution resolution, const Vector3D<float>& point) const;
    Vector3D<float> DepthToShift(Resolution resolution, const Vector3D<float>& point) const;
    Vector3D<int> ShiftToDepth(Resolution resolution, const Vector3D<int>& point) const;
    Vector3D<int> DepthToShift(Resolution resolution, const Vector3D<int>& point) const;
    Line3D<float> DepthToShift(Resolution resolution, const Line3D<float>& line) const;
    Line3D<float> ShiftToDepth(Resolution resolution, const Line3D<float>& line) const;

    // Hybrid tables and shift-space geometry.
    bool InitHybridTables();
    // Room for hybrid values 0..maxValue in the two hybrid-indexed tables;
    // tables that already have it are kept with their contents.
    bool AllocateHybridLUTs(int maxValue);
    // The hybrid value of one pixel without the tables.
    static unsigned short ShiftDepthCombo(unsigned short depth, unsigned short shift, unsigned short transitionShift,
                                          unsigned short step, unsigned short base);
    // Coefficients that turn a shift-space plane normal into a world one.
    float S2DNormCoeff11(float shift, Resolution resolution) const;
    float S2DNormCoeff31(float shift) const;
    float S2DNormCoeff33(float shift) const;
    // A shift-space plane normal at a projective point, as a world unit
    // normal; (1, 0, 0) when it has no length.
    Vector3D<float> ConvertPlaneNormalS2D(const Vector3D<float>& normal, const Vector3D<float>& point,
                                          Resolution resolution) const;
    // A small shift-space step at a projective point, as a world unit
    // direction; (1, 0, 0) at a point without depth.
    Vector3D<float> ConvertVectorS2D(const Vector3D<float>& direction, const Vector3D<float>& point,
                                     Resolution resolution) const;
    // First and second derivatives of the world image of the quadratic curve
    // x = a0 + a1 t + a2 t^2, y = b0 + ..., shift = c0 + ... at the integer t.
    void xysCurve2XYZDerivs(float a0, float a1, float a2, float b0, float b1, float b2, float c0, float c1, float c2,
                            int t, float& dX, float& dY, float& dZ, float& ddX, float& ddY, float& ddZ,
                            Resolution resolution) const;
    // The same at a point, from the value and the linear and quadratic
    // coefficients of the three local quadratics there.
    void xysCurve2XYZDerivs(float x, float x1, float x2, float y, float y1, float y2, float s, float s1, float s2,
                            float& dX, float& dY, float& dZ, float& ddX, float& ddY, float& ddZ,
                            Resolution resolution) const;

    // Development dumps of the tables, as text.
    void WriteShiftDepthVectors(std::ostream& shiftToDepth, std::ostream& depthToShift, std::ostream& shiftDerivative,
                                std::ostream& depthDerivative) const;
    void WriteLUTFiles(const xn::DepthGenerator& depth) const;

    // Per resolution 0..6, m_nShiftTableSize entries: the area (1/128 mm^2)
    // and side length (1/2048 mm) of one pixel at the depth of each shift.
    int32_t* m_pAreaAtShiftInt[7];
    int32_t* m_pLengthAtShiftInt[7];
    SensorParameters m_sensorParams;
    // The device's depth of each shift (0 where it gives none), and its
    // shift of each depth: m_nDepthTableSize entries from the device, zero
    // up to m_nDepthTableCapacity.
    uint16_t* m_pShiftToDepth;
    uint16_t* m_pDepthToShift;
    uint16_t m_nDepthTableSize;
    uint64_t m_nShiftTableSize;
    uint32_t m_nDepthTableCapacity;

    // Hybrid value of each shift (entry 0 holds m_nMaxHybridValue), of each
    // depth 0..9999, and shift and depth of each hybrid value.
    uint16_t* m_pShiftToHybrid;
    uint16_t m_depthToHybrid[kDepthToHybridSize];
    uint16_t* m_pHybridToShift;
    uint16_t* m_pHybridToDepth;
    // Where the hybrid code switches to shift steps; 65535 when it never does.
    uint16_t m_nHybridTransitionDepth;
    uint16_t m_nHybridTransitionShift;
    // The transition is the first depth at which m_nHybridDepthWindow mm
    // change the shift by less than m_nHybridShiftThreshold.
    int32_t m_nHybridDepthWindow;
    int32_t m_nHybridShiftThreshold;
    int32_t m_nHybridLUTSize;

    // depth(s) = K / (B - ps s), s(depth) = D - E / depth and
    // 1 / depth(s) = F (G - s).
    double m_dF;
    double m_dG;
    double m_dK;
    double m_dB;
    double m_dPs;
    double m_dE;
    double m_dD;
    // Single-precision copies for the derivatives, and for the curve
    // derivatives K, P L, g and ps.
    float m_fK;
    float m_fB;
    float m_fPs;
    float m_fE;
    float m_fCurveK;
    float m_fCurvePL;
    float m_fCurveG;
    float m_fCurvePs;

    // One per resolution 0..6, up to the native one (and the 1280-wide
    // image's), null otherwise.
    WorldPointConverter<float>* m_pWorldPointConverters[7];
    uint16_t m_nMaxHybridValue;

protected:
    // The converter of a resolution; ends the process when it was not built.
    const WorldPointConverter<float>& Converter(Resolution resolution) const;
    // An initialisation that cannot go on: one line on standard error, as
    // the other initialisation failures, and the same text in the log.
    static void ReportInitFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));

private:
    // Checks the parameters just read; false after a logged error.
    bool CheckSensorParameters() const;
};
