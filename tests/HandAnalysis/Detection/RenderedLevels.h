#pragma once

// A rendered scene read through the synthetic camera at 320x240, with the
// hand side's frame at 320x240 and at the detectors' 160x120 level, and the
// ground truth of body parts as each level sees them.

#include <cstdint>
#include <string>
#include <vector>

#include "HandAnalysis/DUZMultiResDepthMapContainer.h"
#include "HandCameraSession.h"
#include "QuorLibrary/Math/Box2D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/Array2D.h"

namespace detection_test {

class RenderedLevels {
public:
    // False, with the reason in Error(), when the scene does not open.
    bool Open(const std::string& sceneText);
    // The next frame at both levels.
    bool Next();

    // The frame at 320x240 (QVGA) or 160x120 (QQVGA).
    const NADepthMapContainer& Level(NAResolution resolution);
    // Pixels of the level per rendered pixel along a row: 1 or 2.
    static int Factor(NAResolution resolution) { return resolution == NAResolution::QVGA ? 1 : 2; }

    hand_test_kit::CameraSession& Session() { return m_session; }
    const std::string& Error() const { return m_session.Error(); }

private:
    hand_test_kit::CameraSession m_session;
    DUZMultiResDepthMapContainer m_container;
};

// What a level sees of one body part of one person (labels of
// SceneRenderer/BodyModel.h): the area-weighted mean of the world points of
// its pixels with depth (the part's visible centroid), their image box and
// count, and a label map of the level's size holding 1 on them.
struct PartView {
    Vector3D<float> centroid;
    Box2D<int> box;
    int pixels = 0;
    std::vector<unsigned short> labels;
};
PartView ViewPart(const vela::scene::RenderedFrame& frame, int person, int part, const NADepthMapContainer& level);

// One person 1750 mm tall facing the camera at `distance` mm before a wall
// at 4.5 m, standing still with the right hand raised beside the head in
// the body's plane: by the ear (the hand's top below the crown, its inner
// edge about 100 mm from the head), or above the shoulder with the forearm
// upright as in the calibration pose (about 450 mm out from the head's
// centre).
enum class BesideHead { ByTheEar, AboveTheShoulder };
std::string HandBesideHeadScene(BesideHead where, int distance);

// 1 where the level's depth changed by more than `threshold` mm (or gained
// or lost depth) since `before`, a map of the same size.
void ChangedPixels(const xn::DepthMetaData& before, const xn::DepthMetaData& now, int threshold,
                   Array2D<unsigned short>& mask);

}  // namespace detection_test
