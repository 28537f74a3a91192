#pragma once

// Reading back what the logger and the dumps wrote.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"

namespace vela_test {

// The names in a directory, sorted; empty when it does not exist.
inline std::vector<std::string> ListDir(const std::string& strDir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(strDir, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The lines of a text, without their line ends; a last line without one is
// returned as well.
inline std::vector<std::string> SplitLines(const std::string& strText) {
    std::vector<std::string> lines;
    size_t nStart = 0;
    while (nStart < strText.size()) {
        size_t nEnd = strText.find('\n', nStart);
        if (nEnd == std::string::npos) {
            lines.push_back(strText.substr(nStart));
            break;
        }
        lines.push_back(strText.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return lines;
}

inline std::vector<std::string> SplitTabs(const std::string& strLine) {
    std::vector<std::string> columns;
    size_t nStart = 0;
    for (;;) {
        size_t nEnd = strLine.find('\t', nStart);
        columns.push_back(strLine.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart));
        if (nEnd == std::string::npos) {
            return columns;
        }
        nStart = nEnd + 1;
    }
}

inline bool IsDigits(const std::string& strText) {
    return !strText.empty() && strText.find_first_not_of("0123456789") == std::string::npos;
}

// True when strText has the shape of strTemplate, where '#' stands for a digit.
inline bool MatchesTemplate(const std::string& strText, const std::string& strTemplate) {
    if (strText.size() != strTemplate.size()) {
        return false;
    }
    for (size_t i = 0; i < strText.size(); ++i) {
        const bool bOk = strTemplate[i] == '#' ? (strText[i] >= '0' && strText[i] <= '9') : strText[i] == strTemplate[i];
        if (!bOk) {
            return false;
        }
    }
    return true;
}

// The time-stamp column: the microseconds right-aligned in at least nine places.
inline bool IsTimestampColumn(const std::string& strColumn) {
    const size_t nFirstDigit = strColumn.find_first_not_of(' ');
    return strColumn.size() >= 9 && nFirstDigit != std::string::npos && IsDigits(strColumn.substr(nFirstDigit));
}

// "<%Y_%m_%d__%H_%M_%S>_<pid>.<rest>": the per-run part of a log-folder name.
struct PerRunName {
    std::string strStamp;
    std::string strPid;
    std::string strRest;
};

inline bool ParsePerRunName(const std::string& strName, PerRunName* pParsed) {
    const std::string strStampTemplate = "####_##_##__##_##_##";
    const size_t nStamp = strStampTemplate.size();
    if (strName.size() < nStamp + 1 || !MatchesTemplate(strName.substr(0, nStamp), strStampTemplate) ||
        strName[nStamp] != '_') {
        return false;
    }
    const size_t nDot = strName.find('.', nStamp + 1);
    if (nDot == std::string::npos || nDot + 1 == strName.size()) {
        return false;
    }
    pParsed->strStamp = strName.substr(0, nStamp);
    pParsed->strPid = strName.substr(nStamp + 1, nDot - nStamp - 1);
    pParsed->strRest = strName.substr(nDot + 1);
    return IsDigits(pParsed->strPid);
}

// A console entry line: "%9llu %-10s %s".
struct ConsoleLine {
    size_t nStampWidth;
    std::string strSeverity;
    std::string strMessage;
};

inline bool ParseConsoleLine(const std::string& strLine, ConsoleLine* pParsed) {
    const size_t nEnd = strLine.find(' ', strLine.find_first_not_of(' '));
    if (nEnd == std::string::npos || !IsTimestampColumn(strLine.substr(0, nEnd)) ||
        strLine.size() < nEnd + 12 || strLine[nEnd + 11] != ' ') {
        return false;
    }
    pParsed->nStampWidth = nEnd;
    pParsed->strSeverity = strLine.substr(nEnd + 1, 10);
    pParsed->strMessage = strLine.substr(nEnd + 12);
    return true;
}

}  // namespace vela_test
