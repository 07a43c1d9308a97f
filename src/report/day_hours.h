#pragma once
// One teacher's day in minutes, as the national guideline on teachers' working hours counts
// 在校等時間: the time at school and on duties outside it, less the break, leave and 中抜.

#include "record/punch_record.h"
#include "report/day_schedule.h"

#include <vector>

namespace tavomi {

// A record as the hours of a day need it.
struct TimedRecord {
    RecordKind kind = RecordKind::ClockIn;
    int minutes = 0;     // after the date's midnight (up to 28:59), or a 中抜's length
    bool leave = false;  // carries a leave reason (年休, 職専免 …; not 割振変更)
};

struct DayHours {
    bool attended = false;  // a clock-in that day (出勤日数 counts it)
    bool counted = false;   // a clock-in and a later clock-out: the day's hours are known
    int present = 0;        // 在校等時間
    int outside = 0;        // 校外: going out on duty, part of 在校等時間
    int deducted = 0;  // the break, going out on leave and 中抜: 在校等時間 is less these
    int overtime = 0;  // 時間外在校等時間
    bool overtimeCounted = true;  // false when the day's scheduled hours cannot be read
};

// From the first clock-in to the last clock-out (a clock-out after midnight is written under
// its date), less the day's break (only on a day with scheduled hours), the 中抜 lengths and
// the going-out periods whose 外出 or 戻り carries a leave reason. A going-out without a leave
// reason is a duty outside the school (出張, 引率, a home visit) and counts, as 校外. A
// going-out without a return lasts until the clock-out; a return without a going-out is
// ignored. A day without a clock-in or a clock-out, or with the clock-out first, counts
// nothing. Overtime is the time beyond the scheduled hours, all of it on a day off, and
// none when the scheduled hours cannot be read.
DayHours dayHours(const std::vector<TimedRecord>& records, const DaySchedule& schedule);

}  // namespace tavomi
