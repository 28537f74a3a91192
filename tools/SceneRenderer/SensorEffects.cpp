#include "SceneRenderer/SensorEffects.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "SceneRenderer/BodyModel.h"
#include "SceneRenderer/Random.h"

namespace vela::scene {

namespace {

// Random streams of the frame key (the renderer's white noise and dropouts
// use 1 and 2).
constexpr uint64_t kFieldStream = 3;
constexpr uint64_t kBlockStream = 4;
constexpr uint64_t kJitterStream = 5;
constexpr uint64_t kJitterPixelStream = 6;
constexpr uint64_t kFragmentStream = 7;
constexpr uint64_t kFragmentShapeStream = 8;
constexpr uint64_t kHoleStream = 9;
constexpr uint64_t kHoleShapeStream = 10;
constexpr uint64_t kMixStream = 12;

// At 640x480 (sizes scale with the width):
constexpr double kFieldCell = 14.0;       // pixels over which the noise field varies
constexpr double kBlockSize = 3.0;        // side of the blocks that share a shift
constexpr double kJitterCell = 4.0;       // correlation length of edge jitter along an edge
constexpr double kJitterSmooth = 1.1;     // pixels, standard deviation of its smooth part
constexpr double kJitterPixel = 0.45;     // pixels, of its pixel-to-pixel part
constexpr int kJitterReach = 3;           // farthest an edge moves, pixels
constexpr double kMixShare = 0.4;         // share of gained edge pixels between the two surfaces
constexpr double kMixMost = 0.3;          // how far toward the farther surface they go at most
constexpr double kFragmentMix = 0.5;      // the same for fragments
constexpr double kFragmentRate = 0.0015;  // fragments per edge pixel, at least
constexpr double kSmallestHole = 2.0;     // pixels
constexpr double kLargestHole = 120.0;    // added to the smallest, rarely

// A depth jump: the neighbour lies this much farther (mm).
double JumpAt(double depth) { return 20.0 + 0.03 * depth; }

// A pixel whose matching window straddles a depth jump reports a shift
// between the two surfaces': `mix` of the way from the near one to the far
// one, in shift (inverse depth).
double MixedDepth(double nearDepth, double farDepth, double mix) {
    const double inverse = (1.0 - mix) / nearDepth + (std::isfinite(farDepth) ? mix / farDepth : 0.0);
    return 1.0 / inverse;
}

// Holes per pixel of a material at the reference distance (1240 mm,
// 640x480); the returned light falls with the square of the distance, and
// so many more pixels lose their depth.
double HoleDensity(uint8_t material) {
    switch (material) {
        case kMaterialHair: return 7e-4;
        case kMaterialDarkFabric: return 5e-5;
        case kMaterialSkin: return 4e-5;
        default: return 0.0;
    }
}

// Calls visit(q) for each of the four neighbours q of pixel p inside a
// width x height image.
template <typename Visit>
void ForNeighbours(int p, int width, int height, Visit visit) {
    const int c = p % width, r = p / width;
    if (c > 0) visit(p - 1);
    if (c + 1 < width) visit(p + 1);
    if (r > 0) visit(p - width);
    if (r + 1 < height) visit(p + width);
}

}  // namespace

void SensorEffects::BeginFrame(uint64_t seed, int frame, int width, int height, const EffectSwitches& switches) {
    m_nSeed = seed;
    m_nFrameKey = static_cast<uint64_t>(frame) << 8;
    m_switches = switches;
    m_nWidth = width;
    m_nHeight = height;
    m_dScale = width / 640.0;
    m_nBlock = std::max(1, static_cast<int>(std::lround(kBlockSize * m_dScale)));
    const double minimumCell = 1.5;
    if (switches.dField > 0.0) {
        m_field.Build(seed, m_nFrameKey | kFieldStream, width, height, std::max(minimumCell, kFieldCell * m_dScale),
                      NoiseField::Values::Normal);
    }
    if (switches.bEdges) {
        m_jitter.Build(seed, m_nFrameKey | kJitterStream, width, height, std::max(minimumCell, kJitterCell * m_dScale),
                       NoiseField::Values::Normal);
    }
}

void SensorEffects::PrepareShiftNoise(const std::vector<double>& depth, const SensorModel& sensor) {
    m_pDepth = &depth;
    m_pSensor = &sensor;
    if (!(m_switches.dBlocks > 0.0)) return;
    m_nBlockColumns = (m_nWidth + m_nBlock - 1) / m_nBlock;
    const int blockRows = (m_nHeight + m_nBlock - 1) / m_nBlock;
    m_blocks.resize(static_cast<size_t>(m_nBlockColumns) * blockRows);
    for (int br = 0; br < blockRows; ++br) {
        for (int bc = 0; bc < m_nBlockColumns; ++bc) {
            const uint64_t key = static_cast<uint64_t>(br) * 65536u + static_cast<uint64_t>(bc);
            Block& block = m_blocks[static_cast<size_t>(br) * m_nBlockColumns + bc];
            block.noise = m_switches.dBlocks * NormalFromBits(HashKey(m_nSeed, m_nFrameKey | kBlockStream, key));
            double nearest = INFINITY, farthest = -INFINITY, sum = 0.0;
            int count = 0;
            for (int r = br * m_nBlock; r < std::min(m_nHeight, (br + 1) * m_nBlock); ++r) {
                for (int c = bc * m_nBlock; c < std::min(m_nWidth, (bc + 1) * m_nBlock); ++c) {
                    const double z = depth[static_cast<size_t>(r) * m_nWidth + c];
                    if (std::isnan(z)) continue;
                    nearest = std::min(nearest, z);
                    farthest = std::max(farthest, z);
                    sum += sensor.ShiftOfDepth(z);
                    ++count;
                }
            }
            block.meanShift = count > 0 && farthest - nearest < JumpAt(nearest) ? sum / count : NAN;
        }
    }
}

double SensorEffects::ShiftNoise(int column, int row) const {
    double noise = 0.0;
    if (m_switches.dField > 0.0) noise += m_switches.dField * m_field.At(column, row);
    if (m_switches.dBlocks > 0.0) {
        const int bc = column / m_nBlock, br = row / m_nBlock;
        const Block& block = m_blocks[static_cast<size_t>(br) * m_nBlockColumns + bc];
        noise += block.noise;
        if (m_nBlock > 1) {
            // The sensor matches the pattern over windows, not pixels: a
            // block on one surface reports one shift.
            const std::vector<double>& depth = *m_pDepth;
            const double z = depth[static_cast<size_t>(row) * m_nWidth + column];
            double mean = block.meanShift;
            if (std::isnan(mean)) {
                // A block across a depth jump: the pixels on this one's side.
                double sum = 0.0;
                int count = 0;
                for (int r = br * m_nBlock; r < std::min(m_nHeight, (br + 1) * m_nBlock); ++r) {
                    for (int c = bc * m_nBlock; c < std::min(m_nWidth, (bc + 1) * m_nBlock); ++c) {
                        const double q = depth[static_cast<size_t>(r) * m_nWidth + c];
                        if (std::fabs(q - z) < JumpAt(z)) {
                            sum += m_pSensor->ShiftOfDepth(q);
                            ++count;
                        }
                    }
                }
                mean = sum / count;
            }
            noise += mean - m_pSensor->ShiftOfDepth(z);
        }
    }
    return noise;
}

void SensorEffects::MarkHoles(const std::vector<uint8_t>& material, const std::vector<double>& depth,
                              std::vector<uint8_t>& holes) {
    holes.assign(material.size(), 0);
    if (!m_switches.bHoles) return;
    const int w = m_nWidth, h = m_nHeight;
    uint64_t draw = 0;
    auto next = [&]() { return UniformFromBits(HashKey(m_nSeed, m_nFrameKey | kHoleStream, draw++)); };
    for (const uint8_t kind : {kMaterialHair, kMaterialDarkFabric, kMaterialSkin}) {
        m_sites.clear();
        double depthSum = 0.0;
        for (size_t i = 0; i < material.size(); ++i) {
            if (material[i] == kind && !std::isnan(depth[i])) {
                m_sites.push_back(static_cast<int>(i));
                depthSum += depth[i];
            }
        }
        // Holes stay off the surface's rim, so that they never cut a piece
        // off a person (fragments have their own effect).
        auto inside = [&](int p) {
            const int c = p % w, r = p / w;
            if (material[p] != kind || std::isnan(depth[p]) || c == 0 || r == 0 || c == w - 1 || r == h - 1) return false;
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    const int q = p + dr * w + dc;
                    if (material[q] == kMaterialPlain || std::isnan(depth[q])) return false;
                }
            }
            return true;
        };
        if (m_sites.empty()) continue;
        const double distance = depthSum / m_sites.size() / 1240.0;
        const double expected = HoleDensity(kind) * m_sites.size() / (m_dScale * m_dScale) * distance * distance;
        const int count = static_cast<int>(expected * (0.6 + 0.8 * next()) + next());
        for (int k = 0; k < count; ++k) {
            const int seed = m_sites[static_cast<size_t>(next() * m_sites.size())];
            const double u = next();
            if (!inside(seed)) continue;
            const int size = std::max(1, static_cast<int>((kSmallestHole + kLargestHole * u * u * u) * m_dScale * m_dScale));
            // Grows over the same material from the frontier pixel of the
            // lowest random key: ragged, but without islands of depth left
            // inside that would pass for fragments.
            m_frontier.clear();
            m_frontier.emplace_back(0, seed);
            int grown = 0;
            while (!m_frontier.empty() && grown < size) {
                std::pop_heap(m_frontier.begin(), m_frontier.end(), std::greater<>());
                const int p = m_frontier.back().second;
                m_frontier.pop_back();
                if (holes[p]) continue;
                holes[p] = 1;
                ++grown;
                ForNeighbours(p, w, h, [&](int q) {
                    if (holes[q] || !inside(q)) return;
                    m_frontier.emplace_back(HashKey(m_nSeed, m_nFrameKey | kHoleShapeStream, static_cast<uint64_t>(q)), q);
                    std::push_heap(m_frontier.begin(), m_frontier.end(), std::greater<>());
                });
            }
        }
    }
}

