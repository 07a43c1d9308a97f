#include "office/window_texts.h"

#include "files/data_folder.h"
#include "office/tool_output.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

QString joined(const QStringList& times) {
    return times.join(u"、"_s);
}

QString shownCharacter(char32_t c) {
    const QString code = u"U+%1"_s.arg(QString::number(c, 16).toUpper().rightJustified(4, u'0'));
    if (c < 0x20 || c == 0x7F) {
        return code;
    }
    return u"「%1」（%2）"_s.arg(QString::fromUcs4(&c, 1), code);
}

QString fieldProblemText(const FieldProblem& problem) {
    switch (problem.kind) {
        case FieldProblem::Kind::Comma:
            return u"カンマ（,）は使えません。"_s;
        case FieldProblem::Kind::DoubleQuote:
            return u"二重引用符（\"）は使えません。"_s;
        case FieldProblem::Kind::HalfWidthSpace:
            return u"半角スペースは使えません（姓と名の間は全角スペースになります）。"_s;
        case FieldProblem::Kind::ControlCharacter:
            return u"制御文字（%1）は使えません。"_s.arg(shownCharacter(problem.character));
        case FieldProblem::Kind::NotInCp932:
            return u"%1 はシフトJIS（CP932）で書けない文字です。"_s.arg(
                shownCharacter(problem.character));
    }
    return {};
}

// A PC's time as the board shows it: the time alone today, the date before it otherwise.
QString pcTimeText(const QDateTime& time, const QDateTime& now) {
    if (!time.isValid()) {
        return u"なし"_s;
    }
    const QDateTime local = time.toLocalTime();
    if (local.date() == now.date()) {
        return local.toString(u"HH:mm"_s);
    }
    return local.toString(local.date().year() == now.date().year() ? u"MM/dd HH:mm"_s
                                                                   : u"yyyy/MM/dd HH:mm"_s);
}

QString lengthText(qint64 minutes) {
    if (minutes < 60) {
        return u"%1分"_s.arg(minutes);
    }
    if (minutes < 24 * 60) {
        return minutes % 60 == 0 ? u"%1時間"_s.arg(minutes / 60)
                                 : u"%1時間%2分"_s.arg(minutes / 60).arg(minutes % 60);
    }
    return u"%1日"_s.arg(minutes / (24 * 60));
}

// Minutes from `since` to `now`; none when `since` is unknown or ahead (another PC's clock).
std::optional<qint64> minutesSince(const QDateTime& since, const QDateTime& now) {
    if (!since.isValid()) {
        return std::nullopt;
    }
    const qint64 seconds = since.secsTo(now);
    if (seconds < 0) {
        return std::nullopt;
    }
    return seconds / 60;
}

const QString kNeedsLook = u"※ 要確認："_s;

PcRow unreadPcRow(const PcStatusFile& file) {
    QByteArray name = QByteArray::fromStdString(file.fileName);
    name.chop(4);  // ".txt"
    PcRow row;
    row.name = withControlPictures(QString::fromUtf8(QByteArray::fromPercentEncoding(name)));
    row.needsLook = true;
    switch (file.read.problem) {
        case PcStatusProblem::NotAStatusFile:
            row.standing = kNeedsLook + u"Tavomi の状態ファイルではありません"_s;
            break;
        case PcStatusProblem::Incomplete:
            row.standing = kNeedsLook + u"状態ファイルが途中で切れているか、壊れています"_s;
            break;
        case PcStatusProblem::Unreadable:
        case PcStatusProblem::None:
            row.standing =
                kNeedsLook +
                u"状態ファイルを読めません（%1）"_s.arg(
                    file.error ? file.error->japaneseText().replace(u"\r\n"_s, u" "_s) : QString());
            break;
    }
    return row;
}

}  // namespace

std::vector<PcRow> pcRows(const std::vector<PcStatusFile>& files,
                          const std::optional<SchoolHours>& schoolHours, const QDateTime& now) {
    const int nowMinutes = now.time().hour() * 60 + now.time().minute();
    const bool schoolIsOn =
        schoolHours && schoolHours->start <= nowMinutes && nowMinutes < schoolHours->end;
    std::vector<PcRow> rows;
    for (const PcStatusFile& file : files) {
        if (!file.read.status) {
            rows.push_back(unreadPcRow(file));
            continue;
        }
        const PcStatus& status = *file.read.status;
        PcRow row;
        row.name = withControlPictures(status.pcName);
        row.reached = pcTimeText(status.reached, now);
        row.waiting =
            status.waiting == 0
                ? u"なし"_s
                : u"%1件（%2から）"_s.arg(status.waiting).arg(pcTimeText(status.waitingSince, now));
        row.cardList = pcTimeText(status.cardListTakenAt, now);
        row.version = withControlPictures(status.version);
        QStringList why;
        if (const auto waited = minutesSince(status.waitingSince, now);
            status.waiting > 0 && waited && *waited > kPcLateMinutes) {
            why << u"未送信の記録が%1待っています"_s.arg(lengthText(*waited));
        }
        if (const auto away = minutesSince(status.reached, now);
            schoolIsOn && (!status.reached.isValid() || (away && *away > kPcLateMinutes))) {
            why << (away ? u"%1ファイルサーバーに届いていません"_s.arg(lengthText(*away))
                         : u"ファイルサーバーに届いた時刻がわかりません"_s);
        }
        row.needsLook = !why.isEmpty();
        row.standing = row.needsLook ? kNeedsLook + why.join(u"／"_s) : u"正常"_s;
        rows.push_back(std::move(row));
    }
    return rows;
}

