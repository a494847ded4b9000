#pragma once
// Values shared by the send path, the byte processor and the automatic
// measurement: one instance each for the whole process, zero at process start.
#include <cstdint>

#include "platform/MessageTarget.h"

namespace app {

// The main window, target of the notification messages.
extern platform::MessageTarget* MainWindowHandle;

// A reply has been counted since the last send.
extern bool ReplyCounted;
extern std::int32_t ReplyCount;
extern std::int32_t SentCount;
// Bytes added to the HEX pane since the last row break or clear (-1 after a break).
extern std::int32_t HexColumn;
// Bytes per imported HEX row: 16 in the ASCII+HEX view, 200 in the ASCII-only view.
extern std::int32_t HexRowLength;
// The main window was under 600 pixels high when it was created.
extern bool SmallScreen;
// Which parts of the line error report stand in Edit2.
extern bool LineErrorShown;
extern bool FrameErrorShown;
extern bool ParityErrorShown;
extern bool TransmissionErrorShown;
extern bool PanesMinimized;

void ClearLineErrorFlags();

// Back to the values at process start (tests build many windows in one process).
void ResetProcessValues();

}  // namespace app
