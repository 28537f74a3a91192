#include "DepthStats/DepthMeasures.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

namespace vela::depthstats {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Gaps of up to this many pixels inside a row of the silhouette (holes,
// dropped edge pixels) do not split it.
constexpr int kRowGap = 4;
// Head: the widest rows within this distance of the top of the head.
constexpr double kHeadSearchMm = 240.0;
// Shoulders: the first row below the head this much wider than the head,
// and no farther down than this.
constexpr double kShoulderRatio = 1.7;
constexpr double kShoulderSearchMm = 500.0;
constexpr double kHeadLeastMm = 150.0;  // shoulders come no nearer the top than a head's height
// The torso band below the neck.
constexpr double kTorsoBandTopMm = 250.0;
constexpr double kTorsoBandBottomMm = 450.0;
constexpr int kPatch = 24;
// Second differences of an edge larger than this are corners of the body
// (shoulder, armpit, hand), not roughness.
constexpr int kEdgeCorner = 6;
constexpr int kFragmentPixels = 100;
constexpr int kFragmentReach = 8;

double Median(std::vector<double> values) {
    if (values.empty()) return kNaN;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    return values[middle];
}

double AtReference(double millimetres, double depth) {
    return millimetres * (kReferenceDepth / depth) * (kReferenceDepth / depth);
}

// Connected components of the pixels where `inside` holds; labels from 1,
// 0 outside. Returns the size of each label (index 0 unused).
std::vector<int> Components(int width, int height, const std::vector<uint8_t>& inside, bool eightConnected,
                            std::vector<int>& labels) {
    labels.assign(inside.size(), 0);
    std::vector<int> sizes(1, 0);
    std::vector<int> stack;
    for (int start = 0; start < width * height; ++start) {
        if (!inside[start] || labels[start]) continue;
        const int label = static_cast<int>(sizes.size());
        sizes.push_back(0);
        labels[start] = label;
        stack.push_back(start);
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            ++sizes[label];
            const int r = p / width, c = p % width;
            for (int dr = -1; dr <= 1; ++dr) {
                for (int dc = -1; dc <= 1; ++dc) {
                    if ((dr == 0 && dc == 0) || (!eightConnected && dr != 0 && dc != 0)) continue;
                    const int rr = r + dr, cc = c + dc;
                    if (rr < 0 || rr >= height || cc < 0 || cc >= width) continue;
                    const int q = rr * width + cc;
                    if (inside[q] && !labels[q]) {
                        labels[q] = label;
                        stack.push_back(q);
                    }
                }
            }
        }
    }
    return sizes;
}

struct RowRun {
    bool valid = false;
    int left = 0, right = 0;
    double edgeDepth = 0.0;    // mean of the median depths of the outermost pixels at each end
    double medianDepth = 0.0;
    int Width() const { return right - left + 1; }
    double Centre() const { return 0.5 * (left + right); }
};

class Silhouette {
public:
    Silhouette(const FrameInput& in, const std::vector<uint8_t>& main) : m_in(in), m_main(main) {}

    // The run of the silhouette in row r that holds column `centre`, or the
    // nearest one; gaps of up to kRowGap pixels are bridged.
    RowRun RunAt(int r, double centre) const {
        RowRun best;
        double bestDistance = std::numeric_limits<double>::infinity();
        const int w = m_in.nWidth;
        const uint8_t* row = m_main.data() + static_cast<size_t>(r) * w;
        int c = 0;
        while (c < w) {
            if (!row[c]) {
                ++c;
                continue;
            }
            const int left = c;
            int right = c;
            while (c < w) {
                if (row[c]) {
                    right = c;
                    ++c;
                } else if (c - right <= kRowGap) {
                    ++c;
                } else {
                    break;
                }
            }
            const double distance = centre < left ? left - centre : centre > right ? centre - right : 0.0;
            if (distance < bestDistance) {
                bestDistance = distance;
                best.valid = true;
                best.left = left;
                best.right = right;
            }
        }
        if (best.valid) Describe(r, best);
        return best;
    }

