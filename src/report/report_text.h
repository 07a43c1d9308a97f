#pragma once

#include "report/report_model.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tavomi {

// The month sheet's columns, as the terminal and the PDF show them: day, weekday,
// scheduled hours, break, clock-ins, clock-outs, going-outs, returns, 中抜 lengths, the
// day's 在校等時間, 校外, deductions and overtime, reasons, work categories, the kinds
// recorded by hand, and the checker's exceptions (with why the day's hours are what they are).
QStringList sheetHeader();
QStringList sheetRow(const DaySummary& day);

// The same facts for a spreadsheet: one row per teacher and date, hours split in three.
// One CSV cell: quoted when it holds a comma, a quote or a line break, and written as
// text ("'=...") when a spreadsheet would take it for a formula.
QString csvField(const QString& value);

QStringList csvHeader();
QStringList csvRow(const QString& name, const DaySummary& day);

// A teacher's month totals: a header and a row (hours as 182:05), and the same as one
// line under the teacher's sheet.
QStringList totalsHeader();
QStringList totalsRow(const TeacherTotals& totals);
QString totalsText(const TeacherTotals& totals);

// The month's totals in the CSV: every duration a bare [h]:mm (182:05) that a spreadsheet
// reads as a time, so they add up; the average's months in cells of their own.
QStringList csvTotalsHeader();
QStringList csvTotalsRow(const TeacherTotals& totals);

// The CSV file: CP932 with CR LF, fields quoted where they must be. Each table follows a
// line naming it (■日ごとの記録, ■月の集計, ■勤務時間の確認, ■記録として読めない行),
// the tables after the first each after an empty line: the days, the month's totals, the
// dates whose hours came from the weekly table, and the garbled lines (line number,
// problem, the line as decoded) when there are any.
QByteArray monthCsv(const PeriodReport& report);

// 2019年8月
QString monthTitle(const ReportPeriod& period);

// The month on the terminal, in the parts it is written in as its sheets are made
// (buildReportByTeacher): the title, each teacher's sheet with the month's totals under
// it, then the garbled lines (garbledText).
QString monthTextTitle(const ReportPeriod& period);
QString teacherSheetText(const TeacherDays& teacher, const TeacherTotals* totals);

// One day on the terminal: every teacher's records in order and where each stands after
// them, then the garbled lines. `now` is shown when the day is today.
QString dayText(const PeriodReport& report, const QDateTime& now);

// How the totals are counted, in words, for the window's panel and the PDF's legend: each
// line one rule.
QStringList countingRules();

// The month's things to check in its scheduled hours (PeriodReport::scheduleChecks) on the
// terminal; empty when there are none.
QString scheduleChecksText(const QStringList& checks);

// The garbled lines with their line numbers; empty when there are none.
QString garbledText(const std::vector<GarbledLine>& garbled);

}  // namespace tavomi
