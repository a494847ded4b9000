#pragma once
// The serial port component: line settings as properties, opening and
// closing the device, and events for line activity. All operations run on the
// user-interface thread. On POSIX the port name resolves to a device path
// (see platform/PortNames.h) and the device is a terminal device
// (platform/SerialDevice.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "platform/MessageTarget.h"
#include "platform/SerialDevice.h"
#include "serial/ComSettings.h"
#include "serial/ComStorage.h"
#include "serial/ComTypes.h"
#include "serial/EComPort.h"
#include "serial/TransferRequest.h"

namespace serial {

class TCustomComPort;
class TComThread;
class TComNotifyWindow;

using PortEvent = std::function<void(TCustomComPort& Sender)>;
using TRxCharEvent = std::function<void(TCustomComPort& Sender, int Count)>;
using TRxBufEvent = std::function<void(TCustomComPort& Sender, const char* Buffer, int Count)>;
using TComSignalEvent = std::function<void(TCustomComPort& Sender, bool OnOff)>;
using TComErrorEvent = std::function<void(TCustomComPort& Sender, TComErrors Errors)>;

class TCustomComPort {
  friend class TComThread;
  friend class TComNotifyWindow;

 public:
  // The loop is the user-interface thread's: the event thread hands its
  // deliveries to it, and a failed open after loading goes to its error report.
  explicit TCustomComPort(platform::EventLoop& loop, std::string name = "");
  // Disconnects (with its events); a failure there is swallowed.
  virtual ~TCustomComPort();
  TCustomComPort(const TCustomComPort&) = delete;
  TCustomComPort& operator=(const TCustomComPort&) = delete;

  // The component's name; the settings storage uses it as the ini section.
  const std::string& name() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  platform::EventLoop& eventLoop() const { return loop_; }

  // --- Properties ---------------------------------------------------------
  // A new name on an open port closes it and opens the new device.
  const std::string& port() const { return port_; }
  void setPort(const std::string& name);
  TBaudRate baudRate() const { return baudRate_; }
  void setBaudRate(TBaudRate v);
  // Used only while baudRate() is brCustom.
  std::int32_t customBaudRate() const { return customBaudRate_; }
  void setCustomBaudRate(std::int32_t v);
  TDataBits dataBits() const { return dataBits_; }
  void setDataBits(TDataBits v);
  TStopBits stopBits() const { return stopBits_; }
  void setStopBits(TStopBits v);
  TComParity& parity() { return parity_; }
  const TComParity& parity() const { return parity_; }
  void setParity(const TComParity& v) { parity_ = v; }
  TComFlowControl& flowControl() { return flowControl_; }
  const TComFlowControl& flowControl() const { return flowControl_; }
  void setFlowControl(const TComFlowControl& v) { flowControl_ = v; }
  TComTimeouts& timeouts() { return timeouts_; }
  const TComTimeouts& timeouts() const { return timeouts_; }
  void setTimeouts(const TComTimeouts& v) { timeouts_ = v; }
  TComBuffer& buffer() { return buffer_; }
  const TComBuffer& buffer() const { return buffer_; }
  void setBuffer(const TComBuffer& v) { buffer_ = v; }
  // Received bytes of value 0 are dropped.
  bool discardNull() const { return discardNull_; }
  void setDiscardNull(bool v);
  // The received byte that raises evRxFlag.
  unsigned char eventChar() const { return eventChar_; }
  void setEventChar(unsigned char v);
  // What the event thread waits for; takes effect at the next Connect.
  TComEvents events() const { return events_; }
  void setEvents(TComEvents v) { events_ = v; }
  // Raises EComPort code 14 on an open port and keeps the old value.
  TSyncMethod syncMethod() const { return syncMethod_; }
  void setSyncMethod(TSyncMethod v);
  bool connected() const { return connected_; }
  // The device went away while the port was open: a transfer found it gone,
  // or the event thread did (the port then closes itself). False again from
  // the next Connect.
  bool DeviceGone() const { return deviceGone_; }
  // true calls Connect, false Disconnect, when the value differs; while
  // loading only stores it (Loaded() opens the port).
  void setConnected(bool v);
  TStoredGroups storedGroups() const { return storedGroups_; }
  void setStoredGroups(TStoredGroups v) { storedGroups_ = v; }
  bool rxCharTrigger() const { return rxCharTrigger_; }

