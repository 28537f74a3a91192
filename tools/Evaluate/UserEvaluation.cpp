#include "Evaluate/UserEvaluation.h"

#include <Vela.h>

#include <algorithm>
#include <cmath>

namespace vela::evaluate {

namespace {

double Mean(const std::vector<double>& values) {
    if (values.empty()) return std::nan("");
    double sum = 0.0;
    for (double v : values) sum += v;
    return sum / static_cast<double>(values.size());
}

}  // namespace

UserEvaluation::Person& UserEvaluation::PersonOf(int id) {
    for (Person& p : m_people) {
        if (p.id == id) return p;
    }
    m_people.emplace_back();
    m_people.back().id = id;
    return m_people.back();
}

void UserEvaluation::AddFrame(const scene::FrameTruth& truth, const std::vector<uint16_t>& labels,
                              const int16_t* userMap, const std::vector<ReportedUser>& users) {
    m_overlap.Count(labels.data(), userMap, labels.size());
    const int frame = truth.nFrame;
    std::vector<int> matched;
    for (const scene::UserTruth& t : truth.users) {
        Person& person = PersonOf(t.nId);
        if (t.nVisiblePixels == 0) {
            person.identity.Observe(0);
            continue;
        }
        ++person.visibleFrames;
        if (person.entryFrame < 0) person.entryFrame = frame;
        const int best = m_overlap.BestUser(t.nId);
        person.iou.push_back(best != 0 ? m_overlap.IoU(t.nId, best) : 0.0);
        person.identity.Observe(best);
        if (best == 0) continue;
        matched.push_back(best);
        person.iouReported.push_back(person.iou.back());
        if (person.firstReportFrame < 0) person.firstReportFrame = frame;
        for (const ReportedUser& u : users) {
            // A new user has no centre yet (0, 0, 0), and one not visible
            // keeps an old one.
            if (u.id == best && (u.state & VELA_USER_STATE_VISIBLE) != 0 && (u.state & (VELA_USER_STATE_NEW | VELA_USER_STATE_LOST)) == 0) {
                person.comErrors.push_back(scene::Length(u.centerOfMass - t.centroid));
            }
        }
    }
    // Users seen in this frame: reported visible, or holding pixels of the map.
    std::vector<int> shown;
    for (const ReportedUser& u : users) {
        if ((u.state & VELA_USER_STATE_VISIBLE) != 0 && (u.state & VELA_USER_STATE_LOST) == 0) shown.push_back(u.id);
    }
    for (int id : m_overlap.ReportedUsers()) shown.push_back(id);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    for (int id : shown) {
        if (std::find(matched.begin(), matched.end(), id) != matched.end()) continue;
        ++m_nFalseUserFrames;
        if (std::find(m_falseIds.begin(), m_falseIds.end(), id) == m_falseIds.end()) m_falseIds.push_back(id);
    }
    ++m_nFrames;
}

void UserEvaluation::Write(JsonWriter& json) const {
    json.Key("frames").Integer(m_nFrames);
    std::vector<double> all;
    json.Key("people").BeginArray();
    for (const Person& p : m_people) {
        all.insert(all.end(), p.iou.begin(), p.iou.end());
        json.BeginObject();
        json.Key("id").Integer(p.id);
        json.Key("visible_frames").Integer(p.visibleFrames);
        json.Key("entry_frame").Integer(p.entryFrame);
        json.Key("first_report_frame").Integer(p.firstReportFrame);
        json.Key("frames_to_report");
        if (p.entryFrame >= 0 && p.firstReportFrame >= 0) json.Integer(p.firstReportFrame - p.entryFrame);
        else json.Null();
        json.Key("iou_mean").Number(Mean(p.iou));
        json.Key("iou_mean_reported").Number(Mean(p.iouReported));
        json.Key("ids").Integers(p.identity.Ids());
        json.Key("identity_switches").Integer(p.identity.Switches());
        json.Key("com_error_mm").Stats(Summarize(p.comErrors));
        json.EndObject();
    }
    json.EndArray();
    json.Key("iou_mean").Number(Mean(all));
    json.Key("false_users").Integers(m_falseIds);
    json.Key("false_user_frames").Integer(m_nFalseUserFrames);
}

}  // namespace vela::evaluate