    double WidthMm(const RowRun& run) const { return run.Width() * m_in.dPixelFactor * run.edgeDepth; }
    double RowHeightMm(const RowRun& run) const { return m_in.dPixelFactor * run.medianDepth; }

private:
    void Describe(int r, RowRun& run) const {
        const uint16_t* depth = m_in.pDepth + static_cast<size_t>(r) * m_in.nWidth;
        const uint8_t* row = m_main.data() + static_cast<size_t>(r) * m_in.nWidth;
        std::vector<double> all, leftEdge, rightEdge;
        for (int c = run.left; c <= run.right; ++c) {
            if (row[c]) all.push_back(depth[c]);
        }
        for (int c = run.left; c <= run.right && leftEdge.size() < 4; ++c) {
            if (row[c]) leftEdge.push_back(depth[c]);
        }
        for (int c = run.right; c >= run.left && rightEdge.size() < 4; --c) {
            if (row[c]) rightEdge.push_back(depth[c]);
        }
        run.medianDepth = Median(all);
        run.edgeDepth = 0.5 * (Median(leftEdge) + Median(rightEdge));
    }

    const FrameInput& m_in;
    const std::vector<uint8_t>& m_main;
};

// The body's outline from the top of the head down: the head, the neck (the
// narrowest row between head and shoulders) and the torso band below it.
struct BodyProfile {
    bool hasHead = false, hasNeck = false, hasTorso = false;
    double headWidth = kNaN;
    double torsoWidth = kNaN;
    int neckRow = -1;
    int bandFirst = -1, bandLast = -1;  // rows of the torso band
    double bandCentre = 0.0;           // column
    double bandWidthPx = 0.0;
};

BodyProfile ProfileBody(const FrameInput& in, const std::vector<uint8_t>& main, int top) {
    BodyProfile profile;
    const Silhouette silhouette(in, main);
    std::vector<RowRun> runs;
    std::vector<double> widths, below;
    double centre = 0.0;
    {
        const uint8_t* row = main.data() + static_cast<size_t>(top) * in.nWidth;
        double sum = 0.0;
        int count = 0;
        for (int c = 0; c < in.nWidth; ++c) {
            if (row[c]) sum += c, ++count;
        }
        centre = sum / count;
    }
    double distance = 0.0;
    for (int r = top; r < in.nHeight; ++r) {
        const RowRun run = silhouette.RunAt(r, centre);
        if (!run.valid) break;
        centre = run.Centre();
        if (!runs.empty()) distance += silhouette.RowHeightMm(run);
        runs.push_back(run);
        widths.push_back(silhouette.WidthMm(run));
        below.push_back(distance);
    }
    const int rows = static_cast<int>(runs.size());
    // Widths smoothed over five rows: single rows of a rough edge or a
    // fragment joined by the gap bridging do not decide.
    std::vector<double> smooth(rows);
    for (int i = 0; i < rows; ++i) {
        std::vector<double> window;
        for (int j = std::max(0, i - 2); j <= std::min(rows - 1, i + 2); ++j) window.push_back(widths[j]);
        smooth[i] = Median(window);
    }
    // The head: the widest row near the top before the shoulders, the first
    // row a head's height down this much wider than any above it.
    int widest = -1, shoulders = -1;
    for (int i = 0; i < rows && below[i] <= kShoulderSearchMm; ++i) {
        if (widest >= 0 && below[i] >= kHeadLeastMm && smooth[i] > kShoulderRatio * smooth[widest]) {
            shoulders = i;
            break;
        }
        if (below[i] <= kHeadSearchMm && (widest < 0 || smooth[i] > smooth[widest])) widest = i;
    }
    if (widest < 0) return profile;
    const double headGuess = smooth[widest];
    if (shoulders < 0) {
        profile.hasHead = true;
        profile.headWidth = headGuess;
        return profile;
    }
    int neck = widest;
    for (int i = widest; i <= shoulders; ++i) {
        if (smooth[i] < smooth[neck]) neck = i;
    }
    profile.hasHead = profile.hasNeck = true;
    profile.neckRow = top + neck;
    profile.headWidth = *std::max_element(smooth.begin(), smooth.begin() + neck + 1);

    // The band must lie whole inside the image.
    std::vector<double> bandWidths, bandCentres, bandPixels;
    int first = -1, last = -1;
    bool reachesBottom = false;
    for (int i = neck + 1; i < rows; ++i) {
        const double d = below[i] - below[neck];
        if (d < kTorsoBandTopMm) continue;
        if (d > kTorsoBandBottomMm) {
            reachesBottom = true;
            break;
        }
        if (first < 0) first = i;
        last = i;
        bandWidths.push_back(widths[i]);
        bandCentres.push_back(runs[i].Centre());
        bandPixels.push_back(runs[i].Width());
    }
    if (!reachesBottom || bandWidths.size() < 10) return profile;
    profile.hasTorso = true;
    profile.torsoWidth = Median(bandWidths);
    profile.bandFirst = top + first;
    profile.bandLast = top + last;
    profile.bandCentre = Median(bandCentres);
    profile.bandWidthPx = Median(bandPixels);
    return profile;
}

// Residual of a plane fitted by least squares to 24 x 24 patches over the
// middle 60 % of the torso band, half a patch apart (patches with a pixel
// off the person or without depth are skipped): the sensor's fine texture
// plus the body's own small relief. The median over the patches, and their
// median depth.
void PatchResiduals(const FrameInput& in, const std::vector<uint8_t>& main, const BodyProfile& body, double& sd,
                    double& depth) {
    std::vector<double> sds, depths;
    const double half = 0.3 * body.bandWidthPx;
    const int w = in.nWidth;
    const int stride = kPatch / 2;
    for (int top = body.bandFirst; top + kPatch - 1 <= body.bandLast; top += stride) {
        for (int step = 0;; ++step) {
            bool any = false;
            for (const int sign : {1, -1}) {
                if (step == 0 && sign < 0) continue;
                const double offset = sign * step * stride;
                if (std::fabs(offset) + 0.5 * kPatch > half) continue;
                any = true;
                const int left = static_cast<int>(std::lround(body.bandCentre + offset - 0.5 * kPatch));
                if (left < 0 || left + kPatch > w) continue;
                double sum = 0.0, sx = 0.0, sy = 0.0;
                bool complete = true;
                for (int r = 0; r < kPatch && complete; ++r) {
                    for (int c = 0; c < kPatch; ++c) {
                        const size_t i = static_cast<size_t>(top + r) * w + left + c;
                        if (!main[i]) {
                            complete = false;
                            break;
                        }
                        const double z = in.pDepth[i];
                        const double x = c - 0.5 * (kPatch - 1), y = r - 0.5 * (kPatch - 1);
                        sum += z;
                        sx += x * z;
                        sy += y * z;
                    }
                }
                if (!complete) continue;
                // The grid is symmetric, so the normal equations are diagonal.
                const double n = kPatch * kPatch;
                double moment = 0.0;
                for (int k = 0; k < kPatch; ++k) moment += (k - 0.5 * (kPatch - 1)) * (k - 0.5 * (kPatch - 1));
                moment *= kPatch;
                const double a = sum / n, b = sx / moment, c = sy / moment;
                double squares = 0.0;
                for (int r = 0; r < kPatch; ++r) {
                    for (int col = 0; col < kPatch; ++col) {
                        const size_t i = static_cast<size_t>(top + r) * w + left + col;
                        const double x = col - 0.5 * (kPatch - 1), y = r - 0.5 * (kPatch - 1);
                        const double e = in.pDepth[i] - (a + b * x + c * y);
                        squares += e * e;
                    }
                }
                sds.push_back(std::sqrt(squares / n));
                depths.push_back(a);
            }
            if (!any) break;
        }
    }
    sd = Median(sds);
    depth = Median(depths);
}

// Mean absolute second difference, along the rows, of the silhouette's
// outermost column on each side, from the neck (or the top) down; a
// straight or gently curved edge gives a few tenths from the pixel grid
// alone. Rows at the image's sides and corners of the body are left out.
double EdgeRoughness(const FrameInput& in, const std::vector<uint8_t>& main, int firstRow) {
    const int w = in.nWidth, h = in.nHeight;
    std::vector<int> lefts(h, -1), rights(h, -1);
    for (int r = std::max(firstRow, 0); r < h; ++r) {
        const uint8_t* row = main.data() + static_cast<size_t>(r) * w;
        for (int c = 0; c < w; ++c) {
            if (row[c]) {
                if (lefts[r] < 0) lefts[r] = c;
                rights[r] = c;
            }
        }
        if (lefts[r] == 0 || rights[r] == w - 1) lefts[r] = rights[r] = -1;
    }
    double sum = 0.0;
    int count = 0;
    for (const std::vector<int>* edge : {&lefts, &rights}) {
        const std::vector<int>& e = *edge;
        for (int r = 1; r + 1 < h; ++r) {
            if (e[r - 1] < 0 || e[r] < 0 || e[r + 1] < 0) continue;
            const int d = std::abs(e[r - 1] - 2 * e[r] + e[r + 1]);
            if (d > kEdgeCorner) continue;
            sum += d;
            ++count;
        }
    }
    return count >= 20 ? sum / count : kNaN;
}

}  // namespace

