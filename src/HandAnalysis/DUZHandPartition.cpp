#include "HandAnalysis/DUZHandPartition.h"

#include <algorithm>

#include "HandAnalysis/DUZHandImageHelpers.h"
#include "QuorLibrary/SensorUtilities/DenseGraph.h"

namespace {

using duz_image::ClippedToImage;
using duz_image::IsEmpty;
using duz_image::Union;

bool Overlap(const Box2D<int>& a, const Box2D<int>& b) {
    return a.min.x <= b.max.x && a.max.x >= b.min.x && a.min.y <= b.max.y && a.max.y >= b.min.y;
}

// A pixel nearer than this (squared mm) to a hand's segment may be given
// to it.
constexpr float kMaxHandDistanceSquared = 22500.0f;
// The segment reaches this far back along the forearm (mm).
constexpr float kForearmReach = 500.0f;
// A label of at least this area (mm^2) counts as large.
constexpr float kLargeLabelArea = 1000.0f;

}  // namespace

DUZHandPartition::DUZHandPartition()
    : m_valid(0),
      m_partitionBox(),
      m_ccDetector(false),
      m_componentDepthThreshold(50),
      m_separateByComponents(1),
      m_minOwnComponentArea(10000.0f) {}

DUZHandPartition::~DUZHandPartition() = default;

int DUZHandPartition::Initialize(const xn::DepthMetaData& depth, const std::string& /*iniFile*/, int /*verbose*/) {
    UpdateResolution(NAResolutionOfSize(static_cast<int>(depth.XRes()), static_cast<int>(depth.YRes())));
    m_componentDepthThreshold = 50;
    m_separateByComponents = 1;
    m_minOwnComponentArea = 10000.0f;
    m_labelHandCounts.SetSize(kCountedLabels, kHands, false);
    m_labelPixelCounts.assign(kCountedLabels, 0);
    m_labelDepthSums.assign(kCountedLabels, 0);
    m_labelIsLarge.assign(kCountedLabels, 0);
    m_labelAssignedCounts.assign(kCountedLabels, 0);
    m_labelOwner.assign(kCountedLabels, 0);
    PrepareHands(kHands);
    m_valid = 0;
    return 1;
}

void DUZHandPartition::UpdateResolution(NAResolution resolution) {
    const bool sized = IsSizedNAResolution(resolution);
    m_partitionMap.SetSize(sized ? NAResolutionHeight(resolution) : 0, sized ? NAResolutionWidth(resolution) : 0,
                           false);
    // The map no longer holds the last partition.
    m_partitionBox = Box2D<int>();
}

void DUZHandPartition::ClearPartition() { m_partitionBox = Box2D<int>(); }

void DUZHandPartition::PrepareHands(int n) {
    const size_t count = static_cast<size_t>(std::max(n, kHands));
    m_handSegments.resize(count);
    m_handDepths.resize(count);
    m_handLabel.resize(count);
    if (m_labelHandCounts.Columns() < n || m_labelHandCounts.Rows() != kCountedLabels) {
        m_labelHandCounts.SetSize(kCountedLabels, std::max(n, kHands), false);
    }
}

bool DUZHandPartition::IsOtherHandPixel(int x, int y, unsigned int trackerId) const {
    if (m_valid == 0 || !duz_image::Contains(m_partitionBox, x, y) || x >= m_partitionMap.Columns() ||
        y >= m_partitionMap.Rows()) {
        return false;
    }
    const int owner = m_partitionMap(y, x);
    return owner > 0 && static_cast<unsigned int>(owner) != trackerId;
}

