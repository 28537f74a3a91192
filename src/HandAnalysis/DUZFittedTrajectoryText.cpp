// Development text of a fitted trajectory, written into the wave's log.

#include <cstdio>
#include <ostream>

#include "HandAnalysis/DUZFittedTrajectory.h"

namespace {

// Ten decimals, whatever the stream's format.
struct Fixed10 {
    double value;
};

std::ostream& operator<<(std::ostream& out, const Fixed10& number) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.10f", number.value);
    return out << text;
}

double Seconds(const SensorTime& t) { return static_cast<double>(static_cast<int64_t>(t)) * 1e-6; }

void WriteParabola(std::ostream& out, const char* label, const ParabolaSpaceTime& parabola) {
    out << label << Fixed10{parabola.m_parabola.m_a} << " " << Fixed10{parabola.m_parabola.m_b} << " "
        << Fixed10{parabola.m_parabola.m_c};
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const FittedTrajectory::ModelFitType& model) {
    out << " TBase: " << Fixed10{Seconds(model.TBase)} << " T0: " << Fixed10{Seconds(model.T0)}
        << " T1: " << Fixed10{Seconds(model.T1)};
    WriteParabola(out, " X: ", model.X);
    WriteParabola(out, " Y: ", model.Y);
    WriteParabola(out, " Z: ", model.Z);
    return out << " " << std::endl;
}

std::ostream& operator<<(std::ostream& out, const FittedTrajectory::Extrema3DType& extremum) {
    return out << " T0: " << Seconds(extremum.T0) << " T1: " << Seconds(extremum.T1) << " X: "
               << Fixed10{extremum.X} << " Y: " << Fixed10{extremum.Y} << " Z: " << Fixed10{extremum.Z}
               << " ExtremaType: " << extremum.ExtremaType;
}

namespace {

void WriteExtrema(std::ostream& out, const char* label, const FittedTrajectory::ExtremaList& list) {
    if (list.empty()) {
        return;
    }
    out << label;
    for (const FittedTrajectory::Extrema3DType& extremum : list) {
        out << std::endl << extremum;
    }
    out << std::endl;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const FittedTrajectory& trajectory) {
    out << "TrajectoryPoints :" << std::endl;
    for (const FittedTrajectory::TimedPoint& point : trajectory.m_points) {
        out << Seconds(point.first) << " " << point.second.x << " " << point.second.y << " " << point.second.z
            << std::endl;
    }
    out << std::endl;
    if (!trajectory.m_models.empty()) {
        out << "FittedTrajectory :" << std::endl;
        for (const FittedTrajectory::ModelFitType& model : trajectory.m_models) {
            out << model;
        }
        out << std::endl;
    }
    WriteExtrema(out, "X Extrema: ", trajectory.m_extremaX);
    WriteExtrema(out, "Z Extrema: ", trajectory.m_extremaZ);
    return out;
}
