#pragma once

// Raw form of the scene analyzer's settings, as the analyzers' snapshots
// embed it: the four switches, both resolutions, the version name as a
// length and its characters, and the largest supported depth.

#include <istream>
#include <ostream>
#include <string>

#include "SceneAnalyzer/SAConfiguration.h"

// Longest version name a snapshot may carry.
constexpr int kMaxSAVersionNameLength = 1 << 16;

void WriteBinary(std::ostream& out, const SAConfiguration& configuration);
// False (the record untouched) when the stream is short, a resolution is
// not one or the name is longer than kMaxSAVersionNameLength.
bool ReadBinary(std::istream& in, SAConfiguration& configuration);
bool CheckSimilarity(const SAConfiguration& a, const SAConfiguration& b, std::string* message);
