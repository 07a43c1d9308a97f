#pragma once
// What a school tells its board of education each month: how many teachers' overtime fell
// in each band, in all and by job, and where each teacher stands against the caps of the
// fiscal year and the national target of about 30 hours a month.

#include "report/month_totals.h"
#include "report/report_model.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

namespace tavomi {

// The bands boards count in: 45 h or less, over 45 to 80, over 80 to 100, over 100.
enum class OvertimeBand { UpTo45, Over45, Over80, Over100 };
inline constexpr std::size_t kOvertimeBands = 4;

OvertimeBand overtimeBand(int minutes);
// 45時間以下 … 100時間超
QString bandText(OvertimeBand band);

// The job of BoardReport::all.
inline const QString kEveryJob = QStringLiteral("全体");

// The teachers of one job (or of all) by band.
struct BandCounts {
    QString job;
    std::array<int, kOvertimeBands> teachers{};
    int overtime = 0;  // their month's overtime together, minutes

    int total() const;
    int count(OvertimeBand band) const { return teachers[static_cast<std::size_t>(band)]; }
    // The average month of these teachers, minutes; 0 when there are none.
    int averageOvertime() const;
};

struct BoardTeacher {
    QString job;  // empty when the cardholder list gives none
    TeacherTotals totals;
};

struct BoardReport {
    ReportPeriod month;
    BandCounts all;                      // job kEveryJob
    std::vector<BandCounts> byJob;       // the usual order of jobs, then others as they come
    std::vector<BoardTeacher> teachers;  // those with records in the month, in report order
    QStringList withoutRecords;          // cardholders without a record in the month
};

// The board's report of a month's report. Only teachers with a record in the month are
// counted: a cardholder on leave all month worked no overtime that the board should see.
BoardReport boardReport(const PeriodReport& report);

// 25.0%; empty when there are no teachers.
QString shareText(int count, int total);

// The job as shown: （職名なし） for none.
QString jobText(const QString& job);

// The three levels a principal acts on, each in its colour and always with its mark beside
// it, so that a black-and-white print or a reader who does not tell the colours apart
// loses nothing: ▲ 月45時間超, ◆ 2～6か月平均80時間超, ● 月100時間以上.
enum class CapLevel { Over45, AverageOver80, Over100 };

struct CapLevelLook {
    CapLevel level;
    QString mark;
    QString name;
    unsigned rgb;  // a light fill: the text on it stays black
};

// The three, from the mildest.
const std::array<CapLevelLook, 3>& capLevelLooks();
const CapLevelLook& capLevelLook(CapLevel level);

// The levels the teacher's month reached, from the mildest.
std::vector<CapLevel> capLevels(const TeacherTotals& totals);
// The gravest of them, which colours the teacher's row.
std::optional<CapLevel> gravestCapLevel(const TeacherTotals& totals);
// The levels reached, each with its mark, the gravest first, then 年360時間超 when over:
// "● 月100時間以上 ▲ 月45時間超". Empty when none.
QString markedCapFlags(const TeacherTotals& totals);
// "凡例: ▲ 月45時間超　◆ 2～6か月平均80時間超　● 月100時間以上"
QString capLevelLegend();

// The teachers' places in `totals` by the month's overtime, largest first; equal ones keep
// their order.
std::vector<std::size_t> byOvertimeLargestFirst(const std::vector<TeacherTotals>& totals);

// The report as tables, for the terminal, the window, the PDF and the workbook alike.
QStringList boardBandHeader();
QStringList boardBandRow(const BandCounts& counts);
QStringList boardTeacherHeader();
QStringList boardTeacherRow(const BoardTeacher& teacher);

}  // namespace tavomi
