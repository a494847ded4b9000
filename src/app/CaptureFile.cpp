// The capture file. Built with the capture-file work; until then no file can be
// chosen, so rows stay in the panes and fast write never runs.
#include "app/TForm1.h"

namespace app {

// Not built yet: one line per finished row into the chosen file.
void TForm1::StoreReply() {}

// Not built yet: the raw stream into the open fast-write file.
void TForm1::FastWriteData(const std::string&) {}

// Not built yet: the fast-write file is never opened.
void TForm1::CloseCaptureFile() {}

// Not built yet: choosing and forgetting the capture file.
void TForm1::BitBtnSaveToFileClick() {}
void TForm1::BitBtnClearFileClick() {}

// Not built yet: the capture file's label colours and blink.
void TForm1::OnUpdateFileMessage(std::intptr_t) {}

}  // namespace app
