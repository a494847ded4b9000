// What one line event does when it is dispatched: the queries it needs, then
// the event's hook. The event thread decides when and on which thread.
#include <algorithm>
#include <vector>

#include "serial/ComPort.h"
#include "serial/ComThread.h"

namespace serial {

void TCustomComPort::DeliverEvents(TComEvents events) {
  for (TComEvent event : kDispatchOrder)
    if (events.contains(event)) DispatchEvent(event);
}

void TCustomComPort::DispatchEvent(TComEvent event) {
  switch (event) {
    case evRxChar: {
      int count = BytesWaiting();
      // Bytes read ahead are the ones announced: the thread takes what the
      // device holds next, so the handler's read never waits on the device.
      if (thread_ && thread_->ReadsAhead())
        count = std::min(count, static_cast<int>(thread_->ReadAheadSize()));
      if (count <= 0) return;
      if (rxCharTrigger_) {
        DoRxChar(count);
      } else {
        std::vector<char> buffer(static_cast<std::size_t>(count));
        const int read = ReadBytes(buffer.data(), count);
        if (read > 0) DoRxBuf(buffer.data(), read);
      }
      return;
    }
    case evTxEmpty:
      DoTxEmpty();
      return;
    case evRxFlag:
      DoRxFlag();
      return;
    case evRing:
      DoRing();
      return;
    case evBreak:
      DoBreak();
      return;
    case evCTS:
      DoCTSChange(ModemLines().contains(csCTS));
      return;
    case evDSR:
      DoDSRChange(ModemLines().contains(csDSR));
      return;
    case evRLSD:
      DoRLSDChange(ModemLines().contains(csRLSD));
      return;
    case evError: {
      const TComErrors errors = TakeLineErrors();
      if (!errors.empty()) DoError(errors);
      return;
    }
    case evRx80Full:
      DoRx80Full();
      return;
  }
}

std::shared_ptr<platform::MessageTarget> TCustomComPort::CreateNotificationWindow() {
  return std::make_shared<TComNotifyWindow>(*this);
}

}  // namespace serial
