#include "SceneAnalyzer/User.h"

#include <algorithm>
#include <cstdint>

#include "NACommon/NACommonData.h"
#include "SceneAnalyzer/ConverterLookups.h"

User::User()
    : m_id(0),
      m_alive(false),
      m_age(0),
      m_historyFull(false),
      m_isFg(false),
      m_neverFg(false),
      m_isNew(false),
      m_robustArea(0),
      m_robustSplit(false),
      m_splitColumn(-1),
      m_splitZFar(-1),
      m_splitZNear(-1),
      m_stableCenter{0, 0},
      m_bottomY{},
      m_ccCapacity(kMaxComponents),
      m_ccCount(0),
      m_ccList{},
      m_historyIndex(0),
      m_stableWidth(0),
      m_height(0),
      m_stableDepth(0),
      m_leftWithShadow(0),
      m_rightWithShadow(0),
      m_area(0),
      m_fgArea(0),
      m_occluded(false),
      m_partiallyOccluded(false),
      m_occludedBy{},
      m_occluding{},
      m_isOccluding(false),
      m_isRedetected(false),
      m_occludedByLeft(false),
      m_occludedByRight(false),
      m_occludingLeftSideLoc(0),
      m_occludingRightSideLoc(0),
      m_occludedByNoDepth(false),
      m_occlusionTime(0),
      m_isSwallowed(false),
      m_swallowedId(0),
      m_converter(nullptr) {}

Vector2D<int> User::currentCenter() const {
    const Vector3D<int>& c = m_centers[m_historyIndex];
    return Vector2D<int>(c.x, c.z);
}

std::vector<Vector3D<int>> User::centers() const {
    std::vector<Vector3D<int>> result;
    if (m_historyFull) {
        result.assign(m_centers + m_historyIndex + 1, m_centers + kHistory);
    }
    result.insert(result.end(), m_centers, m_centers + m_historyIndex + 1);
    return result;
}

void User::setIsOccluding() {
    m_isOccluding = std::any_of(m_occluding + 1, m_occluding + kMaxIds + 1, [](bool b) { return b; });
}

void User::setSidesWithShadow(int left, int right) {
    m_leftWithShadow = left;
    m_rightWithShadow = right;
}

void User::setOccludedBySide(bool byLeft, bool byRight, int leftLoc, int rightLoc) {
    m_occludedByLeft = byLeft;
    m_occludedByRight = byRight;
    m_occludingLeftSideLoc = leftLoc;
    m_occludingRightSideLoc = rightLoc;
}

void User::Init(NACommonData* hub, unsigned short id, Resolution res) {
    m_id = id;
    m_alive = true;
    m_converter = hub->m_pWorldPointConverters[res];
    m_age = 0;
    m_isFg = false;
    m_neverFg = true;
    m_isNew = true;
    m_isRedetected = false;
    m_historyFull = false;
    m_occluded = false;
    m_partiallyOccluded = false;
    m_occludedByNoDepth = false;
    m_ccCount = 0;
    m_robustCenter = Vector3D<int>();
    m_robustVelocity = Vector3D<int>();
    m_predictedCenter = Vector3D<int>();
    m_robustArea = 0;
    m_robustSplit = false;
    m_splitColumn = -1;
    m_splitZFar = -1;
    m_splitZNear = -1;
    std::fill(m_occluding, m_occluding + kMaxIds + 1, false);
    std::fill(m_occludedBy, m_occludedBy + kMaxIds + 1, false);
    m_occlusionTime = 0;
}

void User::init(NACommonData* hub, const Box3D<int>& box, unsigned short id, Resolution res) {
    Init(hub, id, res);
    const int cy = m_converter->m_nCenterY;
    m_historyIndex = 0;
    m_bottomY[0] = m_converter->LengthAtDepthInt(box.max.z, cy - box.max.y);
    m_height = m_converter->LengthAtDepthInt(box.max.z, cy - box.min.y) - m_bottomY[0];
    m_firstBox = box;
    m_occludedByLeft = false;
    m_occludedByRight = false;
}

void User::update(Vector3D<int> centre, const Box3D<int>& box, const Box3D<int>& boxInRoom, int area, int fgArea,
                  int occludedRows) {
    ++m_age;
    if (m_historyIndex == kHistory - 1) {
        m_historyIndex = 0;
        m_historyFull = true;
    } else {
        ++m_historyIndex;
    }
    m_area = area;
    m_fgArea = fgArea;
    const int64_t h = m_height;
    const int64_t q = h * h / 15;
    bool full = false;
    if (area < 1500 && !m_isSwallowed) {
        m_occluded = true;
        ++m_occlusionTime;
        m_partiallyOccluded = true;
    } else {
        m_occlusionTime = 0;
        if (area < q) {
            m_partiallyOccluded = true;
        } else {
            m_occluded = false;
            // The body's expected height in pixels at its depth.
            const int64_t expected =
                static_cast<int64_t>(static_cast<float>(h) * scene_analysis::PixelsPerMm(*m_converter, centre.z));
            const int64_t rows = box.max.y >= box.min.y ? static_cast<int64_t>(box.max.y) - box.min.y : 0;
            m_partiallyOccluded = 3 * static_cast<int64_t>(occludedRows) > 2 * std::min(rows, expected);
            if (!m_partiallyOccluded) {
                m_isRedetected = false;
                full = true;
            }
        }
    }
    if (m_partiallyOccluded) {
        full = m_isNew || (m_isRedetected && area >= q);
    }
    // A body without pixels (a swallowed user) has no rows to measure.
    if (full && box.max.y >= box.min.y) {
        FullUpdate(centre, box);
    } else {
        m_bottomY[m_historyIndex] = m_bottomY[m_historyIndex == 0 ? kHistory - 1 : m_historyIndex - 1];
    }
    m_centers[m_historyIndex] = centre;
    m_box = box;
    m_boxInRoom = boxInRoom;
    m_ccCount = 0;
    m_isNew = false;
}

