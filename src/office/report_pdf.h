#pragma once

#include "office/report_model.h"

#include <QString>

namespace tavomi {

// The month as a PDF: one A4 page per teacher with the month's sheet and boxes for the
// teacher's and the principal's seals. Needs a QGuiApplication (fonts). Returns an error
// text, or an empty text once the file is written whole.
QString writeMonthPdf(const PeriodReport& report, const QString& file);

}  // namespace tavomi
