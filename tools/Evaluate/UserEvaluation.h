#pragma once

// The user tracker's frames against the rendered truth, frame by frame:
// per true person the overlap of its pixels with the user map, the frames
// from its entry (first visible pixel) to its first report as a user, the
// ids it was given and how often they switched, and the error of the
// reported centre of mass against the centroid of its visible surface (the
// truth's `centroid`, what scene analysis measures); per scene the false
// users: users shown in the map or reported visible that are no person's
// best match.

#include <cstdint>
#include <vector>

#include "Evaluate/IdentityHistory.h"
#include "Evaluate/JsonWriter.h"
#include "Evaluate/LabelOverlap.h"
#include "SceneRenderer/SceneRenderer.h"

namespace vela::evaluate {

struct ReportedUser {
    int id = 0;
    int state = 0;  // the public state bits: 1 visible, 2 new, 4 lost
    scene::Vec3 centerOfMass;
};

class UserEvaluation {
public:
    // One frame: its truth, the rendered user labels, the tracker's user
    // map (null when it had none) at the same size, and its users.
    void AddFrame(const scene::FrameTruth& truth, const std::vector<uint16_t>& labels, const int16_t* userMap,
                  const std::vector<ReportedUser>& users);

    struct Person {
        int id = 0;
        int visibleFrames = 0;
        int entryFrame = -1;        // first frame with a visible pixel
        int firstReportFrame = -1;  // first frame it was some user's
        std::vector<double> iou;    // per visible frame (0 when no user covers it)
        std::vector<double> iouReported;  // per frame it was some user's
        std::vector<double> comErrors;    // mm, per frame it was a reported user's
        IdentityHistory identity;
    };
    const std::vector<Person>& People() const { return m_people; }
    int Frames() const { return m_nFrames; }
    const std::vector<int>& FalseUserIds() const { return m_falseIds; }
    int FalseUserFrames() const { return m_nFalseUserFrames; }

    // The members of the scene's JSON object: "frames", "people", "false_users", ...
    void Write(JsonWriter& json) const;

private:
    Person& PersonOf(int id);

    std::vector<Person> m_people;
    LabelOverlap m_overlap;
    int m_nFrames = 0;
    std::vector<int> m_falseIds;
    int m_nFalseUserFrames = 0;
};

}  // namespace vela::evaluate
