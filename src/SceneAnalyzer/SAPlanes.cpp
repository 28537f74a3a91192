#include "SceneAnalyzer/SAPlanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Utilities/Serialization.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

namespace {

constexpr int kHistogramBins = 100;
constexpr int kDownscaleFactor = 2;
constexpr int kStencilStep = 4;

}  // namespace

SAPlanes::SAPlanes()
    : m_pCommonData(nullptr),
      m_resolution(INVALID),
      m_foundExtremePlane(false),
      m_foundAnyPlane(false),
      m_numParallelPlanes(1),
      m_maxSupportedDepth(0),
      m_bSSE(0) {}

SAPlanes::~SAPlanes() = default;

void SAPlanes::Initialize(NACommonData* hub, Resolution res, int sse, int profiling,
                          const std::vector<Vector2D<int> >& floorPoints, unsigned short maxSupportedDepth) {
    m_pCommonData = hub;
    m_resolution = res;
    if (hub == nullptr || !IsValidResolution(res) ||
        m_planeIdMap.AllocateData(static_cast<XnUInt32>(g_nXRes[res]), static_cast<XnUInt32>(g_nYRes[res])) !=
            XN_STATUS_OK) {
        return;
    }
    std::memset(m_planeIdMap.WritableData(), 0, m_planeIdMap.DataSize());
    const int orders = std::max(1, m_numParallelPlanes);
    m_a2Planes.SetSize(SAPlaneData::kPlaneTypes, orders, false);
    updateIter.m_maxNumOfPlanes = orders;
    m_bSSE = sse;
    m_maxSupportedDepth = maxSupportedDepth;
    m_floorPoints = floorPoints;
    m_shared.Init(hub, kHistogramBins, sse, res, kDownscaleFactor, kStencilStep,
                  m_floorPoints.empty() ? nullptr : &m_floorPoints, maxSupportedDepth);
    for (int order = 0; order < orders; ++order) {
        for (int kind = 1; kind < SAPlaneData::kPlaneTypes; ++kind) {
            m_a2Planes(kind, order).init(hub, order, static_cast<SAPlaneData::EPlaneType>(kind), profiling,
                                         &m_shared);
        }
    }
}

const SAPlane& SAPlanes::Floor() const {
    if (m_a2Planes.Rows() < SAPlaneData::kPlaneTypes || m_a2Planes.Columns() < 1) {
        return m_noFloor;
    }
    return m_a2Planes(SAPlaneData::PLANE_FLOOR, 0);
}

int SAPlanes::PlaneTypeFromID(int id) {
    if (id == 0) {
        return 0;
    }
    const int kind = id % 5;
    return kind == 0 ? 5 : kind;
}

int SAPlanes::PlaneOrderFromID(int id) {
    if (id == 0) {
        return 0;
    }
    return static_cast<int>(std::ceil(static_cast<float>(id) / 5.0f)) - 1;
}

void SAPlanes::Update(const Array2D<unsigned short>& background, int backgroundReset) {
    if (!m_shared.IsValid() || m_planeIdMap.WritableData() == nullptr ||
        m_a2Planes.Rows() < SAPlaneData::kPlaneTypes || m_a2Planes.Columns() < 1 ||
        background.Columns() != m_shared.m_nXRes || background.Rows() != m_shared.m_nYRes) {
        return;
    }
    std::memset(m_planeIdMap.WritableData(), 0, m_planeIdMap.DataSize());
    const int orders = m_a2Planes.Columns();
    if (backgroundReset != 0) {
        updateIter.Reset();
    } else {
        do {
            ++updateIter;
        } while (updateIter.m_PlaneOrder >= 2 &&
                 !m_a2Planes(updateIter.m_PlaneType, updateIter.m_PlaneOrder - 1).m_hasSAPlane);
    }
    const int chosenKind = updateIter.m_PlaneType;
    const int chosenOrder = updateIter.m_PlaneOrder;

    m_foundExtremePlane = false;
    m_foundAnyPlane = false;
    for (int order = 0; order < orders; ++order) {
        for (int kind = 1; kind < SAPlaneData::kPlaneTypes; ++kind) {
            if ((kind != chosenKind || order != chosenOrder) && m_a2Planes(kind, order).m_hasSAPlane) {
                Paint(m_a2Planes(kind, order), kind, order);
            }
        }
    }
    SAPlane& chosen = m_a2Planes(chosenKind, chosenOrder);
    const bool wasPresent = chosen.m_hasSAPlane;
    chosen.m_pCommonData = m_pCommonData;
    chosen.update(background, backgroundReset);
    if (chosen.m_hasSAPlane) {
        Paint(chosen, chosenKind, chosenOrder);
    } else if (wasPresent && chosenOrder > 0 && chosenOrder < m_numParallelPlanes - 1) {
        // The planes beyond a lost one move down one order.
        for (int order = chosenOrder; order < m_numParallelPlanes - 1 && m_a2Planes(chosenKind, order + 1).m_hasSAPlane;
             ++order) {
            m_a2Planes(chosenKind, order) = m_a2Planes(chosenKind, order + 1);
        }
    }
}

