#include "report/day_summary.h"

#include "record/vocabulary.h"

#include <algorithm>
#include <array>
#include <tuple>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

void orderAsHappened(std::vector<PunchEvent>& events) {
    std::sort(events.begin(), events.end(),
              [](const PunchEvent& a, const PunchEvent& b) { return a.line < b.line; });
    // A 中抜 takes the time of the timed record before it in the journal.
    const auto keysOf = [&events](auto&& onKey) {
        int previousTime = -1;
        for (PunchEvent& event : events) {
            if (event.kind != RecordKind::MidDayAbsence) {
                previousTime = event.minutes;
            }
            onKey(event.kind == RecordKind::MidDayAbsence ? previousTime : event.minutes, event);
        }
    };
    bool inOrder = true;
    int lastKey = -1;
    keysOf([&](int key, PunchEvent&) {
        inOrder = inOrder && key >= lastKey;
        lastKey = key;
    });
    if (inOrder) {
        return;  // nearly every day: the journal has them in the order they happened
    }
    std::vector<std::pair<int, PunchEvent*>> keyed;
    keyed.reserve(events.size());
    keysOf([&](int key, PunchEvent& event) { keyed.emplace_back(key, &event); });
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<PunchEvent> ordered;
    ordered.reserve(events.size());
    for (const auto& [key, event] : keyed) {
        ordered.push_back(std::move(*event));
    }
    events = std::move(ordered);
}

// Every code the day's records carry, once, in the vocabulary's order.
template <typename Entries>
QStringList codesOfDay(const std::vector<PunchEvent>& events, QStringList PunchEvent::*codes,
                       const Entries& entries) {
    std::array<bool, std::tuple_size_v<Entries>> carried{};
    for (const PunchEvent& event : events) {
        for (const QString& code : event.*codes) {
            const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
                return QStringView(e.code) == code;
            });
            if (entry != entries.end()) {
                carried[static_cast<std::size_t>(entry - entries.begin())] = true;
            }
        }
    }
    QStringList found;
    for (std::size_t i = 0; i < carried.size(); ++i) {
        if (carried[i]) {
            found.append(QString::fromUtf16(entries[i].code));
        }
    }
    return found;
}

std::vector<DayException> findExceptions(const DaySummary& day) {
    std::vector<DayException> found;
    if (!day.clockIns.isEmpty() && day.clockOuts.isEmpty()) {
        found.push_back(DayException::NoClockOut);
    }
    if (day.clockIns.isEmpty() && !day.clockOuts.isEmpty()) {
        found.push_back(DayException::NoClockIn);
    }
    // Going-outs and returns pair up in the order they happened.
    int open = 0;
    bool unmatchedReturn = false;
    for (const PunchEvent& event : day.events) {
        if (event.kind == RecordKind::GoingOut) {
            ++open;
        } else if (event.kind == RecordKind::Return) {
            if (open == 0) {
                unmatchedReturn = true;
            } else {
                --open;
            }
        }
    }
    if (open > 0) {
        found.push_back(DayException::NoReturn);
    }
    if (unmatchedReturn) {
        found.push_back(DayException::NoGoingOut);
    }
    if (day.clockIns.size() > 1) {
        found.push_back(DayException::SeveralClockIns);
    }
    return found;
}

}  // namespace

DaySummary summarizeDay(const QDate& date, std::vector<PunchEvent> events) {
    DaySummary day;
    day.date = date;
    orderAsHappened(events);
    for (const PunchEvent& event : events) {
        switch (event.kind) {
            case RecordKind::ClockIn:
                day.clockIns.append(event.time);
                break;
            case RecordKind::ClockOut:
                day.clockOuts.append(event.time);
                break;
            case RecordKind::GoingOut:
                day.goingOuts.append(event.time);
                break;
            case RecordKind::Return:
                day.returns.append(event.time);
                break;
            case RecordKind::MidDayAbsence:
                day.absences.append(event.time);
                break;
        }
        if (event.manual) {
            day.manualKinds.append(recordKindWord(event.kind));
        }
    }
    day.reasons = codesOfDay(events, &PunchEvent::reasons, kReasons);
    day.categories = codesOfDay(events, &PunchEvent::categories, kWorkCategories);
    day.events = std::move(events);
    day.exceptions = findExceptions(day);
    return day;
}

QString exceptionText(DayException exception, const DaySummary& day) {
    switch (exception) {
        case DayException::NoClockOut:
            return u"退勤なし"_s;
        case DayException::NoClockIn:
            return u"出勤なし"_s;
        case DayException::NoReturn:
            return u"戻りなし"_s;
        case DayException::NoGoingOut:
            return u"外出なし"_s;
        case DayException::SeveralClockIns:
            return u"出勤%1回"_s.arg(day.clockIns.size());
    }
    return {};
}

Whereabouts whereaboutsAfter(const DaySummary& day) {
    if (day.events.empty()) {
        return {};
    }
    const PunchEvent& last = day.events.back();
    switch (last.kind) {
        case RecordKind::ClockIn:
        case RecordKind::Return:
            return {Standing::In, {}};
        case RecordKind::GoingOut:
            return {Standing::Out, {}};
        case RecordKind::MidDayAbsence:
            return {Standing::Absent, last.time};
        case RecordKind::ClockOut:
            return {Standing::GoneHome, {}};
    }
    return {};
}

QString whereaboutsText(const Whereabouts& whereabouts) {
    switch (whereabouts.standing) {
        case Standing::NotYetIn:
            return u"未出勤"_s;
        case Standing::In:
            return u"在校"_s;
        case Standing::Out:
            return u"外出中"_s;
        case Standing::Absent:
            return u"中抜け（%1）"_s.arg(lengthText(whereabouts.absenceLength));
        case Standing::GoneHome:
            return u"退勤済"_s;
    }
    return {};
}

QString lengthText(const QString& length) {
    const int hours = length.left(2).toInt();
    const int minutes = length.mid(3, 2).toInt();
    QString text;
    if (hours > 0) {
        text += u"%1時間"_s.arg(hours);
    }
    if (minutes > 0) {
        text += u"%1分"_s.arg(minutes);
    }
    return text;
}

}  // namespace tavomi