void DUZHandPartition::ComputeGroupsToPartition(const NADepthMapContainer& /*container*/,
                                                const std::vector<HandInfo>& hands,
                                                std::vector<HandGroupInfo>& groups) {
    static DenseGraph graph;
    static std::vector<int> ccLabels;
    static std::vector<HandGroupInfo> newGroupsToPartition;

    groups.resize(hands.size());
    for (size_t i = 0; i < hands.size(); ++i) {
        groups[i].m_box = hands[i].m_box;
        groups[i].m_hands.assign(1, &hands[i]);
    }
    for (;;) {
        const int n = static_cast<int>(groups.size());
        graph.Initialize(n, false);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < i; ++j) {
                const bool linked = Overlap(groups[i].m_box, groups[j].m_box);
                graph(i, j) = linked;
                graph(j, i) = linked;
            }
        }
        const int components = graph.ComputeConnectedComponents(ccLabels);
        if (components < 0 || components == n) {
            break;
        }
        // Merged boxes may now reach further groups: another round.
        newGroupsToPartition.resize(static_cast<size_t>(components));
        for (HandGroupInfo& group : newGroupsToPartition) {
            group.m_box = Box2D<int>();
            group.m_hands.clear();
        }
        for (int i = 0; i < n; ++i) {
            HandGroupInfo& merged = newGroupsToPartition[static_cast<size_t>(ccLabels[static_cast<size_t>(i)])];
            merged.m_hands.insert(merged.m_hands.end(), groups[i].m_hands.begin(), groups[i].m_hands.end());
            merged.m_box = Union(merged.m_box, groups[i].m_box);
        }
        groups.swap(newGroupsToPartition);
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(),
                                [](const HandGroupInfo& group) { return group.m_hands.size() < 2; }),
                 groups.end());
}

void DUZHandPartition::ComputePartition(const NADepthMapContainer& container,
                                        const std::vector<HandGroupInfo>& groups, const Array2D<int>& foregroundMask,
                                        HandPairs& pairs) {
    pairs.clear();
    m_partitionBox = Box2D<int>();
    if (groups.empty() || container.m_depth == nullptr) {
        m_valid = 0;
        return;
    }
    const int width = static_cast<int>(container.m_depth->XRes());
    const int height = static_cast<int>(container.m_depth->YRes());
    Box2D<int> box;
    for (const HandGroupInfo& group : groups) {
        box = Union(box, group.m_box);
    }
    box = ClippedToImage(box, width, height);
    if (IsEmpty(box) || foregroundMask.Columns() != width || foregroundMask.Rows() != height) {
        m_valid = 0;
        return;
    }
    if (m_partitionMap.Columns() != width || m_partitionMap.Rows() != height) {
        m_partitionMap.SetSize(height, width, false);
    }
    m_partitionBox = box;
    m_valid = 1;
    if (groups.size() >= 2) {
        for (int y = box.min.y; y <= box.max.y; ++y) {
            std::fill(&m_partitionMap(y, box.min.x), &m_partitionMap(y, box.max.x) + 1, -1);
        }
    }
    for (const HandGroupInfo& group : groups) {
        ComputePartition(container, group, foregroundMask, pairs);
    }
}

