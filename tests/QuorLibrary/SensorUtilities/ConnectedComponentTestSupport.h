#pragma once

// Seeded test images and independent reference labellings for the
// connected-component tests: a flood fill that numbers regions in scan order,
// and a run-level reference of the run-based path's own rules.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "XnAdapter/XnSceneMetaData.h"

namespace cc_test {

// xorshift64*: the same numbers on every platform and standard library.
class Rng {
public:
    explicit Rng(uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint64_t Next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return m_state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in lo ... hi, both included.
    int Uniform(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1)); }
    bool Chance(int percent) { return Uniform(0, 99) < percent; }

private:
    uint64_t m_state;
};

// Depth-like blobs: ellipses and rectangles of sloped depth on a 0
// background, overlapping at other depths, with holes and speckles. Every
// non-zero value lies in minValue ... maxValue.
inline std::vector<uint16_t> MakeBlobImage(int width, int height, uint64_t seed, int minValue = 400,
                                           int maxValue = 9000) {
    Rng rng(seed);
    std::vector<uint16_t> image(static_cast<size_t>(width) * height, 0);
    const int nBlobs = 3 + width * height / 300;
    for (int b = 0; b < nBlobs; ++b) {
        const int cx = rng.Uniform(0, width - 1);
        const int cy = rng.Uniform(0, height - 1);
        const int rx = rng.Uniform(1, std::max(1, width / 6));
        const int ry = rng.Uniform(1, std::max(1, height / 6));
        const int base = rng.Uniform(minValue, maxValue);
        const int sx = rng.Uniform(-4, 4);
        const int sy = rng.Uniform(-4, 4);
        const bool ellipse = rng.Chance(60);
        for (int y = std::max(0, cy - ry); y <= std::min(height - 1, cy + ry); ++y) {
            for (int x = std::max(0, cx - rx); x <= std::min(width - 1, cx + rx); ++x) {
                const double dx = static_cast<double>(x - cx) / rx;
                const double dy = static_cast<double>(y - cy) / ry;
                if (ellipse && dx * dx + dy * dy > 1.0) {
                    continue;
                }
                const int v = base + sx * (x - cx) + sy * (y - cy) + rng.Uniform(0, 2);
                image[static_cast<size_t>(y) * width + x] = static_cast<uint16_t>(std::clamp(v, minValue, maxValue));
            }
        }
    }
    for (uint16_t& v : image) {
        if (rng.Chance(3)) {
            v = 0;
        } else if (rng.Chance(1)) {
            v = static_cast<uint16_t>(rng.Uniform(minValue, maxValue));
        }
    }
    return image;
}

// Anything a 16-bit image can hold: zeros, values near 0 and near each
// other, and values of 32768 and more, in short stretches.
inline std::vector<uint16_t> MakeWildImage(int width, int height, uint64_t seed) {
    Rng rng(seed);
    std::vector<uint16_t> image(static_cast<size_t>(width) * height, 0);
    int value = 0;
    for (uint16_t& v : image) {
        if (rng.Chance(35)) {
            const int kind = rng.Uniform(0, 9);
            value = kind < 3 ? 0 : kind < 6 ? rng.Uniform(1, 40) : kind < 8 ? rng.Uniform(500, 700)
                                                                             : rng.Uniform(32700, 40000);
        } else if (value != 0 && rng.Chance(50)) {
            value = std::clamp(value + rng.Uniform(-6, 6), 0, 65535);
        }
        v = static_cast<uint16_t>(value);
    }
    return image;
}

// Columns x0 ... x1 - 1 of rows y0 ... y1 - 1.
struct Area {
    int x0;
    int x1;
    int y0;
    int y1;
    bool Contains(int x, int y) const { return x >= x0 && x < x1 && y >= y0 && y < y1; }
};

