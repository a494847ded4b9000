#pragma once
// The capture file's values, one instance each for the whole process.
#include <string>

#include "platform/CaptureWriter.h"
#include "platform/EventLoop.h"

namespace app {

// The row writer appends when true and creates the file anew (emptying an
// existing one) when false; after each line it is whether the file exists.
extern bool CaptureFileExists;
// The fast-write file is open.
extern bool CaptureFileOpen;
// The next fast-write chunk begins a new line of the file.
extern bool CaptureLineStart;
// When the last "written" notice was posted.
extern platform::WallClock::time_point LastFileNotice;
// The fast-write file, written through a buffer.
extern platform::CaptureWriter CaptureFile;
// The caption of LabelFileName the fast-write file was opened under.
extern std::string CaptureFileCaption;

// The capture write failure being shown, from its first failure until a write
// succeeds: meanwhile the same failure (same file, same reason) is not shown
// again; the label of the file shows it instead.
struct CaptureFailureEpisode {
  bool active = false;
  std::string path;
  int error = 0;
};
extern CaptureFailureEpisode CaptureFailure;

// Back to the values at process start; an open fast-write file is closed.
void ResetCaptureValues();

}  // namespace app