double SensorEffects::Jitter(int column, int row) const {
    const uint64_t pixel = static_cast<uint64_t>(row) * 65536u + static_cast<uint64_t>(column);
    return m_dScale * (kJitterSmooth * m_jitter.At(column, row) +
                       kJitterPixel * NormalFromBits(HashKey(m_nSeed, m_nFrameKey | kJitterPixelStream, pixel)));
}

void SensorEffects::ReshapeEdges(SurfaceImage& image) {
    if (!m_switches.bEdges && !m_switches.bFragments) return;
    const int w = image.nWidth, h = image.nHeight;
    const std::vector<double>& z = *image.pDepth;
    // Pixels of the nearer surface at a depth jump, found on the true depth.
    std::vector<int> edges;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const int i = r * w + c;
            if (!std::isfinite(z[i])) continue;
            const double far = z[i] + JumpAt(z[i]);
            if ((c > 0 && !(z[i - 1] < far)) || (c + 1 < w && !(z[i + 1] < far)) || (r > 0 && !(z[i - w] < far)) ||
                (r + 1 < h && !(z[i + w] < far))) {
                edges.push_back(i);
            }
        }
    }
    if (m_switches.bEdges) JitterEdges(image, edges);
    if (m_switches.bFragments) DetachFragments(image, edges);
}

