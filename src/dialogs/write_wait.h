#pragma once

#include "spool/journal_writer.h"

class QWidget;

namespace tavomi {

// Hands a record to the writer and waits for its outcome as a screen should: a wait
// cursor, the screen's controls disabled and its window repainted meanwhile, at most
// JournalWriter::kScreenWait unless the record could not be kept either (then until the
// append's own outcome, see JournalWriter::await). Plays the outcome's sound.
WriteResult writeFromScreen(JournalWriter& writer, WriteRequest request, QWidget* screen);

}  // namespace tavomi
