#pragma once
// A reading as the journal keeps it and the plant link publishes it, and the
// journal's side that the plant link reads from: the readings not yet
// acknowledged by the broker, in journal order.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "readings/ReplyReader.h"

namespace readings {

struct StoredReading {
  std::int64_t id = 0;      // the journal's reading id; grows with every reading
  std::int64_t series = 0;  // the journal's series id
  std::int64_t timeMs = 0;  // wall clock, ms since the epoch
  std::int32_t utcOffsetMinutes = 0;  // the local offset from UTC when it was read
  std::int16_t order = 0;   // 0: not sent by an automatic measurement
  std::int32_t pass = 0;
  std::optional<double> value;
  std::uint8_t decimals = 0;  // digits after the separator, as the scale printed them
  std::string unit;           // empty when the row has none
  State state = State::Unknown;
  std::optional<std::int32_t> latencyMs;  // from the send to the row's end; counted replies only
  std::string link;  // the port ("COM1", "/dev/ttyUSB0") or "host:port" of the device server
  std::string text;  // the row as received (Windows-1250), line end taken off
};

// The journal's queue of readings for the plant link. Both calls come from
// the plant link's own thread and may run while the journal writes.
class PublishQueue {
 public:
  // Up to `limit` readings not yet marked published whose id is above
  // `afterId`, oldest first.
  virtual std::vector<StoredReading> unpublishedAfter(std::int64_t afterId, std::size_t limit) = 0;
  // The broker acknowledged these readings.
  virtual void markPublished(std::span<const std::int64_t> ids) = 0;
  // How many readings are not marked published.
  virtual std::int64_t unpublishedCount() = 0;

 protected:
  ~PublishQueue() = default;
};

}  // namespace readings
