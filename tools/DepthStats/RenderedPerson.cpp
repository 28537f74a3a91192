#include "DepthStats/RenderedPerson.h"

#include <vector>

namespace vela::depthstats {

bool MeasureRenderedPerson(const scene::RenderedFrame& frame, int user, const scene::SceneRenderer& renderer,
                           FrameMeasures& measures, std::string& error) {
    std::vector<uint8_t> mask(frame.users.size());
    for (size_t i = 0; i < mask.size(); ++i) mask[i] = frame.users[i] == user;
    FrameInput input;
    input.nWidth = frame.nWidth;
    input.nHeight = frame.nHeight;
    input.pDepth = frame.depth.data();
    input.pMask = mask.data();
    input.dPixelFactor = renderer.Camera().PixelFactor();
    input.pShiftToDepth = &renderer.Sensor().ShiftToDepthTable();
    return MeasureFrame(input, measures, error);
}

}  // namespace vela::depthstats