QString standingText(const DaySummary& day, bool dayIsOver) {
    const Whereabouts where = whereaboutsAfter(day);
    if (dayIsOver) {
        switch (where.standing) {
            case Standing::NotYetIn:
                return u"記録なし"_s;
            case Standing::GoneHome:
                break;
            case Standing::In:
            case Standing::Out:
            case Standing::Absent:
                return u"退勤なし"_s;
        }
    }
    return whereaboutsText(where);
}

std::vector<PresenceRow> presenceRows(const PeriodReport& dayReport, bool dayIsOver) {
    std::vector<PresenceRow> rows;
    for (const TeacherDays& teacher : dayReport.teachers) {
        const DaySummary& day = teacher.days.front();
        QStringList absences;
        for (const QString& length : day.absences) {
            absences.append(lengthText(length));
        }
        rows.push_back({withControlPictures(teacher.name), standingText(day, dayIsOver),
                        joined(day.clockIns), joined(day.goingOuts), joined(day.returns),
                        joined(absences), joined(day.clockOuts)});
    }
    return rows;
}

bool hasRecords(const PeriodReport& report) {
    return std::any_of(report.teachers.begin(), report.teachers.end(), [](const TeacherDays& t) {
        return std::any_of(t.days.begin(), t.days.end(),
                           [](const DaySummary& d) { return !d.events.empty(); });
    });
}

std::vector<FindingLine> findingLines(const PeriodReport& report) {
    std::vector<FindingLine> lines;
    for (std::size_t t = 0; t < report.teachers.size(); ++t) {
        const TeacherDays& teacher = report.teachers[t];
        for (const DaySummary& day : teacher.days) {
            for (const DayException exception : day.exceptions) {
                lines.push_back({u"%1　%2月%3日（%4）　%5"_s.arg(withControlPictures(teacher.name))
                                     .arg(day.date.month())
                                     .arg(day.date.day())
                                     .arg(weekdayText(day.date), exceptionText(exception, day)),
                                 t, day.date, exception});
            }
        }
    }
    for (const QString& check : report.scheduleChecks) {
        lines.push_back({check, std::nullopt, {}, std::nullopt});
    }
    for (const GarbledLine& line : report.garbled) {
        lines.push_back({u"%1 %2行目　%3：%4"_s
                             .arg(QString::fromLatin1(kJournalFile.data(), kJournalFile.size()))
                             .arg(line.line)
                             .arg(lineProblemText(line.problem), withControlPictures(line.text)),
                         std::nullopt,
                         {},
                         std::nullopt});
    }
    return lines;
}

QStringList findingTexts(const PeriodReport& report) {
    QStringList texts;
    for (const FindingLine& line : findingLines(report)) {
        texts.append(line.text);
    }
    return texts;
}

QDate monthToOpenOn(const QDate& today) {
    constexpr int kSheetDays = 10;
    const QDate first(today.year(), today.month(), 1);
    return today.day() <= kSheetDays ? first.addMonths(-1) : first;
}

int daysWithExceptions(const TeacherDays& teacher) {
    return static_cast<int>(
        std::count_if(teacher.days.begin(), teacher.days.end(),
                      [](const DaySummary& d) { return !d.exceptions.empty(); }));
}

QString nameProblemText(const NameProblem& problem) {
    switch (problem.kind) {
        case NameProblem::Kind::Empty:
            return u"氏名を入力してください。"_s;
        case NameProblem::Kind::Field:
            return u"氏名に"_s + fieldProblemText(problem.field);
        case NameProblem::Kind::SpaceAtEdge:
            return u"氏名の最初と最後に全角スペースは置けません。"_s;
    }
    return {};
}

QString particularsProblemText(const FieldProblem& problem) {
    return u"職名・備考に"_s + fieldProblemText(problem);
}

QString registerStatusText(const RegisterResult& result, const QString& cardId,
                           const QString& name) {
    switch (result.status) {
        case RegisterStatus::Registered:
            if (!result.formerHolder.isNull()) {
                return u"カード %1 を %2 さんに登録し直しました（前は %3 さんのカードでした）。"_s
                    .arg(cardId, withControlPictures(name),
                         withControlPictures(result.formerHolder));
            }
            return u"カード %1 を %2 さんに登録しました。"_s.arg(cardId, withControlPictures(name));
        case RegisterStatus::AlreadyRegistered:
            return u"カード %1 はすでに %2 さんに登録されています。"_s.arg(
                cardId, withControlPictures(result.formerHolder));
        case RegisterStatus::ListMissing:
            return u"カード登録ファイル（%1）がありません。登録できませんでした。"_s.arg(
                QString::fromLatin1(kCardholderListFile.data(), kCardholderListFile.size()));
        case RegisterStatus::Busy:
            return u"ほかのプログラムが書き込み中です（%1 があります）。"
                   u"しばらくしてからもう一度登録してください。"
                   u"消えないときは、タイムレコーダーを起動し直すと片付きます。"_s.arg(
                       QString::fromLatin1(kLockFile.data(), kLockFile.size()));
    }
    return {};
}

QString reassignQuestion(const QString& cardId, const QString& formerHolder, const QString& name) {
    return u"カード %1 は %2 さんに登録されています。\n%3 さんのカードとして登録し直しますか？"_s
        .arg(cardId, withControlPictures(formerHolder), withControlPictures(name));
}

}  // namespace tavomi
