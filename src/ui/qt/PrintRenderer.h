#pragma once
// Drawing a print job on a Qt printer: the print dialog's printer or, in tests,
// a PDF file.
#include <QFont>

#include "ui/PrintJob.h"

class QPrinter;

namespace ui::qt {

// The printable area of the printer's page, in its device units.
ui::PrintPageSize printablePageSize(const QPrinter& printer);

// The named font at its size in points; a font the system does not have gives
// way to the system's monospace or general font.
QFont printFont(const ui::PrintFont& font);

// Draws every page of the job, each text with its top at its y. Throws when
// the printer cannot start the job.
void renderPrintJob(QPrinter& printer, const ui::PrintJob& job);

// Lays the job out for the printer's page and draws it.
void printComposed(QPrinter& printer, const ui::PrintComposer& compose);

}  // namespace ui::qt
