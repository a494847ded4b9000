// The plant link's throughput: readings waiting in the journal published to a
// real broker on 127.0.0.1 (mosquitto, QoS 1, each acknowledged and marked
// published), with one subscriber taking them all as a plant's database
// writer would. Reports readings per second; a plant of N stations at one
// reading a second each needs N of them from one broker.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/ManualEventLoop.h"
#include "readings/PlantLink.h"
#include "support/MemoryPublishQueue.h"
#include "support/MqttBroker.h"

namespace {

// The journal's queue, telling when the last reading was acknowledged.
class CountingQueue : public testing_support::MemoryPublishQueue {
 public:
  void markPublished(std::span<const std::int64_t> ids) override {
    MemoryPublishQueue::markPublished(ids);
    std::lock_guard lock(mutex_);
    published_ += ids.size();
    changed_.notify_all();
  }
  bool waitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::minutes(2), [&] { return published_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t published_ = 0;
};

void BM_PlantLinkPublishedPerSecond(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  testing_support::MqttBroker::Options options;
  options.persistent = false;
  testing_support::MqttBroker broker(options);
  testing_support::MqttSubscriber subscriber(broker.port(), "plant/#");
  platform::ManualEventLoop loop;
  double seconds = 0;
  for (auto _ : state) {
    CountingQueue queue;
    for (int n = 1; n <= count; ++n) queue.add(testing_support::sampleReading(n));
    readings::PlantLinkSettings settings;
    settings.enabled = true;
    settings.host = "127.0.0.1";
    settings.port = broker.port();
    settings.station = "st1";
    settings.prefix = "plant";
    readings::PlantLink link(queue, loop);
    const auto start = std::chrono::steady_clock::now();
    link.start(settings);
    if (!queue.waitFor(static_cast<std::size_t>(count)))
      state.SkipWithError("not all readings were acknowledged");
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(s);
    seconds += s;
    link.stop();
  }
  state.counters["readings_per_s"] =
      benchmark::Counter(static_cast<double>(count) * state.iterations() / seconds);
}
BENCHMARK(BM_PlantLinkPublishedPerSecond)
    ->Arg(20000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
