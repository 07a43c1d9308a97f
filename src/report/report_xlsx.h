#pragma once

#include "report/report_model.h"

#include <QString>

namespace tavomi {

// The month as an .xlsx workbook: 校長 (a row a teacher, hours as numbers shown [h]:mm so
// that a spreadsheet adds and sorts them), 教育委員会 (the board's counts by band and job,
// and each teacher against the year's caps), 確認事項 (what needs checking, with the
// journal's line numbers), then a sheet a teacher (a row a day: times, 在校等時間, 時間外).
// Written whole or not at all; a folder is refused before anything is made. Returns an
// error text, or an empty text once written.
QString writeMonthWorkbook(const PeriodReport& report, const QString& file);

// The name a sheet gets for a teacher: what a sheet name cannot hold ([]:*?/\ and control
// characters) left out, at most 31 characters, and unlike every name in `taken` (letter
// case aside), which it joins.
QString sheetNameFor(const QString& name, QStringList& taken);

}  // namespace tavomi
