#pragma once
// Before the settings storage replaces "Kestrel.ini", a file it could not read
// is kept beside it, so a save never destroys what the operator had.
//
// "Cannot be read" means:
//   - the file exists but the whole-file reader refuses it (no permission,
//     an I/O error, a directory, device or FIFO in its place, larger than the
//     cap for settings files, more lines than the ini reader takes): it is
//     moved aside as it is;
//   - it is no ini text: it holds a NUL byte (saved as UTF-16, or zeros left
//     by a crash) or lines that are neither blank, a comment, a "[Section]"
//     nor a "Key=Value". Its bytes are copied aside and the file keeps only
//     its readable lines, so [Devices] and the other sections survive.
// A missing file or a sound one is left alone.
#include <string>

namespace serial {

// Keeps an unreadable ini file at `path` beside it, as path + ".bak" (or
// ".bak2", ".bak3", ... when that name is taken: an earlier copy is never
// overwritten). Returns the path of the kept copy, or "" when the file needed
// none. `content` gets what the file holds now (empty when it was moved aside
// or is missing), so the caller need not read it again. Throws
// std::runtime_error when the copy cannot be made; the file is then left as
// it was.
std::string RescueSettingsFile(const std::string& path, std::string& content);

}  // namespace serial
