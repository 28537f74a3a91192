#include "HandAnalysis/DUZGestureRecognizerBase.h"

DUZGestureRecognizerBase::DUZGestureRecognizerBase()
    : m_active(1),
      m_bounds(Vector3D<float>(0, 0, 0), Vector3D<float>(0, 0, 0)),
      m_logger(&NALogger::GetInstance()) {}

DUZGestureRecognizerBase::~DUZGestureRecognizerBase() = default;

int DUZGestureRecognizerBase::Initialize(const std::string& iniFile, int verbose) {
    return ReadParameters(iniFile, verbose, 1);
}

int DUZGestureRecognizerBase::RequiresForearm() const { return 0; }

int DUZGestureRecognizerBase::ReadParameters(const std::string& /*iniFile*/, int /*verbose*/, int /*initial*/) {
    return 1;
}
