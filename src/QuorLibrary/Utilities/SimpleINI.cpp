#include "QuorLibrary/Utilities/SimpleINI.h"

#include <locale.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <locale>
#include <sstream>

#include "QuorLibrary/Utilities/FatalError.h"
#include "QuorLibrary/Utilities/StringUtils.h"

namespace {

const char* const kBlanks = " \t\r\n";

// Values as the verbose echo prints them.
template <typename T>
const T& EchoForm(const T& value) {
    return value;
}
double EchoForm(float value) {
    return value;
}
int EchoForm(bool value) {
    return value ? 1 : 0;
}
int32_t EchoForm(Resolution value) {
    return static_cast<int32_t>(value);
}
int32_t EchoForm(ICPType value) {
    return static_cast<int32_t>(value);
}

std::string Trim(const std::string& text) {
    const std::string::size_type first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        return std::string();
    }
    const std::string::size_type last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool IsHeader(const std::string& trimmed) {
    return trimmed.size() > 1 && trimmed.front() == '[' && trimmed.back() == ']';
}

// The longest leading decimal integer, 0 when there is none, saturated to
// 32 bits.
long long LeadingInteger(const std::string& text) {
    long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (value > INT32_MAX) {
        value = INT32_MAX;
    } else if (value < INT32_MIN) {
        value = INT32_MIN;
    }
    return value;
}

// strtod in the "C" locale, whatever locale the application chose.
double LeadingDouble(const std::string& text) {
    static const locale_t s_cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (s_cLocale == static_cast<locale_t>(0)) {
        return std::strtod(text.c_str(), nullptr);
    }
    return strtod_l(text.c_str(), nullptr, s_cLocale);
}

void Echo(const std::string& key, const char* label, const std::string& value) {
    std::cout << "Read '" << key << label << value << std::endl;
}

// Matches the first word of the stream against names[0..count), upper-cased.
template <typename Enum, typename NameOf>
void ReadEnumByName(std::istream& in, Enum& target, int32_t count, NameOf nameOf) {
    std::string word;
    if (!(in >> word)) {
        return;
    }
    const std::string upper = Uppercase(word);
    for (int32_t value = 0; value < count; ++value) {
        if (upper == Uppercase(nameOf(value))) {
            target = static_cast<Enum>(value);
            return;
        }
    }
}

}  // namespace

template <typename T>
bool ReadFromINI(const std::string& file, const std::string& section, const std::string& key, T& target,
                 bool verbose) {
    std::string text;
    ReadStringFromINIInternal(file, section, key, text);
    if (text.empty()) {
        return false;
    }
    std::istringstream stream(text);
    stream.imbue(std::locale::classic());
    stream >> target;
    if (verbose) {
        std::cout << "Read '" << key << "'(obj) = " << EchoForm(target) << std::endl;
    }
    return true;
}

template <>
bool ReadFromINI<std::string>(const std::string& file, const std::string& section, const std::string& key,
                              std::string& target, bool verbose) {
    if (!ReadStringFromINIInternal(file, section, key, target) || target.empty()) {
        return false;
    }
    if (verbose) {
        std::cout << "Read '" << key << "'(obj) = " << target << std::endl;
    }
    return true;
}

template bool ReadFromINI<int>(const std::string&, const std::string&, const std::string&, int&, bool);
template bool ReadFromINI<unsigned int>(const std::string&, const std::string&, const std::string&, unsigned int&,
                                        bool);
template bool ReadFromINI<short>(const std::string&, const std::string&, const std::string&, short&, bool);
template bool ReadFromINI<float>(const std::string&, const std::string&, const std::string&, float&, bool);
template bool ReadFromINI<double>(const std::string&, const std::string&, const std::string&, double&, bool);
template bool ReadFromINI<bool>(const std::string&, const std::string&, const std::string&, bool&, bool);
template bool ReadFromINI<Vector3D<int>>(const std::string&, const std::string&, const std::string&,
                                         Vector3D<int>&, bool);
template bool ReadFromINI<Vector3D<float>>(const std::string&, const std::string&, const std::string&,
                                           Vector3D<float>&, bool);
template bool ReadFromINI<Vector3D<double>>(const std::string&, const std::string&, const std::string&,
                                            Vector3D<double>&, bool);
template bool ReadFromINI<Box3D<float>>(const std::string&, const std::string&, const std::string&,
                                        Box3D<float>&, bool);
template bool ReadFromINI<Resolution>(const std::string&, const std::string&, const std::string&, Resolution&,
                                      bool);
template bool ReadFromINI<ICPType>(const std::string&, const std::string&, const std::string&, ICPType&, bool);

std::istream& operator>>(std::istream& in, Resolution& resolution) {
    ReadEnumByName(in, resolution, static_cast<int32_t>(INVALID),
                   [](int32_t value) { return ToString(static_cast<Resolution>(value)); });
    return in;
}

