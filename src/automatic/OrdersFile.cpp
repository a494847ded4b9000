// The orders file: the order list as an XML document, one element per order
// with its fields found by name. The document stays in memory between loads
// and saves, so a save keeps the declaration and the root's name of the file
// it was loaded from.
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "automatic/TForm2.h"
#include "platform/AtomicFile.h"
#include "platform/Cp1250.h"
#include "platform/PathText.h"
#include "platform/WholeFile.h"
#include "ui/Dialogs.h"

namespace automatic {

using platform::pl;
using platform::XmlElement;

namespace {

constexpr std::string_view kRootName = "Rozkazy";
constexpr std::string_view kOrderName = "Rozkaz";

// The field elements of an order, for the grid's columns 1 to 6.
const std::string (&fieldNames())[6] {
  static const std::string names[6] = {"Rozkaz", "Czas", "Jedn.", "L.pom.", "COM", pl("Prędkość")};
  return names;
}

// Names are Windows-1250 texts; the file system's are UTF-8.
std::string nativePath(const std::string& name) {
  return platform::cp1250ToUtf8(name);
}

// Blank: nothing but spaces and control characters.
bool blank(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

}  // namespace

void TForm2::LoadXMLOrders(const std::string& name) {
  const std::string path = nativePath(name);
  XMLOrders.close();
  // A file that cannot be read is treated like a missing one, but not
  // silently: the operator hears of it once, not at every reload.
  if (platform::fileExists(path) && !XMLOrders.load(path)) {
    if (path != unreadableTold_) {
      unreadableTold_ = path;
      tellUnreadable(path);
    }
  } else {
    unreadableTold_.clear();
  }
  try {
    if (!XMLOrders.isOpen()) XMLOrders.startNew();
    if (XmlElement root = XMLOrders.root()) {
      ui::StringGrid& grid = StringGrid1;
      for (int n = grid.rowCount() - 1; n >= 1; --n) {
        grid.setRow(n);
        DeleteStringGridRow();
      }
      grid.setRow(grid.rowCount() - 1);
      for (const XmlElement& order : root.childElements()) {
        const int row = AddStringGridRow(false);
        setNumber(row, row);
        // A field that is missing or empty ends the order: the cells after it
        // keep the defaults of a new order.
        for (int field = 0; field < 6; ++field) {
          const XmlElement element = order.firstChild(fieldNames()[field]);
          const std::optional<std::string> text = element ? element.text() : std::nullopt;
          if (!text || text->empty()) break;
          grid.setCell(colOrder + field, row, *text);
        }
      }
    } else {
      XMLOrders.addRoot(kRootName);
    }
    setOrdersFileName(name);
  } catch (const std::out_of_range&) {
    // The load ends where it failed: a grid that could not take a row.
  } catch (const std::bad_alloc&) {
    // The load ends where it failed: no memory for the document.
  }
}

void TForm2::setOrdersFileName(const std::string& name) {
  // The name is shown (here and on the main menu): with the system's own
  // separators, whatever an older config.xml or a dialog wrote.
  host_.ordersFileName() = platform::shownPath(name);
  LabelOrdersFileName.setCaption(host_.ordersFileName());
}

void TForm2::SaveXMLOrders(const std::string& name) {
  const ui::StringGrid& grid = StringGrid1;
  if (!XMLOrders.isOpen() || grid.cell(colTime, 1).empty()) return;
  try {
    XmlElement root = XMLOrders.root();
    if (!root) return;
    root.removeChildren();
    for (int r = 1; r < grid.rowCount(); ++r) {
      XmlElement order = root.appendChild(kOrderName);
      for (int field = 0; field < 6; ++field) {
        std::string text = grid.cell(colOrder + field, r);
        if (colOrder + field == colSpeed && blank(text)) text = "4800";
        order.appendChild(fieldNames()[field]).setText(text);
      }
    }
    const std::string path = nativePath(name);
    if (!keepUnreadableFile(path)) return;
    if (!XMLOrders.save(path, /*indent=*/true)) return;
    setOrdersFileName(name);
  } catch (const std::bad_alloc&) {
    // No memory for the document: the old file and OrdersFileName stay as
    // they were.
  }
}

void TForm2::tellUnreadable(const std::string& path) {
  const std::optional<std::string> backup = platform::freeBackupName(path);
  std::string text = pl("Nie można odczytać pliku rozkazów ") + platform::utf8ToCp1250(path) + ".";
  if (backup)
    text += pl(" Przy najbliższym zapisie jego treść zostanie zachowana w pliku ") +
            platform::utf8ToCp1250(*backup) + ".";
  try {
    dialogs().messageBox(text, "Uwaga", ui::MessageIcon::Warning, ui::MessageButton::Ok);
  } catch (...) {
    // A courtesy: whatever the dialog raises must not stop the load.
  }
}

// An orders file that exists but cannot be parsed may be the operator's only
// copy of a list (damaged, or written by hand with a typing error); replacing
// it would lose that list for good.
bool TForm2::keepUnreadableFile(const std::string& path) {
  if (!platform::fileExists(path)) return true;
  platform::XmlDocument probe;
  if (probe.load(path)) return true;
  const std::optional<std::string> backup = platform::freeBackupName(path);
  if (!backup || !platform::copyFileAtomically(path, *backup)) return false;
  try {
    dialogs().messageBox(pl("Nie można było odczytać pliku rozkazów ") + platform::utf8ToCp1250(path) +
                             pl(". Jego poprzednią treść zachowano w pliku ") +
                             platform::utf8ToCp1250(*backup) + ".",
                         "Uwaga", ui::MessageIcon::Warning, ui::MessageButton::Ok);
  } catch (...) {
    // The copy is safe and the message only a courtesy: whatever the dialog
    // raises must not stop the save.
  }
  return true;
}

}  // namespace automatic
