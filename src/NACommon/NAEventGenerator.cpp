#include "NACommon/NAEventGenerator.h"

#include <algorithm>

void NAEventGenerator::AddEventListener(NAEventListener* listener) { m_listeners.push_back(listener); }

bool NAEventGenerator::RemoveEventListener(NAEventListener* listener) {
    const auto end = std::remove(m_listeners.begin(), m_listeners.end(), listener);
    const bool removed = end != m_listeners.end();
    m_listeners.erase(end, m_listeners.end());
    return removed;
}

void NAEventGenerator::GenerateEvent(const NAEvent& event) {
    // By index: a listener may add or remove listeners while it is called.
    for (size_t i = 0; i < m_listeners.size(); ++i) {
        m_listeners[i]->ProcessEvent(event);
    }
}
