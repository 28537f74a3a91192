#pragma once

// One fitted plane of the scene in two forms: s = a x + b y + c in shift
// space (x, y pixels of the analysis resolution from the top-left pixel, s
// the sensor's shift), where planes are planes again and every fit is
// done, and the world plane (a point in mm and a unit normal) derived from
// it. With it the evaluation of its last marking against the background.

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>

#include "QuorLibrary/Math/Plane.h"
#include "QuorLibrary/Utilities/Array2D.h"

class SAPlaneData {
public:
    // The kind of plane, named by the direction its world normal must face
    // (world frame of the depth stream: y up, z away from the camera).
    enum EPlaneType : int32_t {
        PLANE_NONE = 0,
        PLANE_FLOOR = 1,         // +y
        PLANE_CEILING = 2,       // -y
        PLANE_WALL_NEG_X = 3,    // -x
        PLANE_WALL_POS_X = 4,    // +x
        PLANE_WALL_FACING = 5,   // -z
    };
    static constexpr int kPlaneTypes = 6;

    // Marks of a mark map.
    enum Mark : unsigned short { MARK_NONE = 0, MARK_ON = 1, MARK_BEHIND = 2 };

    struct Bounds {
        int16_t minX;
        int16_t minY;
        int16_t maxX;
        int16_t maxY;
    };

    SAPlaneData();

    // The world normal lies within 45 degrees of the kind's direction.
    bool IsLegal() const;
    // The normal's component along the kind's direction (0 for no kind).
    float DirectionalComponent() const;

    // Raw state in a fixed order, without the mark map. ReadBinary refuses a
    // kind that does not exist and then leaves the record as it was.
    void WriteBinary(std::ostream& out) const;
    bool ReadBinary(std::istream& in);
    // False at the first differing member, naming it in message ("In %s: ").
    static bool CheckSimilarity(const SAPlaneData& a, const SAPlaneData& b, std::string* message);

    float m_sol[3];
    Plane<float> m_plane;
    uint32_t m_count_in;
    uint32_t m_count_below;
    // One of the plane set's shared mark maps; marking writes into it.
    Array2D<unsigned short>* m_pMarks;
    bool m_hasSAPlane;
    float m_quality;
    Bounds m_bounds;
    EPlaneType m_type;
};
