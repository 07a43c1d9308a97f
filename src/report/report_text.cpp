#include "report/report_text.h"

#include "files/cp932.h"
#include "record/punch_record.h"
#include "report/text_table.h"

#include <array>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

QString joined(const QStringList& values) {
    return values.join(u' ');
}

// A cell holds one time: the clock-in and the clock-out that the hours count (the first
// clock-in, the last clock-out), and the first going-out, return and 中抜. The others are
// named under the exceptions with their times: 出勤2回（08:03）, 外出2回（15:00）.
QString cellTime(const QStringList& times, RecordKind kind) {
    if (times.isEmpty()) {
        return {};
    }
    return kind == RecordKind::ClockOut ? times.back() : times.front();
}

QString otherTimes(const QStringList& times, RecordKind kind) {
    if (times.size() < 2) {
        return {};
    }
    QStringList others = times;
    others.removeAt(kind == RecordKind::ClockOut ? others.size() - 1 : 0);
    return u"%1%2回（%3）"_s.arg(recordKindWord(kind)).arg(times.size()).arg(joined(others));
}

QString exceptionsText(const DaySummary& day) {
    QStringList words;
    if (const QString note = scheduleNoteText(day.schedule); !note.isEmpty()) {
        words.append(note);
    }
    for (DayException exception : day.exceptions) {
        if (exception == DayException::SeveralClockIns) {
            words.append(otherTimes(day.clockIns, RecordKind::ClockIn));
        } else {
            words.append(exceptionText(exception, day));
        }
    }
    for (const auto& [times, kind] : {std::pair{&day.clockOuts, RecordKind::ClockOut},
                                      std::pair{&day.goingOuts, RecordKind::GoingOut},
                                      std::pair{&day.returns, RecordKind::Return},
                                      std::pair{&day.absences, RecordKind::MidDayAbsence}}) {
        if (const QString others = otherTimes(*times, kind); !others.isEmpty()) {
            words.append(others);
        }
    }
    return joined(words);
}

constexpr qsizetype kRecordCells = 13;

// The day's hours beside its times, so that each column adds up to the month's total; empty
// when the day's hours are not counted.
void appendHours(QStringList& row, const DayHours& hours) {
    if (!hours.counted) {
        row << QString() << QString() << QString() << QString();
        return;
    }
    row << hoursText(hours.present) << (hours.outside > 0 ? hoursText(hours.outside) : QString())
        << (hours.deducted > 0 ? hoursText(hours.deducted) : QString())
        << (hours.overtimeCounted ? hoursText(hours.overtime) : u"不明"_s);
}

// The cells every form of the sheet shares, from the clock-ins on, after `row`'s first.
QStringList withRecordCells(QStringList row, const DaySummary& day) {
    row.reserve(row.size() + kRecordCells);
    row.append(cellTime(day.clockIns, RecordKind::ClockIn));
    row.append(cellTime(day.clockOuts, RecordKind::ClockOut));
    row.append(cellTime(day.goingOuts, RecordKind::GoingOut));
    row.append(cellTime(day.returns, RecordKind::Return));
    row.append(cellTime(day.absences, RecordKind::MidDayAbsence));
    appendHours(row, day.hours);
    row.append(joined(day.reasons));
    row.append(joined(day.categories));
    row.append(joined(day.manualKinds));
    row.append(exceptionsText(day));
    return row;
}

QStringList recordHeadings() {
    return {
        u"出勤"_s, u"退勤"_s,   u"外出"_s, u"戻り"_s, u"中抜"_s, u"在校等時間"_s, u"校外"_s,
        u"控除"_s, u"時間外"_s, u"事由"_s, u"業務"_s, u"手動"_s, u"確認事項"_s,
    };
}

QString eventText(const PunchEvent& event) {
    QString text = recordKindWord(event.kind) + u' ' +
                   (event.kind == RecordKind::MidDayAbsence ? lengthText(event.time) : event.time);
    if (event.manual) {
        text += u"(手動)"_s;
    }
    return text;
}

// A garbled line as the terminal can show it: control characters as their pictures,
// and no more than a screen's width of it.
QString shownLine(const QString& text) {
    constexpr qsizetype kShown = 100;
    const QString shown = withControlPictures(text.left(kShown));
    return text.size() > kShown ? shown + u"…"_s : shown;
}

// The day of the month, made once for every sheet.
QString dayNumberText(const QDate& date) {
    static const std::array<QString, 31> kDays = [] {
        std::array<QString, 31> days;
        for (std::size_t d = 0; d < days.size(); ++d) {
            days[d] = QString::number(d + 1);
        }
        return days;
    }();
    return kDays[static_cast<std::size_t>(date.day() - 1)];
}

QString dateHeading(const QDate& date) {
    return recordDateText(date) + u"（"_s + weekdayText(date) + u"）"_s;
}

}  // namespace

