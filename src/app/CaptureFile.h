#pragma once
// The capture file. In row mode each finished row becomes one line, with the
// file opened and closed for every line, so nothing is held open between
// replies. In fast write mode received chunks skip the panes and go, as they
// came, into a file that stays open, through a buffer that is written out at
// least once a second; a crash or a killed process loses at most the last
// second.
//
// It owns the chosen file, both writers, the flush timer and the failure
// being shown; whoever shows it (the main window) reads its state and never
// keeps a copy of its own. Both links ask fastWriteActive() where a chunk goes.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "platform/CaptureWriter.h"
#include "platform/EventLoop.h"

namespace app {

// The menu's options that the capture file follows, as they stand.
struct CaptureOptions {
  bool fastWrite = false;
  bool insertTime = false;
  // Only the ASCII row goes into a line; otherwise a TAB and the HEX row follow.
  bool asciiOnly = true;
  bool pointToComma = false;
};

// What the capture file needs of the one that shows it.
class CaptureFileView {
 public:
  virtual CaptureOptions captureOptions() const = 0;
  // The file's name, state or note changed: show them again.
  virtual void showCaptureFile() = 0;
  // A notice for later, in posting order, that comes back through
  // CaptureFile::noticeArrived: 0 the fast-write file closed, 1 opened,
  // 2 data reached it.
  virtual void postFileNotice(int notice) = 0;

 protected:
  ~CaptureFileView() = default;
};

// The stamp that starts a fast-write line: the date, TAB, the time of day,
// TAB, in local time. A dense stream asks for it per chunk, so it is made
// once per second.
class LineStamp {
 public:
  const std::string& at(platform::WallClock::time_point now);

 private:
  std::string text_;
  std::time_t second_ = 0;
};

class CaptureFile {
 public:
  // How the name is shown: red (no file, a closed fast-write file, a failure),
  // black (just chosen), green (the fast-write file open).
  enum class Tone { Red, Black, Green };

  CaptureFile(platform::EventLoop& loop, CaptureFileView& view);
  ~CaptureFile();
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  // The chosen file's name as shown (Windows-1250); empty when none is chosen.
  const std::string& name() const { return name_; }
  bool chosen() const { return !name_.empty(); }
  // The one routing decision of both links: a received chunk goes to
  // FastWriteData instead of the byte processor.
  bool fastWriteActive() const { return chosen() && view_.captureOptions().fastWrite; }

  // Names the file (empty: none), as a "file" order or the orders editor does;
  // the fast-write file follows with the next chunk.
  void choose(const std::string& name);
  // The operator's answer to the save dialog: an empty name or one beginning
  // with "." chooses none and closes the fast-write file; any other becomes a
  // ".txt" name, and chunks go into it from now on.
  void chooseInDialog(const std::string& answer);
  // The clear button: no file, the fast-write file closed.
  void clearChoice();
  // Fast write was switched on or off; off, the row writer takes over at once.
  void fastWriteSwitched();

  // A finished row of the panes (both texts as the panes hold them) as one
  // line. False when it was not written: a failure already shown goes on (a
  // failure shown now is thrown).
  bool StoreReply(std::string_view ascii, std::string_view hex);
  bool WriteCaptureLine(const std::string& line);
  // A received chunk in fast write mode.
  void FastWriteData(std::string_view data);
  void CloseCaptureFile();
  // At the way out: the fast-write file reaches the disk; an error is
  // reported, never stops the way out.
  void closeAtExit() noexcept;
  // A notice posted through the view comes back.
  void noticeArrived(int notice);

  // What the label shows besides the name.
  Tone tone() const { return tone_; }
  bool bold() const { return bold_; }
  // The background blinks while fast write writes.
  bool blinkOn() const { return blinkOn_; }
  // Where an earlier file's rows went, or the failure being shown.
  const std::string& note() const { return note_; }

  // The fast-write file is open.
  bool isOpen() const { return open_; }
  // The next fast-write chunk begins a new line of the file.
  bool lineStart() const { return lineStart_; }
  // The row writer appends when true and starts the file anew when false.
  bool exists() const { return exists_; }

 private:
  // What a write is, for telling its failure and success.
  enum class Step {
    Buffered,  // through the fast-write buffer: a success only when bytes got out
    ToDisk,    // a row: a success puts it in the file
    Closing,   // closing the fast-write file: a failure says what was lost
  };
  template <typename Write>
  bool write(Step step, Write&& write);
  void changed() { view_.showCaptureFile(); }
  void showFailing(const std::string& reason);
  void endFailure();
  bool continuesFailure(const std::string& path, int error, const std::string& reason);
  void reportVanished();
  platform::OpenMode keepEarlierCapture(const std::string& path);
  void leaveFastWriteFile();
  void openFastWriteFile();
  void startFlushTimer();

  platform::EventLoop& loop_;
  CaptureFileView& view_;
  std::string name_;
  Tone tone_ = Tone::Red;
  bool bold_ = false;
  bool blinkOn_ = false;
  std::string note_;

  // The row writer appends when true and starts the file anew when false (an
  // existing file with something in it is first kept aside as .bak, unless
  // the operator agreed to replace it in the save dialog); after each line it
  // is whether the file exists.
  bool exists_ = false;
  // The file the save dialog asked about replacing and the operator agreed:
  // it is emptied without a copy.
  std::string replaceConfirmed_;

  // The failure being shown, from its first failure until a write succeeds:
  // meanwhile the same failure (same file, same reason) is not shown again.
  struct Failure {
    bool active = false;
    std::string path;
    int error = 0;
  };
  Failure failure_;

  // The fast-write file, written through a buffer, and the name it was opened
  // under.
  platform::CaptureWriter writer_;
  bool open_ = false;
  std::string openName_;
  bool lineStart_ = false;
  // When the last "written" notice was posted.
  platform::WallClock::time_point lastNotice_{};
  LineStamp lineStamp_;
  // The stamped chunk, kept for its capacity.
  std::string stampedChunk_;
  // Writes the buffer out a second after data went into it.
  std::unique_ptr<platform::Timer> flushTimer_;
};

}  // namespace app
