#include "record/punch_line.h"

#include "record/vocabulary.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// The "none" word as no codes, or the text after the field's head split into the
// vocabulary's codes, as written. nullopt when the head or a code is not there.
template <typename Entries>
std::optional<QStringList> readCodes(QStringView field, const char16_t* head, const char16_t* none,
                                     const Entries& entries) {
    if (field == QStringView(none)) {
        return QStringList();
    }
    if (!field.startsWith(QStringView(head)) || field.size() == QStringView(head).size()) {
        return std::nullopt;
    }
    QStringList codes;
    for (QStringView rest = field.mid(QStringView(head).size()); !rest.isEmpty();) {
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

QString lineProblemText(LineProblem problem) {
    switch (problem) {
        case LineProblem::Unreadable:
            return u"読めない行"_s;
        case LineProblem::UnknownKind:
            return u"不明な区分"_s;
        case LineProblem::BadDate:
            return u"日付の誤り"_s;
        case LineProblem::BadTime:
            return u"時刻の誤り"_s;
        case LineProblem::UnknownSource:
            return u"不明な記録方法"_s;
        case LineProblem::BadDetail:
            return u"詳細の誤り"_s;
        case LineProblem::BadReason:
            return u"事由の誤り"_s;
    }
    return {};
}

std::variant<PunchEvent, LineProblem> readPunchLine(QStringView line) {
    const auto read = readPunchRecord(line);
    if (const auto* problem = std::get_if<LineProblem>(&read)) {
        return *problem;
    }
    const auto& record = std::get<PunchRecord>(read);
    const auto categories = readDetailCodes(record.detail);
    if (!categories) {
        return LineProblem::BadDetail;
    }
    const auto reasons = readReasonCodes(record.reason);
    if (!reasons) {
        return LineProblem::BadReason;
    }
    PunchEvent event;
    event.kind = record.kind;
    event.name = record.name;
    event.date = record.date;
    event.time = record.time;
    event.minutes = readRecordMinutes(record.kind, record.time).value_or(0);
    event.manual = record.source == RecordSource::Manual;
    event.categories = *categories;
    event.reasons = *reasons;
    return event;
}

std::optional<QStringList> readDetailCodes(QStringView field) {
    return readCodes(field, kDetailHead, kNoDetail, kWorkCategories);
}

std::optional<QStringList> readReasonCodes(QStringView field) {
    return readCodes(field, kReasonHead, kNoReason, kReasons);
}

}  // namespace tavomi
