#include "office/report_text.h"

#include "files/cp932.h"
#include "files/punch_record.h"
#include "office/text_table.h"

namespace tavomi {

namespace {

QString joined(const QStringList& values) {
    return values.join(u' ');
}

QString exceptionsText(const DaySummary& day) {
    QStringList words;
    for (DayException exception : day.exceptions) {
        words.append(exceptionText(exception, day));
    }
    return joined(words);
}

// The cells every form of the sheet shares, from the clock-ins on.
QStringList recordCells(const DaySummary& day) {
    return {joined(day.clockIns),   joined(day.clockOuts),   joined(day.goingOuts),
            joined(day.returns),    joined(day.absences),    joined(day.reasons),
            joined(day.categories), joined(day.manualKinds), exceptionsText(day)};
}

QStringList recordHeadings() {
    return {
        QString::fromUtf16(u"出勤"), QString::fromUtf16(u"退勤"), QString::fromUtf16(u"外出"),
        QString::fromUtf16(u"戻り"), QString::fromUtf16(u"中抜"), QString::fromUtf16(u"事由"),
        QString::fromUtf16(u"業務"), QString::fromUtf16(u"手動"), QString::fromUtf16(u"確認事項"),
    };
}

QString csvField(const QString& value) {
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\r') &&
        !value.contains(u'\n')) {
        return value;
    }
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString eventText(const PunchEvent& event) {
    QString text = recordKindWord(event.kind) + u' ' +
                   (event.kind == RecordKind::MidDayAbsence ? lengthText(event.time) : event.time);
    if (event.manual) {
        text += QString::fromUtf16(u"(手動)");
    }
    return text;
}

// A garbled line as the terminal can show it: control characters as their pictures
// (␉, ␚), and no more than a screen's width of it.
QString shownLine(const QString& text) {
    constexpr qsizetype kShown = 100;
    QString shown = text.left(kShown);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20) {
            c = QChar(0x2400 + c.unicode());
        } else if (c.unicode() == 0x7F) {
            c = QChar(0x2421);
        }
    }
    return text.size() > kShown ? shown + QString::fromUtf16(u"…") : shown;
}

QString dateHeading(const QDate& date) {
    return recordDateText(date) + QString::fromUtf16(u"（") + weekdayText(date) +
           QString::fromUtf16(u"）");
}

}  // namespace

QStringList sheetHeader() {
    return QStringList{QString::fromUtf16(u"日"), QString::fromUtf16(u"曜"),
                       QString::fromUtf16(u"勤務時間"), QString::fromUtf16(u"休憩")} +
           recordHeadings();
}

QStringList sheetRow(const DaySummary& day) {
    QString hours;
    QString rest;
    if (day.scheduled) {
        hours = day.scheduled->start + u'-' + day.scheduled->end;
        rest = day.scheduled->rest;
    }
    return QStringList{QString::number(day.date.day()), weekdayText(day.date), hours, rest} +
           recordCells(day);
}

QStringList csvHeader() {
    return QStringList{QString::fromUtf16(u"氏名"),     QString::fromUtf16(u"日付"),
                       QString::fromUtf16(u"曜日"),     QString::fromUtf16(u"勤務開始"),
                       QString::fromUtf16(u"勤務終了"), QString::fromUtf16(u"休憩")} +
           recordHeadings();
}

QStringList csvRow(const QString& name, const DaySummary& day) {
    const ScheduledHours hours = day.scheduled.value_or(ScheduledHours{});
    return QStringList{
               name,      recordDateText(day.date), weekdayText(day.date), hours.start, hours.end,
               hours.rest} +
           recordCells(day);
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
    writeRow(csvHeader());
    for (const TeacherDays& teacher : report.teachers) {
        for (const DaySummary& day : teacher.days) {
            writeRow(csvRow(teacher.name, day));
        }
    }
    return bytes;
}

QString monthTitle(const ReportPeriod& period) {
    return QString::fromUtf16(u"%1年%2月").arg(period.first().year()).arg(period.first().month());
}

QString monthText(const PeriodReport& report) {
    QString text = monthTitle(report.period) + QString::fromUtf16(u"の勤務記録\n");
    for (const TeacherDays& teacher : report.teachers) {
        std::vector<QStringList> rows;
        for (const DaySummary& day : teacher.days) {
            rows.push_back(sheetRow(day));
        }
        text += QString::fromUtf16(u"\n■ ") + teacher.name + u'\n';
        text += textTable(sheetHeader(), rows);
    }
    return text + garbledText(report.garbled);
}

QString dayText(const PeriodReport& report, const QDateTime& now) {
    const QDate date = report.period.first();
    QString text = dateHeading(date) + QString::fromUtf16(u"の出退勤");
    if (now.date() == date) {
        text += QString::fromUtf16(u"　") + now.time().toString(QStringLiteral("H:mm")) +
                QString::fromUtf16(u" 現在");
    }
    text += u'\n';

    std::vector<QStringList> rows;
    for (const TeacherDays& teacher : report.teachers) {
        const DaySummary& day = teacher.days.front();
        QStringList events;
        for (const PunchEvent& event : day.events) {
            events.append(eventText(event));
        }
        rows.push_back({teacher.name, events.join(QStringLiteral("  ")),
                        whereaboutsText(whereaboutsAfter(day))});
    }
    text += textTable(
        {QString::fromUtf16(u"氏名"), QString::fromUtf16(u"記録"), QString::fromUtf16(u"現在")},
        rows);
    return text + garbledText(report.garbled);
}

QString garbledText(const std::vector<GarbledLine>& garbled) {
    if (garbled.empty()) {
        return {};
    }
    std::vector<QStringList> rows;
    for (const GarbledLine& line : garbled) {
        rows.push_back({QString::fromUtf16(u"%1行目").arg(line.line), lineProblemText(line.problem),
                        shownLine(line.text)});
    }
    return QString::fromUtf16(u"\n記録として読めない行（%1行）\n").arg(garbled.size()) +
           textTable({QString::fromUtf16(u"行"), QString::fromUtf16(u"問題"),
                      QString::fromUtf16(u"内容")},
                     rows);
}

}  // namespace tavomi