void SensorEffects::JitterEdges(SurfaceImage& image, const std::vector<int>& edges) {
    const int w = image.nWidth, h = image.nHeight;
    std::vector<double>& z = *image.pDepth;
    m_original.assign(z.begin(), z.end());
    const std::vector<double>& original = m_original;
    m_touched.assign(z.size(), 0);
    auto inImage = [&](int i) {
        const int c = i % w - image.nColumnOffset;
        return c >= 0 && c < m_nWidth && i / w < m_nHeight;
    };
    auto jitterAt = [&](int i) { return inImage(i) ? Jitter(i % w - image.nColumnOffset, i / w) : 0.0; };

    // Losses: the edge and the pixels behind it on the same surface, as far
    // in as the jitter reaches below zero.
    std::vector<std::pair<int, int>> frontier, next;  // pixel, edge pixel it came from
    for (const int e : edges) {
        if (jitterAt(e) <= -0.5) {
            (*image.pDropped)[e] = 1;
            frontier.emplace_back(e, e);
        }
        m_touched[e] = 1;
    }
    for (int step = 1; step < kJitterReach && !frontier.empty(); ++step) {
        next.clear();
        for (const auto& [p, source] : frontier) {
            ForNeighbours(p, w, h, [&, source = source](int q) {
                if (m_touched[q] || !(std::fabs(original[q] - original[source]) < JumpAt(original[source]))) return;
                m_touched[q] = 1;
                if (jitterAt(q) <= -(step + 0.5)) {
                    (*image.pDropped)[q] = 1;
                    next.emplace_back(q, source);
                }
            });
        }
        frontier.swap(next);
    }

    // Gains: the farther pixels beside the edge take the nearer surface, as
    // far out as the jitter reaches above zero.
    std::fill(m_touched.begin(), m_touched.end(), 0);
    frontier.clear();
    for (const int e : edges) frontier.emplace_back(e, e);
    for (int step = 1; step <= kJitterReach && !frontier.empty(); ++step) {
        next.clear();
        for (const auto& [p, source] : frontier) {
            ForNeighbours(p, w, h, [&, source = source](int q) {
                const double far = original[source] + JumpAt(original[source]);
                if (m_touched[q] || original[q] < far) return;
                m_touched[q] = 1;
                if (jitterAt(q) >= step - 0.5) {
                    const double mix = UniformFromBits(HashKey(m_nSeed, m_nFrameKey | kMixStream, static_cast<uint64_t>(q)));
                    z[q] = mix < kMixShare ? MixedDepth(original[source], original[q], kMixMost * mix / kMixShare)
                                           : original[source];
                    (*image.pUser)[q] = (*image.pUser)[source];
                    (*image.pPart)[q] = (*image.pPart)[source];
                    (*image.pMaterial)[q] = (*image.pMaterial)[source];
                    (*image.pDropped)[q] = 0;
                    next.emplace_back(q, source);
                }
            });
        }
        frontier.swap(next);
    }
}

