#pragma once
// A compact form of text made of two-digit hexadecimal pairs, as the HEX pane
// shows received bytes ("41 42 ... 48   49 0A" CR LF "  ..."): each pair is
// kept as its byte value (runs that repeat earlier values stored once), and
// the spaces and row ends between pairs only where they differ from the
// usual layout (one space, two more after every eighth pair since the last
// such gap, a row end after 0A). Any text round-trips exactly; text of other
// kinds merely stays large.
//
// The pairs' values may also be taken from a source instead of being stored:
// the text the same bytes were shown in as characters (the ASCII pane, which
// leaves NUL out and may have a CR before an LF that came alone). The packed
// form then holds where to take them from, and the same source must be given
// to unpack it.
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace ui {

// Bytes that stay as they are while owner lives.
struct SharedBytes {
  std::shared_ptr<const char[]> owner;
  const char* data = nullptr;
  std::size_t size = 0;
};

// The compact form of text.
std::string packHexPairs(std::string_view text);
// The same, taking what it can of the values from source (read in order, as
// one text, from the first pair's character on); used tells how many bytes of
// it the packed form refers to (0: none, the source is not needed to unpack).
std::string packHexPairs(std::string_view text, std::span<const SharedBytes> source, std::size_t& used);
// Appends the text that packed holds to out.
void unpackHexPairs(std::string_view packed, std::string& out, std::span<const SharedBytes> source = {});

// The usual layout of values alone, gap being the pairs since the last gap
// before the first of them (updated to the count after the last): the size of
// its text, and the text appended to out.
std::size_t usualPairsSize(std::string_view values, int& gap);
// The text of a whole row in the usual layout: the gap that opens it, pairs
// pairs, then 0A and the row end.
constexpr std::size_t usualRowSize(std::size_t pairs) {
  return 2 + 3 * pairs + 2 * (pairs / 8) + 4;
}
void appendUsualPairs(std::string& out, std::string_view values, int& gap);
// The compact form of whole rows in the usual layout: the gap that opens a
// row, then the values' pairs, the last value an 0A whose row end closes the
// text (the next row's gap is not part of it). Its text is
// usualPairsSize(values, gap = 0) bytes long.
std::string packUsualRows(std::string_view values, std::span<const SharedBytes> source, std::size_t& used);

}  // namespace ui
