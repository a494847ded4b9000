#pragma once
// Qt keys as the Windows virtual-key codes the system's handlers compare.
#include "ui/Control.h"

class QKeyEvent;

namespace ui::qt {

// The virtual-key code of a key press, or 0 for a key without one here.
ui::Key virtualKey(const QKeyEvent& event);

}  // namespace ui::qt
