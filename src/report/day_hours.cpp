#include "report/day_hours.h"

#include <algorithm>
#include <optional>

namespace tavomi {

DayHours dayHours(const std::vector<TimedRecord>& records, const DaySchedule& schedule) {
    DayHours hours;
    std::optional<int> clockIn;
    std::optional<int> clockOut;
    for (const TimedRecord& record : records) {
        if (record.kind == RecordKind::ClockIn && !clockIn) {
            clockIn = record.minutes;
        } else if (record.kind == RecordKind::ClockOut) {
            clockOut = record.minutes;
        }
    }
    hours.attended = clockIn.has_value();
    if (!clockIn || !clockOut || *clockOut <= *clockIn) {
        return hours;
    }
    hours.counted = true;

    int away = 0;  // on leave or 中抜
    bool isOut = false;
    int wentOutAt = 0;
    bool wentOnLeave = false;
    const auto back = [&](int at, bool leave) {
        (wentOnLeave || leave ? away : hours.outside) += at - wentOutAt;
        isOut = false;
    };
    for (const TimedRecord& record : records) {
        const int at = std::clamp(record.minutes, *clockIn, *clockOut);
        if (record.kind == RecordKind::GoingOut && !isOut) {
            isOut = true;
            wentOutAt = at;
            wentOnLeave = record.leave;
        } else if (record.kind == RecordKind::Return && isOut) {
            back(at, record.leave);
        } else if (record.kind == RecordKind::MidDayAbsence) {
            away += record.minutes;
        }
    }
    if (isOut) {
        back(*clockOut, false);
    }
    hours.deducted = away + (schedule.scheduled ? schedule.rest : 0);
    hours.present = std::max(0, *clockOut - *clockIn - hours.deducted);
    if (schedule.unreadable) {
        hours.overtimeCounted = false;
    } else {
        hours.overtime =
            schedule.scheduled ? std::max(0, hours.present - *schedule.scheduled) : hours.present;
    }
    return hours;
}

}  // namespace tavomi
