// Delivery of events from the algorithm modules to their listeners.

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "NACommon/NAEventGenerator.h"

namespace {

class Generator : public NAEventGenerator {
public:
    size_t Count() const { return m_listeners.size(); }
};

// Writes its name and the event's frame id to a shared journal.
class Listener : public NAEventListener {
public:
    Listener(std::string name, std::vector<std::string>& journal) : m_name(std::move(name)), m_journal(journal) {}
    void ProcessEvent(const NAEvent& event) override {
        m_journal.push_back(m_name + std::to_string(event.frameId));
        if (m_react) {
            m_react();
        }
    }
    std::function<void()> m_react;

private:
    std::string m_name;
    std::vector<std::string>& m_journal;
};

NAEvent HandEvent(uint32_t frameId) {
    NAEvent event(NAEvent::HAND);
    event.frameId = frameId;
    event.hand.type = NAHandEvent::MOVED;
    return event;
}

TEST(NAEventGeneratorTest, ListenersHearInRegistrationOrderDuplicatesTwice) {
    std::vector<std::string> journal;
    Listener a("a", journal), b("b", journal), c("c", journal);
    Generator generator;
    generator.GenerateEvent(HandEvent(0));  // nobody listens
    EXPECT_TRUE(journal.empty());

    generator.AddEventListener(&b);
    generator.AddEventListener(&a);
    generator.AddEventListener(&b);
    generator.AddEventListener(&c);
    generator.GenerateEvent(HandEvent(1));
    EXPECT_EQ((std::vector<std::string>{"b1", "a1", "b1", "c1"}), journal);

    // One removal takes every entry of the listener and keeps the order.
    EXPECT_TRUE(generator.RemoveEventListener(&b));
    EXPECT_EQ(2u, generator.Count());
    EXPECT_FALSE(generator.RemoveEventListener(&b));
    Listener stranger("s", journal);
    EXPECT_FALSE(generator.RemoveEventListener(&stranger));
    EXPECT_EQ(2u, generator.Count());
    journal.clear();
    generator.GenerateEvent(HandEvent(2));
    EXPECT_EQ((std::vector<std::string>{"a2", "c2"}), journal);
}

TEST(NAEventGeneratorTest, WalkFollowsTheListAsListenersChangeIt) {
    std::vector<std::string> journal;
    Listener a("a", journal), b("b", journal), c("c", journal);
    Generator generator;
    generator.AddEventListener(&a);
    generator.AddEventListener(&b);
    // a joins c at the end: the walk reaches it in the same delivery.
    a.m_react = [&] {
        generator.AddEventListener(&c);
        a.m_react = nullptr;
    };
    generator.GenerateEvent(HandEvent(1));
    EXPECT_EQ((std::vector<std::string>{"a1", "b1", "c1"}), journal);

    // b leaves while called: the walk goes on from the list as it is.
    journal.clear();
    b.m_react = [&] { generator.RemoveEventListener(&b); };
    generator.GenerateEvent(HandEvent(2));
    EXPECT_EQ((std::vector<std::string>{"a2", "b2"}), journal);
    journal.clear();
    generator.GenerateEvent(HandEvent(3));
    EXPECT_EQ((std::vector<std::string>{"a3", "c3"}), journal);
}

TEST(NAEventTest, NewEventsAreZeroAndUserEventsCarryTheirOwnTime) {
    NAEvent event(NAEvent::USER);
    EXPECT_EQ(NAEvent::USER, event.kind);
    EXPECT_EQ(0u, event.frameId);
    EXPECT_EQ(0, static_cast<int64_t>(event.timestamp));
    const std::vector<char> zeros(sizeof(NAExtremePointEvent), 0);
    EXPECT_EQ(0, std::memcmp(zeros.data(), &event.extremePoint, zeros.size()));

    event.user.eventType = FeatureExtractorEvent::POSE_DETECTED;
    event.user.frameId = 12;
    event.user.timestamp = 400000;
    const NAEvent copy = event;
    EXPECT_EQ(0u, copy.frameId);
    EXPECT_EQ(12u, copy.user.frameId);
    EXPECT_EQ(400000, static_cast<int64_t>(copy.user.timestamp));
    EXPECT_EQ(FeatureExtractorEvent::POSE_DETECTED, copy.user.eventType);
}

}  // namespace
