#pragma once
// Shared pieces of the serial port tests: a log of the port's events and a
// port that counts its apply steps.
#include <cerrno>
#include <string>
#include <vector>

#include "serial/ComPort.h"

namespace serial_test {

// The system codes of a device that another port holds, of one that does not
// exist, and of a setting the device refuses.
#ifdef _WIN32
inline constexpr int kHeldCode = 5;            // ERROR_ACCESS_DENIED
inline constexpr int kMissingCode = 2;         // ERROR_FILE_NOT_FOUND
inline constexpr int kRefusedSettingCode = 87;  // ERROR_INVALID_PARAMETER
#else
inline constexpr int kHeldCode = EBUSY;
inline constexpr int kMissingCode = ENOENT;
inline constexpr int kRefusedSettingCode = EINVAL;
#endif

struct EventLog {
  std::vector<std::string> entries;

  void attach(serial::TCustomComPort& port) {
    using serial::TCustomComPort;
    port.OnBeforeOpen = [this](TCustomComPort&) { entries.push_back("BeforeOpen"); };
    port.OnAfterOpen = [this](TCustomComPort&) { entries.push_back("AfterOpen"); };
    port.OnBeforeClose = [this](TCustomComPort&) { entries.push_back("BeforeClose"); };
    port.OnAfterClose = [this](TCustomComPort&) { entries.push_back("AfterClose"); };
    port.OnCTSChange = [this](TCustomComPort&, bool on) { entries.push_back(on ? "CTS on" : "CTS off"); };
    port.OnDSRChange = [this](TCustomComPort&, bool on) { entries.push_back(on ? "DSR on" : "DSR off"); };
    port.OnRLSDChange = [this](TCustomComPort&, bool on) { entries.push_back(on ? "RLSD on" : "RLSD off"); };
  }
  std::vector<std::string> take() {
    auto out = std::move(entries);
    entries.clear();
    return out;
  }
};

inline const std::vector<std::string> kOpenEvents = {"BeforeOpen", "AfterOpen", "CTS off", "DSR off",
                                                     "RLSD off"};
inline const std::vector<std::string> kCloseEvents = {"CTS off", "DSR off", "RLSD off", "BeforeClose",
                                                      "AfterClose"};

class CountingPort : public serial::TComPort {
 public:
  using serial::TComPort::TComPort;
  using serial::TCustomComPort::LineSettings;

  void ApplyAllSettings() override {
    ++allApplies;
    TComPort::ApplyAllSettings();
  }
  void ApplyLineSettings() override {
    ++lineApplies;
    TComPort::ApplyLineSettings();
  }

  int allApplies = 0;
  int lineApplies = 0;
};

}  // namespace serial_test
