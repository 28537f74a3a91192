#include "Evaluate/HandEvaluation.h"

#include <Vela.h>

#include <algorithm>
#include <cmath>

namespace vela::evaluate {

namespace {

constexpr int kBorderPixels = 2;

}  // namespace

bool TouchesBorder(int left, int top, int right, int bottom, int width, int height, int factor) {
    if (right < left || bottom < top) return false;
    factor = std::max(factor, 1);
    const int w = width / factor, h = height / factor;
    return left / factor < kBorderPixels || top / factor < kBorderPixels || right / factor >= w - kBorderPixels ||
           bottom / factor >= h - kBorderPixels;
}

int WorkingFactor(int width, double nearestZ) {
    if (nearestZ <= 0.0) return 1;
    const int working = nearestZ < 2500.0 ? 160 : nearestZ < 4000.0 ? 320 : 640;
    return std::max(1, width / working);
}

HandEvaluation::Hand& HandEvaluation::HandOf(int person, int side) {
    return m_hands[static_cast<size_t>(person - 1) * 2 + static_cast<size_t>(side)];
}

void HandEvaluation::LookAtTruth(const scene::FrameTruth& truth, const std::vector<uint16_t>& users,
                                 const std::vector<uint8_t>& parts, int width) {
    const size_t count = truth.users.size() * 2;
    m_truth.assign(count, TrueHand());
    if (m_hands.size() < count) {
        const size_t old = m_hands.size();
        m_hands.resize(count);
        for (size_t i = old; i < count; ++i) {
            m_hands[i].person = static_cast<int>(i / 2) + 1;
            m_hands[i].side = static_cast<int>(i % 2);
        }
    }
    for (size_t u = 0; u < truth.users.size(); ++u) {
        for (int side = 0; side < 2; ++side) {
            TrueHand& t = m_truth[u * 2 + static_cast<size_t>(side)];
            const scene::HandTruth& h = truth.users[u].hands[static_cast<size_t>(side)];
            t.visible = h.nVisiblePixels > 0;
            t.centroid = h.centroid;
            t.joint = truth.users[u].joints[static_cast<int>(side == scene::kLeft ? scene::Joint::LeftHand
                                                                                   : scene::Joint::RightHand)]
                          .position;
            t.left = width;
            t.top = static_cast<int>(users.size());
        }
    }
    for (size_t i = 0; i < users.size() && i < parts.size(); ++i) {
        const int person = users[i];
        const int part = parts[i];
        if (person == 0 || static_cast<size_t>(person) > truth.users.size()) continue;
        if (part != scene::kPartLeftHand && part != scene::kPartRightHand) continue;
        TrueHand& t = m_truth[static_cast<size_t>(person - 1) * 2 + static_cast<size_t>(part - scene::kPartLeftHand)];
        const int c = static_cast<int>(i % static_cast<size_t>(width)), r = static_cast<int>(i / static_cast<size_t>(width));
        t.left = std::min(t.left, c);
        t.right = std::max(t.right, c);
        t.top = std::min(t.top, r);
        t.bottom = std::max(t.bottom, r);
    }
}

int HandEvaluation::Nearest(const scene::Vec3& p, double& distance) const {
    int best = -1;
    distance = INFINITY;
    for (size_t i = 0; i < m_truth.size(); ++i) {
        const double d = scene::Length(p - m_truth[i].Where());
        if (d < distance) {
            distance = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

void HandEvaluation::NoteStart(int person, int side, int id) {
    if (person < 1 || static_cast<size_t>(person) * 2 > m_hands.size() || id <= 0) return;
    m_owner.emplace_back(id, (person - 1) * 2 + side);
    Hand& hand = HandOf(person, side);
    if (hand.followedFrom < 0) hand.followedFrom = m_nLastFrame + 1;
}

void HandEvaluation::NoteStartAt(const scene::Vec3& position, int id) {
    double distance = INFINITY;
    const int nearest = Nearest(position, distance);
    if (nearest >= 0 && distance <= kNearHandMm) NoteStart(nearest / 2 + 1, nearest % 2, id);
}

void HandEvaluation::AddFrame(const scene::FrameTruth& truth, const std::vector<uint16_t>& users,
                              const std::vector<uint8_t>& parts, int width, int height,
                              const std::vector<ReportedHand>& hands, const std::vector<ReportedGesture>& gestures) {
    LookAtTruth(truth, users, parts, width);
    const int frame = truth.nFrame;
    m_nLastFrame = frame;
    ++m_nFrames;

    double nearestZ = 0.0;
    for (const ReportedHand& r : hands) {
        if ((r.state & VELA_HAND_STATE_TRACKED) != 0 && (nearestZ == 0.0 || r.position.z < nearestZ)) nearestZ = r.position.z;
    }
    const int factor = WorkingFactor(width, nearestZ);

    auto owner = [this](int id) {
        for (const auto& [handId, index] : m_owner) {
            if (handId == id) return index;
        }
        return -1;
    };
    for (const ReportedHand& r : hands) {
        double distance = INFINITY;
        const int nearest = Nearest(r.position, distance);
        if ((r.state & VELA_HAND_STATE_TRACKED) != 0 && !(distance <= kNearHandMm)) ++m_nFarReports;
        if (r.state != VELA_HAND_STATE_LOST && owner(r.id) < 0 && nearest >= 0 && distance <= kNearHandMm) {
            m_owner.emplace_back(r.id, nearest);
        }
    }

    for (size_t i = 0; i < m_truth.size(); ++i) {
        const TrueHand& t = m_truth[i];
        Hand& hand = m_hands[i];
        const ReportedHand* tracked = nullptr;
        bool lostReport = false;
        for (const ReportedHand& r : hands) {
            if (owner(r.id) != static_cast<int>(i)) continue;
            if ((r.state & VELA_HAND_STATE_TRACKED) != 0 && tracked == nullptr) tracked = &r;
            if (r.state == VELA_HAND_STATE_LOST) lostReport = true;
        }
        if (hand.followedFrom < 0 && tracked != nullptr) hand.followedFrom = frame;
        if (hand.followedFrom < 0 || frame < hand.followedFrom) continue;

        if (t.visible) {
            ++hand.visibleFrames;
            if (hand.pendingLoss >= 0) hand.pendingLoss = -1;  // back before any lost report
        } else if (hand.wasVisible) {
            hand.losses.push_back({frame, -1});
            hand.pendingLoss = static_cast<int>(hand.losses.size()) - 1;
        }
        if (lostReport && hand.pendingLoss >= 0) {
            Loss& loss = hand.losses[static_cast<size_t>(hand.pendingLoss)];
            loss.frames = frame - loss.disappeared;
            hand.pendingLoss = -1;
        }
        hand.wasVisible = t.visible;
        if (tracked == nullptr) continue;
        hand.identity.Observe(tracked->id);
        if (!t.visible) {
            ++hand.trackedHidden;
            continue;
        }
        ++hand.trackedFrames;
        hand.centroidErrors.push_back(scene::Length(tracked->position - t.centroid));
        hand.jointErrors.push_back(scene::Length(tracked->position - t.joint));
        const bool reported = (tracked->state & VELA_HAND_STATE_TOUCHING_FOV) != 0;
        const bool truly = TouchesBorder(t.left, t.top, t.right, t.bottom, width, height, factor);
        if (reported && truly) ++hand.touchingBoth;
        else if (reported) ++hand.touchingReportedOnly;
        else if (truly) ++hand.touchingTruthOnly;
    }

    m_windows.Observe(truth);
    m_results.resize(m_windows.Windows().size());
    for (const ReportedGesture& g : gestures) {
        const int w = m_windows.Match(g.type, truth.dTime);
        if (w < 0) {
            if (g.type >= 0 && g.type < kGestureTypes) ++m_falseGestures[static_cast<size_t>(g.type)];
            continue;
        }
        GestureResult& result = m_results[static_cast<size_t>(w)];
        if (result.count++ == 0) {
            result.firstFrame = frame;
            const GestureWindow& window = m_windows.Windows()[static_cast<size_t>(w)];
            const size_t i = static_cast<size_t>(window.person - 1) * 2 + static_cast<size_t>(window.side);
            if (i < m_truth.size()) result.distance = scene::Length(g.position - m_truth[i].Where());
        }
    }
}

std::vector<HandEvaluation::GestureResult> HandEvaluation::Gestures() const {
    std::vector<GestureResult> results = m_results;
    for (size_t i = 0; i < results.size(); ++i) results[i].window = m_windows.Windows()[i];
    return results;
}

void HandEvaluation::Write(JsonWriter& json) const {
    json.Key("frames").Integer(m_nFrames);
    json.Key("hands").BeginArray();
    for (const Hand& hand : m_hands) {
        if (hand.followedFrom < 0) continue;
        json.BeginObject();
        json.Key("person").Integer(hand.person);
        json.Key("hand").String(hand.side == scene::kLeft ? "left" : "right");
        json.Key("followed_from_frame").Integer(hand.followedFrom);
        json.Key("visible_frames").Integer(hand.visibleFrames);
        json.Key("tracked_frames").Integer(hand.trackedFrames);
        json.Key("tracked_while_hidden").Integer(hand.trackedHidden);
        json.Key("error_centroid_mm").Stats(Summarize(hand.centroidErrors));
        json.Key("error_joint_mm").Stats(Summarize(hand.jointErrors));
        json.Key("losses").BeginArray();
        for (const Loss& loss : hand.losses) {
            json.BeginObject().Key("disappeared_frame").Integer(loss.disappeared).Key("frames_to_lost");
            if (loss.frames >= 0) json.Integer(loss.frames);
            else json.Null();
            json.EndObject();
        }
        json.EndArray();
        json.Key("ids").Integers(hand.identity.Ids());
        json.Key("touching").BeginObject();
        json.Key("both").Integer(hand.touchingBoth);
        json.Key("reported_only").Integer(hand.touchingReportedOnly);
        json.Key("truth_only").Integer(hand.touchingTruthOnly);
        json.EndObject();
        json.EndObject();
    }
    json.EndArray();
    json.Key("far_reports").Integer(m_nFarReports);
    json.Key("gestures").BeginArray();
    for (const GestureResult& r : Gestures()) {
        json.BeginObject();
        json.Key("type").String(GestureName(r.window.type));
        json.Key("person").Integer(r.window.person);
        json.Key("hand").String(r.window.side == scene::kLeft ? "left" : "right");
        json.Key("start").Number(r.window.start);
        json.Key("end").Number(r.window.end);
        json.Key("detected").Bool(r.count > 0);
        json.Key("count").Integer(r.count);
        json.Key("frames_from_end");
        if (r.count > 0) json.Integer(r.firstFrame - static_cast<int>(std::lround(r.window.end * m_dFps)));
        else json.Null();
        json.Key("distance_mm");
        if (r.distance >= 0.0) json.Number(r.distance);
        else json.Null();
        json.EndObject();
    }
    json.EndArray();
    json.Key("false_gestures").BeginObject();
    for (int type = 0; type < kGestureTypes; ++type) json.Key(GestureName(type)).Integer(m_falseGestures[static_cast<size_t>(type)]);
    json.EndObject();
}

}  // namespace vela::evaluate
