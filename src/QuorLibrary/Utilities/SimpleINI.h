#pragma once

// Typed reading of algorithm settings from the cached INI texts.
//
// A class sets a member to its default and then reads it, the key being the
// member's name without scope and "m_"/"s_" prefix, first letter upper-cased:
//
//     elbowStateHysteresisDeg = 10.0f;
//     VELA_READ_FROM_INI(iniFile, "ArmTracker", elbowStateHysteresisDeg, verbose);  // "ElbowStateHysteresisDeg"
//     m_nMaxIterations = 20;
//     ReadFromINI(iniFile, "TorsoFitting", "MaxICPIterations", m_nMaxIterations, verbose);  // a spelled-out key
//
// A missing or empty entry returns false and keeps the default.

#include <istream>
#include <string>
#include <vector>

#include "FullBodySkeleton/FeatureExtractor/ICPType.h"
#include "QuorLibrary/Math/Box3D.h"
#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/SensorUtilities/Resolution.h"
#include "QuorLibrary/Utilities/INIFileCache.h"

// Reads the entry and parses it as the classic locale's formatted input does
// (numbers stop at the first byte that does not fit; a bool is 0 or any
// other integer; vectors read x y z, boxes min and max per axis;
// Resolution and ICPType by name, in any case). Returns false, target
// untouched, when the entry is missing or empty; true otherwise, whatever the
// parse gave. verbose echoes "Read '<key>'(obj) = <value>" on standard output.
// Instances: int, unsigned int, short, float, double, bool, std::string,
// Vector3D<int|float|double>, Box3D<float>, Resolution, ICPType.
template <typename T>
bool ReadFromINI(const std::string& file, const std::string& section, const std::string& key, T& target,
                 bool verbose);

// Text: an entry with an empty value empties the target and returns false.
template <>
bool ReadFromINI<std::string>(const std::string& file, const std::string& section, const std::string& key,
                              std::string& target, bool verbose);

extern template bool ReadFromINI<int>(const std::string&, const std::string&, const std::string&, int&, bool);
extern template bool ReadFromINI<unsigned int>(const std::string&, const std::string&, const std::string&,
                                               unsigned int&, bool);
extern template bool ReadFromINI<short>(const std::string&, const std::string&, const std::string&, short&, bool);
extern template bool ReadFromINI<float>(const std::string&, const std::string&, const std::string&, float&, bool);
extern template bool ReadFromINI<double>(const std::string&, const std::string&, const std::string&, double&,
                                         bool);
extern template bool ReadFromINI<bool>(const std::string&, const std::string&, const std::string&, bool&, bool);
extern template bool ReadFromINI<Vector3D<int>>(const std::string&, const std::string&, const std::string&,
                                                Vector3D<int>&, bool);
extern template bool ReadFromINI<Vector3D<float>>(const std::string&, const std::string&, const std::string&,
                                                  Vector3D<float>&, bool);
extern template bool ReadFromINI<Vector3D<double>>(const std::string&, const std::string&, const std::string&,
                                                   Vector3D<double>&, bool);
extern template bool ReadFromINI<Box3D<float>>(const std::string&, const std::string&, const std::string&,
                                               Box3D<float>&, bool);
extern template bool ReadFromINI<Resolution>(const std::string&, const std::string&, const std::string&,
                                             Resolution&, bool);
extern template bool ReadFromINI<ICPType>(const std::string&, const std::string&, const std::string&, ICPType&,
                                          bool);

// Read one word and match it, in any case, against the names of the values
// QQQQVGA to SXGA (FULL_TRANSFORMATION to FREE_BEND); no match leaves the
// value unchanged. INVALID is never produced.
std::istream& operator>>(std::istream& in, Resolution& resolution);
std::istream& operator>>(std::istream& in, ICPType& type);

// The key rule: "Class::m_member" and "object.s_member" give "member".
std::string StrippedScope(const std::string& name);
std::string UppercaseFirstLetter(const std::string& name);

// Reads a member under the key formed from its name by the key rule.
#define VELA_READ_FROM_INI(file, section, member, verbose) \
    ReadFromINI((file), (section), UppercaseFirstLetter(StrippedScope(#member)), (member), (verbose))

// Readers without the template. verbose echoes "Read '<key>'(<type>) = <value>".
// True whenever the entry exists, also with an empty value.
bool ReadStringFromINI(const std::string& file, const std::string& section, const std::string& key,
                       std::string& value, bool verbose);
// The leading decimal number (0 when there is none); false when missing or empty.
bool ReadIntFromINI(const std::string& file, const std::string& section, const std::string& key, int& value,
                    bool verbose);
bool ReadDoubleFromINI(const std::string& file, const std::string& section, const std::string& key,
                       double& value, bool verbose);
// TRUE and FALSE in any case, or the integers 0 and 1; another number is
// reported on standard error and returns false.
bool ReadBoolFromINI(const std::string& file, const std::string& section, const std::string& key, bool& value,
                     bool verbose);

// Every value of lines starting with key in every block of section, read
// from disk (not the cache); always true.
bool ReadFromINIRepeatedKeys(const std::string& file, const std::string& section, const std::string& key,
                             std::vector<std::string>& values);
// Rewrites the file without every block of section; true when the section
// was there. A file that cannot be read is left alone (false). The cache
// keeps a text it loaded before.
bool RemoveSectionFromINI(const std::string& file, const std::string& section);

// Not provided: each ends the process with status 1.
[[noreturn]] void WriteStringToINI(const std::string& file, const std::string& section, const std::string& key,
                                   const std::string& value);
[[noreturn]] void WriteIntToINI(const std::string& file, const std::string& section, const std::string& key,
                                int value);
