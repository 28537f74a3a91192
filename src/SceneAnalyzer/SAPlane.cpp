#include "SceneAnalyzer/SAPlane.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "NACommon/NACommonData.h"
#include "QuorLibrary/Utilities/FatalError.h"
#include "QuorLibrary/Utilities/Serialization.h"
#include "SceneAnalyzer/SAStateSimilarity.h"

void SAPlaneSums::AddRow(int y, const SAPlaneRowSums& row) {
    if (row.n == 0) {
        return;
    }
    const int64_t r = y;
    n += static_cast<float>(row.n);
    x += static_cast<float>(row.x);
    this->y += static_cast<float>(r * row.n);
    s += static_cast<float>(row.s);
    xx += static_cast<float>(row.xx);
    xy += static_cast<float>(r * row.x);
    xs += static_cast<float>(row.xs);
    yy += static_cast<float>(r * r * row.n);
    ys += static_cast<float>(r * row.s);
}

bool SAPlaneSums::Solve(float& a, float& b, float& c) const {
    // [[xx, xy, x], [xy, yy, y], [x, y, n]] (A, B, C) = (xs, ys, s)
    const float c00 = yy * n - y * y;
    const float c01 = xy * n - y * x;
    const float c02 = xy * y - yy * x;
    const float det = xx * c00 - xy * c01 + x * c02;
    if (std::fabs(det) <= 1e-8f) {
        return false;
    }
    const float detA = xs * c00 - xy * (ys * n - y * s) + x * (ys * y - yy * s);
    const float detB = xx * (ys * n - y * s) - xs * c01 + x * (xy * s - ys * x);
    const float detC = xx * (yy * s - ys * y) - xy * (xy * s - ys * x) + xs * c02;
    a = detA / det;
    b = detB / det;
    c = detC / det;
    return true;
}

SAPlane::SAPlane()
    : m_pCommonData(nullptr),
      m_pShared(nullptr),
      m_pBackground(nullptr),
      m_planeOrder(0),
      m_maxQuality(kNoQuality),
      m_bProfiling(0),
      m_planeWidth(0),
      m_nPlaceholders(0) {}

SAPlane::~SAPlane() {
    if (m_profStream.is_open()) {
        m_profStream.close();
    }
}

SAPlane& SAPlane::operator=(const SAPlane& other) {
    if (this != &other) {
        static_cast<SAPlaneData&>(*this) = static_cast<const SAPlaneData&>(other);
        m_first = other.m_first;
        m_second = other.m_second;
        m_maxQuality = other.m_maxQuality;
    }
    return *this;
}

void SAPlane::init(NACommonData* hub, int order, EPlaneType type, int profiling, CSAPlanesCommonData* shared) {
    m_pCommonData = hub;
    m_planeOrder = order;
    m_bProfiling = profiling;
    m_planeWidth = static_cast<uint16_t>((hub->m_sensorParams.nParamCoeff / 4) * 3);
    SetPointers(shared);
    m_type = type;
    m_first.m_type = type;
    m_second.m_type = type;
    m_hasSAPlane = false;
    m_maxQuality = kNoQuality;
}

void SAPlane::SetPointers(CSAPlanesCommonData* shared) {
    m_pShared = shared;
    m_pMarks = &shared->m_marks[0];
    m_first.m_pMarks = &shared->m_marks[1];
    m_second.m_pMarks = &shared->m_marks[2];
    for (Array2D<unsigned short>& marks : shared->m_marks) {
        std::fill(marks.Data(), marks.Data() + marks.Size(), 0);
    }
}

void SAPlane::SetProfFile(const char* path) const {
    m_profStream.open(path, std::ios::out | std::ios::trunc);
    m_profStream << "DebugToShift,  ExhaustiveA,  RandomA,  MarkSAPlaneA,  OptimizeA,  SignA,  MarkSAPlane1,  "
                    "ExhaustiveB,  RandomB,  MarkSAPlaneB,  OptimizeB,  SignB,  CalcSAPlane,  MarkSAPlane2,  "
                    "Swap+Sign,  Total,  ---"
                 << std::endl;
}

void SAPlane::Profile(int placeholders) const { m_nPlaceholders += placeholders; }

