#include "app/CaptureValues.h"

namespace app {

bool CaptureFileExists = false;
bool CaptureFileOpen = false;
bool CaptureLineStart = false;
platform::WallClock::time_point LastFileNotice{};
// Destroyed at the process's end: whatever is still buffered then is written
// out (the window closes the file itself at shutdown).
platform::CaptureWriter CaptureFile;
std::string CaptureFileCaption;
CaptureFailureEpisode CaptureFailure;

void ResetCaptureValues() {
  CaptureFile.closeQuietly();
  CaptureFileExists = CaptureFileOpen = CaptureLineStart = false;
  LastFileNotice = {};
  CaptureFileCaption.clear();
  CaptureFailure = {};
}

}  // namespace app
