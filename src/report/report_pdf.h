#pragma once

#include "report/report_model.h"

#include <QString>

namespace tavomi {

// The month as a PDF on A4: first the principal's summary (every teacher's 在校等時間, scheduled
// hours, overtime, the caps' flags and the days not counted), then the board's report (the
// teachers by band of overtime, in all and by job, and each against the year's caps and
// the 30-hour target), then one page per teacher with the month's sheet, its
// totals, the work codes and boxes for the teacher's and the principal's seals, then the
// garbled lines if there are any. Needs a QGuiApplication (fonts). Returns an error text,
// or an empty text once the file is written whole; `pages` gets the number of pages.
QString writeMonthPdf(const PeriodReport& report, const QString& file, int* pages = nullptr);

}  // namespace tavomi