void SAPlane::update(const Array2D<unsigned short>& background, int backgroundReset) {
    m_pBackground = &background;
    m_nPlaceholders = 0;
    if (m_hasSAPlane) {
        Profile(5);
        MarkFloor(this);
        if (backgroundReset != 0 && !m_hasSAPlane) {
            m_maxQuality = kNoQuality;
            findNewSAPlane();
            Profile(3);
            if (m_hasSAPlane) {
                m_maxQuality = m_quality;
            }
        } else {
            if (m_pShared->m_bSSE != 0) {
                calc_floor_SSE(this, &m_second);
            } else {
                calc_floor(this, &m_second);
            }
            MarkFloor(&m_second);
            Profile(5);
            if (m_second.m_quality > m_maxQuality) {
                if (m_second.IsLegal()) {
                    m_maxQuality = m_second.m_quality;
                    SwapPlaneData(&m_second);
                } else {
                    m_maxQuality = kNoQuality;
                    m_hasSAPlane = false;
                }
            }
        }
    } else {
        findNewSAPlane();
        Profile(9);
        if (m_hasSAPlane) {
            m_maxQuality = m_quality;
        }
    }
    if (m_bProfiling != 0 && m_profStream.is_open()) {
        for (int i = 0; i < m_nPlaceholders; ++i) {
            m_profStream << "0,  ";
        }
        m_profStream << (m_hasSAPlane ? 1 : 0) << std::endl;
    }
}

void SAPlane::findNewSAPlane() {
    if (!ExhaustiveFloor()) {
        Profile(2);
        return;
    }
    MarkFloor(this);
    optimize_floor();
}

void SAPlane::optimize_floor() { improve_floor(); }

void SAPlane::improve_floor() {
    if (m_pShared->m_bSSE != 0) {
        calc_floor_SSE(this, &m_first);
    } else {
        calc_floor(this, &m_first);
    }
    MarkFloor(&m_first);
    if (m_first.m_quality > m_quality) {
        if (m_first.IsLegal()) {
            SwapPlaneData(&m_first);
        } else {
            m_hasSAPlane = false;
        }
    }
}

void SAPlane::SwapPlaneData(SAPlaneData* other) { std::swap(static_cast<SAPlaneData&>(*this), *other); }

bool SAPlane::below_high_mark(SAPlaneData* data) const {
    return static_cast<float>(data->m_count_below) > 0.1f * static_cast<float>(data->m_count_in);
}

int32_t SAPlane::FixedPoint10(float value) {
    // Callers keep |value| below 2^21, so the result fits.
    return static_cast<int32_t>(std::lround(static_cast<double>(value) * 1024.0));
}

void SAPlane::ResetSAPlane(SAPlaneData* data) const {
    data->m_quality = -1000000.0f;
    data->m_hasSAPlane = false;
    if (data->m_pMarks != nullptr) {
        std::fill(data->m_pMarks->Data(), data->m_pMarks->Data() + data->m_pMarks->Size(), 0);
    }
}

void SAPlane::PresenceRule(SAPlaneData* data) const {
    const float in = static_cast<float>(data->m_count_in);
    data->m_quality = 0.2f * in - static_cast<float>(data->m_count_below);
    const float needed = 0.005f * static_cast<float>(m_pShared->m_nXRes * m_pShared->m_nYRes);
    data->m_hasSAPlane = in >= needed && (m_planeOrder != 0 || 0.2f * in >= static_cast<float>(data->m_count_below));
}

