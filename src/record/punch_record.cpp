#include "record/punch_record.h"

#include <QList>
#include <QStringList>

namespace tavomi {

static_assert(
    [] {
        for (std::size_t i = 0; i < kRecordKindWords.size(); ++i) {
            if (static_cast<std::size_t>(kRecordKindWords[i].kind) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kRecordKindWords is indexed by RecordKind");

namespace {

// The manual entry writes a clock-out after midnight under the previous date as 24:00 to 28:59.
constexpr int kLatestHour = 28;

constexpr std::array<std::pair<RecordSource, const char16_t*>, 2> kSourceWords = {{
    {RecordSource::Card, kSourceCard},
    {RecordSource::Manual, kSourceManual},
}};

std::optional<RecordKind> readKind(QStringView word) {
    for (const auto& [kind, text] : kRecordKindWords) {
        if (word == QStringView(text)) {
            return kind;
        }
    }
    return std::nullopt;
}

std::optional<RecordSource> readSource(QStringView word) {
    for (const auto& [source, text] : kSourceWords) {
        if (word == QStringView(text)) {
            return source;
        }
    }
    return std::nullopt;
}

QString sourceWord(RecordSource source) {
    for (const auto& [s, text] : kSourceWords) {
        if (s == source) {
            return QString::fromUtf16(text);
        }
    }
    return {};
}

// The "none" word, or the head with something after it.
bool isCodeField(QStringView field, const char16_t* head, const char16_t* none) {
    const QStringView headView(head);
    return field == QStringView(none) ||
           (field.startsWith(headView) && field.size() > headView.size());
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

}  // namespace

QString recordKindWord(RecordKind kind) {
    return QString::fromUtf16(kRecordKindWords.at(static_cast<std::size_t>(kind)).word);
}

std::optional<int> readRecordMinutes(RecordKind kind, QStringView time) {
    const auto hm = readHoursMinutes(time);
    if (!hm) {
        return std::nullopt;
    }
    const int total = hm->first * 60 + hm->second;
    if (kind == RecordKind::MidDayAbsence) {
        return total > 0 && total <= 24 * 60 ? std::optional<int>(total) : std::nullopt;
    }
    return hm->first <= kLatestHour ? std::optional<int>(total) : std::nullopt;
}

QString PunchRecord::line() const {
    QString text = QStringList{recordKindWord(kind),
                               name,
                               recordDateText(date),
                               time,
                               sourceWord(source),
                               detail,
                               reason}
                       .join(u',');
    // A control character (a quoted cardholder name may hold one) would break the line,
    // or as 0x1A cut the journal short at the next append: it is written as '?', as a
    // character CP932 lacks is.
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = u'?';
        }
    }
    return text;
}

std::optional<RecordFields> splitRecordFields(QStringView line) {
    const QList<QStringView> parts = line.split(u',');
    const auto count = static_cast<qsizetype>(kRecordFieldCount);
    if (parts.size() < count) {
        return std::nullopt;
    }
    RecordFields fields;
    fields[RecordField::Kind] = parts[0].toString();
    // The name runs up to the fields that are counted from the line's end.
    const qsizetype afterName =
        parts.size() - static_cast<qsizetype>(fieldFromEnd(RecordField::Date));
    QString& name = fields[RecordField::Name];
    for (qsizetype i = 1; i < afterName; ++i) {
        if (i > 1) {
            name += u',';
        }
        name += parts[i];
    }
    for (std::size_t f = fieldIndex(RecordField::Date); f < kRecordFieldCount; ++f) {
        fields.texts[f] = parts[parts.size() - count + static_cast<qsizetype>(f)].toString();
    }
    return fields;
}

std::variant<PunchRecord, LineProblem> readPunchRecord(QStringView line) {
    const auto fields = splitRecordFields(line);
    if (!fields || line.contains(QChar(QChar::ReplacementCharacter))) {
        return LineProblem::Unreadable;
    }
    const auto& [kindWord, name, dateText, time, sourceText, detail, reason] = fields->texts;
    const auto kind = readKind(kindWord);
    if (!kind) {
        return LineProblem::UnknownKind;
    }
    const auto date = readRecordDate(dateText);
    if (!date) {
        return LineProblem::BadDate;
    }
    if (!readRecordMinutes(*kind, time)) {
        return LineProblem::BadTime;
    }
    const auto source = readSource(sourceText);
    if (!source) {
        return LineProblem::UnknownSource;
    }
    if (!isCodeField(detail, kDetailHead, kNoDetail)) {
        return LineProblem::BadDetail;
    }
    if (!isCodeField(reason, kReasonHead, kNoReason)) {
        return LineProblem::BadReason;
    }
    return PunchRecord{*kind, name, *date, time, *source, detail, reason};
}

}  // namespace tavomi
