#pragma once
// What the plant link publishes: a reading as one JSON object (UTF-8) on
// PREFIX/STATION/readings, and the station's status "online" or "offline" on
// PREFIX/STATION/status. docs/plant-reading.schema.json describes the object.
#include <cstdint>
#include <string>
#include <string_view>

#include "readings/PlantLinkSettings.h"
#include "readings/StoredReading.h"

namespace readings {

// "stable", "unstable", "overload", "underload", "unknown".
std::string_view stateName(State state);

// "2024-06-03T10:00:00.123+02:00": the local time the reading was taken at,
// with its offset from UTC.
std::string isoTime(std::int64_t timeMs, std::int32_t utcOffsetMinutes);

// The reading as one line of JSON. `station` is UTF-8; the reading's texts
// are Windows-1250 and are converted.
std::string readingJson(const StoredReading& reading, std::string_view station);

// The topics, UTF-8.
std::string readingsTopic(const PlantLinkSettings& settings);
std::string statusTopic(const PlantLinkSettings& settings);

}  // namespace readings