void SAPlane::MarkFloor(SAPlaneData* data) const {
    ResetSAPlane(data);
    data->m_hasSAPlane = false;
    data->m_count_in = 0;
    data->m_count_below = 0;
    data->m_quality = 0.0f;
    const float a = data->m_sol[0];
    const float b = data->m_sol[1];
    const float c = data->m_sol[2];
    if (!(std::fabs(a) < 2097151.0f && b > -2097151.0f && c < 2097151.0f)) {
        return;
    }
    // b and c are bounded on one side only; an unbounded one cannot be
    // evaluated and holds no pixel of the image.
    if (!(b < 2097151.0f && c > -2097151.0f)) {
        return;
    }
    const int32_t A = FixedPoint10(a);
    const int32_t B = FixedPoint10(b);
    const int32_t C = FixedPoint10(c);
    if (B == 0) {
        return;
    }
    const int W = m_pShared->m_nXRes;
    const int H = m_pShared->m_nYRes;
    const int64_t L = m_pShared->m_nMarkRangeLimit;
    const auto p = [A, B, C](int64_t x, int64_t y) { return (A * x + B * y + C) >> 10; };
    const auto qualifyingRange = [L](int count, auto ends, int& first, int& last) {
        first = -1;
        last = -1;
        for (int i = 0; i <= count; ++i) {
            const std::pair<int64_t, int64_t> e = ends(i);
            if (e.first >= 0 && e.first < L && e.second >= 0 && e.second < L) {
                (first < 0 ? first : last) = i;
            }
        }
        return first >= 0 && last >= 0;
    };
    int minX = 0;
    int maxX = W;
    int minY = 0;
    int maxY = H;
    switch (data->m_type) {
        case PLANE_FLOOR:
        case PLANE_CEILING:
            // Rows whose ends both lie in range: the first and a later one.
            if (!qualifyingRange(H, [&p, W](int y) { return std::make_pair(p(0, y), p(W, y)); }, minY, maxY)) {
                return;
            }
            break;
        case PLANE_WALL_NEG_X:
        case PLANE_WALL_POS_X:
            if (!qualifyingRange(W, [&p, H](int x) { return std::make_pair(p(x, 0), p(x, H)); }, minX, maxX)) {
                return;
            }
            minX = minX > 0 ? (minX + 7) / 8 * 8 : 0;
            break;
        case PLANE_WALL_FACING:
            break;
        default:
            VELA_FATAL_ERROR("plane slot of no kind");
    }
    maxX = maxX / 8 * 8;
    data->m_bounds = {static_cast<int16_t>(minX), static_cast<int16_t>(minY), static_cast<int16_t>(maxX),
                      static_cast<int16_t>(maxY)};
    if (maxX <= minX) {
        return;
    }
    if (m_pShared->m_bSSE != 0) {
        Mark_SSE(data, A, B, C);
    } else {
        Mark(data, A, B, C);
    }
    PresenceRule(data);
}

void SAPlane::Mark(SAPlaneData* data, int32_t A, int32_t B, int32_t C) const {
    const CSAPlanesCommonData& shared = *m_pShared;
    const int W = shared.m_nXRes;
    const int width = static_cast<int>(m_planeWidth);
    const bool polygon = shared.m_bUsePolygon;
    const SAPlaneData::Bounds& r = data->m_bounds;
    uint32_t in = 0;
    uint32_t below = 0;
    for (int y = r.minY; y < r.maxY; ++y) {
        const unsigned short* background = m_pBackground->Data() + y * W;
        const unsigned char* mask = shared.m_polygonMask.Data() + y * W;
        unsigned short* marks = data->m_pMarks->Data() + y * W;
        int64_t plane = static_cast<int64_t>(A) * r.minX + static_cast<int64_t>(B) * y + C;
        for (int x = r.minX; x < r.maxX; ++x, plane += A) {
            const int v = background[x];
            if (v == 0 || (polygon && mask[x] == 0)) {
                continue;
            }
            const int64_t p = plane >> 10;
            if (p < v - width) {
                marks[x] = MARK_BEHIND;
                ++below;
            } else if (v < shared.m_nMaxShift && v + width >= p) {
                marks[x] = MARK_ON;
                ++in;
            }
        }
    }
    data->m_count_in = in;
    data->m_count_below = below;
}

void SAPlane::calc_floor(const SAPlaneData* from, SAPlaneData* to) const {
    to->m_sol[0] = to->m_sol[1] = to->m_sol[2] = 0.0f;
    const CSAPlanesCommonData& shared = *m_pShared;
    const int W = shared.m_nXRes;
    const bool polygon = shared.m_bUsePolygon;
    SAPlaneSums sums;
    for (int y = 0; y < shared.m_nYRes; ++y) {
        const unsigned short* background = m_pBackground->Data() + y * W;
        const unsigned char* mask = shared.m_polygonMask.Data() + y * W;
        const unsigned short* marks = from->m_pMarks->Data() + y * W;
        SAPlaneRowSums row;
        for (int x = 0; x < W; ++x) {
            if (!polygon || mask[x] != 0) {
                row.Add(x, marks[x], background[x]);
            }
        }
        sums.AddRow(y, row);
    }
    FinishRefit(sums, to);
}

