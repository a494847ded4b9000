// The commands that work on the two panes as a whole: clear them, shrink and
// restore them, print them, save both into one file, open such a file again,
// and import any text file as if its bytes had been received.
//
// File errors are not absorbed here: they end the command and reach the
// general error report.
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/PaneAppender.h"
#include "app/PanePrint.h"
#include "app/Round.h"
#include "app/TForm1.h"
#include "platform/CaptureWriter.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/WholeFile.h"

namespace app {

using platform::pl;

namespace {

// The line between the two panes in a saved file.
constexpr std::string_view kSeparator = "Podzial okien";

// Names from the dialogs are Windows-1250; the file system's are UTF-8.
std::string nativePath(const std::string& name) {
  return platform::cp1250ToUtf8(name);
}

// The rows of a pane as a printout reads them, at most limit of them.
std::vector<std::string> paneRows(const ui::Memo& pane, std::size_t limit) {
  const std::size_t count = std::min(pane.lineCount(), limit);
  std::vector<std::string> rows;
  rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::string_view row = pane.line(i);
    // A row ended by a wrap CR keeps it; it prints as nothing.
    while (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    rows.emplace_back(row);
  }
  return rows;
}

// Writes a pane's text as it stands, row by row, with each row's own line end
// (CR LF, or a lone LF), without joining a large pane into one string.
void writePane(platform::CaptureWriter& out, const ui::Memo& pane) {
  const std::size_t count = pane.lineCount();
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t start = pane.lineStart(i);
    const std::string_view row = pane.line(i);
    out.write(row);
    if (i + 1 < count) out.write(pane.lineStart(i + 1) - start - row.size() == 2 ? "\r\n" : "\n");
  }
}

// Both panes' files, text files by default.
ui::FileDialogRequest fileRequest(bool save) {
  ui::FileDialogRequest request;
  request.filter = TForm1::FileFilter();
  request.confirmOverwrite = save;
  return request;
}

// Asks for a file and gives each of its lines, with the two panes, to
// eachLine. The file is opened and its first line read before the panes are
// emptied: a file that cannot be read costs the operator nothing.
template <typename EachLine>
void replacePanesFromFile(TForm1& form, EachLine eachLine) {
  const std::optional<std::string> chosen = form.dialogs().openFileName(fileRequest(false));
  if (!chosen) return;
  platform::LineReader reader(nativePath(*chosen));
  std::string_view line;
  bool more = reader.next(line);
  form.Memo1.clear();
  form.Memo2.clear();
  PaneAppender ascii(form.Memo1);
  PaneAppender hex(form.Memo2);
  for (; more; more = reader.next(line)) eachLine(line, ascii, hex);
}

bool fileExists(const std::string& name) {
  std::error_code error;
  return std::filesystem::exists(platform::pathFromUtf8(nativePath(name)), error);
}

// "Zapisz wszystko" keeps a name that holds ".txt" anywhere as it is, and
// appends ".txt" to any other.
std::string saveAllFileName(const std::string& chosen) {
  return chosen.find(".txt") == std::string::npos ? chosen + ".txt" : chosen;
}

}  // namespace

void TForm1::Button3Click() {
  Memo1.clear();
  Memo2.clear();
  Bytes.restartHexRow();
  Edit2.setText({});
  ClearLineErrorFlags();
  StaticText5.setCaption({});
  StaticText6.setCaption({});
  StaticText7.setCaption({});
  Sequencer.forgetResult();
}

void TForm1::Button5Click() {
  PanesMinimized = !PanesMinimized;
  Button5.setCaption(pl(PanesMinimized ? "Maksymalizuj okna" : "Minimalizuj okna"));
  const int paneHeight = PanesMinimized ? R(0.03 * height()) : R(0.6 * height());
  for (ui::Memo* pane : {&Memo1, &Memo2})
    pane->setBounds(pane->left(), pane->top(), pane->width(), paneHeight);
}

void TForm1::DrukujASCII1Click() {
  // The rows are taken before the dialog: bytes received while it is open are
  // not printed. Nothing is written to disk, so no file of the operator's can
  // be overwritten or removed.
  PanePrintRows rows;
  rows.withHex = Bytes.hexRowLength() == 16;
  if (rows.withHex) {
    rows.hex = paneRows(Memo2, Memo2.lineCount());
    rows.ascii = paneRows(Memo1, rows.hex.size());
  } else {
    rows.ascii = paneRows(Memo1, Memo1.lineCount());
  }
  dialogs().print([&rows](const ui::PrintPageSize& page) { return layoutPanePrint(rows, page); });
}

void TForm1::DrukujHEX1Click() {
  const std::optional<std::string> chosen = dialogs().saveFileName(fileRequest(true));
  if (!chosen) return;
  const std::string name = saveAllFileName(*chosen);
  // The dialog asked about the name it was given; a different existing file
  // is not replaced without asking too.
  if (name != *chosen && fileExists(name)) {
    const std::string question =
        pl(platform::utf8Path(platform::pathFromUtf8(nativePath(name)).filename())) +
        pl(" już istnieje.\r\nCzy chcesz go zamienić?");
    if (dialogs().messageBox(question, pl("Potwierdzanie zapisywania jako"), ui::MessageIcon::Warning,
                             ui::MessageButton::Yes | ui::MessageButton::No) != ui::ModalResult::Yes)
      return;
  }
  platform::CaptureWriter out;
  out.open(nativePath(name), platform::OpenMode::Create);
  writePane(out, Memo1);
  out.write("\r\n");
  out.write(kSeparator);
  out.write("\r\n");
  writePane(out, Memo2);
  out.write("\r\n");
  out.close();
}

void TForm1::Otwrz1Click() {
  PaneAppender* target = nullptr;
  replacePanesFromFile(*this, [&](std::string_view line, PaneAppender& ascii, PaneAppender& hex) {
    if (!target) target = &ascii;
    if (line == kSeparator) {
      target = &hex;
      return;
    }
    target->add(line);
    target->add("\r\n");
  });
}

void TForm1::Importuj1Click() {
  // The HEX column keeps its last value: bytes received afterwards continue the row.
  replacePanesFromFile(*this, [&](std::string_view line, PaneAppender& ascii, PaneAppender& hex) {
    Bytes.importLine(line, ascii, hex);
  });
}

}  // namespace app
