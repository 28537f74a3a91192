// Touching users: a user whose components take in more than 100,000 mm^2 of
// another user's previous pixels holds both; the pair is followed by an
// event, merged when its area no longer fits two people, and its pixels are
// split back along a column that follows the pair.

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "SceneAnalyzer/ConverterLookups.h"
#include "SceneAnalyzer/Segmentation.h"

namespace {

constexpr int kTouchingArea = 100000;

}  // namespace

void Segmentation::UserSwallowingUser(User& taker, User& taken) {
    for (const int* c = taken.ccBegin(); c != taken.ccEnd(); ++c) {
        m_ccUserId[*c] = taker.addCC(*c) ? taker.id() : 0;
    }
    taken.resetCCs();
}

TouchingEvent* Segmentation::ExistingTouching(int a, int b) {
    for (TouchingEvent& event : m_touchings) {
        if ((event.m_firstId == a && event.m_secondId == b) || (event.m_firstId == b && event.m_secondId == a)) {
            return &event;
        }
    }
    return nullptr;
}

void Segmentation::findTouching() {
    for (int i = 0; i <= kMaxUsers; ++i) {
        std::fill(m_touchTable[i], m_touchTable[i] + kMaxUsers + 1, 0);
    }
    for (int i = 1; i <= kMaxUsers; ++i) {
        const User& user = m_users[i];
        for (const int* c = user.ccBegin(); c != user.ccEnd(); ++c) {
            for (int j = 1; j <= kMaxUsers; ++j) {
                m_touchTable[i][j] += m_ccUserMetric[*c][j];
            }
        }
    }
    for (int i = 1; i <= kMaxUsers; ++i) {
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (i != j && m_users[i].alive() && m_users[j].alive() && m_touchTable[i][j] > kTouchingArea) {
                m_users[i].m_swallowedId = static_cast<unsigned short>(j);
                m_users[j].m_isSwallowed = true;
            }
        }
    }
    for (const TouchingEvent& event : m_touchings) {
        m_users[event.m_secondId].m_isSwallowed = true;
        m_users[event.m_firstId].m_swallowedId = event.m_secondId;
    }
}

void Segmentation::firstTreatmentForTouching() {
    for (int i = 1; i <= kMaxUsers; ++i) {
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (i != j && m_users[i].alive() && m_users[j].alive() && m_touchTable[i][j] > kTouchingArea) {
                UserSwallowingUser(m_users[i], m_users[j]);
            }
        }
    }
}

