#pragma once
// The enumerations and sets of the serial port. The ordinal of each value is
// its position in the list; a set holds one bit per value in that order.
#include <cstdint>
#include <initializer_list>

namespace serial {

template <typename E>
class EnumSet {
 public:
  constexpr EnumSet() = default;
  constexpr EnumSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= bit(e);
  }
  static constexpr EnumSet fromBits(std::uint32_t bits) {
    EnumSet s;
    s.bits_ = bits;
    return s;
  }

  constexpr std::uint32_t bits() const { return bits_; }
  constexpr bool contains(E e) const { return (bits_ & bit(e)) != 0; }
  constexpr bool empty() const { return bits_ == 0; }
  constexpr EnumSet& insert(E e) {
    bits_ |= bit(e);
    return *this;
  }
  constexpr EnumSet& erase(E e) {
    bits_ &= ~bit(e);
    return *this;
  }
  friend constexpr EnumSet operator|(EnumSet a, EnumSet b) { return fromBits(a.bits_ | b.bits_); }
  friend constexpr EnumSet operator&(EnumSet a, EnumSet b) { return fromBits(a.bits_ & b.bits_); }
  friend constexpr bool operator==(EnumSet a, EnumSet b) = default;

 private:
  static constexpr std::uint32_t bit(E e) { return std::uint32_t{1} << static_cast<unsigned>(e); }
  std::uint32_t bits_ = 0;
};

enum TBaudRate {
  brCustom,
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
inline constexpr int kBaudRateCount = br256000 + 1;
// bit/s of each TBaudRate; brCustom gives 0 (CustomBaudRate counts then).
constexpr std::int32_t BaudRateValue(TBaudRate rate) {
  constexpr std::int32_t kValues[kBaudRateCount] = {
      0, 110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  // A value read from a file may lie outside the enumeration.
  const int index = static_cast<int>(rate);
  return index >= 0 && index < kBaudRateCount ? kValues[index] : 0;
}

// The speeds an order of the automatic measurement may name, and that the
// main window's connection label names; others show as non-standard.
inline constexpr TBaudRate kTerminalSpeeds[] = {br4800, br9600, br19200, br38400, br57600, br115200};

enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };

enum TComEvent { evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full };
using TComEvents = EnumSet<TComEvent>;
inline constexpr TComEvents kAllComEvents = TComEvents::fromBits(0x3FF);

enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
using TComErrors = EnumSet<TComError>;

// The modem input lines that are on.
enum TComSignal { csCTS, csDSR, csRing, csRLSD };
using TComSignals = EnumSet<TComSignal>;

enum TSyncMethod { smThreadSync, smWindowSync, smNone };

// Settings groups of the settings storage; the ordinal gives the group's bit
// (sgBasic 0x01 ... sgOthers 0x20).
enum TStoredGroup { sgBasic, sgFlowControl, sgBuffer, sgTimeouts, sgParity, sgOthers };
using TStoredGroups = EnumSet<TStoredGroup>;

}  // namespace serial
