#include "SceneAnalyzer/ConnectedComponent.h"

#include <algorithm>

ConnectedComponent::ConnectedComponent() { Clear(); }

void ConnectedComponent::Clear() {
    pixelCount = 0;
    area = 0;
    bounds = Box3D<int>();
    boundsInRoom = Box3D<int>();
    xCenter = 0;
    yCenter = 0;
    zCenter = 0;
    xzCenter = Vector2D<int>(0, 0);
    centerInRoom = Vector3D<int>();
    fgArea = 0;
    trackedArea = 0;
    std::fill(userMetric, userMetric + 11, 0LL);
    userId = 0;
    node = 0;
    noDepth = false;
    isFg = false;
    isTrakced = false;
    isForGluing = false;
    isPositive = false;
}

std::ostream& operator<<(std::ostream& out, const ConnectedComponent& cc) {
    out << "pixelCount=" << cc.pixelCount << std::endl;
    out << "area=" << cc.area << std::endl;
    out << "bounds=" << cc.bounds << std::endl;
    out << "xCenter=" << cc.xCenter << std::endl;
    out << "yCenter=" << cc.yCenter << std::endl;
    out << "zCenter=" << cc.zCenter << std::endl;
    out << "fgCount=" << cc.fgArea << std::endl;
    out << "userId=" << cc.userId << std::endl;
    out << "noDepth=" << static_cast<int>(cc.noDepth) << std::endl;
    out << "isPositive=" << static_cast<int>(cc.isPositive) << std::endl;
    out << "isFg=" << static_cast<int>(cc.isFg) << std::endl;
    out << "fgArea=" << cc.fgArea << std::endl;
    out << "isTrakced=" << static_cast<int>(cc.isTrakced) << std::endl;
    out << "trackedArea=" << cc.trackedArea << std::endl;
    out << "isForGluing=" << static_cast<int>(cc.isForGluing) << std::endl;
    out << "userMetric=";
    for (int k = 1; k <= 10; ++k) {
        out << cc.userMetric[k] << ' ';
    }
    out << std::endl;
    return out;
}