void SAPlane::FinishRefit(const SAPlaneSums& sums, SAPlaneData* to) const {
    if (sums.n <= 2.0f) {
        return;
    }
    float a = 0.0f;
    float b = 0.0f;
    float c = 0.0f;
    if (!sums.Solve(a, b, c)) {
        return;
    }
    to->m_sol[0] = a;
    to->m_sol[1] = b;
    to->m_sol[2] = c;
    CalcRealWorldPlane(to);
}

void SAPlane::CalcRealWorldPlane(SAPlaneData* data) const {
    const float a = data->m_sol[0];
    const float b = data->m_sol[1];
    const float c = data->m_sol[2];
    const float cx = static_cast<float>(m_pShared->m_nCenterX);
    const float cy = static_cast<float>(m_pShared->m_nCenterY);
    bool degenerate = false;
    Vector3D<float> reference;
    switch (data->m_type) {
        case PLANE_FLOOR:
        case PLANE_CEILING:
            degenerate = std::fabs(b) < 1e-5f;
            reference = Vector3D<float>(cx, (500.0f - a * cx - c) / b, 500.0f);
            break;
        case PLANE_WALL_NEG_X:
        case PLANE_WALL_POS_X:
            degenerate = std::fabs(a) < 1e-5f;
            reference = Vector3D<float>((500.0f - b * cy - c) / a, cy, 500.0f);
            break;
        case PLANE_WALL_FACING:
            degenerate = std::fabs(c) < 1e-5f;
            reference = Vector3D<float>(cx, cy, a * cx + b * cy + c);
            break;
        default:
            VELA_FATAL_ERROR("plane slot of no kind");
    }
    if (degenerate) {
        data->m_hasSAPlane = false;
        data->m_plane = Plane<float>(Vector3D<float>(1.0f, 1.0f, 1.0f), Vector3D<float>(1.0f, 0.0f, 0.0f));
        return;
    }
    const Resolution res = m_pShared->m_resolution;
    data->m_plane.m_normal = m_pCommonData->ConvertPlaneNormalS2D(Vector3D<float>(a, b, -1.0f), reference, res);
    data->m_plane.m_point = m_pCommonData->ShiftToDepth(res, reference);
}

void SAPlane::WriteBinary(std::ostream& out) const {
    SAPlaneData::WriteBinary(out);
    vela_serialization::WriteRaw(out, m_planeOrder);
    vela_serialization::WriteRaw(out, m_planeWidth);
    vela_serialization::WriteRaw(out, m_maxQuality);
}

bool SAPlane::ReadBinary(std::istream& in) {
    SAPlaneData plane;
    int32_t order = 0;
    uint32_t width = 0;
    float best = 0.0f;
    if (!plane.ReadBinary(in) || !vela_serialization::ReadRaw(in, order) ||
        !vela_serialization::ReadRaw(in, width) || !vela_serialization::ReadRaw(in, best)) {
        vela_serialization::MarkFailed(in);
        return false;
    }
    static_cast<SAPlaneData&>(*this) = plane;
    m_pMarks = nullptr;
    m_first.m_type = m_type;
    m_second.m_type = m_type;
    m_planeOrder = order;
    m_planeWidth = width;
    m_maxQuality = best;
    return true;
}

bool SAPlane::CheckSimilarity(const SAPlane& a, const SAPlane& b, std::string* message) {
    using vela_sa_state::Differs;
    return SAPlaneData::CheckSimilarity(a, b, message) &&
           !(Differs(a.m_planeOrder != b.m_planeOrder, "m_planeOrder", message) ||
             Differs(a.m_planeWidth != b.m_planeWidth, "m_planeWidth", message) ||
             Differs(a.m_maxQuality != b.m_maxQuality, "m_maxQuality", message));
}
