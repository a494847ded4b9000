#pragma once
// The rule by which a chosen capture file name becomes the caption of
// LabelFileName, and the caption of none, shared by the main window and the
// orders editor.
#include <string>

namespace automatic {

// The capture file's name always ends in ".txt": the file-name part (the text
// after the last "\", ":" or "/") loses everything from its first "." on;
// dots in folder names stay.
std::string captureFileName(const std::string& chosen);

// What the label shows when no capture file is chosen.
const std::string& noCaptureFileText();

}  // namespace automatic