// Regions of the area numbered 1, 2 ... in the order a scan meets their
// first pixel. foreground(p) and close(p, q) take pixel indices; with masks,
// the edge to the left neighbour of p exists where joinLeft[p] is set and the
// edge to the upper neighbour where joinUp[p] is. Pixels outside the area
// keep the values of `outside`.
template <typename Foreground, typename Close>
std::vector<uint16_t> FloodFill(int width, int height, const Area& area, Foreground foreground, Close close,
                                bool eightConnected, const bool* joinLeft, const bool* joinUp,
                                std::vector<uint16_t> outside, int* regions) {
    std::vector<uint16_t> labels = std::move(outside);
    labels.resize(static_cast<size_t>(width) * height, 0);
    std::vector<uint8_t> seen(labels.size(), 0);
    for (int y = area.y0; y < area.y1; ++y) {
        for (int x = area.x0; x < area.x1; ++x) {
            labels[static_cast<size_t>(y) * width + x] = 0;
        }
    }
    const bool masked = joinLeft != nullptr && joinUp != nullptr;
    // Whether the edge between p and its neighbour at offset (dx, dy) exists.
    auto edge = [&](int x, int y, int dx, int dy) {
        const int p = y * width + x;
        const int q = (y + dy) * width + (x + dx);
        if (!masked) {
            return close(p, q);
        }
        if (dy == 0) {
            return (dx < 0 ? joinLeft[p] : joinLeft[q]) && close(p, q);
        }
        return (dy < 0 ? joinUp[p] : joinUp[q]) && close(p, q);
    };
    int next = 0;
    for (int y = area.y0; y < area.y1; ++y) {
        for (int x = area.x0; x < area.x1; ++x) {
            const int p = y * width + x;
            if (seen[p] || !foreground(p)) {
                continue;
            }
            ++next;
            std::vector<int> stack{p};
            seen[p] = 1;
            while (!stack.empty()) {
                const int c = stack.back();
                stack.pop_back();
                labels[c] = static_cast<uint16_t>(next);
                const int cx = c % width;
                const int cy = c / width;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        if ((dx == 0 && dy == 0) || (!eightConnected && dx != 0 && dy != 0)) {
                            continue;
                        }
                        const int nx = cx + dx;
                        const int ny = cy + dy;
                        const int q = ny * width + nx;
                        if (!area.Contains(nx, ny) || seen[q] || !foreground(q) || !edge(cx, cy, dx, dy)) {
                            continue;
                        }
                        seen[q] = 1;
                        stack.push_back(q);
                    }
                }
            }
        }
    }
    *regions = next;
    return labels;
}

// The run-based path's rules written out plainly: links in signed 16-bit
// lanes, runs that end on the first pixel without a right link (clipped to
// the area), runs of neighbouring rows joined where a down link lies in
// their overlap, regions numbered in the order of their first runs. The
// whole map outside the area is 0.
inline std::vector<uint16_t> RunReference(const std::vector<uint16_t>& image, const std::vector<uint16_t>* second,
                                          int width, int height, int threshold, int secondThreshold,
                                          const Area& area, int* regions) {
    auto small = [](uint16_t a, uint16_t b, int t) {
        const int d = static_cast<int16_t>(static_cast<uint16_t>(
            std::max<int16_t>(static_cast<int16_t>(a), static_cast<int16_t>(b)) -
            std::min<int16_t>(static_cast<int16_t>(a), static_cast<int16_t>(b))));
        return d < static_cast<int16_t>(static_cast<uint16_t>(t + 1));
    };
    auto close = [&](int p, int q) {
        return small(image[p], image[q], threshold) ||
               (second != nullptr && small((*second)[p], (*second)[q], secondThreshold));
    };
    auto rightLink = [&](int x, int y) {
        const int p = y * width + x;
        return x + 1 < width && static_cast<int16_t>(image[p]) > 0 && close(p, p + 1);
    };
    struct Run {
        int first;
        int last;
        int row;
    };
    std::vector<Run> runs;
    std::vector<size_t> rowBegin(height + 1, 0);
    for (int y = 0; y < height; ++y) {
        rowBegin[y] = runs.size();
        if (y < area.y0 || y >= area.y1) {
            continue;
        }
        for (int x = area.x0; x < area.x1; ++x) {
            if (image[y * width + x] == 0) {
                continue;
            }
            const int start = x;
            while (rightLink(x, y)) {
                ++x;
            }
            runs.push_back({start, std::min(x, area.x1 - 1), y});
        }
    }
    rowBegin[height] = runs.size();
    std::vector<int> region(runs.size(), 0);
    int next = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (region[i] != 0) {
            continue;
        }
        region[i] = ++next;
        std::vector<size_t> stack{i};
        while (!stack.empty()) {
            const Run a = runs[stack.back()];
            stack.pop_back();
            const size_t from = rowBegin[std::max(a.row - 1, 0)];
            const size_t to = rowBegin[std::min(a.row + 2, height)];
            for (size_t j = from; j < to; ++j) {
                const Run b = runs[j];
                if (region[j] != 0 || b.row == a.row) {
                    continue;
                }
                const int upperRow = std::min(a.row, b.row);
                bool touches = false;
                for (int x = std::max(a.first, b.first); x <= std::min(a.last, b.last) && !touches; ++x) {
                    const int p = upperRow * width + x;
                    touches = close(p, p + width);
                }
                if (touches) {
                    region[j] = next;
                    stack.push_back(j);
                }
            }
        }
    }
    std::vector<uint16_t> labels(image.size(), 0);
    for (size_t i = 0; i < runs.size(); ++i) {
        for (int x = runs[i].first; x <= runs[i].last; ++x) {
            labels[runs[i].row * width + x] = static_cast<uint16_t>(region[i]);
        }
    }
    *regions = next;
    return labels;
}

using Labels = std::vector<uint16_t>;

// The label map's pixels, row by row.
inline Labels Read(const xn::SceneMetaData& map) {
    return Labels(map.Data(), map.Data() + static_cast<size_t>(map.XRes()) * map.YRes());
}

}  // namespace cc_test
