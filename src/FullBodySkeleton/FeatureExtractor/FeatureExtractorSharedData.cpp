#include "FullBodySkeleton/FeatureExtractor/FeatureExtractorSharedData.h"

FeatureExtractorSharedData::FeatureExtractorSharedData() : m_floorKnown(false) {}

FeatureExtractorSharedData::~FeatureExtractorSharedData() = default;

bool FeatureExtractorSharedData::Initialize(const std::string&) { return true; }
