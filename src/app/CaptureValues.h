#pragma once
// The capture file's state, owned by the byte processor of one main window.
#include <ctime>
#include <string>

#include "platform/CaptureWriter.h"
#include "platform/EventLoop.h"

namespace app {

// The capture write failure being shown, from its first failure until a write
// succeeds: meanwhile the same failure (same file, same reason) is not shown
// again; the label of the file shows it instead.
struct CaptureFailureEpisode {
  bool active = false;
  std::string path;
  int error = 0;
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

struct CaptureValues {
  // The row writer appends when true and starts the file anew when false (an
  // existing file with something in it is first kept aside as .bak, unless
  // the operator agreed to replace it in the save dialog); after each line it
  // is whether the file exists.
  bool CaptureFileExists = false;
  // The file the save dialog asked about replacing and the operator agreed:
  // it is emptied without a copy.
  std::string ReplaceConfirmed;
  // The fast-write file is open.
  bool CaptureFileOpen = false;
  // The next fast-write chunk begins a new line of the file.
  bool CaptureLineStart = false;
  // When the last "written" notice was posted.
  platform::WallClock::time_point LastFileNotice{};
  // The fast-write file, written through a buffer. Whatever is still buffered
  // when the window goes is written out (the window closes the file itself at
  // shutdown).
  platform::CaptureWriter CaptureFile;
  // The caption of LabelFileName the fast-write file was opened under.
  std::string CaptureFileCaption;
  CaptureFailureEpisode CaptureFailure;
  // The time stamps of fast write, and the stamped chunk kept for its capacity.
  LineStamp lineStamp;
  std::string stampedChunk;
};

}  // namespace app
