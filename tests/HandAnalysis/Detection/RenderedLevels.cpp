#include "RenderedLevels.h"

#include <algorithm>
#include <cstdlib>

namespace detection_test {

bool RenderedLevels::Open(const std::string& sceneText) {
    if (!m_session.OpenScene(sceneText, 320, 240)) {
        return false;
    }
    if (!m_container.Initialize(m_session.Node(), m_session.Depth())) {
        return false;
    }
    m_container.m_depthToShift = m_session.DepthToShift();
    m_container.m_shiftToDepth = m_session.ShiftToDepth();
    return true;
}

bool RenderedLevels::Next() {
    return m_session.Next() && m_container.SetLevel(NAResolution::QVGA) &&
           m_container.Update(&m_session.Hub(), m_session.Node(), m_session.Depth(), m_session.FrameId(),
                              m_session.Time());
}

const NADepthMapContainer& RenderedLevels::Level(NAResolution resolution) {
    m_container.SetLevel(resolution);
    if (resolution != NAResolution::QVGA) {
        m_container.RefreshLevelDepth(m_session.Hub(), resolution);
    }
    return m_container;
}

PartView ViewPart(const vela::scene::RenderedFrame& frame, int person, int part, const NADepthMapContainer& level) {
    const xn::DepthMetaData& depth = *level.m_depth;
    const WorldPointConverterBase<float>& converter = *level.m_converter;
    const int width = depth.XRes();
    const int height = depth.YRes();
    const int factor = frame.nWidth / width;
    PartView view;
    view.labels.assign(static_cast<size_t>(width) * height, 0);
    double sum[3] = {0, 0, 0};
    double weight = 0;
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const size_t i = static_cast<size_t>(r) * factor * frame.nWidth + static_cast<size_t>(c) * factor;
            const int z = depth(c, r);
            if (frame.users[i] != person + 1 || frame.parts[i] != part || z == 0) {
                continue;
            }
            view.labels[static_cast<size_t>(r) * width + c] = 1;
            ++view.pixels;
            const float size = converter.PixelSizeAt(z);
            const double area = static_cast<double>(size) * size;
            sum[0] += area * (static_cast<float>(c) - converter.m_fCenterX) * size;
            sum[1] += area * (converter.m_fCenterY - static_cast<float>(r)) * size;
            sum[2] += area * z;
            weight += area;
            view.box.min.x = std::min(view.box.min.x, c);
            view.box.min.y = std::min(view.box.min.y, r);
            view.box.max.x = std::max(view.box.max.x, c);
            view.box.max.y = std::max(view.box.max.y, r);
        }
    }
    if (weight > 0) {
        view.centroid = Vector3D<float>(static_cast<float>(sum[0] / weight), static_cast<float>(sum[1] / weight),
                                        static_cast<float>(sum[2] / weight));
    }
    return view;
}

std::string HandBesideHeadScene(BesideHead where, int distance) {
    const char* arm = where == BesideHead::ByTheEar ? "70,0,90,150" : "90,0,90,90";
    return "camera elevation=1400\nwall z=4500\nperson height=1750\n  at 0 pos=0," + std::to_string(distance) +
           "\n  pose 0 stand right_arm=" + arm + "\n";
}

void ChangedPixels(const xn::DepthMetaData& before, const xn::DepthMetaData& now, int threshold,
                   Array2D<unsigned short>& mask) {
    mask.SetSize(now.YRes(), now.XRes(), false);
    for (int r = 0; r < now.YRes(); ++r) {
        for (int c = 0; c < now.XRes(); ++c) {
            const int a = before(c, r);
            const int b = now(c, r);
            mask(r, c) = (a == 0) != (b == 0) || std::abs(a - b) > threshold ? 1 : 0;
        }
    }
}

}  // namespace detection_test
