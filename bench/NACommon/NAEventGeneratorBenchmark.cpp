// Every tracked hand raises a moved event each frame, delivered to the hand
// tracker synchronously inside the read call.

#include <benchmark/benchmark.h>

#include "NACommon/NAEventGenerator.h"

namespace {

class Generator : public NAEventGenerator {};

class Listener : public NAEventListener {
public:
    void ProcessEvent(const NAEvent& event) override { m_nSum += event.hand.handId; }
    int m_nSum = 0;
};

void BM_GenerateHandEvent(benchmark::State& state) {
    Generator generator;
    Listener listener;
    generator.AddEventListener(&listener);
    for (auto _ : state) {
        NAEvent event(NAEvent::HAND);
        event.hand.type = NAHandEvent::MOVED;
        event.hand.handId = 1;
        generator.GenerateEvent(event);
    }
    benchmark::DoNotOptimize(listener.m_nSum);
}
BENCHMARK(BM_GenerateHandEvent);

}  // namespace
