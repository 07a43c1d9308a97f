#pragma once

#include "record/punch_line.h"
#include "report/day_hours.h"
#include "report/day_schedule.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>
#include <vector>

namespace tavomi {

// What a checker looks for in one teacher's day.
enum class DayException {
    NoClockOut,       // a clock-in, and no clock-out
    NoClockIn,        // a clock-out, and no clock-in
    NoReturn,         // a going-out that no return follows
    NoGoingOut,       // a return that follows no going-out
    SeveralClockIns,  // more than one clock-in
};

// One teacher's records of one date.
struct DaySummary {
    QDate date;
    DaySchedule schedule;
    std::vector<PunchEvent> events;  // in the order they happened (see summarizeDay)
    QStringList clockIns;            // time texts, in that order
    QStringList clockOuts;
    QStringList goingOuts;
    QStringList returns;
    QStringList absences;     // lengths of the 中抜 records
    QStringList reasons;      // every reason code of the day once, in vocabulary order
    QStringList categories;   // every work category code of the day once, in vocabulary order
    QStringList manualKinds;  // the kind words of the records made by hand, in order
    std::vector<DayException> exceptions;
    DayHours hours;  // from the records and the schedule
};

// One teacher's days of a period, every date of it, in date order.
struct TeacherDays {
    QString name;
    std::vector<DaySummary> days;
};

// Puts one teacher's records of a date in the order they happened: by time (hours 24 to
// 28 after the rest); a 中抜, which carries a length rather than a time, right after the
// record that precedes it in the journal; equal times in journal order.
DaySummary summarizeDay(const QDate& date, std::vector<PunchEvent> events);

// The checker's words: 退勤なし, 出勤なし, 戻りなし, 外出なし, 出勤2回.
QString exceptionText(DayException exception, const DaySummary& day);

// Where a teacher stands after the day's last record.
enum class Standing { NotYetIn, In, Out, Absent, GoneHome };

struct Whereabouts {
    Standing standing = Standing::NotYetIn;
    QString absenceLength;  // the 中抜's length, when Absent
};

Whereabouts whereaboutsAfter(const DaySummary& day);

// 未出勤, 在校, 外出中, 中抜け（2時間）, 退勤済.
QString whereaboutsText(const Whereabouts& whereabouts);

// A 中抜's length as hours and minutes: 2時間, 1時間30分.
QString lengthText(const QString& length);

}  // namespace tavomi
