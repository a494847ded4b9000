#include "readings/PlantMessage.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "platform/Cp1250.h"

namespace readings {

namespace {

// A JSON string of UTF-8 text, quotes included.
void appendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  for (const char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

template <typename Number>
void appendNumber(std::string& out, Number n) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
  out.append(digits, end);
}

// The value with the digits the scale printed; to_chars, since the C
// library's printf follows the locale's decimal comma.
void appendValue(std::string& out, const std::optional<double>& value, std::uint8_t decimals) {
  if (!value || !std::isfinite(*value)) {
    out += "null";
    return;
  }
  char digits[400];
  const auto result = std::to_chars(digits, digits + sizeof digits, *value, std::chars_format::fixed,
                                    std::min<int>(decimals, 15));
  if (result.ec != std::errc()) {
    out += "null";
    return;
  }
  out.append(digits, result.ptr);
}

void appendKey(std::string& out, const char* key) {
  if (out.size() > 1) out += ',';
  out += '"';
  out += key;
  out += "\":";
}

std::string topic(const PlantLinkSettings& s, const char* leaf) {
  return platform::cp1250ToUtf8(s.prefix) + '/' + platform::cp1250ToUtf8(s.station) + '/' + leaf;
}

}  // namespace

std::string_view stateName(State state) {
  switch (state) {
    case State::Stable:
      return "stable";
    case State::Unstable:
      return "unstable";
    case State::Overload:
      return "overload";
    case State::Underload:
      return "underload";
    case State::Unknown:
      break;
  }
  return "unknown";
}

std::string isoTime(std::int64_t timeMs, std::int32_t utcOffsetMinutes) {
  using namespace std::chrono;
  const sys_time<milliseconds> local{milliseconds(timeMs + std::int64_t{utcOffsetMinutes} * 60000)};
  const sys_days day = floor<days>(local);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> time{local - day};
  const int offset = std::abs(utcOffsetMinutes);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d%c%02d:%02d",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                static_cast<int>(time.minutes().count()), static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()), utcOffsetMinutes < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return text;
}

std::string readingJson(const StoredReading& r, std::string_view station) {
  std::string out = "{";
  appendKey(out, "id");
  appendNumber(out, r.id);
  appendKey(out, "series");
  appendNumber(out, r.series);
  appendKey(out, "station");
  appendJsonString(out, station);
  appendKey(out, "time");
  appendJsonString(out, isoTime(r.timeMs, r.utcOffsetMinutes));
  appendKey(out, "order");
  appendNumber(out, r.order);
  appendKey(out, "pass");
  appendNumber(out, r.pass);
  appendKey(out, "value");
  appendValue(out, r.value, r.decimals);
  appendKey(out, "unit");
  appendJsonString(out, platform::cp1250ToUtf8(r.unit));
  appendKey(out, "state");
  appendJsonString(out, stateName(r.state));
  appendKey(out, "latency_ms");
  if (r.latencyMs)
    appendNumber(out, *r.latencyMs);
  else
    out += "null";
  appendKey(out, "link");
  appendJsonString(out, platform::cp1250ToUtf8(r.link));
  appendKey(out, "text");
  appendJsonString(out, platform::cp1250ToUtf8(r.text));
  out += '}';
  return out;
}

std::string readingsTopic(const PlantLinkSettings& settings) {
  return topic(settings, "readings");
}

std::string statusTopic(const PlantLinkSettings& settings) {
  return topic(settings, "status");
}

}  // namespace readings