void SAPlanes::Paint(const SAPlane& slot, int kind, int order) {
    SignSAPlane(slot, static_cast<SAPlaneData::EPlaneType>(kind), order);
    m_foundAnyPlane = true;
    if (order == 0) {
        m_foundExtremePlane = true;
    }
}

void SAPlanes::SignSAPlane(const SAPlane& slot, SAPlaneData::EPlaneType kind, int order) {
    if (!slot.m_hasSAPlane) {
        return;
    }
    const int width = g_nXRes[m_resolution];
    const int height = g_nYRes[m_resolution];
    const int minX = std::max<int>(slot.m_bounds.minX, 0);
    const int maxX = std::min<int>(slot.m_bounds.maxX, width - 1);
    const int minY = std::max<int>(slot.m_bounds.minY, 0);
    const int maxY = std::min<int>(slot.m_bounds.maxY, height - 1);
    if (minX >= maxX || minY >= maxY) {
        return;
    }
    const Array2D<unsigned short>& shift = m_pCommonData->ShiftMap(m_resolution, 0);
    if (shift.Columns() != width || shift.Rows() != height) {
        return;
    }
    const int64_t A = SAPlane::FixedPoint10(slot.m_sol[0]);
    const int64_t B = SAPlane::FixedPoint10(slot.m_sol[1]);
    const int64_t C = SAPlane::FixedPoint10(slot.m_sol[2]);
    const int band = static_cast<int>(slot.m_planeWidth);
    const bool bandOnly = m_numParallelPlanes != 1;
    const XnLabel label = static_cast<XnLabel>(PlaneIDFromPlaneTypeAndOrder(kind, order));
    XnLabel* labels = m_planeIdMap.WritableData();
    for (int y = minY; y < maxY; ++y) {
        const unsigned short* row = shift.Data() + y * width;
        for (int x = minX; x < maxX; ++x) {
            const int v = row[x];
            if (v == 0) {
                continue;
            }
            const int64_t p = (A * x + B * y + C) >> 10;
            if (v >= p - band && (!bandOnly || v <= p + band)) {
                labels[y * width + x] = label;
            }
        }
    }
}

void SAPlanes::WriteBinary(std::ostream& out) const {
    using vela_serialization::WriteRaw;
    WriteRaw(out, static_cast<int32_t>(m_a2Planes.Rows()));
    WriteRaw(out, static_cast<int32_t>(m_a2Planes.Columns()));
    for (int i = 0; i < m_a2Planes.Size(); ++i) {
        m_a2Planes.Data()[i].WriteBinary(out);
    }
    WriteRaw(out, m_foundExtremePlane);
    WriteRaw(out, m_foundAnyPlane);
    WriteRaw(out, m_numParallelPlanes);
    WriteRaw(out, updateIter.m_maxNumOfPlanes);
    WriteRaw(out, updateIter.m_PlaneOrder);
    WriteRaw(out, updateIter.m_PlaneType);
    WriteRaw(out, static_cast<int32_t>(m_resolution));
    WriteRaw(out, m_maxSupportedDepth);
    WriteRaw(out, m_bSSE);
    WriteRaw(out, static_cast<int32_t>(m_floorPoints.size()));
    for (const Vector2D<int>& p : m_floorPoints) {
        WriteRaw(out, static_cast<int32_t>(p.x));
        WriteRaw(out, static_cast<int32_t>(p.y));
    }
}

