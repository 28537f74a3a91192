#include "NACommon/NAEvent.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

// The bodies share storage and are copied as bytes with the record.
static_assert(std::is_trivially_copyable<NAEvent>::value, "events are plain records");

NAEvent::NAEvent() : NAEvent(HAND) {}

NAEvent::NAEvent(Kind eventKind) : kind(eventKind), frameId(0), timestamp(0), extremePoint() {
    constexpr size_t kBodySize = std::max({sizeof(NAHandEvent), sizeof(NAGestureEvent), sizeof(FeatureExtractorEvent),
                                           sizeof(NAExtremePointEvent)});
    std::memset(static_cast<void*>(&hand), 0, kBodySize);
}
