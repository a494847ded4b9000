#include "app/CaptureFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>

#include "automatic/CaptureFileName.h"
#include "platform/Cp1250.h"
#include "platform/LocalTime.h"
#include "platform/PathText.h"
#include "platform/WholeFile.h"

namespace app {

using platform::pl;

namespace {

constexpr int kFlushIntervalMs = 1000;
constexpr auto kNoticeInterval = std::chrono::seconds(1);

// Leading and trailing characters with codes up to 32 (spaces, CR, LF, TAB
// and the other control characters) go.
std::string_view trimmed(std::string_view s) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0, end = s.size();
  while (begin < end && blank(s[begin])) ++begin;
  while (end > begin && blank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// Names are Windows-1250, as the operator sees them; the file system's are UTF-8.
std::string nativePath(const std::string& name) {
  return platform::cp1250ToUtf8(name);
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(platform::pathFromUtf8(path), error);
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

}  // namespace

const std::string& LineStamp::at(platform::WallClock::time_point now) {
  const std::time_t second = platform::WallClock::to_time_t(now);
  if (text_.empty() || second != second_) {
    const std::tm local = platform::localTime(second);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d\t%H:%M:%S\t", &local);
    text_.assign(text, n);
    second_ = second;
  }
  return text_;
}

CaptureFile::CaptureFile(platform::EventLoop& loop, CaptureFileView& view) : loop_(loop), view_(view) {}

CaptureFile::~CaptureFile() = default;

// A row file is about to be started anew: what an earlier run left in it is
// kept aside under the first free backup name, and the note says so. When no
// copy can be made the rows go on at the file's end instead: nothing that was
// in it is lost. Returns how to open the file.
platform::OpenMode CaptureFile::keepEarlierCapture(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(platform::pathFromUtf8(path), error);
  if (error || size == 0) return platform::OpenMode::Create;
  const std::optional<std::string> backup = platform::freeBackupName(path);
  if (backup && platform::renameFile(path, *backup) == 0) {
    note_ = pl("Poprzednią zawartość pliku ") + platform::utf8ToCp1250(path) + pl(" zachowano w pliku ") +
            platform::utf8ToCp1250(*backup);
    changed();
    return platform::OpenMode::Create;
  }
  note_ = pl("Nie można zachować kopii pliku ") + platform::utf8ToCp1250(path) +
          pl("; nowe wiersze są dopisywane na jego końcu");
  changed();
  return platform::OpenMode::Append;
}

// The name shows a failing capture file: red, the reason in the note.
void CaptureFile::showFailing(const std::string& reason) {
  tone_ = Tone::Red;
  note_ = reason;
  changed();
}

// A write got through, or the operator chose or cleared the file: the failure
// is over, and the next one is shown again.
void CaptureFile::endFailure() {
  if (!failure_.active) return;
  failure_ = {};
  note_.clear();
  tone_ = open_ ? Tone::Green : chosen() ? Tone::Black : Tone::Red;
  changed();
}

// Whether a failure goes on with the one being shown; otherwise it starts a
// new one, which the caller shows.
bool CaptureFile::continuesFailure(const std::string& path, int error, const std::string& reason) {
  if (failure_.active && failure_.path == path && failure_.error == error) return true;
  failure_ = Failure{true, path, error};
  showFailing(reason);
  return false;
}

// The fast-write file vanished from its path (removed, or its folder): what
// went into it is gone with it, and the writer waits to create it anew. The
// operator is told once, after the handler, with the path; a later failure to
// create the file there for want of its folder is the same failure.
void CaptureFile::reportVanished() {
  if (!writer_.takeVanished()) return;
  const std::string path = writer_.path();
  const std::string message =
      pl("Plik zapisu ") + platform::utf8ToCp1250(path) +
      pl(" zniknął z dysku (usunięty lub przeniesiony). Dalsze dane trafią do nowego pliku o tej "
         "nazwie, gdy tylko będzie można go utworzyć.");
  if (continuesFailure(path, ENOENT, message)) return;
  platform::EventLoop& loop = loop_;
  loop.post([&loop, message] { loop.reportError(message); });
}

// Runs one write. The first failure of an episode goes on to the general
// error report; the same failure again is not shown again (false is returned,
// nothing was written). A failed close always goes on.
template <typename Write>
bool CaptureFile::write(Step step, Write&& write) {
  const std::uint64_t writeOuts = writer_.writeOuts();
  try {
    write();
  } catch (const platform::FileWriteError& e) {
    reportVanished();
    const bool shown = continuesFailure(e.path(), e.error(), e.what());
    if (shown && step != Step::Closing) return false;
    throw;
  }
  reportVanished();
  if (step != Step::Buffered || writer_.writeOuts() != writeOuts) endFailure();
  return true;
}

// Closes the fast-write file because the program moves on to another file or
// to the row writer: the two writers never hold one file open at once. The
// name stays, no longer shown as an open file.
void CaptureFile::leaveFastWriteFile() {
  if (!open_) return;
  open_ = false;
  openName_.clear();
  if (flushTimer_) flushTimer_->setInterval(0);
  blinkOn_ = false;
  if (chosen() && !failure_.active) tone_ = Tone::Black;
  changed();
  write(Step::Closing, [&] { writer_.close(); });
}

void CaptureFile::choose(const std::string& name) {
  name_ = name;
  tone_ = chosen() ? Tone::Black : Tone::Red;
  changed();
}

void CaptureFile::chooseInDialog(const std::string& answer) {
  endFailure();
  if (answer.empty() || answer[0] == '.') {
    clearChoice();
    return;
  }
  choose(automatic::captureFileName(answer));
  // The dialog asked before replacing the very file the rows go to.
  replaceConfirmed_ = name_ == answer ? nativePath(answer) : std::string();
  // Chunks go into the newly chosen file from now on.
  leaveFastWriteFile();
}

void CaptureFile::clearChoice() {
  endFailure();
  choose({});
  CloseCaptureFile();
}

void CaptureFile::fastWriteSwitched() {
  // The row writer takes over: the file is written out and closed now.
  if (!view_.captureOptions().fastWrite) leaveFastWriteFile();
}

bool CaptureFile::StoreReply(std::string_view ascii, std::string_view hex) {
  if (!chosen()) return false;
  const CaptureOptions options = view_.captureOptions();
  std::string line(trimmed(ascii));
  if (options.pointToComma) std::replace(line.begin(), line.end(), '.', ',');
  if (!options.asciiOnly) {
    line += '\t';
    line += trimmed(hex);
  }
  return WriteCaptureLine(line);
}

bool CaptureFile::WriteCaptureLine(const std::string& line) {
  if (!chosen()) return false;
  leaveFastWriteFile();
  const std::string path = nativePath(name_);
  std::string bytes;
  bytes.reserve(line.size() + 2);
  bytes += line;
  bytes += "\r\n";
  // Appending creates a file that is missing (another file was chosen, or it
  // was removed) rather than failing for want of it.
  platform::OpenMode mode = platform::OpenMode::Append;
  if (!exists_) mode = path == replaceConfirmed_ ? platform::OpenMode::Create : keepEarlierCapture(path);
  const bool written = write(Step::ToDisk, [&] { platform::writeFileOnce(path, bytes, mode); });
  if (written) {
    exists_ = fileExists(path);
    replaceConfirmed_.clear();
  }
  return written;
}

void CaptureFile::openFastWriteFile() {
  const std::string path = nativePath(name_);
  if (!write(Step::Buffered, [&] { writer_.open(path, platform::OpenMode::Append); })) return;
  open_ = true;
  openName_ = name_;
  lineStart_ = true;
  lastNotice_ = loop_.now();
  view_.postFileNotice(1);
}

void CaptureFile::startFlushTimer() {
  if (!flushTimer_) {
    flushTimer_ = loop_.createTimer();
    // Runs on while a write-out fails, so the buffer gets out as soon as it
    // can, with no more data coming.
    flushTimer_->setOnTimer([this] {
      if (open_) write(Step::Buffered, [&] { writer_.flush(); });
      if (!open_ || writer_.pending() == 0) flushTimer_->setInterval(0);
    });
  }
  // A running period goes on: the oldest buffered byte waits a second at most.
  if (writer_.pending() != 0) flushTimer_->setInterval(kFlushIntervalMs);
}

void CaptureFile::FastWriteData(std::string_view data) {
  if (!chosen()) return;
  // An order or the orders editor may have named another file meanwhile.
  if (open_ && name_ != openName_) leaveFastWriteFile();
  if (!open_) {
    openFastWriteFile();
    if (!open_) return;
  }

  const platform::WallClock::time_point now = loop_.now();
  if (view_.captureOptions().insertTime) {
    // The line state moves on only with a chunk that was taken.
    bool lineStart = lineStart_;
    stampChunk(data, lineStamp_.at(now), lineStart, stampedChunk_);
    if (write(Step::Buffered, [&] { writer_.write(stampedChunk_); })) lineStart_ = lineStart;
  } else {
    write(Step::Buffered, [&] { writer_.write(data); });
  }
  startFlushTimer();

  if (now - lastNotice_ > kNoticeInterval) {
    lastNotice_ = now;
    // The name blinks for data that reached the file, never for a failing one.
    if (write(Step::Buffered, [&] { writer_.flush(); }) && !failure_.active) view_.postFileNotice(2);
  }
}

void CaptureFile::CloseCaptureFile() {
  if (!open_) return;
  open_ = false;
  openName_.clear();
  if (flushTimer_) flushTimer_->setInterval(0);
  view_.postFileNotice(0);
  write(Step::Closing, [&] { writer_.close(); });
}

void CaptureFile::closeAtExit() noexcept {
  try {
    CloseCaptureFile();
  } catch (const std::exception& e) {
    loop_.reportError(e.what());
  } catch (...) {
    // Nothing may stop the way out.
    loop_.reportError(pl("Nie można zamknąć pliku zapisu"));
  }
}

void CaptureFile::noticeArrived(int notice) {
  bold_ = true;
  switch (notice) {
    case 0:
      tone_ = Tone::Red;
      blinkOn_ = false;
      break;
    case 1:
      tone_ = Tone::Green;
      break;
    case 2:
      // One blink step per notice.
      blinkOn_ = !blinkOn_;
      break;
    default:
      break;
  }
  // A failing file stays red until a write gets through.
  if (failure_.active) tone_ = Tone::Red;
  changed();
}

}  // namespace app
