#pragma once
// Bounds the undo history of a line edit. Qt keeps every character inserted
// or removed (some twenty bytes each) until the text is set anew; pasting
// long orders again and again into the send line, each replacing the last,
// piled up a hundred megabytes. Once the edits since the history began have
// changed more than limit characters, the history starts again from the text
// as it stands; the cursor and the selection stay.
#include <QString>

class QLineEdit;

namespace ui::qt {

inline constexpr qsizetype kUndoHistoryCharacters = qsizetype{1} << 18;

// Lives as long as the edit.
void boundUndoHistory(QLineEdit& edit, qsizetype limit = kUndoHistoryCharacters);

}  // namespace ui::qt
