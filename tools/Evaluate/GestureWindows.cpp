#include "Evaluate/GestureWindows.h"

namespace vela::evaluate {

int GestureOfMotion(scene::MotionKind kind) {
    switch (kind) {
        case scene::MotionKind::Wave: return 0;
        case scene::MotionKind::Push: return 1;
        case scene::MotionKind::Raise: return 2;
        default: return -1;
    }
}

const char* GestureName(int type) {
    static const char* const kNames[kGestureTypes] = {"wave", "click", "hand_raise"};
    return type >= 0 && type < kGestureTypes ? kNames[type] : "unknown";
}

void GestureWindows::Observe(const scene::FrameTruth& truth) {
    for (const scene::UserTruth& user : truth.users) {
        for (const scene::MotionTruth& motion : user.motions) {
            const int type = GestureOfMotion(motion.kind);
            if (type < 0) continue;
            bool known = false;
            for (const GestureWindow& w : m_windows) {
                known = known || (w.type == type && w.person == user.nId && w.side == motion.side &&
                                  w.start == motion.start && w.end == motion.end);
            }
            if (!known) m_windows.push_back({type, user.nId, motion.side, motion.start, motion.end});
        }
    }
}

int GestureWindows::Match(int type, double time) const {
    int best = -1;
    for (size_t i = 0; i < m_windows.size(); ++i) {
        const GestureWindow& w = m_windows[i];
        if (w.type != type || !w.Holds(time)) continue;
        if (best < 0 || w.start < m_windows[static_cast<size_t>(best)].start) best = static_cast<int>(i);
    }
    return best;
}

}  // namespace vela::evaluate
