#pragma once

// A joint table: a data table of doubles in which every row holds one user's
// skeleton in one frame (frame number, user id, time, bounds and per joint its
// position, confidence and occlusion). On top of the table it keeps, per
// user, an index from frame number to table row (a binary search over the
// frames present), builds joint columns by a
// fixed naming scheme and finds a joint's columns by name. A subclass
// decides the joints by implementing AddColumns and InitializeJointsLookups.
//
// A joint occupies joint + ".Pos" three times (x, y, z under one name, so the
// name finds the first), then optionally joint + ".Confidence" and
// joint + ".Occluded"; a left/right pair puts "L" and "R" before the name.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "QuorLibrary/Math/Vector3D.h"
#include "QuorLibrary/Utilities/DataTable.h"

static const std::string COL_FRAME = "Frame";
static const std::string COL_USERID = "UserID";
static const std::string COL_TIME = "Time";
static const std::string COL_BOUNDS_MIN = "Bounds.Min";
static const std::string COL_BOUNDS_MAX = "Bounds.Max";

class BaseOutputDump : public DataTable<double> {
public:
    class UserData {
    public:
        explicit UserData(int userId);

        // Records the row of a frame. The first row of a frame stays, and a
        // frame below the highest one recorded is not recorded: rows are
        // expected in increasing frame order. Negative frames are never
        // recorded. True when the row was recorded.
        bool SetRowForFrame(int frame, int row);
        // The user's row of the frame, -1 for none.
        int GetRow(int frame) const;
        // The highest frame recorded, -1 before the first.
        int GetLastFrame() const { return m_frames.empty() ? -1 : m_frames.back().nFrame; }
        int GetFrameCount() const { return static_cast<int>(m_frames.size()); }

        int m_nUserID;

    private:
        struct FrameRow {
            int nFrame;
            int nRow;
        };
        // Only the frames present, in increasing frame order: a table of a
        // few rows with frame numbers in the millions stays a few entries.
        std::vector<FrameRow> m_frames;
    };

    struct JointLookup {
        JointLookup() : nPositionColumn(-1), nConfidenceColumn(-1), nOccludedColumn(-1), bValid(false) {}
        int nPositionColumn;  // the first of the three position columns
        int nConfidenceColumn;
        int nOccludedColumn;
        bool bValid;  // position and confidence columns both exist
    };

    BaseOutputDump();
    // Not virtual: owners hold the concrete dump type.
    ~BaseOutputDump();

    // Sets the columns that AddColumns lists.
    void Initialize();
    // Reads a text or binary table and builds the per-user index; on failure
    // leaves an empty dump and returns false.
    bool ReadFromFile(const std::string& path, bool* wasBinary);
    void InitializeJointLookup(JointLookup& lookup, const std::string& joint) const;
    // The joint's columns must exist.
    void SetJointData(int row, const std::string& joint, const Vector3D<double>& position, double confidence,
                      double occluded);

    static void AddVectorColumn(std::vector<std::string>& names, const std::string& name, int count);
    static void AddJointColumn(std::vector<std::string>& names, const std::string& joint, bool withConfidence,
                               bool withOccluded);
    static void AddSymmetricJointColumn(std::vector<std::string>& names, const std::string& joint,
                                        bool withConfidence, bool withOccluded);

    // The user's index, or null when the user has no indexed row.
    const UserData* GetUserData(int userId) const;
    const std::map<int, std::unique_ptr<UserData> >& GetUsers() const { return m_users; }

    // Rebuilds the per-user index from the rows.
    virtual void InitializeLookups();
    virtual void InitializeJointsLookups() {}
    virtual void AddColumns(std::vector<std::string>& /*names*/) const {}
    virtual void GetFrameUserCols(int& userColumn, int& frameColumn);

protected:
    void ReleaseUsers();

    std::map<int, std::unique_ptr<UserData> > m_users;
    std::string m_strFileName;  // the last file read, named in warnings
};