  // The ini file whose [Devices] section maps COMn names to device paths
  // ("Kestrel.ini" in the settings folder); empty means no map.
  const std::string& deviceMapFile() const { return deviceMapFile_; }
  void setDeviceMapFile(std::string path) { deviceMapFile_ = std::move(path); }
  // The device path port() resolves to now.
  std::string devicePath() const;
  // The open device's file descriptor, or -1 while closed.
  platform::NativeHandle handle() const { return device_ ? device_->handle() : platform::kNoHandle; }

  // --- Operations ---------------------------------------------------------
  // Opens the port; nothing when it is open. Events in order: OnBeforeOpen,
  // OnAfterOpen, then OnCTSChange, OnDSRChange, OnRLSDChange with the lines'
  // states. A failed open raises EComPort code 1 with the errno.
  void Connect();
  // Closes the port; nothing when it is closed. Events in order:
  // OnCTSChange, OnDSRChange, OnRLSDChange (all false), OnBeforeClose,
  // OnAfterClose. Hand-overs of the event thread still run while it waits
  // for that thread. A port whose device goes away (hang-up) closes itself
  // the same way, from a message its event thread posts.
  void Disconnect();
  // Settings changes made inside a batch reach an open device as one
  // ApplyAllSettings at the final EndBatch.
  void BeginBatch() { ++batchDepth_; }
  void EndBatch();

  // Line status of the open port. Without modem lines (a pty) all are off;
  // without error counters (a pty) there are no line errors.
  TComSignals ModemLines();
  int BytesWaiting();
  // The line errors since the previous query (the query clears them).
  TComErrors TakeLineErrors();

  // --- Transfers (see ComPortTransfers.cpp) ---------------------------------
  // Writes the whole string and waits; returns the bytes written, fewer when
  // the write timeout ended the transfer. Raises code 2 on failure.
  int WriteText(const std::string& text);
  // Reads up to count bytes and waits as the read timeouts say (under the
  // default timeouts: returns at once with what the driver holds). Raises
  // code 3, or 10 when the queue query after a read that took nothing fails.
  std::string ReadText(int count);
  int ReadBytes(char* buffer, int count);
  // Start a transfer without waiting and return the bytes moved at once;
  // AwaitTransfer waits for the rest. A null request raises code 4.
  int StartWrite(const char* data, int count, TransferRequest* request);
  int StartRead(char* buffer, int count, TransferRequest* request);
  int AwaitTransfer(TransferRequest* request);

  // Loading from a stored form: property writes are stored without applying
  // and Connected = true is remembered; Loaded() ends loading and opens such
  // a port, handing a failure to the loop's error report.
  void BeginLoading() { loading_ = true; }
  virtual void Loaded();
  bool loading() const { return loading_; }

  // --- Settings storage (ComStorage.cpp) ----------------------------------
  // Writes the groups of storedGroups() to the ini file at `name` (section:
  // the port's name) or to the registry; any failure raises EComPort code 16.
  // An ini file that cannot be read is kept beside it before it is replaced;
  // `keptCopy`, when given, receives where ("" when nothing was kept).
  void SaveSettings(SettingsStore store, const std::string& name, std::string* keptCopy = nullptr);
  // Reads the same groups back inside one batch; any failure raises code 17
  // and what was read before it stays.
  void RestoreSettings(SettingsStore store, const std::string& name);
  // The steps that write and read; there is no registry here, so the
  // registry steps raise codes 16 and 17.
  virtual void WriteRegistrySettings(const std::string& key);
  virtual void WriteIniSettings(platform::IniFile& ini);
  virtual void ReadRegistrySettings(const std::string& key);
  virtual void ReadIniSettings(const platform::IniFile& ini);

  // --- Overridable steps --------------------------------------------------
  virtual void OpenDevice();
  virtual void CloseDevice();
  // ApplyBufferSizes, ApplyLineSettings, ApplyTimeoutSettings in this order.
  virtual void ApplyAllSettings();
  // Each does nothing unless the port is open, no batch is open and the
  // port is not loading; failures raise codes 7, 8 and 9.
  virtual void ApplyLineSettings();
  virtual void ApplyTimeoutSettings();
  virtual void ApplyBufferSizes();