void DUZHandPartition::ComputePartition(const NADepthMapContainer& container, const HandGroupInfo& group,
                                        const Array2D<int>& foregroundMask, HandPairs& pairs) {
    if (container.m_depth == nullptr || container.m_converter == nullptr) {
        return;
    }
    const xn::DepthMetaData& depthMap = *container.m_depth;
    const int width = static_cast<int>(depthMap.XRes());
    const int height = static_cast<int>(depthMap.YRes());
    const Box2D<int> box = ClippedToImage(group.m_box, width, height);
    if (IsEmpty(box) || foregroundMask.Columns() != width || foregroundMask.Rows() != height ||
        m_partitionMap.Columns() != width || m_partitionMap.Rows() != height) {
        return;
    }
    const WorldPointConverterBase<float>& converter = *container.m_converter;
    const unsigned short* depth = depthMap.Data();

    if (m_maskedDepth.Columns() != width || m_maskedDepth.Rows() != height) {
        m_maskedDepth.SetSize(height, width, false);
    }
    for (int y = box.min.y; y <= box.max.y; ++y) {
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int i = y * width + x;
            m_maskedDepth[i] = foregroundMask[i] != 0 ? depth[i] : 0;
        }
    }
    // A labelling that fails leaves no component: every pixel counts as label 0.
    const bool labelled = m_ccDetector.Run<unsigned short>(m_maskedDepth.Data(), nullptr, nullptr, width, height, box,
                                                           m_labelMap, m_componentDepthThreshold);
    const int labels = labelled ? std::max(m_ccDetector.LabelCount(), 0) : 0;
    const unsigned short* label = m_labelMap.Data();
    auto labelAt = [&](int i) { return labels > 0 ? static_cast<int>(label[i]) : 0; };

    m_labelPixelCounts.assign(static_cast<size_t>(labels), 0);
    m_labelDepthSums.assign(static_cast<size_t>(labels), 0);
    m_labelIsLarge.assign(static_cast<size_t>(labels), 0);
    m_labelAssignedCounts.assign(static_cast<size_t>(labels), 0);
    if (labels > 0) {
        for (int y = box.min.y; y <= box.max.y; ++y) {
            for (int x = box.min.x; x <= box.max.x; ++x) {
                const int i = y * width + x;
                if (label[i] != 0) {
                    ++m_labelPixelCounts[label[i]];
                    m_labelDepthSums[label[i]] += depth[i];
                }
            }
        }
    }
    for (int l = 1; l < labels; ++l) {
        const int count = m_labelPixelCounts[static_cast<size_t>(l)];
        if (count == 0) {
            continue;
        }
        const float meanDepth = static_cast<float>(m_labelDepthSums[static_cast<size_t>(l)] / count);
        const float size = meanDepth * converter.m_fPixelSizeFactor;
        m_labelIsLarge[static_cast<size_t>(l)] = size * size * static_cast<float>(count) > kLargeLabelArea ? 1 : 0;
    }

    const int n = static_cast<int>(group.m_hands.size());
    PrepareHands(n);
    m_handIndexById.clear();
    for (int k = 0; k < n; ++k) {
        const HandInfo& hand = *group.m_hands[static_cast<size_t>(k)];
        m_handIndexById[hand.m_id] = k;
        m_handSegments[static_cast<size_t>(k)] =
            Segment3DAccel<float>(hand.m_position, hand.m_position - hand.m_forearmDirection * kForearmReach);
        m_handDepths[static_cast<size_t>(k)] = hand.m_position.z;
    }
    std::fill(m_labelHandCounts.Data(), m_labelHandCounts.Data() + m_labelHandCounts.Size(), 0);
    const int countedLabels = std::min(labels, kCountedLabels);

    for (int y = box.min.y; y <= box.max.y; ++y) {
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int i = y * width + x;
            m_partitionMap[i] = 0;
            const int l = labelAt(i);
            if (l == 0) {
                continue;
            }
            const float size = converter.PixelSizeAt(depth[i]);
            const Vector3D<float> p((static_cast<float>(x) - converter.m_fCenterX) * size,
                                    (converter.m_fCenterY - static_cast<float>(y)) * size,
                                    static_cast<float>(depth[i]));
            int nearest = -1;
            float nearestDistance = 0.0f;
            for (int k = 0; k < n; ++k) {
                const float distance = m_handSegments[static_cast<size_t>(k)].GetDistanceSquared(p);
                if (nearest < 0 || distance < nearestDistance) {
                    nearest = k;
                    nearestDistance = distance;
                }
            }
            if (nearest < 0 || nearestDistance > kMaxHandDistanceSquared) {
                continue;
            }
            m_partitionMap[i] = group.m_hands[static_cast<size_t>(nearest)]->m_id;
            if (l < countedLabels) {
                ++m_labelHandCounts(l, nearest);
            }
            ++m_labelAssignedCounts[static_cast<size_t>(l)];
        }
    }
    if (m_separateByComponents != 0) {
        SeparateHandsUsingCC(container, group);
    }
    ComputeTouchingHands(container, group, pairs);
}

