// The capture file. In row mode each finished row of the panes becomes one
// line, with the file opened and closed for every line, so nothing is held
// open between replies. In fast write mode received chunks skip the panes and
// go, as they came, into a file that stays open, through a buffer that is
// written out at least once a second; a crash or a killed process loses at
// most the last second.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "app/TForm1.h"
#include "automatic/CaptureFileName.h"
#include "platform/CaptureWriter.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/WholeFile.h"

namespace app {

using platform::pl;

namespace {

constexpr int kFlushIntervalMs = 1000;
constexpr auto kNoticeInterval = std::chrono::seconds(1);

const std::string& noFileText() {
  static const std::string text = pl("Nie wybrano pliku");
  return text;
}

// Leading and trailing characters with codes up to 32 (spaces, CR, LF, TAB
// and the other control characters) go.
std::string_view trimmed(std::string_view s) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0, end = s.size();
  while (begin < end && blank(s[begin])) ++begin;
  while (end > begin && blank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Captions are Windows-1250; the file system's names are UTF-8.
std::string nativePath(const std::string& caption) {
  return platform::cp1250ToUtf8(caption);
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(platform::pathFromUtf8(path), error);
}

// A row file is about to be started anew: what an earlier run left in it is
// kept aside under the first free backup name, and the label's hint says so.
// When no copy can be made the rows go on at the file's end instead: nothing
// that was in it is lost. Returns how to open the file.
platform::OpenMode keepEarlierCapture(TForm1& form, const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(platform::pathFromUtf8(path), error);
  if (error || size == 0) return platform::OpenMode::Create;
  const std::optional<std::string> backup = platform::freeBackupName(path);
  if (backup && platform::renameFile(path, *backup) == 0) {
    form.LabelFileName.setHint(pl("Poprzednią zawartość pliku ") + platform::utf8ToCp1250(path) +
                               pl(" zachowano w pliku ") + platform::utf8ToCp1250(*backup));
    return platform::OpenMode::Create;
  }
  form.LabelFileName.setHint(pl("Nie można zachować kopii pliku ") + platform::utf8ToCp1250(path) +
                             pl("; nowe wiersze są dopisywane na jego końcu"));
  return platform::OpenMode::Append;
}

// Puts the stamps into a fast-write chunk, from the line ends it sees: one
// where a line starts with the chunk, and one after each CR LF inside it. A
// line feed that ends the chunk leaves the stamp of the next line to the next
// chunk, and a CR LF split between two chunks gets none.
void stampChunk(std::string_view chunk, std::string_view stamp, bool& lineStart, std::string& out) {
  out.clear();
  out.reserve(chunk.size() + stamp.size() * 4);
  if (lineStart) {
    out += stamp;
    lineStart = false;
  }
  const bool endsWithLf = !chunk.empty() && chunk.back() == '\n';
  if (endsWithLf) {
    chunk.remove_suffix(1);
    lineStart = true;
  }
  std::size_t from = 0;
  while (from < chunk.size()) {
    const void* found = std::memchr(chunk.data() + from, '\n', chunk.size() - from);
    if (!found) break;
    const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(found) - chunk.data());
    out.append(chunk.data() + from, lf + 1 - from);
    if (lf > 0 && chunk[lf - 1] == '\r') out += stamp;
    from = lf + 1;
  }
  out.append(chunk.data() + from, chunk.size() - from);
  if (endsWithLf) out += '\n';
}

// The label shows a failing capture file: red, the reason in its hint.
void showFailing(TForm1& form, const std::string& reason) {
  form.LabelFileName.setFontColor(ui::Color::Red);
  form.LabelFileName.setHint(reason);
}

// A write got through, or the operator chose or cleared the file: the failure
// is over, and the next one is shown again.
void endFailure(TForm1& form) {
  CaptureValues& cap = form.Bytes.Capture;
  if (!cap.CaptureFailure.active) return;
  cap.CaptureFailure = {};
  form.LabelFileName.setHint({});
  form.LabelFileName.setFontColor(cap.CaptureFileOpen        ? ui::Color::Green
                                  : form.CaptureFileChosen() ? ui::Color::Black
                                                             : ui::Color::Red);
}

// Whether a failure goes on with the one being shown; otherwise it starts a
// new one, which the caller shows.
bool continuesFailure(TForm1& form, const std::string& path, int error, const std::string& reason) {
  CaptureValues& cap = form.Bytes.Capture;
  if (cap.CaptureFailure.active && cap.CaptureFailure.path == path && cap.CaptureFailure.error == error)
    return true;
  cap.CaptureFailure = CaptureFailureEpisode{true, path, error};
  showFailing(form, reason);
  return false;
}

// The fast-write file vanished from its path (removed, or its folder): what
// went into it is gone with it, and the writer waits to create it anew. The
// operator is told once, after the handler, with the path; a later failure to
// create the file there for want of its folder is the same failure.
void reportVanished(TForm1& form) {
  CaptureValues& cap = form.Bytes.Capture;
  if (!cap.CaptureFile.takeVanished()) return;
  const std::string path = cap.CaptureFile.path();
  const std::string message =
      pl("Plik zapisu ") + platform::utf8ToCp1250(path) +
      pl(" zniknął z dysku (usunięty lub przeniesiony). Dalsze dane trafią do nowego pliku o tej "
         "nazwie, gdy tylko będzie można go utworzyć.");
  if (continuesFailure(form, path, ENOENT, message)) return;
  platform::EventLoop& loop = form.loop();
  loop.post([&loop, message] { loop.reportError(message); });
}

// What a write of the capture file is, for telling its failure and success.
enum class CaptureStep {
  Buffered,  // through the fast-write buffer: a success only when bytes got out
  ToDisk,    // a row: a success puts it in the file
  Closing,   // closing the fast-write file: a failure says what was lost
};

// Runs one write of the capture file. The first failure of an episode goes on
// to the general error report; the same failure again is not shown again
// (false is returned, nothing was written). A failed close always goes on.
template <typename Write>
bool captureWrite(TForm1& form, CaptureStep step, Write&& write) {
  CaptureValues& cap = form.Bytes.Capture;
  const std::uint64_t writeOuts = cap.CaptureFile.writeOuts();
  try {
    write();
  } catch (const platform::FileWriteError& e) {
    reportVanished(form);
    const bool shown = continuesFailure(form, e.path(), e.error(), e.what());
    if (shown && step != CaptureStep::Closing) return false;
    throw;
  }
  reportVanished(form);
  if (step != CaptureStep::Buffered || cap.CaptureFile.writeOuts() != writeOuts) endFailure(form);
  return true;
}

// Closes the fast-write file because the program moves on to another file or
// to the row writer: the two writers never hold one file open at once. The
// label goes on naming the chosen file, no longer as an open one.
void leaveFastWriteFile(TForm1& form) {
  CaptureValues& cap = form.Bytes.Capture;
  if (!cap.CaptureFileOpen) return;
  cap.CaptureFileOpen = false;
  cap.CaptureFileCaption.clear();
  if (form.CaptureFlushTimer) form.CaptureFlushTimer->setInterval(0);
  form.LabelFileName.setColor(ui::Color::ButtonFace);
  if (form.CaptureFileChosen() && !cap.CaptureFailure.active)
    form.LabelFileName.setFontColor(ui::Color::Black);
  captureWrite(form, CaptureStep::Closing, [&] { cap.CaptureFile.close(); });
}

}  // namespace

bool TForm1::CaptureFileChosen() const {
  return LabelFileName.caption() != noFileText();
}

void TForm1::StoreReply() {
  if (!CaptureFileChosen()) return;
  std::string line(trimmed(Memo1.text()));
  if (ChangePointToColon.checked()) std::replace(line.begin(), line.end(), '.', ',');
  if (!ZapiszASCII.checked()) {
    line += '\t';
    line += trimmed(Memo2.text());
  }
  // A row that was not written stays in the panes.
  if (!WriteCaptureLine(line)) return;
  Memo1.clear();
  Memo2.clear();
}

bool TForm1::WriteCaptureLine(const std::string& line) {
  CaptureValues& cap = Bytes.Capture;
  if (!CaptureFileChosen()) return false;
  leaveFastWriteFile(*this);
  const std::string path = nativePath(LabelFileName.caption());
  std::string bytes;
  bytes.reserve(line.size() + 2);
  bytes += line;
  bytes += "\r\n";
  // Appending creates a file that is missing (another file was chosen, or it
  // was removed) rather than failing for want of it.
  platform::OpenMode mode = platform::OpenMode::Append;
  if (!cap.CaptureFileExists)
    mode = path == cap.ReplaceConfirmed ? platform::OpenMode::Create : keepEarlierCapture(*this, path);
  const bool written =
      captureWrite(*this, CaptureStep::ToDisk, [&] { platform::writeFileOnce(path, bytes, mode); });
  if (written) {
    cap.CaptureFileExists = fileExists(path);
    cap.ReplaceConfirmed.clear();
  }
  return written;
}

void TForm1::FastWriteData(const std::string& data) {
  CaptureValues& cap = Bytes.Capture;
  if (!CaptureFileChosen()) return;
  const std::string& caption = LabelFileName.caption();
  // An order or the orders editor may have named another file meanwhile.
  if (cap.CaptureFileOpen && caption != cap.CaptureFileCaption) leaveFastWriteFile(*this);
  if (!cap.CaptureFileOpen) {
    const std::string path = nativePath(caption);
    if (!captureWrite(*this, CaptureStep::Buffered,
                      [&] { cap.CaptureFile.open(path, platform::OpenMode::Append); }))
      return;
    cap.CaptureFileOpen = true;
    cap.CaptureFileCaption = caption;
    cap.CaptureLineStart = true;
    cap.LastFileNotice = loop().now();
    postMessage(UM_UPDATE_FILE, 1);
  }

  const platform::WallClock::time_point now = loop().now();
  if (InsertTime.checked()) {
    // The line state moves on only with a chunk that was taken.
    bool lineStart = cap.CaptureLineStart;
    stampChunk(data, cap.lineStamp.at(now), lineStart, cap.stampedChunk);
    if (captureWrite(*this, CaptureStep::Buffered, [&] { cap.CaptureFile.write(cap.stampedChunk); }))
      cap.CaptureLineStart = lineStart;
  } else {
    captureWrite(*this, CaptureStep::Buffered, [&] { cap.CaptureFile.write(data); });
  }

  if (!CaptureFlushTimer) {
    CaptureFlushTimer = loop().createTimer();
    // Runs on while a write-out fails, so the buffer gets out as soon as it
    // can, with no more data coming.
    CaptureFlushTimer->setOnTimer([this] {
      CaptureValues& cap = Bytes.Capture;
      if (cap.CaptureFileOpen) captureWrite(*this, CaptureStep::Buffered, [&] { cap.CaptureFile.flush(); });
      if (!cap.CaptureFileOpen || cap.CaptureFile.pending() == 0) CaptureFlushTimer->setInterval(0);
    });
  }
  // A running period goes on: the oldest buffered byte waits a second at most.
  if (cap.CaptureFile.pending() != 0) CaptureFlushTimer->setInterval(kFlushIntervalMs);

  if (now - cap.LastFileNotice > kNoticeInterval) {
    cap.LastFileNotice = now;
    // The label blinks for data that reached the file, never for a failing one.
    if (captureWrite(*this, CaptureStep::Buffered, [&] { cap.CaptureFile.flush(); }) &&
        !cap.CaptureFailure.active)
      postMessage(UM_UPDATE_FILE, 2);
  }
}

void TForm1::CloseCaptureFile() {
  CaptureValues& cap = Bytes.Capture;
  if (!cap.CaptureFileOpen) return;
  cap.CaptureFileOpen = false;
  cap.CaptureFileCaption.clear();
  if (CaptureFlushTimer) CaptureFlushTimer->setInterval(0);
  postMessage(UM_UPDATE_FILE, 0);
  captureWrite(*this, CaptureStep::Closing, [&] { cap.CaptureFile.close(); });
}

void TForm1::CloseCaptureFileAtExit() noexcept {
  try {
    CloseCaptureFile();
  } catch (const std::exception& e) {
    loop().reportError(e.what());
  } catch (...) {
    // Nothing may stop the way out.
    loop().reportError(pl("Nie można zamknąć pliku zapisu"));
  }
}

void TForm1::BitBtnSaveToFileClick() {
  ui::FileDialogRequest request;
  request.filter = FileFilter();
  request.confirmOverwrite = true;
  if (CaptureFileChosen()) request.fileName = LabelFileName.caption();
  const std::optional<std::string> chosen = dialogs().saveFileName(request);
  if (!chosen) return;
  endFailure(*this);

  if (chosen->empty() || (*chosen)[0] == '.') {
    LabelFileName.setCaption(noFileText());
    LabelFileName.setFontColor(ui::Color::Red);
    EthSetFastWriteMode(false);
    CloseCaptureFile();
    return;
  }
  LabelFileName.setCaption(automatic::captureFileName(*chosen));
  LabelFileName.setFontColor(ui::Color::Black);
  // The dialog asked before replacing the very file the rows go to.
  Bytes.Capture.ReplaceConfirmed = LabelFileName.caption() == *chosen ? nativePath(*chosen) : std::string();
  EthSetFastWriteMode(FastWrite.checked());
  // Chunks go into the newly chosen file from now on.
  leaveFastWriteFile(*this);
}

void TForm1::BitBtnClearFileClick() {
  endFailure(*this);
  LabelFileName.setCaption(noFileText());
  LabelFileName.setFontColor(ui::Color::Red);
  // Ethernet chunks go to the panes again, as serial ones do.
  EthSetFastWriteMode(false);
  CloseCaptureFile();
}

void TForm1::FastWriteClick() {
  toggleOption(FastWrite, ConfigOptions.FastWrite);
  EthSetFastWriteMode(FastWrite.checked() && CaptureFileChosen());
  // The row writer takes over: the file is written out and closed now.
  if (!FastWrite.checked()) leaveFastWriteFile(*this);
}

void TForm1::OnUpdateFileMessage(std::intptr_t wParam) {
  CaptureValues& cap = Bytes.Capture;
  ui::Font font = LabelFileName.font();
  font.bold = true;
  switch (wParam) {
    case 0:
      font.color = ui::Color::Red;
      LabelFileName.setColor(ui::Color::ButtonFace);
      break;
    case 1:
      font.color = ui::Color::Green;
      break;
    case 2:
      // One blink step per notice.
      LabelFileName.setColor(LabelFileName.color() == ui::Color::ButtonFace ? ui::Color::Yellow
                                                                            : ui::Color::ButtonFace);
      break;
    default:
      break;
  }
  // A failing file stays red until a write gets through.
  if (cap.CaptureFailure.active) font.color = ui::Color::Red;
  LabelFileName.setFont(font);
}

}  // namespace app