void Segmentation::checkTouchings(int* area, long long* sumX, long long* sumZ, Box3D<int>* boxes,
                                  Box3D<int>* roomBoxes) {
    const WorldPointConverter<float>& converter = *m_converter;
    const int cx = converter.m_nCenterX;
    for (TouchingEvent& event : m_touchings) {
        event.m_valid = false;
    }
    // A user's height in mm from its box at the depth of its centre.
    auto boxHeight = [&](const User& user) {
        const Box3D<int>& box = user.box();
        const long long rows = box.max.y >= box.min.y ? static_cast<long long>(box.max.y) - box.min.y : 0;
        return static_cast<int>(static_cast<float>(rows) *
                                scene_analysis::MmPerPixel(converter, user.currentCenter().y));
    };
    for (int i = 1; i <= kMaxUsers; ++i) {
        if (!m_users[i].alive() || area[i] == 0) {
            continue;
        }
        for (int j = 1; j <= kMaxUsers; ++j) {
            if (j == i || !m_users[j].alive() || m_touchTable[i][j] <= kTouchingArea || area[i] == 0) {
                continue;
            }
            const long long total = static_cast<long long>(area[i]) + area[j];
            const int xc = static_cast<int>((sumX[i] + sumX[j]) / total);
            const int zc = static_cast<int>((sumZ[i] + sumZ[j]) / total);
            const int x = converter.LengthAtDepthInt(zc, xc - cx);
            TouchingEvent* event = ExistingTouching(i, j);
            if (event != nullptr && area[i] < event->MinimumArea()) {
                if (m_users[i].age() < m_users[j].age()) {
                    UserSwallowingUser(m_users[j], m_users[i]);
                    boxes[j] = boxes[i];
                    roomBoxes[j] = roomBoxes[i];
                    area[j] = area[i];
                    sumX[j] = sumX[i];
                    sumZ[j] = sumZ[i];
                    boxes[i] = Box3D<int>();
                    area[i] = 0;
                }
            } else if (event != nullptr) {
                event->m_valid = true;
                event->m_firstId = static_cast<unsigned short>(i);
                event->m_secondId = static_cast<unsigned short>(j);
                const int d = x - event->m_center.x;
                if (std::abs(d) <= 100) {
                    event->m_columnShift = converter.PixelsAtDepthInt(zc, x) -
                                           converter.PixelsAtDepthInt(event->m_center.y, event->m_center.x);
                } else {
                    // The split line stays where it was in the world.
                    event->m_columnShift = 0;
                    event->m_splitOffset -= d;
                }
                event->m_center = Vector2D<int>(x, zc);
                event->m_splitCol = converter.PixelsAtDepthInt(zc, x + event->m_splitOffset) + cx;
                int& height = i == event->m_createdFirstId ? event->m_firstHeight : event->m_secondHeight;
                height = std::max(height, boxHeight(m_users[i]));
            } else if (m_users[i].area() != 0 && m_users[j].area() != 0) {
                const float ai = std::sqrt(static_cast<float>(m_users[i].area()));
                const float aj = std::sqrt(static_cast<float>(m_users[j].area()));
                const float xi = static_cast<float>(m_users[i].currentCenter().x);
                const float xj = static_cast<float>(m_users[j].currentCenter().x);
                // Nearer to the centre of the smaller user.
                const int s = static_cast<int>((xi * aj + xj * ai) / (aj + ai));
                const Box3D<int>& bi = m_users[i].box();
                const Box3D<int>& bj = m_users[j].box();
                const int right =
                    static_cast<long long>(bi.min.x) + bi.max.x <= static_cast<long long>(bj.min.x) + bj.max.x ? j : i;
                const int hi = std::max(800, boxHeight(m_users[i]));
                const int hj = std::max(800, boxHeight(m_users[j]));
                m_touchings.push_back(TouchingEvent(static_cast<unsigned short>(i), static_cast<unsigned short>(j),
                                                    right, s - x, converter.PixelsAtDepthInt(zc, s) + cx,
                                                    Vector2D<int>(x, zc), hi, hj,
                                                    std::max(m_users[i].area(), m_users[j].area())));
            }
        }
    }
    m_touchings.erase(std::remove_if(m_touchings.begin(), m_touchings.end(),
                                     [](const TouchingEvent& event) { return !event.m_valid; }),
                      m_touchings.end());
}

void Segmentation::remapTouching() {
    XnLabel* labels = Labels().WritableData();
    const XnLabel* previous = PreviousLabels().Data();
    for (const TouchingEvent& event : m_touchings) {
        const int a = event.m_firstId;
        const int b = event.m_secondId;
        if (!m_users[a].alive() || !m_users[b].alive()) {
            continue;
        }
        const Box3D<int>& box = m_users[a].box();
        const int s = event.m_columnShift;
        const int k = event.m_splitCol;
        const bool holderOnRight = a == event.m_rightId;
        const int x0 = std::max(std::max(box.min.x, s), 0);
        const int x1 = std::min(std::min(box.max.x, s + m_width - 1), m_width - 1);
        for (int y = std::max(box.min.y, 0); y <= std::min(box.max.y, m_height - 1); ++y) {
            for (int x = x0; x <= x1; ++x) {
                XnLabel& label = labels[y * m_width + x];
                if (label != a) {
                    continue;
                }
                const int before = previous[y * m_width + x - s];
                if (before == b) {
                    label = static_cast<XnLabel>(b);
                } else if (before != a && ((holderOnRight && x < k) || (!holderOnRight && x > k))) {
                    label = static_cast<XnLabel>(b);
                }
            }
        }
    }
}
