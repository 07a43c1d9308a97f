#pragma once
// What the office window's pages show, as texts, without widgets: the board of who is
// in, the month's findings, and the card registration's refusals in Japanese.

#include "files/pc_status.h"
#include "office/card_registration.h"
#include "report/report_model.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tavomi {

// One teacher's line on the board of a day.
struct PresenceRow {
    QString name;  // control characters as their pictures
    QString standing;  // 未出勤, 在校, 外出中, 中抜け（…）, 退勤済; on a day that is over see below
    QString clockIns;  // the day's times, in the order they happened
    QString goingOuts;
    QString returns;
    QString absences;  // the 中抜 lengths
    QString clockOuts;
};

// Where the teacher stands after the day's records. On a day that is over, nobody is still
// at school: a day left open reads 退勤なし, and a day without records 記録なし.
QString standingText(const DaySummary& day, bool dayIsOver);

// The board of a one-day report, teacher by teacher.
std::vector<PresenceRow> presenceRows(const PeriodReport& dayReport, bool dayIsOver);

// One reception PC's line on the board, from its status file.
struct PcRow {
    QString name;      // control characters as their pictures
    QString standing;  // 正常, or ※ 要確認： and why
    QString reached;   // when it last reached the share
    QString waiting;   // なし, or 3件（07:40から）
    QString cardList;  // when its cardholder list was read
    QString version;
    bool needsLook = false;
};

// A PC needs a look when its records have waited longer than this, or when, during the
// school's hours, it has not reached the share for longer than this.
inline constexpr int kPcLateMinutes = 30;

// The PCs' lines at `now`. Records that wait are marked at any hour (they are missing from
// the journal); a PC that has not reached the share only within `schoolHours` (PCs are
// switched off at night). A file that gives no status is a line that needs a look.
std::vector<PcRow> pcRows(const std::vector<PcStatusFile>& files,
                          const std::optional<SchoolHours>& schoolHours, const QDateTime& now);

// True when the period has a record. A garbled line does not count: one without a
// readable date is listed with every period.
bool hasRecords(const PeriodReport& report);

// Every exception of the period (teacher, date, what is missing), then every garbled line
// with its line number, one text each; an exception's line names its teacher (the place
// in the report) and day, so that a page can open that day.
struct FindingLine {
    QString text;
    std::optional<std::size_t> teacher;
    QDate date;
    std::optional<DayException> exception;
};
std::vector<FindingLine> findingLines(const PeriodReport& report);
QStringList findingTexts(const PeriodReport& report);

// The month a month page opens on: the one just ended during the first ten days of a
// month, when its sheets are made, else this one. Its first day.
QDate monthToOpenOn(const QDate& today);

// The number of the teacher's days that carry an exception.
int daysWithExceptions(const TeacherDays& teacher);

// Why a name or a particular cannot be registered, in Japanese.
QString nameProblemText(const NameProblem& problem);
QString particularsProblemText(const FieldProblem& problem);

// What registerCard's status means, in Japanese (Registered gives the success message).
QString registerStatusText(const RegisterResult& result, const QString& cardId,
                           const QString& name);

// The question before a card changes hands.
QString reassignQuestion(const QString& cardId, const QString& formerHolder, const QString& name);

}  // namespace tavomi
