#pragma once
// The main window: the terminal. It holds nearly all of the terminal's state
// in its own controls (panes, send line, status texts, menu check marks) and
// owns the serial port, the Ethernet link and the three timers.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ByteProcessor.h"
#include "app/CaptureFile.h"
#include "app/MeasurementWindow.h"
#include "automatic/EditorHost.h"
#include "automatic/Sequencer.h"
#include "config/ConfigFile.h"
#include "ethernet/CEthConnection.h"
#include "platform/EventLoop.h"
#include "platform/MessageTarget.h"
#include "readings/Journal.h"
#include "readings/PlantLink.h"
#include "readings/ProgramSettings.h"
#include "readings/ReadingLog.h"
#include "serial/ComPort.h"
#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/Memo.h"
#include "ui/Menu.h"

namespace automatic {
class TForm2;
class TRemainingForm;
}  // namespace automatic
namespace config {
class TConnectionForm;
}
namespace readings {
class TResultsForm;
}

namespace app {

inline constexpr unsigned UM_UPDATE_PORT = platform::kFirstUserMessage + 1;  // 1025
inline constexpr unsigned UM_UPDATE_FILE = platform::kFirstUserMessage + 2;  // 1026

// The reply timeout armed by a send.
inline constexpr int kReplyTimeoutMs = 3000;

// Link states, as LinkState and UM_UPDATE_PORT carry them (closing arrives
// as -1, the low byte 255).
enum LinkStates : std::uint8_t { LinkClosed = 0, LinkConnecting = 1, LinkOpen = 2, LinkClosing = 255 };

// What the main window needs from the program around it.
struct MainWindowServices {
  platform::EventLoop& loop;
  ui::Dialogs& dialogs;
  // The program's directory: config.xml and "Kestrel.ini" live here.
  std::filesystem::path programDir;
  // Ends the program (the message loop returns) without closing the windows.
  std::function<void()> terminate;
};

class TForm1 : public ui::Form,
               public platform::MessageTarget,
               public automatic::EditorHost,
               private ReceiveWindow,
               private CaptureFileView {
 public:
  explicit TForm1(MainWindowServices services);
  ~TForm1() override;

  // Start-up, activation and shutdown.
  void FormCreate();
  void FormActivate();
  void FormClose();
  void Koniec1Click();
  // The session ends from outside (a signal, the end of the Windows session):
  // as "Koniec", and the readings are committed before it returns.
  void EndSession();

  // The reply timeout.
  void Timer2Timer();

  // Option toggles of the menu.
  void WindRowsClick();
  void ZapiszASCIIClick();
  void InsertTimeClick();
  void ChangePointToColonClick();
  void FastWriteClick();
  void Plikrozkazow1Click();
  // Opens the orders editor modally.
  void Ustaw1Click();

  // Layout of the controls in proportion to the window's size.
  void pozycjonowanie();

  // Notification messages, handled on the user-interface thread in posting order.
  void postMessage(unsigned message, std::intptr_t wParam, std::intptr_t lParam = 0) override;
  void OnUpdatePortMessage(std::intptr_t wParam);
  void OnUpdateFileMessage(std::intptr_t wParam);

  // The link's description and state in LabelConnection and btnOpenPort.
  void ShowConnectionState();
  // The line error check, run for each received byte while CheckBox2 is unchecked.
  void sprawdz_transmisje();

  // Sending: the send line with its escapes, over the serial port or Ethernet.
  void btnWyslijClick();
  void Edit1KeyDown(ui::Key key);
  void FormKeyDown(ui::Key key);
  void btnTibboONClick();
  void btnTibboOFFClick();
  // Hands a finished byte string to the Ethernet link.
  virtual void SendOrder(const std::string& bytes);

  using OrderKeyRow = automatic::OrderKeyRow;
  // The order list's rows from row 1 on; wired to the orders editor's grid.
  // Unset, the list is one blank row.
  std::function<std::vector<OrderKeyRow>()> orderListRows;
  // The orders editor, created after this window; it sets itself here.
  automatic::TForm2* Form2 = nullptr;
  // The notification window, created after the editor; it sets itself here.
  automatic::TRemainingForm* RemainingForm = nullptr;

  // The orders editor and the notification window make themselves known.
  void setOrdersEditor(automatic::TForm2* editor, std::function<std::vector<OrderKeyRow>()> rows) override {
    Form2 = editor;
    orderListRows = std::move(rows);
  }
  automatic::TForm2* ordersEditor() const override { return Form2; }
  void setNotificationWindow(automatic::TRemainingForm* window) override { RemainingForm = window; }
  automatic::TRemainingForm* notificationWindow() const override { return RemainingForm; }
  std::string captureFileName() const override { return Capture.name(); }
  ui::Rgb captureFileColor() const override { return LabelFileName.font().color; }
  void chooseCaptureFile(const std::string& name) override { Capture.choose(name); }
  std::string& ordersFileName() override { return ConfigOptions.OrdersFileName; }
  std::string serialPortName() const override { return ComPort1.port(); }

  // The automatic measurement, run by Sequencer: start, one step per tick of
  // Timer1, the countdown on Timer3, stop, the link switch of an order row.
  void Automatyczny1Click() { Sequencer.start(); }
  void Timer1Timer() { Sequencer.step(); }
  void Timer3Timer() { Sequencer.countDown(); }
  void Button6Click() { Sequencer.stop(); }
  void ChangeConnection(int row) { Sequencer.changeConnection(row); }
  // The serial port's device went away: a run going ends as failed, saying so.
  void SerialPortLost() { Sequencer.portLost(); }
  // What a run reports also goes to watcher (null: to the window alone).
  void WatchRun(automatic::RunStatus* watcher) { measurementWindow_.setWatcher(watcher); }
  // The manual send: the send line once, no link switch.
  void PomiarRczny1Click() { btnWyslijClick(); }

  // The readings of the counted reply rows and their window (Readings.cpp);
  // the window is created after this one and sets itself here.
  readings::ReadingLog Readings;
  readings::TResultsForm* ResultsForm = nullptr;
  void Wyniki1Click();
  // The journal of the readings (readings.db) and the program's own settings
  // (terso.ini), beside config.xml; opened by FormCreate. The plant link
  // publishes the journal's readings to the broker of terso.ini; it is
  // started with the journal, woken by its commits, and stopped before the
  // journal closes (it goes after it, as the journal's last commit wakes it).
  std::unique_ptr<readings::ProgramSettings> Settings;
  std::unique_ptr<readings::PlantLink> ReadingsPlantLink;
  std::unique_ptr<readings::Journal> ReadingsJournal;
  void OpenReadingsJournal();
  void StopPlantLink() noexcept;
  // The link the readings come from: the port, or the device server.
  std::string ReadingsLinkName() const;

  // The link's open/close button and the connection settings.
  void btnOpenPortClick();
  void Terso1Click();
  // The serial port opened or closed, also by itself (its device went away).
  void ComPort1AfterOpen(serial::TCustomComPort& Sender);
  void ComPort1AfterClose(serial::TCustomComPort& Sender);
  // The serial line's errors since the last query; none while the port is closed.
  virtual serial::TComErrors QueryLineErrors();
  // The connection dialog, shown modally (ConnectionState.cpp).
  virtual void ShowConnectionDialog();
  // The connection settings dialog, created after this window; main sets it.
  config::TConnectionForm* ConnectionForm = nullptr;

  // The Ethernet link's operations (EthernetLink.cpp).
  virtual void EthToggleConnection(const std::string& host, std::int32_t port);
  virtual void EthSendData(const std::string& bytes);
  void EthAttemptFailed(const std::string& address);

  // The serial port's receive event.
  void ComPort1RxChar(serial::TCustomComPort& Sender, int Count);

  // Receiving: every byte shown in both panes, rows, replies counted (the
  // byte processor Bytes, Receive.cpp).
  void ProcessReceived(const std::string& data, std::size_t count);
  void MemoScrollDown(ui::Memo& pane);
  void Button4Click();

  // Window commands: clear, shrink or restore the panes, print, save both,
  // open such a file, import a file as if its bytes had been received.
  void Button3Click();
  void Button5Click();
  void DrukujASCII1Click();
  void DrukujHEX1Click();
  void Otwrz1Click();
  void Importuj1Click();

  // The capture file's buttons (CaptureLabel.cpp).
  void BitBtnSaveToFileClick();
  void BitBtnClearFileClick();

  // Controls, in the order they are created.
  ui::Bevel Bevel1{"Bevel1"};
  ui::Label Label1{"Label1"};
  ui::Memo Memo1{"Memo1"};
  ui::Memo Memo2{"Memo2"};
  ui::Label StaticText1{"StaticText1"};
  ui::Label StaticText2{"StaticText2"};
  ui::Edit Edit1{"Edit1"};
  ui::Label StaticText3{"StaticText3"};
  ui::Button btnWyslij{"btnWyslij"};
  ui::CheckBox CheckBox1{"CheckBox1"};
  ui::Button btnOpenPort{"btnOpenPort"};
  ui::Label LabelConnection{"LabelConnection"};
  ui::Edit Edit2{"Edit2"};
  ui::Label StaticText4{"StaticText4"};
  ui::CheckBox CheckBox2{"CheckBox2"};
  ui::CheckBox CheckBox3{"CheckBox3"};
  ui::Button Button3{"Button3"};
  ui::Button Button4{"Button4"};
  ui::Button Button5{"Button5"};
  ui::Button Button6{"Button6"};
  ui::Label StaticText5{"StaticText5"};
  ui::Label StaticText6{"StaticText6"};
  ui::Label StaticText7{"StaticText7"};
  ui::Label LabelFileName{"LabelFileName"};
  ui::BitBtn BitBtnSaveToFile{"BitBtnSaveToFile", "save"};
  ui::BitBtn BitBtnClearFile{"BitBtnClearFile", "clear"};
  ui::Edit EditWindRowsString{"EditWindRowsString"};
  ui::RadioGroup rgWindRowsString{"rgWindRowsString"};
  ui::Button btnTibboON{"btnTibboON"};
  ui::Button btnTibboOFF{"btnTibboOFF"};

  // Main menu.
  ui::MenuItem Plik1;
  ui::MenuItem Koniec1;
  ui::MenuItem DrukujASCII1;
  ui::MenuItem DrukujHEX1;
  ui::MenuItem Otwrz1;
  ui::MenuItem Importuj1;
  ui::MenuItem WindRows;
  ui::MenuItem ZapiszASCII;
  ui::MenuItem InsertTime;
  ui::MenuItem ChangePointToColon;
  ui::MenuItem FastWrite;
  ui::MenuItem Terso1;
  ui::MenuItem Tryb1;
  ui::MenuItem Ustaw1;
  ui::MenuItem Automatyczny1;
  ui::MenuItem PomiarRczny1;
  ui::MenuItem Plikrozkazow1;
  // "Tryb" -> "Wyniki": the readings window.
  ui::MenuItem Wyniki1;

  // The serial link.
  serial::TComPort ComPort1;
  // config.xml, and the options read from it (empty until FormCreate).
  config::TConfigFile XMLConfig;
  config::TConfigOptions ConfigOptions;

  // Timers: the automatic measurement's steps, the reply timeout, the
  // countdown. The sequencer owns Timer1 and Timer3.
  platform::Timer* Timer1 = nullptr;
  std::unique_ptr<platform::Timer> Timer2;
  platform::Timer* Timer3 = nullptr;

  // Fields.
  std::string SavedPort;
  // The Ethernet link, from start-up to the close handler.
  std::unique_ptr<ethernet::CEthConnection> EthConn;
  LinkStates LinkState = LinkClosed;
  // The target of the notification messages, from FormCreate on.
  platform::MessageTarget* MainWindowHandle = nullptr;
  std::int32_t SentCount = 0;
  // The window was under 600 pixels high when it was created.
  bool SmallScreen = false;
  // Both panes, or the ASCII pane alone; Button4's caption offers the other.
  enum class PaneView { AsciiHex, AsciiOnly };
  PaneView View = PaneView::AsciiHex;
  // Which parts of the line error report stand in Edit2.
  bool LineErrorShown = false;
  bool FrameErrorShown = false;
  bool ParityErrorShown = false;
  bool TransmissionErrorShown = false;
  void ClearLineErrorFlags();
  bool PanesMinimized = false;

  // The byte processor: the panes and the reply count; both links feed it.
  ByteProcessor Bytes;
  // The capture file, shown in LabelFileName; both links feed it in fast
  // write mode, the byte processor in row mode.
  CaptureFile Capture;

  // The automatic measurement: its state, its counters and its steps. It
  // sees this window only through measurementWindow_, which also shows what
  // it reports.
  MeasurementWindow measurementWindow_{*this};
  automatic::Sequencer Sequencer;

  // The file filter of both file dialogs.
  static std::string FileFilter();
  const std::filesystem::path& programDir() const { return services_.programDir; }
  platform::EventLoop& loop() { return services_.loop; }
  ui::Dialogs& dialogs() override { return services_.dialogs; }

 private:
  // What the byte processor reads and calls (Receive.cpp).
  ReceiveSettings receiveSettings() const override;
  void showReplyCount() override;
  bool storeRow(std::string_view ascii, std::string_view hex) override;
  void checkLine() override;
  // What the capture file reads and calls (CaptureLabel.cpp).
  CaptureOptions captureOptions() const override;
  void showCaptureFile() override;
  void postFileNotice(int notice) override;

  void buildControls();
  void buildMenu();
  void terminateApplication() noexcept;
  void toggleOption(ui::MenuItem& item, bool& option);
  void disconnectSerial() noexcept;
  // Creates and destroys the Ethernet link object (EthernetLink.cpp).
  void CreateEthernetLink();
  void DestroyEthernetLink();
  // "Kestrel.ini" in the program's directory; failures are ignored.
  void RestoreSerialSettings() noexcept;
  void SaveSerialSettings() noexcept;

  MainWindowServices services_;
  // "Koniec" has ended the program: a later close saves nothing.
  bool ended_ = false;
  // Clicks of btnOpenPort so far: the connection dialog's buttons click it.
  unsigned openClicks_ = 0;
};

}  // namespace app