void SensorEffects::DetachFragments(SurfaceImage& image, const std::vector<int>& edges) {
    const int w = image.nWidth, h = image.nHeight;
    std::vector<double>& z = *image.pDepth;
    // How many: a frame's share of the edge, between one and two and a
    // half times the rate; where: edge pixels in an order of their own.
    const double share = 1.0 + 1.5 * UniformFromBits(HashKey(m_nSeed, m_nFrameKey | kFragmentStream, ~0ull));
    const int wanted = static_cast<int>(kFragmentRate * share * static_cast<double>(edges.size()));
    m_order.clear();
    for (const int e : edges) {
        const int ec = e % w - image.nColumnOffset, er = e / w;
        if (ec < 0 || ec >= m_nWidth || er >= m_nHeight) continue;
        const uint64_t pixel = static_cast<uint64_t>(er) * 65536u + static_cast<uint64_t>(ec);
        m_order.emplace_back(HashKey(m_nSeed, m_nFrameKey | kFragmentStream, pixel), e);
    }
    std::sort(m_order.begin(), m_order.end());
    std::vector<int> blob;
    int made = 0;
    for (const auto& [key, e] : m_order) {
        if (made >= wanted) break;
        const int er = e / w;
        const uint64_t pixel = key;
        const double depth = z[e];
        if (!std::isfinite(depth) || (*image.pDropped)[e]) continue;
        const double far = depth + JumpAt(depth);
        // Away from the nearer surface, toward a farther neighbour.
        int dc = 0, dr = 0;
        static const int kSteps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
        for (const auto& d : kSteps) {
            const int c = e % w + d[0], r = er + d[1];
            if (c >= 0 && c < w && r >= 0 && r < h && !(z[r * w + c] < far) && !(*image.pShadow)[r * w + c]) {
                dc = d[0];
                dr = d[1];
                break;
            }
        }
        if (dc == 0 && dr == 0) continue;
        const uint64_t shape = HashKey(m_nSeed, m_nFrameKey | kFragmentShapeStream, pixel);
        const double radius = (0.8 + 2.2 * UniformFromBits(shape)) * std::max(0.5, m_dScale);
        const double gap = (2.0 + static_cast<double>((shape >> 8) % 3)) * std::max(0.5, m_dScale);
        const double cx = e % w + dc * (gap + radius), cy = er + dr * (gap + radius);
        blob.clear();
        const int reach = static_cast<int>(std::ceil(radius));
        for (int r = static_cast<int>(cy) - reach; r <= static_cast<int>(cy) + reach; ++r) {
            for (int c = static_cast<int>(cx) - reach; c <= static_cast<int>(cx) + reach; ++c) {
                if (c < 0 || c >= w || r < 0 || r >= h) continue;
                if ((c - cx) * (c - cx) + (r - cy) * (r - cy) > (radius + 0.3) * (radius + 0.3)) continue;
                const uint64_t ragged = HashKey(m_nSeed, m_nFrameKey | kFragmentShapeStream, (pixel << 12) ^ (r * w + c));
                if (UniformFromBits(ragged) < 0.15) continue;
                // Only lit surfaces show depth at all.
                if (z[r * w + c] < far || (*image.pShadow)[r * w + c]) continue;
                blob.push_back(r * w + c);
            }
        }
        // Detached: no pixel of the blob touches the nearer surface.
        bool touches = false;
        for (const int b : blob) {
            for (int r = b / w - 1; r <= b / w + 1 && !touches; ++r) {
                for (int c = b % w - 1; c <= b % w + 1; ++c) {
                    if (c < 0 || c >= w || r < 0 || r >= h) continue;
                    const int q = r * w + c;
                    if (z[q] < far && !(*image.pDropped)[q] && std::find(blob.begin(), blob.end(), q) == blob.end()) {
                        touches = true;
                        break;
                    }
                }
            }
        }
        if (touches || blob.empty()) continue;
        ++made;
        const double mix = kFragmentMix * UniformFromBits(shape >> 11);
        for (const int b : blob) {
            z[b] = MixedDepth(depth, z[b], mix);
            (*image.pUser)[b] = (*image.pUser)[e];
            (*image.pPart)[b] = (*image.pPart)[e];
            (*image.pMaterial)[b] = (*image.pMaterial)[e];
            (*image.pDropped)[b] = 0;
        }
    }
}

}  // namespace vela::scene
