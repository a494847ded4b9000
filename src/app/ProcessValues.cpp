#include "app/ProcessValues.h"

#include "app/CaptureValues.h"

namespace app {

platform::MessageTarget* MainWindowHandle = nullptr;
bool ReplyCounted = false;
std::int32_t ReplyCount = 0;
std::int32_t SentCount = 0;
std::int32_t HexColumn = 0;
std::int32_t HexRowLength = 16;
bool SmallScreen = false;
bool LineErrorShown = false;
bool FrameErrorShown = false;
bool ParityErrorShown = false;
bool TransmissionErrorShown = false;
bool PanesMinimized = false;

void ClearLineErrorFlags() {
  LineErrorShown = FrameErrorShown = ParityErrorShown = TransmissionErrorShown = false;
}

void ResetProcessValues() {
  MainWindowHandle = nullptr;
  ReplyCounted = false;
  ReplyCount = SentCount = 0;
  HexColumn = 0;
  HexRowLength = 16;
  SmallScreen = false;
  ClearLineErrorFlags();
  PanesMinimized = false;
  ResetCaptureValues();
}

}  // namespace app