FrameMeasures::FrameMeasures()
    : dMedianDepth(kNaN), dTorsoWidth(kNaN), dHeadWidth(kNaN), dUnlikeAllFourPercent(kNaN),
      dEqualHorizontalShare(kNaN), dResidualSd(kNaN), dResidualSdAtReference(kNaN), dEdgeRoughness(kNaN),
      dDistinctDepthsAtReference(kNaN), dQuantisationStep(kNaN), dQuantisationStepAtReference(kNaN),
      dLevelOffset(kNaN), dLevelOffsetShare(kNaN) {}

bool MeasureFrame(const FrameInput& in, FrameMeasures& out, std::string& error) {
    out = FrameMeasures();
    if (in.nWidth < 3 || in.nHeight < 3 || !in.pDepth || !in.pMask || !(in.dPixelFactor > 0.0)) {
        error = "no image, no mask or no pixel factor";
        return false;
    }
    const int w = in.nWidth, h = in.nHeight;
    const size_t pixels = static_cast<size_t>(w) * h;
    // A person pixel is in the mask and has depth.
    std::vector<uint8_t> person(pixels);
    std::vector<double> depths;
    for (size_t i = 0; i < pixels; ++i) {
        person[i] = in.pMask[i] && in.pDepth[i];
        if (person[i]) depths.push_back(in.pDepth[i]);
    }
    out.nPersonPixels = static_cast<int>(depths.size());
    if (depths.empty()) return true;
    out.dMedianDepth = Median(depths);

    // Neighbours: among person pixels whose four neighbours are person
    // pixels too, the share whose depth differs from all four (isolated
    // speckle); among horizontally adjacent person pixels, the share of
    // equal depth (how much neighbours share a level).
    int interior = 0, unlike = 0, pairs = 0, equal = 0;
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const size_t i = static_cast<size_t>(r) * w + c;
            if (!person[i]) continue;
            if (c + 1 < w && person[i + 1]) {
                ++pairs;
                equal += in.pDepth[i] == in.pDepth[i + 1];
            }
            if (r == 0 || c == 0 || r == h - 1 || c == w - 1) continue;
            if (!person[i - 1] || !person[i + 1] || !person[i - w] || !person[i + w]) continue;
            ++interior;
            const uint16_t z = in.pDepth[i];
            unlike += z != in.pDepth[i - 1] && z != in.pDepth[i + 1] && z != in.pDepth[i - w] && z != in.pDepth[i + w];
        }
    }
    if (interior > 0) out.dUnlikeAllFourPercent = 100.0 * unlike / interior;
    if (pairs > 0) out.dEqualHorizontalShare = static_cast<double>(equal) / pairs;

    // The silhouette is the largest 8-connected part of the person.
    std::vector<int> labels;
    const std::vector<int> sizes = Components(w, h, person, true, labels);
    const int mainLabel = static_cast<int>(std::max_element(sizes.begin() + 1, sizes.end()) - sizes.begin());
    std::vector<uint8_t> main(pixels);
    int top = -1;
    for (size_t i = 0; i < pixels; ++i) {
        main[i] = labels[i] == mainLabel;
        if (main[i] && top < 0) top = static_cast<int>(i / w);
    }

    // Detached fragments: other parts under 100 pixels with a pixel within
    // 8 pixels of the silhouette (bits of a surface the sensor split off
    // at a depth jump, not a second person or the scenery).
    std::vector<uint8_t> counted(sizes.size(), 0);
    for (int r = 0; r < h; ++r) {
        for (int c = 0; c < w; ++c) {
            const int label = labels[static_cast<size_t>(r) * w + c];
            if (label == 0 || label == mainLabel || counted[label] || sizes[label] >= kFragmentPixels) continue;
            bool near = false;
            for (int rr = std::max(0, r - kFragmentReach); rr <= std::min(h - 1, r + kFragmentReach) && !near; ++rr) {
                for (int cc = std::max(0, c - kFragmentReach); cc <= std::min(w - 1, c + kFragmentReach); ++cc) {
                    if (main[static_cast<size_t>(rr) * w + cc]) {
                        near = true;
                        break;
                    }
                }
            }
            if (near) {
                counted[label] = 1;
                ++out.nDetachedFragments;
            }
        }
    }

    // Enclosed holes: 4-connected regions off the person that touch neither
    // the image's border nor the rest of the background (so only person
    // pixels surround them), mostly without depth: depth the sensor lost
    // inside the person, not background seen through a gap.
    {
        std::vector<uint8_t> outside(pixels);
        for (size_t i = 0; i < pixels; ++i) outside[i] = !person[i];
        std::vector<int> regions;
        const std::vector<int> regionSizes = Components(w, h, outside, false, regions);
        std::vector<uint8_t> open(regionSizes.size(), 0);
        std::vector<int> withoutDepth(regionSizes.size(), 0);
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < w; ++c) {
                const size_t i = static_cast<size_t>(r) * w + c;
                if (!regions[i]) continue;
                if (r == 0 || c == 0 || r == h - 1 || c == w - 1) open[regions[i]] = 1;
                withoutDepth[regions[i]] += in.pDepth[i] == 0;
            }
        }
        for (size_t k = 1; k < regionSizes.size(); ++k) {
            if (open[k] || 2 * withoutDepth[k] < regionSizes[k]) continue;
            ++out.nEnclosedHoles;
            out.nLargestHole = std::max(out.nLargestHole, regionSizes[k]);
        }
    }

    // Head and torso widths: each row's run of the silhouette (through the
    // column followed down from the top of the head, small gaps bridged),
    // in mm at the depth of its outermost pixels, where the silhouette is.
    // The head width is the widest row above the neck; the neck is the
    // narrowest row between the head and the shoulders (the first row
    // 1.7 times as wide as the head); the torso width is the median over
    // the rows 250-450 mm below the neck. Arms that touch the torso's sides
    // belong to its silhouette, as in any recording; an upright person with
    // the head at the top of the silhouette is assumed.
    const BodyProfile body = ProfileBody(in, main, top);
    if (body.hasHead) out.dHeadWidth = body.headWidth;
    if (body.hasTorso) {
        out.dTorsoWidth = body.torsoWidth;
        double patchDepth = kNaN;
        PatchResiduals(in, main, body, out.dResidualSd, patchDepth);
        if (std::isfinite(out.dResidualSd)) out.dResidualSdAtReference = AtReference(out.dResidualSd, patchDepth);
    }
    out.dEdgeRoughness = EdgeRoughness(in, main, body.hasNeck ? body.neckRow : top);

    // Depth levels on the person: how many distinct values, the usual step
    // between neighbouring levels near the median depth, and where the
    // levels sit against the sensor's table entries (the most common
    // offset from the nearest entry and the share of levels at it).
    std::vector<uint16_t> levels(depths.begin(), depths.end());
    std::sort(levels.begin(), levels.end());
    levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
    out.nDistinctDepths = static_cast<int>(levels.size());
    out.dDistinctDepthsAtReference = levels.size() * (out.dMedianDepth / kReferenceDepth) * (out.dMedianDepth / kReferenceDepth);
    std::map<int, int> gaps;
    for (size_t i = 1; i < levels.size(); ++i) {
        if (levels[i - 1] < 0.9 * out.dMedianDepth || levels[i] > 1.1 * out.dMedianDepth) continue;
        ++gaps[levels[i] - levels[i - 1]];
    }
    int bestGap = 0, bestCount = 0;
    for (const auto& [gap, count] : gaps) {
        if (count > bestCount) bestGap = gap, bestCount = count;
    }
    if (bestCount > 0) {
        out.dQuantisationStep = bestGap;
        out.dQuantisationStepAtReference = AtReference(bestGap, out.dMedianDepth);
    }
    if (in.pShiftToDepth) {
        std::vector<uint16_t> entries;
        for (const uint16_t e : *in.pShiftToDepth) {
            if (e) entries.push_back(e);
        }
        std::sort(entries.begin(), entries.end());
        entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
        if (!entries.empty()) {
            std::map<int, int> offsets;
            for (const uint16_t d : levels) {
                const auto above = std::lower_bound(entries.begin(), entries.end(), d);
                int nearest = above == entries.end() ? entries.back() : *above;
                if (above != entries.begin() && (above == entries.end() || d - *(above - 1) < *above - d)) {
                    nearest = *(above - 1);
                }
                ++offsets[static_cast<int>(d) - nearest];
            }
            int bestOffset = 0, offsetCount = 0;
            for (const auto& [offset, count] : offsets) {
                if (count > offsetCount) bestOffset = offset, offsetCount = count;
            }
            out.dLevelOffset = bestOffset;
            out.dLevelOffsetShare = static_cast<double>(offsetCount) / levels.size();
        }
    }
    return true;
}

