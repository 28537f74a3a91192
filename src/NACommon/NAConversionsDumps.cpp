// Development dumps of the conversion tables, written only when asked for.

#include <cmath>
#include <cstdio>
#include <fstream>

#include "NACommon/NAConversions.h"
#include "QuorLibrary/SensorUtilities/SensorDeviceUtilities.h"
#include "XnAdapter/XnOniCalls.h"

namespace {

void WriteLine(std::ostream& out, const char* format, int index, int table, float formula) {
    char line[96];
    std::snprintf(line, sizeof(line), format, index, table, static_cast<double>(formula));
    out << line;
}

void WriteLine(std::ostream& out, const char* format, int index, float formula) {
    char line[96];
    std::snprintf(line, sizeof(line), format, index, static_cast<double>(formula));
    out << line;
}

// A file created or truncated; whether it opened is not reported.
class DumpFile {
public:
    DumpFile(const char* path, const char* header) : m_pFile(std::fopen(path, "w")) {
        if (m_pFile != nullptr && header != nullptr) {
            std::fprintf(m_pFile, "%s\n", header);
        }
    }
    ~DumpFile() {
        if (m_pFile != nullptr) {
            std::fclose(m_pFile);
        }
    }
    DumpFile(const DumpFile&) = delete;
    DumpFile& operator=(const DumpFile&) = delete;

    void Pair(int a, int b) {
        if (m_pFile != nullptr) {
            std::fprintf(m_pFile, "%d, %d\n", a, b);
        }
    }
    void Triple(int a, int b, float c) {
        if (m_pFile != nullptr) {
            std::fprintf(m_pFile, "%d, %d, %.2f\n", a, b, static_cast<double>(c));
        }
    }

private:
    FILE* m_pFile;
};

}  // namespace

void NAConversions::WriteShiftDepthVectors(std::ostream& shiftToDepth, std::ostream& depthToShift,
                                           std::ostream& shiftDerivative, std::ostream& depthDerivative) const {
    if (m_pShiftToDepth == nullptr) {
        return;
    }
    shiftToDepth << "s , sensor , new , old\n" << '\n';
    for (uint64_t s = 0; s < m_nShiftTableSize; ++s) {
        WriteLine(shiftToDepth, "%04d , %04d , %04.4f \n", static_cast<int>(s), m_pShiftToDepth[s],
                  ShiftToDepth(static_cast<float>(s)));
    }
    depthToShift << "d , sensor , new , old\n" << '\n';
    for (int d = 0; d < m_nDepthTableSize; ++d) {
        WriteLine(depthToShift, "%04d , %04d , %04.4f \n", d, m_pDepthToShift[d], DepthToShift(static_cast<float>(d)));
    }
    shiftDerivative << "d , new , old\n" << '\n';
    for (int d = 0; d < m_nDepthTableSize; ++d) {
        WriteLine(shiftDerivative, "%04d , %04.4f \n", d, DShiftDDepth(static_cast<float>(d)));
    }
    depthDerivative << "s , new , old\n" << '\n';
    for (uint64_t s = 0; s < m_nShiftTableSize; ++s) {
        WriteLine(depthDerivative, "%04d , %04.4f \n", static_cast<int>(s), DDepthDShift(static_cast<float>(s)));
    }
}

void NAConversions::WriteLUTFiles(const xn::DepthGenerator& depth) const {
    if (m_pShiftToDepth == nullptr) {
        return;
    }
    {
        DumpFile out("E:/Shift2Depth.csv", "shift, depth, NAConversions, old algo");
        for (uint64_t s = 0; s < m_nShiftTableSize; ++s) {
            out.Triple(static_cast<int>(s), m_pShiftToDepth[s], ShiftToDepth(static_cast<float>(s)));
        }
    }
    {
        DumpFile out("E:/Depth2Shift.csv", "depth, shift, NAConversions, old algo");
        for (int d = 0; d < m_nDepthTableSize; ++d) {
            out.Triple(d, m_pDepthToShift[d], DepthToShift(static_cast<float>(d)));
        }
    }
    const int sMax = m_pDepthToShift[kDepthToHybridSize - 1];
    {
        DumpFile out("E:/Shift2Hybrid.csv", "shift, hybrid");
        for (int s = 0; s < sMax; ++s) {
            out.Pair(s, m_pShiftToHybrid[s]);
        }
    }
    {
        DumpFile out("E:/Hybrid2Shift.csv", "hybrid, shift");
        for (int h = 0; h < m_nHybridLUTSize; ++h) {
            out.Pair(h, m_pHybridToShift[h]);
        }
    }
    {
        DumpFile out("E:/Depth2Hybrid.csv", "depth, hybrid");
        for (int d = 0; d < kDepthToHybridSize - 1; ++d) {
            out.Pair(d, m_depthToHybrid[d]);
        }
    }
    {
        DumpFile out("E:/Hybrid2Depth.csv", "hybrid, depth");
        for (int h = 0; h < m_nHybridLUTSize; ++h) {
            out.Pair(h, m_pHybridToDepth[h]);
        }
    }
    std::ofstream out("E:/Parameters.csv", std::ios::out | std::ios::trunc);
    const SensorParameters& p = m_sensorParams;
    out << "m_sensorParams.nZeroPlaneDistance," << p.nZeroPlaneDistance << '\n'
        << "m_sensorParams.dZeroPlanePixelSize," << p.dZeroPlanePixelSize << '\n'
        << "m_sensorParams.dEmitterDCmosDistance," << p.dEmitterDCmosDistance << '\n'
        << "m_sensorParams.nDeviceMaxShiftValue," << p.nDeviceMaxShiftValue << '\n'
        << "m_sensorParams.nConstShift," << p.nConstShift << '\n'
        << "m_sensorParams.nPixelSizeFactor," << p.nPixelSizeFactor << '\n'
        << "m_sensorParams.nParamCoeff," << p.nParamCoeff << '\n'
        << "m_sensorParams.nShiftScale," << p.nShiftScale << '\n'
        << "m_sensorParams.nDeviceMaxDepthValue," << p.nDeviceMaxDepthValue << '\n'
        << "m_sensorParams.nReferenceImageWidth," << p.nReferenceImageWidth << '\n'
        << "m_sensorParams.dZPOutputPS," << p.dZPOutputPS << '\n';
    const double fovX = GetDepthFOVX(depth);
    const double fovY = GetDepthFOVY(depth);
    const int width = xn::ReadVideoMode(depth.GetStreamHandle()).resolutionX;
    out << "fov_x," << fovX << '\n' << "fov_y," << fovY << '\n'
        << "projectionFactor," << 2.0 * std::tan(fovX / 2.0) / width << '\n';
}