QString csvField(const QString& value) {
    // A cell a spreadsheet would take for a formula stays text.
    if (!value.isEmpty() && QStringView(u"=+-@").contains(value.front())) {
        QString quoted = value;
        quoted.replace(u'"', QStringLiteral("\"\""));
        return u"\"'"_s + quoted + u'"';
    }
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\r') &&
        !value.contains(u'\n')) {
        return value;
    }
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QStringList sheetHeader() {
    return QStringList{u"日"_s, u"曜"_s, u"勤務時間"_s, u"休憩"_s} + recordHeadings();
}

QStringList sheetRow(const DaySummary& day) {
    QString hours;
    QString rest;
    if (const auto& scheduled = day.schedule.hours) {
        hours = scheduled->start + u'-' + scheduled->end;
        rest = scheduled->rest;
    }
    return withRecordCells({dayNumberText(day.date), weekdayText(day.date), hours, rest}, day);
}

QStringList csvHeader() {
    return QStringList{u"氏名"_s, u"日付"_s, u"曜日"_s, u"勤務開始"_s, u"勤務終了"_s, u"休憩"_s} +
           recordHeadings();
}

QStringList csvRow(const QString& name, const DaySummary& day) {
    const ScheduledHours hours = day.schedule.hours.value_or(ScheduledHours{});
    return withRecordCells(
        {name, recordDateText(day.date), weekdayText(day.date), hours.start, hours.end, hours.rest},
        day);
}

QByteArray monthCsv(const PeriodReport& report) {
    QByteArray bytes;
    auto writeRow = [&](const QStringList& row) {
        QStringList fields;
        for (const QString& value : row) {
            fields.append(csvField(value));
        }
        bytes += encodeCp932(fields.join(u','));
        bytes += "\r\n";
    };
    // Each table after a line that names it, so that a spreadsheet user finds where one ends
    // and the next begins.
    writeRow({u"■日ごとの記録"_s});
    writeRow(csvHeader());
    for (const TeacherDays& teacher : report.teachers) {
        for (const DaySummary& day : teacher.days) {
            writeRow(csvRow(teacher.name, day));
        }
    }
    // The sections after the table, each after an empty line and with its own header.
    if (!report.totals.empty()) {
        bytes += "\r\n";
        writeRow({u"■月の集計"_s});
        writeRow(csvTotalsHeader());
        for (const TeacherTotals& totals : report.totals) {
            writeRow(csvTotalsRow(totals));
        }
    }
    if (!report.scheduleChecks.isEmpty()) {
        bytes += "\r\n";
        writeRow({u"■勤務時間の確認"_s});
        for (const QString& check : report.scheduleChecks) {
            writeRow({check});
        }
    }
    if (!report.garbled.empty()) {
        bytes += "\r\n";
        writeRow({u"■記録として読めない行"_s});
        writeRow({u"行"_s, u"問題"_s, u"内容"_s});
        for (const GarbledLine& line : report.garbled) {
            writeRow({u"%1行目"_s.arg(line.line), lineProblemText(line.problem), line.text});
        }
    }
    return bytes;
}

QStringList totalsHeader() {
    return {u"氏名"_s,         u"出勤日数"_s,         u"在校等時間"_s,     u"うち校外"_s,
            u"所定勤務時間"_s, u"時間外"_s,           u"年度累計時間外"_s, u"2～6か月平均の最大"_s,
            u"上限超過"_s,     u"時間に数えない日"_s, u"記録なしの日"_s};
}

QString averageText(const TeacherTotals& totals) {
    if (totals.highestAverageMonths == 0) {
        return {};
    }
    const QString average =
        u"%1（%2か月"_s.arg(hoursText(totals.highestAverage)).arg(totals.highestAverageMonths);
    if (totals.averageMonthsAvailable < kLongestAverageMonths) {
        return average + u"、記録は%1か月分）"_s.arg(totals.averageMonthsAvailable);
    }
    return average + u"）"_s;
}

QStringList totalsRow(const TeacherTotals& totals) {
    QStringList noRecord;
    for (const int day : totals.noRecord) {
        noRecord.append(u"%1日"_s.arg(day));
    }
    return {totals.name,
            QString::number(totals.attendanceDays),
            hoursText(totals.present),
            hoursText(totals.outside),
            hoursText(totals.scheduled),
            hoursText(totals.overtime),
            hoursText(totals.fiscalYearOvertime),
            averageText(totals),
            joined(capFlags(totals)),
            totals.uncounted.join(u"、"_s),
            noRecord.join(u"、"_s)};
}

QStringList csvTotalsHeader() {
    return {u"氏名"_s,           u"出勤日数"_s,
            u"在校等時間"_s,     u"うち校外"_s,
            u"所定勤務時間"_s,   u"時間外"_s,
            u"年度累計時間外"_s, u"2～6か月平均の最大"_s,
            u"平均の月数"_s,     u"平均に使えた記録の月数"_s,
            u"上限超過"_s,       u"時間に数えない日"_s,
            u"記録なしの日"_s};
}