std::istream& operator>>(std::istream& in, ICPType& type) {
    ReadEnumByName(in, type, static_cast<int32_t>(ICPType::INVALID),
                   [](int32_t value) { return std::string(strICPType[value]); });
    return in;
}

std::string StrippedScope(const std::string& name) {
    std::string result = name;
    const std::string::size_type scope = result.rfind("::");
    if (scope != std::string::npos) {
        result.erase(0, scope + 2);
    }
    const std::string::size_type dot = result.rfind('.');
    if (dot != std::string::npos) {
        result.erase(0, dot + 1);
    }
    if (result.size() >= 2 && (result[0] == 'm' || result[0] == 's') && result[1] == '_') {
        result.erase(0, 2);
    }
    return result;
}

std::string UppercaseFirstLetter(const std::string& name) {
    std::string result = name;
    if (!result.empty() && result[0] >= 'a' && result[0] <= 'z') {
        result[0] = static_cast<char>(result[0] - 'a' + 'A');
    }
    return result;
}

bool ReadStringFromINI(const std::string& file, const std::string& section, const std::string& key,
                       std::string& value, bool verbose) {
    if (!ReadStringFromINIInternal(file, section, key, value)) {
        return false;
    }
    if (verbose) {
        Echo(key, "'(str) = ", value);
    }
    return true;
}

bool ReadIntFromINI(const std::string& file, const std::string& section, const std::string& key, int& value,
                    bool verbose) {
    std::string text;
    if (!ReadStringFromINIInternal(file, section, key, text) || text.empty()) {
        return false;
    }
    value = static_cast<int>(LeadingInteger(text));
    if (verbose) {
        Echo(key, "'(int) = ", std::to_string(value));
    }
    return true;
}

bool ReadDoubleFromINI(const std::string& file, const std::string& section, const std::string& key,
                       double& value, bool verbose) {
    std::string text;
    if (!ReadStringFromINIInternal(file, section, key, text) || text.empty()) {
        return false;
    }
    value = LeadingDouble(text);
    if (verbose) {
        std::ostringstream echo;
        echo.imbue(std::locale::classic());
        echo << value;
        Echo(key, "'(double) = ", echo.str());
    }
    return true;
}

bool ReadBoolFromINI(const std::string& file, const std::string& section, const std::string& key, bool& value,
                     bool verbose) {
    std::string text;
    if (!ReadStringFromINIInternal(file, section, key, text) || text.empty()) {
        return false;
    }
    const std::string upper = Uppercase(text);
    bool result = false;
    if (upper == "FALSE") {
        result = false;
    } else if (upper == "TRUE") {
        result = true;
    } else {
        const long long number = LeadingInteger(text);
        if (number != 0 && number != 1) {
            std::cerr << "INI parameter '" << key << "' expected boolean type, got '" << text << "'" << std::endl;
            return false;
        }
        result = number == 1;
    }
    value = result;
    if (verbose) {
        Echo(key, "'(bool) = ", result ? "1" : "0");
    }
    return true;
}

bool ReadFromINIRepeatedKeys(const std::string& file, const std::string& section, const std::string& key,
                             std::vector<std::string>& values) {
    values.clear();
    std::ifstream in(file);
    const std::string header = "[" + section + "]";
    bool inSection = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (IsHeader(trimmed)) {
            inSection = trimmed == header;
            continue;
        }
        if (inSection && trimmed.size() > key.size() && trimmed.compare(0, key.size(), key) == 0) {
            const std::string::size_type equals = trimmed.find('=');
            if (equals != std::string::npos) {
                values.push_back(Trim(trimmed.substr(equals + 1)));
            }
        }
    }
    return true;
}

bool RemoveSectionFromINI(const std::string& file, const std::string& section) {
    std::ifstream in(file);
    if (!in.is_open()) {
        // Rewriting a file that could not be read would empty it.
        return false;
    }
    const std::string header = "[" + section + "]";
    std::vector<std::string> kept;
    bool removing = false;
    bool met = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (IsHeader(trimmed)) {
            removing = trimmed == header;
            met = met || removing;
        }
        if (!removing) {
            kept.push_back(line);
        }
    }
    if (in.bad()) {
        return false;
    }
    in.close();

    std::ofstream out(file, std::ios::out | std::ios::trunc);
    for (const std::string& keptLine : kept) {
        out << keptLine << '\n';
    }
    out.close();
    return met && !out.fail();
}

// The files and lines named below (22, 33) are part of the messages' text
// (see FatalError.h).
void WriteStringToINI(const std::string& /*file*/, const std::string& /*section*/, const std::string& /*key*/,
                      const std::string& /*value*/) {
    NotImplemented("WriteStringToINI", "QuorLibrary/Utilities/SimpleINI", 22);
}

void WriteIntToINI(const std::string& /*file*/, const std::string& /*section*/, const std::string& /*key*/,
                   int /*value*/) {
    NotImplemented("WriteIntToINI", "QuorLibrary/Utilities/SimpleINI", 33);
}