bool SAPlanes::ReadBinary(std::istream& in) {
    using vela_serialization::ReadRaw;
    const auto fail = [&in]() {
        vela_serialization::MarkFailed(in);
        return false;
    };
    int32_t rows = 0;
    int32_t columns = 0;
    if (!ReadRaw(in, rows) || !ReadRaw(in, columns) || rows != SAPlaneData::kPlaneTypes || columns < 1 ||
        columns > kMaxOrders) {
        return fail();
    }
    Array2D<SAPlane> slots;
    slots.SetSize(rows, columns, false);
    for (int kind = 0; kind < rows; ++kind) {
        for (int order = 0; order < columns; ++order) {
            // Each row holds its own kind (row 0 none), each column its order.
            SAPlane& slot = slots(kind, order);
            if (!slot.ReadBinary(in) || slot.m_type != kind || (kind > 0 && slot.m_planeOrder != order)) {
                return fail();
            }
        }
    }
    bool extreme = false;
    bool any = false;
    int32_t parallel = 0;
    CCyclicPlaneUpdateIerator iter;
    int32_t resolution = 0;
    unsigned short maxDepth = 0;
    int32_t sse = 0;
    int32_t count = 0;
    if (!ReadRaw(in, extreme) || !ReadRaw(in, any) || !ReadRaw(in, parallel) || !ReadRaw(in, iter.m_maxNumOfPlanes) ||
        !ReadRaw(in, iter.m_PlaneOrder) || !ReadRaw(in, iter.m_PlaneType) || !ReadRaw(in, resolution) ||
        !ReadRaw(in, maxDepth) || !ReadRaw(in, sse) || !ReadRaw(in, count)) {
        return fail();
    }
    // The schedule must name a slot of the set (or its ended state).
    const bool ended = iter.m_PlaneOrder == -1 && iter.m_PlaneType == CPlaneUpdateIeratorBASE::kLastKind + 1;
    const bool inSet = iter.m_PlaneOrder >= 0 && iter.m_PlaneOrder < columns &&
                       iter.m_PlaneType >= CPlaneUpdateIeratorBASE::kFirstKind &&
                       iter.m_PlaneType <= CPlaneUpdateIeratorBASE::kLastKind;
    if (parallel != columns || iter.m_maxNumOfPlanes != columns || !(ended || inSet) ||
        !IsValidResolution(static_cast<Resolution>(resolution)) || count < 0 || count > kMaxStoredPoints) {
        return fail();
    }
    std::vector<Vector2D<int> > points;
    for (int32_t i = 0; i < count; ++i) {
        int32_t x = 0;
        int32_t y = 0;
        if (!ReadRaw(in, x) || !ReadRaw(in, y)) {
            return fail();
        }
        points.emplace_back(x, y);
    }

    m_a2Planes.Swap(slots);
    m_foundExtremePlane = extreme;
    m_foundAnyPlane = any;
    m_numParallelPlanes = parallel;
    updateIter = iter;
    m_resolution = static_cast<Resolution>(resolution);
    m_maxSupportedDepth = maxDepth;
    m_bSSE = sse;
    m_floorPoints.swap(points);
    const int width = g_nXRes[m_resolution];
    const int height = g_nYRes[m_resolution];
    if (static_cast<int>(m_planeIdMap.XRes()) != width || static_cast<int>(m_planeIdMap.YRes()) != height ||
        m_planeIdMap.WritableData() == nullptr) {
        if (m_planeIdMap.AllocateData(static_cast<XnUInt32>(width), static_cast<XnUInt32>(height)) == XN_STATUS_OK) {
            std::memset(m_planeIdMap.WritableData(), 0, m_planeIdMap.DataSize());
        }
    }
    m_shared.Init(m_pCommonData, kHistogramBins, m_bSSE, m_resolution, kDownscaleFactor, kStencilStep,
                  m_floorPoints.empty() ? nullptr : &m_floorPoints, m_maxSupportedDepth);
    for (int i = 0; i < m_a2Planes.Size(); ++i) {
        m_a2Planes.Data()[i].m_pCommonData = m_pCommonData;
        m_a2Planes.Data()[i].SetPointers(&m_shared);
    }
    return true;
}

bool SAPlanes::CheckSimilarity(const SAPlanes& a, const SAPlanes& b, std::string* message) {
    using vela_sa_state::Differs;
    if (a.m_a2Planes.Size() != b.m_a2Planes.Size()) {
        if (message != nullptr) {
            *message = "m_size is different\n";
        }
        return false;
    }
    for (int i = 0; i < a.m_a2Planes.Size(); ++i) {
        std::string inner;
        if (!SAPlane::CheckSimilarity(a.m_a2Planes.Data()[i], b.m_a2Planes.Data()[i], &inner)) {
            return !Differs(true, "m_a2Planes", message, "In item " + std::to_string(i) + ": " + inner);
        }
    }
    return !(Differs(a.m_foundExtremePlane != b.m_foundExtremePlane, "m_foundExtremePlane", message) ||
             Differs(a.m_foundAnyPlane != b.m_foundAnyPlane, "m_foundAnyPlane", message) ||
             Differs(a.m_numParallelPlanes != b.m_numParallelPlanes, "m_numParallelPlanes", message) ||
             Differs(a.updateIter.m_maxNumOfPlanes != b.updateIter.m_maxNumOfPlanes ||
                         a.updateIter.m_PlaneType != b.updateIter.m_PlaneType ||
                         a.updateIter.m_PlaneOrder != b.updateIter.m_PlaneOrder,
                     "updateIter", message));
}
