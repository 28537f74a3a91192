#pragma once

// The measures of one person in a frame the scene renderer made: the user
// label map as the mask, the renderer's camera and sensor table.

#include <string>

#include "DepthStats/DepthMeasures.h"
#include "SceneRenderer/SceneRenderer.h"

namespace vela::depthstats {

bool MeasureRenderedPerson(const scene::RenderedFrame& frame, int user, const scene::SceneRenderer& renderer,
                           FrameMeasures& measures, std::string& error);

}  // namespace vela::depthstats
