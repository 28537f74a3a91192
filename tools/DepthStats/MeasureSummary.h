#pragma once

// Measures of many frames summed up per measure (least, median, largest
// and on how many frames it could be taken), and the JSON both are written
// in.

#include <string>
#include <vector>

#include "DepthStats/DepthMeasures.h"

namespace vela::depthstats {

class MeasureSummary {
public:
    void Add(const FrameMeasures& measures);
    int FrameCount() const { return m_nFrames; }

    struct Range {
        double least, median, largest;
        int frames;  // frames on which the measure could be taken
    };
    // In MeasureList order; NaN fields where no frame had the measure.
    std::vector<std::pair<std::string, Range>> Ranges() const;

    // {"source":...,"frames":N,"measures":{"name":{"min":..,"median":..,"max":..,"frames":n},...}}
    std::string ToJson(const std::string& source) const;

private:
    int m_nFrames = 0;
    std::vector<std::string> m_names;
    std::vector<std::vector<double>> m_values;
};

// {"frame":N,"name":value,...} with null for a measure not taken.
std::string FrameMeasuresToJson(int frame, const FrameMeasures& measures);

}  // namespace vela::depthstats
