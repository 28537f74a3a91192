#include "Evaluate/LabelOverlap.h"

namespace vela::evaluate {

namespace {

int Lookup(const std::map<int, int>& counts, int key) {
    const auto found = counts.find(key);
    return found == counts.end() ? 0 : found->second;
}

}  // namespace

void LabelOverlap::Count(const uint16_t* truth, const int16_t* reported, size_t pixels) {
    m_true.clear();
    m_reported.clear();
    m_shared.clear();
    for (size_t i = 0; i < pixels; ++i) {
        const int person = truth[i];
        const int user = reported != nullptr ? reported[i] : 0;
        if (person != 0) ++m_true[person];
        if (user != 0) ++m_reported[user];
        if (person != 0 && user != 0) ++m_shared[{person, user}];
    }
}

int LabelOverlap::TruePixels(int person) const { return Lookup(m_true, person); }

int LabelOverlap::ReportedPixels(int user) const { return Lookup(m_reported, user); }

std::vector<int> LabelOverlap::ReportedUsers() const {
    std::vector<int> users;
    for (const auto& [user, pixels] : m_reported) users.push_back(user);
    return users;
}

int LabelOverlap::Shared(int person, int user) const {
    const auto found = m_shared.find({person, user});
    return found == m_shared.end() ? 0 : found->second;
}

double LabelOverlap::IoU(int person, int user) const {
    const int shared = Shared(person, user);
    const int either = TruePixels(person) + ReportedPixels(user) - shared;
    return either > 0 ? static_cast<double>(shared) / either : 0.0;
}

int LabelOverlap::BestUser(int person) const {
    int best = 0, most = 0;
    for (auto it = m_shared.lower_bound({person, INT16_MIN}); it != m_shared.end() && it->first.first == person; ++it) {
        if (it->second > most) {
            most = it->second;
            best = it->first.second;
        }
    }
    return best;
}

}  // namespace vela::evaluate
