#include "NACommon/BaseOutputDump.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

// Truncates toward zero; false for NaN and values outside int, which have no
// int to truncate to.
bool TruncateToInt(double value, int& out) {
    if (std::isnan(value) || value >= 2147483648.0 || value <= -2147483649.0) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

void WarnWithFileName(const char* message, const std::string& fileName) {
    std::cerr << message << std::endl;
    if (!fileName.empty()) {
        std::cerr << "-------: In file " << fileName << std::endl;
    }
}

}  // namespace

BaseOutputDump::UserData::UserData(int userId) : m_nUserID(userId) {}

bool BaseOutputDump::UserData::SetRowForFrame(int frame, int row) {
    if (frame < 0 || frame <= GetLastFrame()) {
        return false;
    }
    m_frames.push_back(FrameRow{frame, row});
    return true;
}

int BaseOutputDump::UserData::GetRow(int frame) const {
    const auto found = std::lower_bound(m_frames.begin(), m_frames.end(), frame,
                                        [](const FrameRow& entry, int value) { return entry.nFrame < value; });
    return found != m_frames.end() && found->nFrame == frame ? found->nRow : -1;
}

BaseOutputDump::BaseOutputDump() : DataTable<double>(0) {}

BaseOutputDump::~BaseOutputDump() {
    ReleaseUsers();
}

void BaseOutputDump::Initialize() {
    std::vector<std::string> names;
    AddColumns(names);
    SetColumns(names);
}

bool BaseOutputDump::ReadFromFile(const std::string& path, bool* wasBinary) {
    m_strFileName = path;
    if (Read(path, wasBinary)) {
        InitializeLookups();
        return true;
    }
    Clear();
    ReleaseUsers();
    return false;
}

void BaseOutputDump::InitializeJointLookup(JointLookup& lookup, const std::string& joint) const {
    lookup.nPositionColumn = GetColumn(joint + ".Pos");
    lookup.nConfidenceColumn = GetColumn(joint + ".Confidence");
    lookup.nOccludedColumn = GetColumn(joint + ".Occluded");
    lookup.bValid = lookup.nPositionColumn >= 0 && lookup.nConfidenceColumn >= 0;
}

void BaseOutputDump::SetJointData(int row, const std::string& joint, const Vector3D<double>& position,
                                  double confidence, double occluded) {
    SetValue(row, joint + ".Pos", position);
    SetValue(row, joint + ".Confidence", confidence);
    SetValue(row, joint + ".Occluded", occluded);
}

void BaseOutputDump::AddVectorColumn(std::vector<std::string>& names, const std::string& name, int count) {
    for (int i = 0; i < count; ++i) {
        names.push_back(name);
    }
}

void BaseOutputDump::AddJointColumn(std::vector<std::string>& names, const std::string& joint, bool withConfidence,
                                    bool withOccluded) {
    AddVectorColumn(names, joint + ".Pos", 3);
    if (withConfidence) {
        names.push_back(joint + ".Confidence");
    }
    if (withOccluded) {
        names.push_back(joint + ".Occluded");
    }
}

void BaseOutputDump::AddSymmetricJointColumn(std::vector<std::string>& names, const std::string& joint,
                                             bool withConfidence, bool withOccluded) {
    AddJointColumn(names, "L" + joint, withConfidence, withOccluded);
    AddJointColumn(names, "R" + joint, withConfidence, withOccluded);
}

const BaseOutputDump::UserData* BaseOutputDump::GetUserData(int userId) const {
    const auto found = m_users.find(userId);
    return found == m_users.end() ? nullptr : found->second.get();
}

void BaseOutputDump::GetFrameUserCols(int& userColumn, int& frameColumn) {
    userColumn = GetColumn(COL_USERID);
    frameColumn = GetColumn(COL_FRAME);
}

void BaseOutputDump::InitializeLookups() {
    ReleaseUsers();
    int userColumn = -1;
    int frameColumn = -1;
    GetFrameUserCols(userColumn, frameColumn);
    if (userColumn < 0 || frameColumn < 0) {
        return;
    }
    InitializeJointsLookups();

    bool userZeroWarning = false;
    bool outOfRangeWarning = false;
    for (int row = 0; row < GetNumRows(); ++row) {
        int userId = 0;
        const double userValue = (*this)(row, userColumn);
        if (!TruncateToInt(userValue, userId) && !std::isnan(userValue) && userValue > 0) {
            outOfRangeWarning = true;
            continue;
        }
        if (userId <= 0) {
            // NaN and ids beyond the negative range count as no id.
            const double* pRow = GetRowData(row);
            for (int c = 0; c < GetNumColumns() && !userZeroWarning; ++c) {
                userZeroWarning = pRow[c] != 0.0;
            }
            continue;
        }
        std::unique_ptr<UserData>& user = m_users[userId];
        if (!user) {
            user.reset(new UserData(userId));
        }
        int frame = 0;
        const double frameValue = (*this)(row, frameColumn);
        if (!TruncateToInt(frameValue, frame)) {
            // Below zero is never indexed; NaN and frames beyond int are reported.
            outOfRangeWarning = outOfRangeWarning || !(frameValue < 0);
            continue;
        }
        user->SetRowForFrame(frame, row);
    }
    if (userZeroWarning) {
        WarnWithFileName("Warning: Found row(s) with UserID==0.  Ignored because we assume ID>0.", m_strFileName);
    }
    if (outOfRangeWarning) {
        WarnWithFileName(
            "Warning: Found row(s) with a frame number or user id out of range.  Not indexed.", m_strFileName);
    }
}

void BaseOutputDump::ReleaseUsers() {
    m_users.clear();
}
