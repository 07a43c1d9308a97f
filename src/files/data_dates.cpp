#include "files/data_dates.h"

namespace tavomi {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int twoDigits(QStringView text, qsizetype at) {
    return (text[at].unicode() - u'0') * 10 + (text[at + 1].unicode() - u'0');
}

}  // namespace

QString recordDateText(const QDate& date) {
    return date.toString(QString::fromLatin1(kRecordDateFormat));
}

QString recordTimeText(const QTime& time) {
    return time.toString(QString::fromLatin1(kRecordTimeFormat));
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

}  // namespace tavomi
