#pragma once
// "Kestrel.ini" in a program folder whose [Devices] section maps port names
// (COM7, ...) to device paths, and the three windows of the program built on
// such a folder with COM7 as the operator's port.
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "support/TempDir.h"

namespace testing_support {

using PortMap = std::vector<std::pair<std::string, std::string>>;

inline void writeDeviceMap(const std::filesystem::path& programDir, const PortMap& ports) {
  std::string text = "[Devices]\r\n";
  for (const auto& [name, device] : ports) text += name + "=" + device + "\r\n";
  TempDir::write(programDir / "Kestrel.ini", text);
}

// Maps COM7 to the scale's device (then the other ports given), creates the
// main window as at the program's start with COM7 chosen and remembered, and
// the orders editor and notification window on it. The editor's FormCreate
// is left to the caller, who may name an orders file first.
template <typename Form>
void buildScaleWindows(const app::MainWindowServices& services, const std::string& scaleDevice,
                       std::unique_ptr<Form>& form, std::unique_ptr<automatic::TForm2>& editor,
                       std::unique_ptr<automatic::TRemainingForm>& notification, PortMap otherPorts = {}) {
  otherPorts.insert(otherPorts.begin(), {"COM7", scaleDevice});
  writeDeviceMap(services.programDir, otherPorts);
  form = std::make_unique<Form>(services);
  form->FormCreate();
  form->ComPort1.setPort("COM7");
  form->SavedPort = "COM7";
  editor = std::make_unique<automatic::TForm2>(*form);
  notification = std::make_unique<automatic::TRemainingForm>(*form);
}

}  // namespace testing_support
