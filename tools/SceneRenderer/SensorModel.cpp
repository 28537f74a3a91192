#include "SceneRenderer/SensorModel.h"

#include <cmath>
#include <limits>

namespace vela::scene {

namespace {

struct Constants {
    double K, B, ps, E, D;
};

// The closed-form constants, in the arithmetic the system uses for them.
Constants DeriveConstants(const SensorParameters& p) {
    Constants c;
    const float pf = static_cast<float>(p.nParamCoeff);
    const float g = (static_cast<float>(p.nConstShift) + 0.5f - 1.0f / (2.0f * pf)) * pf;
    const uint32_t product = p.nShiftScale * p.nParamCoeff * static_cast<uint32_t>(p.nZeroPlaneDistance);
    c.K = static_cast<double>(product) * p.dEmitterDCmosDistance;
    c.ps = p.dZeroPlanePixelSize;
    const double pl = static_cast<double>(p.nParamCoeff) * p.dEmitterDCmosDistance;
    c.B = c.ps * static_cast<double>(g) + pl;
    c.E = c.K / c.ps;
    c.D = pl / c.ps + static_cast<double>(g);
    return c;
}

}  // namespace

SensorModel::SensorModel() {
    Init(SensorParameters());
}

bool SensorModel::Init(const SensorParameters& params, std::string* error) {
    auto fail = [error](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (params.nZeroPlaneDistance == 0 || !(params.dZeroPlanePixelSize > 0.0) ||
        !(params.dEmitterDCmosDistance > 0.0) || params.nParamCoeff == 0 || params.nShiftScale == 0) {
        return fail("ZPD, ZPPS, LDDIS, ParamCoeff and ShiftScale must be positive");
    }
    if (!std::isfinite(params.dZeroPlanePixelSize) || !std::isfinite(params.dEmitterDCmosDistance)) {
        return fail("ZPPS and LDDIS must be finite");
    }
    if (params.nDeviceMaxShiftValue < 1 || params.nDeviceMaxShiftValue > 65535) {
        return fail("MaxShift must lie between 1 and 65535");
    }
    if (params.nDeviceMaxDepthValue < 1) {
        return fail("the maximum depth must be positive");
    }
    const Constants c = DeriveConstants(params);
    if (!(c.K > 0.0) || !(c.B > 0.0) || !std::isfinite(c.K) || !std::isfinite(c.E)) {
        return fail("the parameters give no positive depth for any shift");
    }

    std::vector<uint16_t> s2d(params.nDeviceMaxShiftValue + 1u, 0);
    for (uint32_t s = 1; s < s2d.size(); ++s) {
        const double denominator = c.B - c.ps * static_cast<double>(s);
        if (!(denominator > 0.0)) {
            break;  // past the pole every depth is negative
        }
        const double depth = c.K / denominator;
        if (depth > static_cast<double>(params.nDeviceMaxDepthValue)) {
            break;  // depth grows with the shift
        }
        s2d[s] = static_cast<uint16_t>(std::floor(depth + 0.5));
    }

    std::vector<uint16_t> d2s(static_cast<size_t>(params.nDeviceMaxDepthValue) + 1u, 0);
    uint16_t minDepth = 0;
    for (size_t z = 1; z < d2s.size(); ++z) {
        const double shift = c.D - c.E / static_cast<double>(z);
        if (!(shift >= 1.0) || shift >= static_cast<double>(params.nDeviceMaxShiftValue) + 1.0) {
            continue;
        }
        const uint16_t s = static_cast<uint16_t>(std::floor(shift));
        // Rounding down keeps depth(s) <= z, so the entry is never past the
        // maximum; a shift whose depth rounds to 0 still counts as too near.
        if (s2d[s] == 0) {
            continue;
        }
        d2s[z] = s;
        if (minDepth == 0) {
            minDepth = static_cast<uint16_t>(z);
        }
    }
    if (minDepth == 0) {
        return fail("the parameters give no measurable depth below the maximum");
    }

    m_params = params;
    m_dK = c.K;
    m_dB = c.B;
    m_dPs = c.ps;
    m_dE = c.E;
    m_dD = c.D;
    m_dBaseline = static_cast<double>(params.nShiftScale) * params.dEmitterDCmosDistance;
    m_nMinDepth = minDepth;
    m_shiftToDepth.swap(s2d);
    m_depthToShift.swap(d2s);
    return true;
}

double SensorModel::DepthOfShift(double shift) const {
    const double denominator = m_dB - m_dPs * shift;
    return denominator > 0.0 ? m_dK / denominator : 0.0;
}

uint16_t SensorModel::Measure(double depth, double noise, bool quantise) const {
    if (!(depth > 0.0)) {
        return 0;
    }
    const double rounded = std::floor(depth + 0.5);
    if (rounded > static_cast<double>(m_params.nDeviceMaxDepthValue) || rounded < 1.0) {
        return 0;
    }
    const size_t z = static_cast<size_t>(rounded);
    if (noise == 0.0) {
        const uint16_t shift = m_depthToShift[z];
        if (shift == 0) {
            return 0;
        }
        return quantise ? m_shiftToDepth[shift] : static_cast<uint16_t>(z);
    }
    return MeasureShift(ShiftOfDepth(rounded) + noise, quantise);
}

uint16_t SensorModel::MeasureShift(double shift, bool quantise) const {
    if (!(shift >= 1.0) || shift >= static_cast<double>(m_shiftToDepth.size())) {
        return 0;
    }
    if (quantise) {
        return m_shiftToDepth[static_cast<size_t>(shift)];
    }
    const double measured = std::floor(DepthOfShift(shift) + 0.5);
    if (!(measured >= static_cast<double>(m_nMinDepth)) ||
        measured > static_cast<double>(m_params.nDeviceMaxDepthValue)) {
        return 0;
    }
    return static_cast<uint16_t>(measured);
}

void SensorModel::MarkProjectorShadow(const double* depth, const double* rayX, int count,
                                      double projectorX, uint8_t* shadow) {
    // Rows are epipolar lines of a projector displaced along x. Seen from the
    // projector, a lit surface keeps the camera's left-to-right order of
    // u = (X - px) / Z; a pixel whose u is passed by a pixel nearer the
    // projector's side is hidden from the projector by that pixel's surface.
    const double tolerance = 1e-12;
    if (projectorX >= 0.0) {
        double lowest = std::numeric_limits<double>::infinity();
        for (int i = count - 1; i >= 0; --i) {
            if (!(depth[i] > 0.0)) continue;
            const double u = rayX[i] - projectorX / depth[i];
            if (u > lowest + tolerance) {
                shadow[i] = 1;
            } else if (u < lowest) {
                lowest = u;
            }
        }
    } else {
        double highest = -std::numeric_limits<double>::infinity();
        for (int i = 0; i < count; ++i) {
            if (!(depth[i] > 0.0)) continue;
            const double u = rayX[i] - projectorX / depth[i];
            if (u < highest - tolerance) {
                shadow[i] = 1;
            } else if (u > highest) {
                highest = u;
            }
        }
    }
}

}  // namespace vela::scene