std::vector<NamedValue> MeasureList(const FrameMeasures& m) {
    return {
        {"person_pixels", static_cast<double>(m.nPersonPixels)},
        {"median_depth_mm", m.dMedianDepth},
        {"torso_width_mm", m.dTorsoWidth},
        {"head_width_mm", m.dHeadWidth},
        {"unlike_all_4_neighbours_percent", m.dUnlikeAllFourPercent},
        {"equal_horizontal_neighbours", m.dEqualHorizontalShare},
        {"residual_sd_mm", m.dResidualSd},
        {"residual_sd_mm_at_1240", m.dResidualSdAtReference},
        {"edge_roughness_px", m.dEdgeRoughness},
        {"enclosed_holes", static_cast<double>(m.nEnclosedHoles)},
        {"largest_hole_px", static_cast<double>(m.nLargestHole)},
        {"detached_fragments", static_cast<double>(m.nDetachedFragments)},
        {"distinct_depths", static_cast<double>(m.nDistinctDepths)},
        {"distinct_depths_at_1240", m.dDistinctDepthsAtReference},
        {"quantisation_step_mm", m.dQuantisationStep},
        {"quantisation_step_mm_at_1240", m.dQuantisationStepAtReference},
        {"level_offset_mm", m.dLevelOffset},
        {"level_offset_share", m.dLevelOffsetShare},
    };
}

}  // namespace vela::depthstats
