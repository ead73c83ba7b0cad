// bench_ordered: the insertion-ordered map and the work queue at the content
// database's scale (100,000 records keyed by location): building it, looking every
// record up, taking every entry from the front (the work-queue pattern), removing a
// third of the entries from the middle and then asking every remaining position,
// and a full FIFO pass through ThreadSafeWorkQueue. Figures: time per pass and
// items_per_second.
//
// TakeFirstWithAppends: the work-queue pattern with an append after every other take.
// Its counters are the storage policy: map_slots_per_entry, the slots the map holds per
// live entry afterwards (the taken front is reclaimed: at most about 2), and
// set_slots_left, the slots an ordered set still holds once drained (0).
#include "engine/ThreadSafeWorkQueue.h"
#include "model/FileObject.h"
#include "model/Location.h"
#include "model/OrderedMap.h"
#include "model/OrderedSet.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

using namespace trevalin;

namespace {

constexpr int kRecords = 100000;

const std::vector<Location>& locations() {
    static const std::vector<Location> all = [] {
        std::vector<Location> out;
        out.reserve(kRecords);
        for (int i = 0; i < kRecords; ++i)
            out.emplace_back(QStringLiteral("/home/user/Documents/folder%1/file-%2.bin").arg(i % 97).arg(i));
        return out;
    }();
    return all;
}

using Map = OrderedMap<Location, std::shared_ptr<int>>;

Map build() {
    Map m;
    for (const Location& l : locations())
        m.insert(l, nullptr);
    return m;
}

void BM_Insert100k(benchmark::State& state) {
    locations();
    for (auto _ : state) {
        Map m = build();
        benchmark::DoNotOptimize(m.size());
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Insert100k)->Unit(benchmark::kMillisecond);

void BM_Lookup100k(benchmark::State& state) {
    const Map m = build();
    for (auto _ : state) {
        std::size_t found = 0;
        for (const Location& l : locations())
            found += m.contains(l) ? 1 : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_Lookup100k)->Unit(benchmark::kMillisecond);

void BM_TakeFirst100k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Map m = build();
        state.ResumeTiming();
        while (m.takeFirst()) {
        }
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_TakeFirst100k)->Unit(benchmark::kMillisecond);

void BM_TakeFirstWithAppends(benchmark::State& state) {
    double slotsPerEntry = 0, slotsLeft = 0;
    for (auto _ : state) {
        OrderedMap<int, int> m;
        OrderedSet<int> s;
        for (int i = 0; i < kRecords; ++i) {
            m.insert(i, i);
            s.append(i);
        }
        for (int i = 0; i < kRecords; ++i) {
            m.takeFirst();
            if (i % 2 == 0)
                m.insert(kRecords + i, 0);
        }
        while (s.takeFirst()) {
        }
        slotsPerEntry = double(m.capacitySlots()) / double(m.size());
        slotsLeft = double(s.capacitySlots());
    }
    state.counters["map_slots_per_entry"] = slotsPerEntry;
    state.counters["set_slots_left"] = slotsLeft;
    state.SetItemsProcessed(state.iterations() * kRecords * 2);
}
BENCHMARK(BM_TakeFirstWithAppends)->Unit(benchmark::kMillisecond);

void BM_RemoveThirdThenPositions(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Map m = build();
        state.ResumeTiming();
        for (int i = 1; i < kRecords; i += 3)
            m.remove(locations()[i]);
        std::size_t sum = 0;
        for (int i = 0; i < kRecords; i += 3)
            sum += *m.indexOf(locations()[i]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kRecords * 2 / 3);
}
BENCHMARK(BM_RemoveThirdThenPositions)->Unit(benchmark::kMillisecond);

void BM_WorkQueueFifo100k(benchmark::State& state) {
    std::vector<Job> jobs;
    jobs.reserve(kRecords);
    for (const Location& l : locations()) {
        FileObjectData d;
        d.location = l;
        d.path = l.path();
        jobs.push_back(Job{FileObject::fromData(d), Digest::SHA256});
    }
    for (auto _ : state) {
        ThreadSafeWorkQueue q(QStringLiteral("Bench.queued"));
        q.add(jobs);
        int taken = 0;
        while (q.removeFirst())
            ++taken;
        benchmark::DoNotOptimize(taken);
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_WorkQueueFifo100k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