void User::FullUpdate(const Vector3D<int>& centre, const Box3D<int>& box) {
    const WorldPointConverter<float>& c = *m_converter;
    const int z = centre.z;
    const int cx = c.m_nCenterX;
    const int cy = c.m_nCenterY;
    const int b = c.LengthAtDepthInt(z, cy - box.max.y);
    const int t = c.LengthAtDepthInt(z, cy - box.min.y);
    m_height = std::max(m_height, t - b);
    m_stableWidth = m_height * 50 / 175;
    m_stableDepth = m_height * 30 / 175;
    m_stableCenter[0] = centre.x;
    m_stableCenter[1] = z;
    m_stableBox.min.x = c.PixelsAtDepthInt(z, centre.x - m_stableWidth / 2) + cx;
    m_stableBox.max.x = c.PixelsAtDepthInt(z, centre.x + m_stableWidth / 2) + cx;
    m_stableBox.min.y = std::max(0, cy - c.PixelsAtDepthInt(z, m_height + b));
    m_stableBox.max.y = cy - c.PixelsAtDepthInt(z, b);
    m_stableBox.min.z = z - m_stableDepth / 2;
    m_stableBox.max.z = z + m_stableDepth / 2;
    m_bottomY[m_historyIndex] = b;
}

void User::SetRobustData(const Vector3D<int>& centre, int area, bool split) {
    Vector3D<int> v = m_robustVelocity;
    const Vector3D<int> zero;
    if (m_robustCenter == zero) {
        v = zero;
    } else if (split == m_robustSplit) {
        const int d[3] = {centre.x - m_robustCenter.x, centre.y - m_robustCenter.y, centre.z - m_robustCenter.z};
        if (v == zero) {
            v = Vector3D<int>(d[0], d[1], d[2]);
        } else {
            int* axes[3] = {&v.x, &v.y, &v.z};
            for (int k = 0; k < 3; ++k) {
                // A jump is followed by at most 20 mm per frame.
                const int step = std::min(std::max(d[k], *axes[k] - 20), *axes[k] + 20);
                *axes[k] = (*axes[k] + step) / 2;
            }
        }
    }
    m_robustVelocity = v;
    m_robustCenter = centre;
    m_robustArea = area;
    m_robustSplit = split;
    m_predictedCenter = Vector3D<int>(centre.x + v.x, centre.y + v.y, centre.z + v.z);
}

void User::ResetRobustData() {
    m_robustVelocity = Vector3D<int>();
    m_predictedCenter = Vector3D<int>();
    m_robustCenter = Vector3D<int>();
    m_robustSplit = false;
    m_robustArea = m_area;
}

int User::GetPartitioningInZ() const { return m_splitZFar == -1 ? -1 : (m_splitZFar + m_splitZNear) / 2; }

int User::GetPredictedPartitionInZ() const {
    const int middle = GetPartitioningInZ();
    return middle == -1 ? -1 : middle + m_robustVelocity.z;
}

void User::turnOnFgState() {
    m_isFg = true;
    m_neverFg = false;
}

void User::turnOffFgState() {
    m_isFg = false;
    m_firstBox = m_box;
}

bool User::addCC(int label) {
    if (m_ccCount >= kMaxComponents) {
        return false;
    }
    m_ccList[m_ccCount++] = label;
    return true;
}

void User::eraseCC(int label) {
    for (int i = 0; i < m_ccCount; ++i) {
        if (m_ccList[i] == label) {
            m_ccList[i] = m_ccList[--m_ccCount];
            return;
        }
    }
}

void User::cleanCCs(const unsigned short* userIds) {
    int i = 0;
    while (i < m_ccCount) {
        if (userIds[m_ccList[i]] == 0) {
            m_ccList[i] = m_ccList[--m_ccCount];
        } else {
            ++i;
        }
    }
}

std::ostream& operator<<(std::ostream& out, const User& user) {
    out << "alive=" << static_cast<int>(user.m_alive) << std::endl;
    out << "age=" << user.m_age << std::endl;
    out << "isNew=" << static_cast<int>(user.m_isNew) << std::endl;
    out << "isRedetected=" << static_cast<int>(user.m_isRedetected) << std::endl;
    out << "occluded=" << static_cast<int>(user.m_occluded) << std::endl;
    out << "partiallyOccluded=" << static_cast<int>(user.m_partiallyOccluded) << std::endl;
    out << "occluding=" << static_cast<int>(user.m_isOccluding) << std::endl;
    out << "occlusion time=" << user.m_occlusionTime << std::endl;
    out << "Com=" << user.CenterOfMass() << std::endl;
    out << "area=" << user.m_area << std::endl;
    out << "height=" << user.m_height << std::endl;
    out << "box=" << user.m_box << std::endl;
    out << "Stable Box=" << user.m_stableBox << std::endl;
    out << "Stable Center=" << user.m_stableCenter[0] << ' ' << user.m_stableCenter[1] << std::endl;
    out << "Robust Center=" << user.m_robustCenter << std::endl;
    out << "Predicted Center=" << user.m_predictedCenter << std::endl;
    out << "Robust Area=" << user.m_robustArea << std::endl;
    out << "ccs:";
    for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
        out << *c << ' ';
    }
    return out;
}