QStringList csvTotalsRow(const TeacherTotals& totals) {
    QStringList row = totalsRow(totals);
    // totalsRow's average, "4:43（2か月、記録は2か月分）", as three cells a spreadsheet reads
    // as a time and two numbers.
    const bool averaged = totals.highestAverageMonths > 0;
    row.replace(7, averaged ? hoursText(totals.highestAverage) : QString());
    row.insert(8, averaged ? QString::number(totals.highestAverageMonths) : QString());
    row.insert(9, averaged ? QString::number(totals.averageMonthsAvailable) : QString());
    return row;
}

QString totalsText(const TeacherTotals& totals) {
    const QStringList cells = totalsRow(totals);
    const QStringList heads = totalsHeader();
    QStringList parts;
    for (qsizetype i = 1; i < heads.size(); ++i) {
        if (!cells[i].isEmpty()) {
            parts.append(heads[i] + u' ' + cells[i]);
        }
    }
    return parts.join(u"　"_s);
}

QString monthTitle(const ReportPeriod& period) {
    return u"%1年%2月"_s.arg(period.first().year()).arg(period.first().month());
}

QString monthTextTitle(const ReportPeriod& period) {
    return monthTitle(period) + u"の勤務記録\n"_s;
}

QString teacherSheetText(const TeacherDays& teacher, const TeacherTotals* totals) {
    static const QStringList header = sheetHeader();
    std::vector<QStringList> rows;
    rows.reserve(teacher.days.size());
    for (const DaySummary& day : teacher.days) {
        rows.push_back(sheetRow(day));
    }
    QString text = u"\n■ "_s + withControlPictures(teacher.name) + u'\n';
    text += textTable(header, rows);
    if (totals != nullptr) {
        text += withControlPictures(totalsText(*totals)) + u'\n';
    }
    return text;
}

QString dayText(const PeriodReport& report, const QDateTime& now) {
    const QDate date = report.period.first();
    QString text = dateHeading(date) + u"の出退勤"_s;
    if (now.date() == date) {
        text += u"　"_s + now.time().toString(QStringLiteral("H:mm")) + u" 現在"_s;
    }
    text += u'\n';

    std::vector<QStringList> rows;
    for (const TeacherDays& teacher : report.teachers) {
        const DaySummary& day = teacher.days.front();
        QStringList events;
        for (const PunchEvent& event : day.events) {
            events.append(eventText(event));
        }
        rows.push_back({withControlPictures(teacher.name), events.join(QStringLiteral("  ")),
                        whereaboutsText(whereaboutsAfter(day))});
    }
    text += textTable({u"氏名"_s, u"記録"_s, u"現在"_s}, rows);
    return text + garbledText(report.garbled);
}

QStringList countingRules() {
    return {
        u"在校等時間: 最初の出勤から最後の退勤まで（午前0時を過ぎた退勤は前の日の分）から、"
        u"休憩（勤務時間のある日）、中抜の時間、事由のある外出（年休・病休・特休・介護・組合・"
        u"職専免・育短・その他）を引いた時間。"_s,
        u"校外: 事由のない外出は、出張・引率・家庭訪問など校外の勤務として在校等時間に数える。"_s,
        u"時間外: 在校等時間のうち勤務時間を超えた分。休日（土日・祝日・学校の休日）は全部。"
        u"退勤のない日は数えず、確認事項に出す。"_s,
        u"勤務時間: 学校の暦（school_calendar.txt）、祝日、working_hours.txt の日付の行、"
        u"週の表（ordinary_working_hours.txt）の順に、最初にあるもの。週の表から取った日は"
        u"確認事項に出す。"_s,
        u"2～6か月平均: 記録のある月だけで平均する。記録が6か月に満たないときはそう書く。"_s,
        u"数えないもの: 本人が申告する自己研鑽などの時間は記録にないため引いていない。"_s,
    };
}

QString scheduleChecksText(const QStringList& checks) {
    if (checks.isEmpty()) {
        return {};
    }
    QString text = u"\n勤務時間の確認（%1件）\n"_s.arg(checks.size());
    for (const QString& check : checks) {
        text += check + u'\n';
    }
    return text;
}

QString garbledText(const std::vector<GarbledLine>& garbled) {
    if (garbled.empty()) {
        return {};
    }
    std::vector<QStringList> rows;
    for (const GarbledLine& line : garbled) {
        rows.push_back(
            {u"%1行目"_s.arg(line.line), lineProblemText(line.problem), shownLine(line.text)});
    }
    return u"\n記録として読めない行（%1行）\n"_s.arg(garbled.size()) +
           textTable({u"行"_s, u"問題"_s, u"内容"_s}, rows);
}

}  // namespace tavomi
