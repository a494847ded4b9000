#include "app/TForm1.h"

#include "platform/Cp1250.h"
#include "platform/PathText.h"

namespace app {

using platform::pl;

namespace {

// The window's design size; it is created at this size and maximised at
// activation.
constexpr int kDesignWidth = 696;
constexpr int kDesignHeight = 479;

ui::Font makeFont(const char* name, int size, bool bold, ui::Rgb color = ui::Color::WindowText) {
  return ui::Font{name, size, bold, color};
}

}  // namespace

TForm1::TForm1(MainWindowServices services)
    : ui::Form("Form1"),
      Plik1("Plik1", pl("&Plik")),
      Koniec1("Koniec1", pl("Koniec"), "Ctrl+X"),
      DrukujASCII1("DrukujASCII1", pl("Drukuj  "), "Ctrl+D"),
      DrukujHEX1("DrukujHEX1", pl("Zapisz wszystko"), "Ctrl+S"),
      Otwrz1("Otwrz1", pl("Otwórz"), "Ctrl+O"),
      Importuj1("Importuj1", pl("Importuj"), "Ctrl+I"),
      WindRows("WindRows", pl("Zawijaj wiersze")),
      ZapiszASCII("ZapiszASCII", pl("Zapisz ASCII")),
      InsertTime("InsertTime", pl("Wstawiaj czas")),
      ChangePointToColon("ChangePointToColon", pl("Zamieniaj '.' na ','")),
      FastWrite("FastWrite", pl("Szybki zapis")),
      Terso1("Terso1", pl("P&ołączenie")),
      Tryb1("Tryb1", pl("&Tryb")),
      Ustaw1("Ustaw1", pl("Ustaw"), "Ctrl+U"),
      Automatyczny1("Automatyczny1", pl("Pomiar Automatyczny"), "Ctrl+A"),
      PomiarRczny1("PomiarRczny1", pl("Pomiar Ręczny"), "Ctrl+R"),
      Plikrozkazow1("Plikrozkazow1", pl("Plik rozkazów:")),
      Wyniki1("Wyniki1", pl("Wyniki"), "Ctrl+W"),
      ComPort1(services.loop, "ComPort1"),
      XMLConfig(platform::utf8Path(services.programDir)),
      Bytes(*this, Memo1, Memo2, services.loop, Readings),
      Capture(services.loop, *this),
      Sequencer(services.loop, measurementWindow_, measurementWindow_),
      services_(std::move(services)) {
  setCaption(pl("Komunikacja przez złącze szeregowe RS-232 v9E"));
  setBounds(0, 0, kDesignWidth, kDesignHeight);
  setKeyPreview(true);
  buildControls();
  buildMenu();
  Timer1 = &Sequencer.stepTimer();
  Timer2 = loop().createTimer();
  Timer3 = &Sequencer.countdownTimer();
  Timer2->setOnTimer([this] { Timer2Timer(); });
  onActivate = [this] { FormActivate(); };
  onClose = [this] { FormClose(); };
  // The window reaches its maximised size only after the window system has
  // resized it: lay the controls out again at the size it really has.
  onResize = [this] { pozycjonowanie(); };
}

TForm1::~TForm1() {
  // The port closes as the window's members go; the window no longer follows it.
  ComPort1.OnAfterOpen = nullptr;
  ComPort1.OnAfterClose = nullptr;
  StopPlantLink();
}

std::string TForm1::FileFilter() {
  return pl("pliki tekstowe|*.txt|wszystkie pliki|*.*");
}

// The design-time state of every control: captions, fonts, colours and the
// sizes the layout leaves as they are.
void TForm1::buildControls() {
  Bevel1.setBounds(0, 3, kDesignWidth, 2);
  Label1.setCaption("-");
  Label1.setBounds(8, 8, 4, 13);

  Memo1.setFont(makeFont("Courier New", 8, true));
  Memo1.setBounds(35, 24, 160, 287);
  Memo2.setFont(makeFont("Monotxt", 8, true));
  Memo2.setBounds(230, 24, 452, 287);
  // A flooded HEX pane would hold over three bytes of text per byte received.
  Memo2.setPackedHexPairs(true);
  Memo2.setPairSource(&Memo1);
  StaticText1.setCaption("ASCII");
  StaticText1.setBounds(35, 8, 31, 17);
  StaticText2.setCaption("HEX");
  StaticText2.setBounds(230, 8, 25, 17);

  Edit1.setFont(makeFont("MS Sans Serif", 8, false, ui::Color::Red));
  Edit1.setBounds(35, 367, 487, 21);
  StaticText3.setCaption(pl("Znaki do wysłania"));
  StaticText3.setBounds(35, 350, 92, 17);
  btnWyslij.setCaption(pl("Wyślij z&naki"));
  btnWyslij.setBounds(104, 320, 75, 25);
  CheckBox1.setCaption("CR/LF");
  CheckBox1.setChecked(true);
  CheckBox1.setBounds(536, 367, 57, 17);
  btnOpenPort.setCaption(pl("&Otwórz port"));
  btnOpenPort.setBounds(35, 320, 75, 25);
  LabelConnection.setCaption("LabelConnection");
  LabelConnection.setFont(makeFont("MS Sans Serif", 8, true));
  LabelConnection.setBounds(35, 351, 97, 17);

  Edit2.setFont(makeFont("MS Sans Serif", 8, true, ui::Color::Red));
  Edit2.setBounds(35, 412, 278, 21);
  StaticText4.setCaption(pl("Komunikaty o błędach"));
  StaticText4.setBounds(35, 395, 112, 17);
  CheckBox2.setCaption(pl("Wyłączone"));
  CheckBox2.setChecked(true);
  CheckBox2.setBounds(168, 395, 80, 17);
  CheckBox3.setCaption(pl("Włączony czas odpowiedzi"));
  CheckBox3.setBounds(280, 395, 160, 17);

  Button3.setCaption(pl("&Wyczyść okna"));
  Button3.setBounds(188, 320, 75, 25);
  Button4.setCaption(pl("&Tylko ASCII"));
  Button4.setBounds(272, 320, 75, 25);
  Button4.onClick = [this] { Button4Click(); };
  Button3.onClick = [this] { Button3Click(); };
  Button5.onClick = [this] { Button5Click(); };
  Button5.setCaption(pl("Minimalizuj okna"));
  Button5.setBounds(330, 412, 100, 25);
  Button6.setCaption("Stop");
  Button6.setVisible(false);
  Button6.onClick = [this] { Button6Click(); };
  Button6.setBounds(460, 412, 100, 25);

  const ui::Font status = makeFont("MS Sans Serif", 8, true, ui::Color::Red);
  StaticText5.setFont(status);
  StaticText5.setBounds(420, 350, 140, 17);
  StaticText6.setFont(status);
  StaticText6.setBounds(80, 8, 140, 17);
  StaticText7.setFont(status);
  StaticText7.setBounds(270, 350, 140, 17);
  LabelFileName.setFont(makeFont("MS Sans Serif", 8, false, ui::Color::Red));
  showCaptureFile();
  LabelFileName.setBounds(330, 8, 200, 17);
  BitBtnSaveToFile.setBounds(270, 2, 25, 25);
  BitBtnClearFile.setBounds(295, 2, 25, 25);

  EditWindRowsString.setBounds(608, 367, 40, 21);
  rgWindRowsString.setCaption(pl("Ciąg zawijania wierszy"));
  rgWindRowsString.setItems({pl("znak początku wiersza"), pl("znak końca wiersza")});
  rgWindRowsString.setItemIndex(0);
  rgWindRowsString.setBounds(540, 300, 150, 57);
  btnTibboON.setCaption(pl("Włącz Tibbo"));
  btnTibboON.setBounds(356, 320, 75, 25);
  btnTibboOFF.setCaption(pl("Wyłącz Tibbo"));
  btnTibboOFF.setBounds(440, 320, 75, 25);

  for (ui::Control* c : std::initializer_list<ui::Control*>{&Bevel1,
                                                            &Label1,
                                                            &Memo1,
                                                            &Memo2,
                                                            &StaticText1,
                                                            &StaticText2,
                                                            &Edit1,
                                                            &StaticText3,
                                                            &btnWyslij,
                                                            &CheckBox1,
                                                            &btnOpenPort,
                                                            &LabelConnection,
                                                            &Edit2,
                                                            &StaticText4,
                                                            &CheckBox2,
                                                            &CheckBox3,
                                                            &Button3,
                                                            &Button4,
                                                            &Button5,
                                                            &Button6,
                                                            &StaticText5,
                                                            &StaticText6,
                                                            &StaticText7,
                                                            &LabelFileName,
                                                            &BitBtnSaveToFile,
                                                            &BitBtnClearFile,
                                                            &EditWindRowsString,
                                                            &rgWindRowsString,
                                                            &btnTibboON,
                                                            &btnTibboOFF})
    addControl(*c);
  setInitialFocus(btnOpenPort);

  btnWyslij.onClick = [this] { btnWyslijClick(); };
  Edit1.onKeyDown = [this](ui::Key key) { Edit1KeyDown(key); };
  onKeyDown = [this](ui::Key key) { FormKeyDown(key); };
  btnTibboON.onClick = [this] { btnTibboONClick(); };
  btnTibboOFF.onClick = [this] { btnTibboOFFClick(); };
  // The wrap character and position are kept as the operator changes them, so
  // that the next activation shows them again rather than the stored ones.
  EditWindRowsString.onChange = [this] { ConfigOptions.WindRowChar = EditWindRowsString.text(); };
  rgWindRowsString.onClick = [this] {
    ConfigOptions.WindRowMode = static_cast<std::int8_t>(rgWindRowsString.itemIndex());
  };
  btnOpenPort.onClick = [this] { btnOpenPortClick(); };
  BitBtnSaveToFile.onClick = [this] { BitBtnSaveToFileClick(); };
  BitBtnClearFile.onClick = [this] { BitBtnClearFileClick(); };
  ComPort1.OnRxChar = [this](serial::TCustomComPort& sender, int count) { ComPort1RxChar(sender, count); };
  ComPort1.OnAfterOpen = [this](serial::TCustomComPort& sender) { ComPort1AfterOpen(sender); };
  ComPort1.OnAfterClose = [this](serial::TCustomComPort& sender) { ComPort1AfterClose(sender); };
}

void TForm1::buildMenu() {
  for (ui::MenuItem* item : {&Koniec1, &DrukujASCII1, &DrukujHEX1, &Otwrz1, &Importuj1, &WindRows,
                             &ZapiszASCII, &InsertTime, &ChangePointToColon, &FastWrite})
    Plik1.add(*item);
  ZapiszASCII.setChecked(true);
  Tryb1.add(Ustaw1).add(Automatyczny1).add(PomiarRczny1).add(Wyniki1);
  Plikrozkazow1.setHasImage(true);
  for (ui::MenuItem* top : {&Plik1, &Terso1, &Tryb1, &Plikrozkazow1}) addMenu(*top);

  Koniec1.onClick = [this] { Koniec1Click(); };
  WindRows.onClick = [this] { WindRowsClick(); };
  ZapiszASCII.onClick = [this] { ZapiszASCIIClick(); };
  InsertTime.onClick = [this] { InsertTimeClick(); };
  ChangePointToColon.onClick = [this] { ChangePointToColonClick(); };
  FastWrite.onClick = [this] { FastWriteClick(); };
  Ustaw1.onClick = [this] { Ustaw1Click(); };
  Automatyczny1.onClick = [this] { Automatyczny1Click(); };
  PomiarRczny1.onClick = [this] { PomiarRczny1Click(); };
  Wyniki1.onClick = [this] { Wyniki1Click(); };
  Plikrozkazow1.onClick = [this] { Plikrozkazow1Click(); };
  Terso1.onClick = [this] { Terso1Click(); };
  DrukujASCII1.onClick = [this] { DrukujASCII1Click(); };
  DrukujHEX1.onClick = [this] { DrukujHEX1Click(); };
  Otwrz1.onClick = [this] { Otwrz1Click(); };
  Importuj1.onClick = [this] { Importuj1Click(); };
}

void TForm1::postMessage(unsigned message, std::intptr_t wParam, std::intptr_t) {
  loop().post([this, message, wParam] {
    if (message == UM_UPDATE_PORT)
      OnUpdatePortMessage(wParam);
    else if (message == UM_UPDATE_FILE)
      OnUpdateFileMessage(wParam);
  });
}

void TForm1::FormCreate() {
  // The window handle, target of the notification messages.
  MainWindowHandle = this;
  // The serial settings of "Kestrel.ini"; its [Devices] section also maps
  // port names to devices.
  ComPort1.setStoredGroups(serial::TStoredGroups{serial::sgBasic});
  ComPort1.setDeviceMapFile(platform::utf8Path(programDir() / "Kestrel.ini"));
  RestoreSerialSettings();
  SavedPort = ComPort1.port();
  // All three timers idle.
  Timer1->setInterval(0);
  Timer2->setInterval(0);
  Timer3->setInterval(0);
  PanesMinimized = false;
  repaint();
  Bytes.restart();
  // The panes' font size follows the window's height at creation.
  SmallScreen = height() < 600;
  for (ui::Memo* pane : {&Memo1, &Memo2}) {
    ui::Font f = pane->font();
    f.size = SmallScreen ? 8 : 7;
    pane->setFont(f);
  }
  ClearLineErrorFlags();
  Sequencer.resetCounters();
  CreateEthernetLink();
  LinkState = LinkClosed;
  // The options of config.xml.
  XMLConfig.OpenConfig();
  XMLConfig.LoadConfig(ConfigOptions);
  OpenReadingsJournal();
}

void TForm1::FormActivate() {
  setWindowState(ui::WindowState::Maximized);
  repaint();
  pozycjonowanie();
  const config::TConfigOptions& options = ConfigOptions;
  Plikrozkazow1.setCaption(options.OrdersFileName);
  ShowConnectionState();
  WindRows.setChecked(options.WindRow);
  // A stored mode above 1 selects the second item, one below -1 selects none.
  const int mode = options.WindRowMode;
  rgWindRowsString.setItemIndex(mode > 1 ? 1 : mode < -1 ? -1 : mode);
  EditWindRowsString.setText(options.WindRowChar);
  ZapiszASCII.setChecked(options.SaveASCII);
  InsertTime.setChecked(options.InsertTime);
  ChangePointToColon.setChecked(options.ChangePointToColon);
  FastWrite.setChecked(options.FastWrite);
}

void TForm1::FormClose() {
  // After "Koniec" the window may still be closed on the way out; nothing of
  // the session is saved then.
  if (ended_) return;
  disconnectSerial();
  Capture.closeAtExit();
  ShowConnectionState();
  SaveSerialSettings();
  config::TConfigOptions& options = ConfigOptions;
  options.WindRow = WindRows.checked();
  options.WindRowMode = static_cast<std::int8_t>(rgWindRowsString.itemIndex());
  options.WindRowChar = EditWindRowsString.text();
  options.SaveASCII = ZapiszASCII.checked();
  options.InsertTime = InsertTime.checked();
  options.ChangePointToColon = ChangePointToColon.checked();
  options.FastWrite = FastWrite.checked();
  DestroyEthernetLink();
  const config::SaveConfigResult saved = XMLConfig.SaveConfig(options);
  if (!saved.notice.empty())
    dialogs().messageBox(saved.notice, pl("Tersov9"), ui::MessageIcon::Warning, ui::MessageButton::Ok);
  terminateApplication();
}

void TForm1::Koniec1Click() {
  ended_ = true;
  disconnectSerial();
  Capture.closeAtExit();
  ShowConnectionState();
  terminateApplication();
}

void TForm1::EndSession() {
  if (ended_) return;
  Koniec1Click();
  if (ReadingsJournal) ReadingsJournal->flush();
}

void TForm1::disconnectSerial() noexcept {
  try {
    ComPort1.Disconnect();
  } catch (...) {
    // Closing the port at the way out never stops the way out.
  }
}

void TForm1::RestoreSerialSettings() noexcept {
  try {
    ComPort1.RestoreSettings(serial::storeIniFile, platform::utf8Path(programDir() / "Kestrel.ini"));
  } catch (...) {
    // A missing or unreadable file leaves the design-time settings.
  }
}

void TForm1::SaveSerialSettings() noexcept {
  std::string keptCopy;
  try {
    ComPort1.SaveSettings(serial::storeIniFile, platform::utf8Path(programDir() / "Kestrel.ini"), &keptCopy);
  } catch (...) {
    // The way out goes on; the old file is left as it was.
  }
  if (keptCopy.empty()) return;
  // The file could not be read and was replaced: say once where its old
  // content went.
  try {
    dialogs().messageBox(pl("Nie można było odczytać pliku Kestrel.ini; jego poprzednia zawartość "
                            "została zachowana w pliku ") +
                             platform::utf8Path(platform::pathFromUtf8(keptCopy).filename()),
                         "RS-232", ui::MessageIcon::Warning, ui::MessageButton::Ok);
  } catch (...) {
    // The way out goes on even when the notice cannot be shown.
  }
}

void TForm1::terminateApplication() noexcept {
  try {
    if (services_.terminate) services_.terminate();
  } catch (...) {
    // An error while terminating is ignored.
  }
}

void TForm1::Timer2Timer() {
  Sequencer.holdSteps();
  Timer2->setInterval(0);
  dialogs().messageBox(pl("Brak komunikacji z wagą !"), "RS-232", ui::MessageIcon::None,
                       ui::MessageButton::Ok | ui::MessageButton::Cancel);
  Sequencer.resumeSteps();
}

// A toggle keeps its new state in ConfigOptions at once: every activation of
// the window sets the marks from there.
void TForm1::toggleOption(ui::MenuItem& item, bool& option) {
  item.setChecked(!item.checked());
  option = item.checked();
}

void TForm1::WindRowsClick() {
  toggleOption(WindRows, ConfigOptions.WindRow);
}
void TForm1::ZapiszASCIIClick() {
  toggleOption(ZapiszASCII, ConfigOptions.SaveASCII);
}
void TForm1::InsertTimeClick() {
  toggleOption(InsertTime, ConfigOptions.InsertTime);
}
void TForm1::ChangePointToColonClick() {
  toggleOption(ChangePointToColon, ConfigOptions.ChangePointToColon);
}

void TForm1::Plikrozkazow1Click() {
  Ustaw1.click();
}

void TForm1::ClearLineErrorFlags() {
  LineErrorShown = FrameErrorShown = ParityErrorShown = TransmissionErrorShown = false;
}

}  // namespace app
