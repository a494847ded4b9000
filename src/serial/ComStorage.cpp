#include "serial/ComStorage.h"

#include <cstdint>
#include <stdexcept>

#include "platform/AsciiText.h"
#include "platform/IniFile.h"
#include "serial/ComPort.h"
#include "serial/ComTexts.h"
#include "serial/SettingsFileRescue.h"

namespace serial {

std::string RegistryKeyPath(const std::string& name, const std::string& portName) {
  const auto slash = name.find('\\');
  if (slash == std::string::npos) return {};
  const char* root = platform::equalIgnoringAsciiCase(name.substr(0, slash), "HKEY_LOCAL_MACHINE")
                         ? "HKEY_LOCAL_MACHINE"
                         : "HKEY_CURRENT_USER";
  std::string rest = name.substr(slash + 1);
  if (rest.empty() || rest.back() != '\\') rest += '\\';
  return std::string(root) + '\\' + rest + portName;
}

// --- Saving and restoring ------------------------------------------------------

void TCustomComPort::SaveSettings(SettingsStore store, const std::string& name, std::string* keptCopy) {
  if (keptCopy) keptCopy->clear();
  try {
    if (store == storeIniFile) {
      // Every key is written in memory first; the file is then replaced
      // whole, so a failure leaves it as it was.
      std::string content;
      const std::string kept = RescueSettingsFile(name, content);
      if (keptCopy) *keptCopy = kept;
      platform::IniFile ini(name, content);
      WriteIniSettings(ini);
      ini.save();
    } else if (store == storeRegistry) {
      const std::string key = RegistryKeyPath(name, this->name());
      if (key.empty()) throw EComPort(CError_StoreFailed);
      WriteRegistrySettings(key);
    } else {
      throw EComPort(CError_StoreFailed);
    }
  } catch (const std::runtime_error&) {
    // The file, the rescue, the port: every failure is reported as one code.
    throw EComPort(CError_StoreFailed);
  } catch (const std::invalid_argument&) {
    throw EComPort(CError_StoreFailed);  // a value the ini file cannot hold
  }
}

void TCustomComPort::RestoreSettings(SettingsStore store, const std::string& name) {
  std::string key;
  if (store == storeRegistry) {
    key = RegistryKeyPath(name, this->name());
    if (key.empty()) throw EComPort(CError_LoadFailed);
  } else if (store != storeIniFile) {
    throw EComPort(CError_LoadFailed);
  }

  bool failed = false;
  BeginBatch();
  try {
    if (store == storeIniFile) {
      const platform::IniFile ini(name);
      ReadIniSettings(ini);
    } else {
      ReadRegistrySettings(key);
    }
  } catch (const std::runtime_error&) {
    failed = true;  // the file or the port: every failure is reported as one code
  }
  // Settings read before a failure keep their new values and reach an open
  // device here, once.
  try {
    EndBatch();
  } catch (const EComPort&) {
    failed = true;
  }
  if (failed) throw EComPort(CError_LoadFailed);
}

// There is no registry on this platform; a port that has one overrides these.
void TCustomComPort::WriteRegistrySettings(const std::string&) {
  throw EComPort(CError_StoreFailed);
}
void TCustomComPort::ReadRegistrySettings(const std::string&) {
  throw EComPort(CError_LoadFailed);
}

// --- The ini file ----------------------------------------------------------------

void TCustomComPort::WriteIniSettings(platform::IniFile& ini) {
  const std::string section = name();
  auto put = [&](const char* key, const std::string& value) { ini.writeString(section, key, value); };
  auto putInteger = [&](const char* key, std::int32_t value) { put(key, std::to_string(value)); };
  const TStoredGroups groups = storedGroups();

  if (groups.contains(sgBasic)) {
    put("Port", port());
    put("BaudRate", BaudRateText(baudRate()));
    if (baudRate() == brCustom) putInteger("CustomBaudRate", customBaudRate());
    put("StopBits", StopBitsText(stopBits()));
    put("DataBits", DataBitsText(dataBits()));
    put("Parity", ParityText(parity().bits()));
    put("FlowControl", FlowControlText(flowControl().flowControl()));
  }
  if (groups.contains(sgOthers)) {
    put("EventChar", CharText(eventChar()));
    put("DiscardNull", YesNoText(discardNull()));
  }
  if (groups.contains(sgParity)) {
    put("Parity.Check", YesNoText(parity().check()));
    put("Parity.Replace", YesNoText(parity().replace()));
    put("Parity.ReplaceChar", CharText(parity().replaceChar()));
  }
  if (groups.contains(sgBuffer)) {
    putInteger("Buffer.OutputSize", buffer().outputSize());
    putInteger("Buffer.InputSize", buffer().inputSize());
  }
  if (groups.contains(sgTimeouts)) {
    const TComTimeouts& t = timeouts();
    putInteger("Timeouts.ReadInterval", t.readInterval());
    putInteger("Timeouts.ReadTotalConstant", t.readTotalConstant());
    putInteger("Timeouts.ReadTotalMultiplier", t.readTotalMultiplier());
    putInteger("Timeouts.WriteTotalConstant", t.writeTotalConstant());
    putInteger("Timeouts.WriteTotalMultiplier", t.writeTotalMultiplier());
  }
  if (groups.contains(sgFlowControl)) {
    const TComFlowControl& f = flowControl();
    put("FlowControl.ControlRTS", RTSControlText(f.controlRTS()));
    put("FlowControl.ControlDTR", DTRControlText(f.controlDTR()));
    put("FlowControl.DSRSensitivity", YesNoText(f.dsrSensitivity()));
    put("FlowControl.OutCTSFlow", YesNoText(f.outCTSFlow()));
    put("FlowControl.OutDSRFlow", YesNoText(f.outDSRFlow()));
    put("FlowControl.TxContinueOnXoff", YesNoText(f.txContinueOnXoff()));
    put("FlowControl.XonXoffIn", YesNoText(f.xonXoffIn()));
    put("FlowControl.XonXoffOut", YesNoText(f.xonXoffOut()));
    put("FlowControl.XoffChar", CharText(f.xoffChar()));
    put("FlowControl.XonChar", CharText(f.xonChar()));
  }
}

// Each key defaults to the text of the setting's current value, so a missing
// key keeps that setting; each value goes through the setting's own write.
void TCustomComPort::ReadIniSettings(const platform::IniFile& ini) {
  const std::string section = name();
  auto text = [&](const char* key, const std::string& current) {
    return ini.readString(section, key, current);
  };
  auto integer = [&](const char* key, std::int32_t def) {
    const auto value = ini.value(section, key);
    return value ? IntegerFromText(*value).value_or(def) : def;
  };
  const TStoredGroups groups = storedGroups();

  if (groups.contains(sgBasic)) {
    setPort(text("Port", port()));
    setBaudRate(BaudRateFromText(text("BaudRate", BaudRateText(baudRate()))));
    if (baudRate() == brCustom) setCustomBaudRate(integer("CustomBaudRate", 9600));
    setStopBits(StopBitsFromText(text("StopBits", StopBitsText(stopBits()))));
    setDataBits(DataBitsFromText(text("DataBits", DataBitsText(dataBits()))));
    parity().setBits(ParityFromText(text("Parity", ParityText(parity().bits()))));
    // "Custom" leaves the individual flow settings as they are.
    flowControl().setFlowControl(
        FlowControlFromText(text("FlowControl", FlowControlText(flowControl().flowControl()))));
  }
  if (groups.contains(sgOthers)) {
    setEventChar(CharFromText(text("EventChar", CharText(eventChar()))));
    setDiscardNull(YesNoFromText(text("DiscardNull", YesNoText(discardNull()))));
  }
  if (groups.contains(sgParity)) {
    TComParity& p = parity();
    p.setCheck(YesNoFromText(text("Parity.Check", YesNoText(p.check()))));
    p.setReplace(YesNoFromText(text("Parity.Replace", YesNoText(p.replace()))));
    p.setReplaceChar(CharFromText(text("Parity.ReplaceChar", CharText(p.replaceChar()))));
  }
  if (groups.contains(sgBuffer)) {
    TComBuffer& b = buffer();
    b.setOutputSize(integer("Buffer.OutputSize", b.outputSize()));
    b.setInputSize(integer("Buffer.InputSize", b.inputSize()));
  }
  if (groups.contains(sgTimeouts)) {
    TComTimeouts& t = timeouts();
    t.setReadInterval(integer("Timeouts.ReadInterval", t.readInterval()));
    t.setReadTotalConstant(integer("Timeouts.ReadTotalConstant", t.readTotalConstant()));
    t.setReadTotalMultiplier(integer("Timeouts.ReadTotalMultiplier", t.readTotalMultiplier()));
    t.setWriteTotalConstant(integer("Timeouts.WriteTotalConstant", t.writeTotalConstant()));
    t.setWriteTotalMultiplier(integer("Timeouts.WriteTotalMultiplier", t.writeTotalMultiplier()));
  }
  if (groups.contains(sgFlowControl)) {
    TComFlowControl& f = flowControl();
    f.setControlRTS(RTSControlFromText(text("FlowControl.ControlRTS", RTSControlText(f.controlRTS()))));
    f.setControlDTR(DTRControlFromText(text("FlowControl.ControlDTR", DTRControlText(f.controlDTR()))));
    f.setDSRSensitivity(YesNoFromText(text("FlowControl.DSRSensitivity", YesNoText(f.dsrSensitivity()))));
    f.setOutCTSFlow(YesNoFromText(text("FlowControl.OutCTSFlow", YesNoText(f.outCTSFlow()))));
    f.setOutDSRFlow(YesNoFromText(text("FlowControl.OutDSRFlow", YesNoText(f.outDSRFlow()))));
    f.setTxContinueOnXoff(
        YesNoFromText(text("FlowControl.TxContinueOnXoff", YesNoText(f.txContinueOnXoff()))));
    f.setXonXoffIn(YesNoFromText(text("FlowControl.XonXoffIn", YesNoText(f.xonXoffIn()))));
    f.setXonXoffOut(YesNoFromText(text("FlowControl.XonXoffOut", YesNoText(f.xonXoffOut()))));
    f.setXoffChar(CharFromText(text("FlowControl.XoffChar", CharText(f.xoffChar()))));
    f.setXonChar(CharFromText(text("FlowControl.XonChar", CharText(f.xonChar()))));
  }
}

}  // namespace serial