void DUZHandPartition::SeparateHandsUsingCC(const NADepthMapContainer& container, const HandGroupInfo& group) {
    const int labels = static_cast<int>(m_labelPixelCounts.size());
    const int n = static_cast<int>(group.m_hands.size());
    const float factor = container.m_converter->m_fPixelSizeFactor;
    const int countedLabels = std::min(labels, kCountedLabels);
    m_labelOwner.assign(static_cast<size_t>(labels), 0);
    std::fill(m_handLabel.begin(), m_handLabel.end(), 0);

    for (int k = 0; k < n; ++k) {
        int best = 0;
        int bestCount = 0;
        for (int l = 1; l < countedLabels; ++l) {
            if (m_labelOwner[static_cast<size_t>(l)] == 0 && m_labelHandCounts(l, k) > bestCount) {
                best = l;
                bestCount = m_labelHandCounts(l, k);
            }
        }
        const float size = m_handDepths[static_cast<size_t>(k)] * factor;
        if (best == 0 || !(static_cast<float>(bestCount) * size * size > m_minOwnComponentArea)) {
            return;
        }
        m_labelOwner[static_cast<size_t>(best)] = group.m_hands[static_cast<size_t>(k)]->m_id;
        m_handLabel[static_cast<size_t>(k)] = best;
    }
    // Only where some hand's own component lost pixels to another hand.
    bool shared = false;
    for (int k = 0; k < n && !shared; ++k) {
        const int l = m_handLabel[static_cast<size_t>(k)];
        shared = m_labelAssignedCounts[static_cast<size_t>(l)] > m_labelHandCounts(l, k);
    }
    if (!shared) {
        return;
    }
    const int width = static_cast<int>(container.m_depth->XRes());
    const Box2D<int> box = ClippedToImage(group.m_box, width, static_cast<int>(container.m_depth->YRes()));
    const unsigned short* label = m_labelMap.Data();
    for (int y = box.min.y; y <= box.max.y; ++y) {
        for (int x = box.min.x; x <= box.max.x; ++x) {
            const int i = y * width + x;
            const int owner = m_labelOwner[label[i]];
            if (owner != 0) {
                m_partitionMap[i] = owner;
            }
        }
    }
}

void DUZHandPartition::ComputeTouchingHands(const NADepthMapContainer& container, const HandGroupInfo& group,
                                            HandPairs& pairs) {
    static Array2D<int> s_touching;
    const int n = static_cast<int>(group.m_hands.size());
    s_touching.SetSize(n, n, false);
    std::fill(s_touching.Data(), s_touching.Data() + s_touching.Size(), 0);

    const int width = static_cast<int>(container.m_depth->XRes());
    const Box2D<int> box = ClippedToImage(group.m_box, width, static_cast<int>(container.m_depth->YRes()));
    const unsigned short* label = m_labelMap.Data();
    const bool hasLabels = !m_labelIsLarge.empty();
    auto indexOf = [&](int id) {
        const auto found = m_handIndexById.find(id);
        return found != m_handIndexById.end() ? found->second : -1;
    };
    auto mark = [&](int i, int neighbour, int g) {
        const int h = m_partitionMap[neighbour];
        if (h != g && h > 0 && label[neighbour] == label[i]) {
            const int a = indexOf(g);
            const int b = indexOf(h);
            if (a >= 0 && b >= 0) {
                s_touching(a, b) = 1;
            }
        }
    };
    for (int y = box.min.y + 1; hasLabels && y <= box.max.y; ++y) {
        for (int x = box.min.x + 1; x <= box.max.x; ++x) {
            const int i = y * width + x;
            const int g = m_partitionMap[i];
            if (g <= 0 || label[i] == 0 || m_labelIsLarge[label[i]] == 0) {
                continue;
            }
            mark(i, i - 1, g);
            mark(i, i - width, g);
        }
    }
    for (int k = 0; k < n; ++k) {
        for (int l = k + 1; l < n; ++l) {
            if (s_touching(k, l) != 0 || s_touching(l, k) != 0) {
                pairs.emplace_back(static_cast<unsigned int>(group.m_hands[static_cast<size_t>(k)]->m_id),
                                   static_cast<unsigned int>(group.m_hands[static_cast<size_t>(l)]->m_id));
            }
        }
    }
}
