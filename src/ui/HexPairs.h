#pragma once
// A compact form of text made of two-digit hexadecimal pairs, as the HEX pane
// shows received bytes ("41 42 ... 48   49 0A" CR LF "  ..."): each pair is
// kept as its byte value (runs that repeat earlier values stored once), and
// the spaces and row ends between pairs only where they differ from the
// usual layout (one space, two more after every eighth pair since the last
// such gap, a row end after 0A). Any text round-trips exactly; text of other
// kinds merely stays large.
#include <cstddef>
#include <string>
#include <string_view>

namespace ui {

// The compact form of text.
std::string packHexPairs(std::string_view text);
// Appends the text that packed holds to out.
void unpackHexPairs(std::string_view packed, std::string& out);

}  // namespace ui
