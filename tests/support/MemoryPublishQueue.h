#pragma once
// The journal's publish queue in memory, with the journal's contract: ids
// grow, unpublished readings come oldest first, any thread.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "readings/StoredReading.h"

namespace testing_support {

// The n-th reading of an automatic measurement of order 1, stable, in grams.
inline readings::StoredReading sampleReading(int n) {
  readings::StoredReading r;
  r.series = 1;
  r.timeMs = 1717408800000 + n * std::int64_t{1000};
  r.utcOffsetMinutes = 120;
  r.order = 1;
  r.pass = n;
  r.value = 100 + n * 0.25;
  r.decimals = 2;
  r.unit = "g";
  r.state = readings::State::Stable;
  r.latencyMs = 20 + n % 100;
  r.link = "COM1";
  r.text = "S S     " + std::to_string(100 + n) + " g";
  return r;
}

class MemoryPublishQueue : public readings::PublishQueue {
 public:
  // Stores the reading under the next id and returns it.
  std::int64_t add(readings::StoredReading reading) {
    std::lock_guard lock(mutex_);
    reading.id = ++lastId_;
    entries_.push_back({reading, false});
    return reading.id;
  }

  std::vector<readings::StoredReading> unpublishedAfter(std::int64_t afterId, std::size_t limit) override {
    std::lock_guard lock(mutex_);
    largestLimit_ = std::max(largestLimit_, limit);
    std::vector<readings::StoredReading> found;
    for (const Entry& e : entries_) {
      if (found.size() == limit) break;
      if (e.reading.id > afterId && !e.published) found.push_back(e.reading);
    }
    return found;
  }

  void markPublished(std::span<const std::int64_t> ids) override {
    std::lock_guard lock(mutex_);
    for (const std::int64_t id : ids) entries_.at(static_cast<std::size_t>(id - 1)).published = true;
  }

  std::int64_t unpublishedCount() override { return static_cast<std::int64_t>(unpublished().size()); }

  std::vector<std::int64_t> unpublished() const {
    std::lock_guard lock(mutex_);
    std::vector<std::int64_t> ids;
    for (const Entry& e : entries_)
      if (!e.published) ids.push_back(e.reading.id);
    return ids;
  }

  // The most readings the link ever asked for at once.
  std::size_t largestLimit() const {
    std::lock_guard lock(mutex_);
    return largestLimit_;
  }

 private:
  struct Entry {
    readings::StoredReading reading;
    bool published;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::int64_t lastId_ = 0;
  std::size_t largestLimit_ = 0;
};

}  // namespace testing_support
