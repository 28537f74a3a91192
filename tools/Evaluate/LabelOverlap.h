#pragma once

// Pixel counts of two label maps of one size laid over each other: the true
// people (0 background, 1..) and the users a tracker reported (0 none).

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace vela::evaluate {

class LabelOverlap {
public:
    // `reported` may be null (a frame without a user map: nothing reported).
    void Count(const uint16_t* truth, const int16_t* reported, size_t pixels);

    int TruePixels(int person) const;
    int ReportedPixels(int user) const;
    // The users holding pixels, in increasing order.
    std::vector<int> ReportedUsers() const;
    int Shared(int person, int user) const;
    // Shared pixels over the pixels of either; 0 when neither has any.
    double IoU(int person, int user) const;
    // The reported user sharing most pixels with the person (the lower id
    // on a tie), 0 when none shares any.
    int BestUser(int person) const;

private:
    std::map<int, int> m_true, m_reported;
    std::map<std::pair<int, int>, int> m_shared;
};

}  // namespace vela::evaluate