  // --- Events -------------------------------------------------------------
  PortEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose;
  TRxCharEvent OnRxChar;
  TRxBufEvent OnRxBuf;
  PortEvent OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
  TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
  TComErrorEvent OnError;

 protected:
  // Each calls its handler when one is assigned.
  virtual void DoAfterClose();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoBeforeOpen();
  virtual void DoRxChar(int Count);
  virtual void DoRxBuf(const char* Buffer, int Count);
  virtual void DoTxEmpty();
  virtual void DoBreak();
  virtual void DoRing();
  virtual void DoRxFlag();
  virtual void DoCTSChange(bool OnOff);
  virtual void DoDSRChange(bool OnOff);
  virtual void DoError(TComErrors Errors);
  virtual void DoRLSDChange(bool OnOff);
  virtual void DoRx80Full();

  // The device control record's counterpart: what ApplyLineSettings asks of
  // the device.
  platform::SerialLineSettings LineSettings() const;
  platform::SerialDevice* device() const { return device_.get(); }
  // Aborts pending transfers; raises code 5 on failure.
  void CancelTransfers();

  // --- Event dispatch (see ComPortDispatch.cpp) -----------------------------
  // Runs the dispatch step of each event of a batch in the fixed order
  // (evError first, then evRxChar, ...); does not look at connected().
  void DeliverEvents(TComEvents events);
  // The dispatch step of one event: the queries it needs, then its hook.
  virtual void DispatchEvent(TComEvent event);
  // The hidden notification window that smWindowSync posts its notices to.
  virtual std::shared_ptr<platform::MessageTarget> CreateNotificationWindow();

 private:
  bool canApply() const { return connected_ && device_ && batchDepth_ == 0 && !loading_; }
  // The read timeouts make a read return at once with what the driver holds.
  bool ReadsReturnAtOnce() const;
  // The EComPort of a failed transfer; notes a device that is gone.
  EComPort TransferFailure(int messageCode, const platform::SerialDeviceError& e);
  // Sets a request up for a transfer of count bytes; false when there is
  // nothing to move. Raises code 4 without a request.
  bool BeginTransfer(TransferRequest* request, TransferRequest::Kind kind, const char* out, char* in,
                     int count);
  // The event thread's place (it waits for line events and hands them to
  // the user-interface thread); true when a thread was started.
  bool StartEventThread();
  void StopEventThread();
  // The event thread found the device gone: closes the port as Disconnect
  // does, unless that thread has been replaced or the port closed meanwhile.
  void DeviceLost(std::uint64_t generation);

  platform::EventLoop& loop_;
  std::string name_;
  std::string port_ = "COM1";
  TBaudRate baudRate_ = br9600;
  std::int32_t customBaudRate_ = 9600;
  TDataBits dataBits_ = dbEight;
  TStopBits stopBits_ = sbOneStopBit;
  TComParity parity_{this};
  TComFlowControl flowControl_{this};
  TComTimeouts timeouts_{this};
  TComBuffer buffer_{this};
  bool discardNull_ = false;
  unsigned char eventChar_ = 0;
  TComEvents events_ = kAllComEvents;
  TSyncMethod syncMethod_ = smThreadSync;
  bool connected_ = false;
  // Set by a transfer, which may run on the event thread (smNone).
  std::atomic<bool> deviceGone_{false};
  TStoredGroups storedGroups_{sgBasic};
  bool rxCharTrigger_ = true;
  std::string deviceMapFile_;

  std::unique_ptr<platform::SerialDevice> device_;
  int batchDepth_ = 0;
  bool threadCreated_ = false;
  std::unique_ptr<TComThread> thread_;
  std::shared_ptr<platform::MessageTarget> notifyWindow_;
  std::uint64_t threadGeneration_ = 0;
  // Messages posted for the port check it still exists.
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
  bool loading_ = false;
  bool connectWhenLoaded_ = false;
};

// The published component; the main window owns one as ComPort1.
class TComPort : public TCustomComPort {
 public:
  using TCustomComPort::TCustomComPort;
};

}  // namespace serial
