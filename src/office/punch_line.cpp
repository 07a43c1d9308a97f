#include "office/punch_line.h"

#include "files/punch_journal.h"
#include "punch/vocabulary.h"

#include <algorithm>

namespace tavomi {

namespace {

constexpr std::array<std::pair<RecordKind, const char16_t*>, 5> kKindWords = {{
    {RecordKind::ClockIn, kKindClockIn},
    {RecordKind::ClockOut, kKindClockOut},
    {RecordKind::GoingOut, kKindGoingOut},
    {RecordKind::Return, kKindReturn},
    {RecordKind::MidDayAbsence, kKindMidDayAbsence},
}};

// The manual entry writes a clock-out after midnight under the previous date as 24:00 to 28:59.
constexpr int kLatestHour = 28;

std::optional<RecordKind> readKind(QStringView word) {
    for (const auto& [kind, text] : kKindWords) {
        if (word == QStringView(text)) {
            return kind;
        }
    }
    return std::nullopt;
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int twoDigits(QStringView text, qsizetype at) {
    return (text[at].unicode() - u'0') * 10 + (text[at + 1].unicode() - u'0');
}

// "HH:mm" to hours and minutes, or nullopt.
std::optional<std::pair<int, int>> readHoursMinutes(QStringView text) {
    if (text.size() != 5 || !isDigit(text[0]) || !isDigit(text[1]) || text[2] != u':' ||
        !isDigit(text[3]) || !isDigit(text[4])) {
        return std::nullopt;
    }
    const int minutes = twoDigits(text, 3);
    if (minutes > 59) {
        return std::nullopt;
    }
    return std::make_pair(twoDigits(text, 0), minutes);
}

// Minutes after midnight of a clock time, or of a 中抜's length; nullopt for a bad time.
std::optional<int> readTime(RecordKind kind, QStringView text) {
    const auto hm = readHoursMinutes(text);
    if (!hm) {
        return std::nullopt;
    }
    const int total = hm->first * 60 + hm->second;
    if (kind == RecordKind::MidDayAbsence) {
        // A length: more than nothing, at most a day.
        return total > 0 && total <= 24 * 60 ? std::optional<int>(total) : std::nullopt;
    }
    return hm->first <= kLatestHour ? std::optional<int>(total) : std::nullopt;
}

// Splits the text after a field's head word into the vocabulary's codes, as written.
// nullopt when something there is no code.
template <typename Entries>
std::optional<QStringList> readCodes(QStringView field, const char16_t* head, const char16_t* none,
                                     const Entries& entries) {
    if (field == QStringView(none)) {
        return QStringList();
    }
    const QStringView headView(head);
    if (!field.startsWith(headView) || field.size() == headView.size()) {
        return std::nullopt;
    }
    QStringList codes;
    for (QStringView rest = field.mid(headView.size()); !rest.isEmpty();) {
        const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
            return rest.startsWith(QStringView(e.code));
        });
        if (entry == entries.end()) {
            return std::nullopt;
        }
        codes.append(QString::fromUtf16(entry->code));
        rest = rest.mid(QStringView(entry->code).size());
    }
    return codes;
}

}  // namespace

QString recordKindWord(RecordKind kind) {
    for (const auto& [k, text] : kKindWords) {
        if (k == kind) {
            return QString::fromUtf16(text);
        }
    }
    return {};
}

QString lineProblemText(LineProblem problem) {
    switch (problem) {
        case LineProblem::Unreadable:
            return QString::fromUtf16(u"読めない行");
        case LineProblem::UnknownKind:
            return QString::fromUtf16(u"不明な区分");
        case LineProblem::BadDate:
            return QString::fromUtf16(u"日付の誤り");
        case LineProblem::BadTime:
            return QString::fromUtf16(u"時刻の誤り");
        case LineProblem::UnknownSource:
            return QString::fromUtf16(u"不明な記録方法");
        case LineProblem::BadDetail:
            return QString::fromUtf16(u"詳細の誤り");
        case LineProblem::BadReason:
            return QString::fromUtf16(u"事由の誤り");
    }
    return {};
}

std::optional<RecordFields> splitRecordFields(QStringView line) {
    const QList<QStringView> parts = line.split(u',');
    if (parts.size() < 7) {
        return std::nullopt;
    }
    RecordFields fields;
    const qsizetype nameEnd = parts.size() - 5;
    fields[0] = parts[0].toString();
    for (qsizetype i = 1; i < nameEnd; ++i) {
        if (i > 1) {
            fields[1] += u',';
        }
        fields[1] += parts[i];
    }
    for (std::size_t f = 2; f < fields.size(); ++f) {
        fields[f] = parts[nameEnd + static_cast<qsizetype>(f) - 2].toString();
    }
    return fields;
}

std::optional<QDate> readRecordDate(QStringView text) {
    if (text.size() != 10 || text[4] != u'/' || text[7] != u'/') {
        return std::nullopt;
    }
    for (qsizetype i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
    }
    const QDate date(twoDigits(text, 0) * 100 + twoDigits(text, 2), twoDigits(text, 5),
                     twoDigits(text, 8));
    return date.isValid() ? std::optional<QDate>(date) : std::nullopt;
}

std::variant<PunchEvent, LineProblem> readPunchLine(QStringView line) {
    const auto fields = splitRecordFields(line);
    if (!fields || line.contains(QChar(QChar::ReplacementCharacter))) {
        return LineProblem::Unreadable;
    }
    const auto& [kindWord, name, dateText, timeText, source, detail, reason] = *fields;
    PunchEvent event;
    const auto kind = readKind(kindWord);
    if (!kind) {
        return LineProblem::UnknownKind;
    }
    event.kind = *kind;
    const auto date = readRecordDate(dateText);
    if (!date) {
        return LineProblem::BadDate;
    }
    const auto minutes = readTime(event.kind, timeText);
    if (!minutes) {
        return LineProblem::BadTime;
    }
    if (source != QStringView(kSourceCard) && source != QStringView(kSourceManual)) {
        return LineProblem::UnknownSource;
    }
    const auto categories = readCodes(detail, u"詳細", u"詳細なし", kWorkCategories);
    if (!categories) {
        return LineProblem::BadDetail;
    }
    const auto reasons = readCodes(reason, u"事由", u"事由なし", kReasons);
    if (!reasons) {
        return LineProblem::BadReason;
    }
    event.name = name;
    event.date = *date;
    event.time = timeText;
    event.minutes = *minutes;
    event.manual = source == QStringView(kSourceManual);
    event.categories = *categories;
    event.reasons = *reasons;
    return event;
}

}  // namespace tavomi
