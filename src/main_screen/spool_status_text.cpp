#include "main_screen/spool_status_text.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

QString timeOfDay(const QDateTime& at, const QDate& today) {
    return at.toString(at.date() == today ? u"HH:mm"_s : u"M/d HH:mm"_s);
}

}  // namespace

QString spoolStatusText(const SpoolStatus& status, const QDate& today) {
    QStringList lines;
    if (status.waiting > 0) {
        const QString since = timeOfDay(status.oldest, today);
        lines << u"未送信 %1件（%2から）このPCに保存しています"_s.arg(status.waiting).arg(since);
    }
    if (!status.setAsideFile.empty()) {
        lines << u"保存した記録の一部が読めないため %1 に移しました"_s.arg(
            QString::fromStdString(status.setAsideFile.filename().string()));
    }
    return lines.join(u'\n');
}

QString shareAwayText(const QDateTime& since, const QDateTime& copyTakenAt, const QDateTime& now) {
    constexpr int kStaleAfterDays = 7;
    QString taken = copyTakenAt.toString(u"M/d HH:mm"_s);
    if (copyTakenAt.daysTo(now) > kStaleAfterDays) {
        taken = u"<span style=\"color: #d00000;\">%1</span>"_s.arg(taken);
    }
    return u"ファイルサーバーにつながりません（%1から）。記録はこのPCに保存し、つながったら"
           u"送ります。カードの一覧は %2 のもの"_s.arg(timeOfDay(since, now.date()), taken);
}

QString waitingForShareText(const QDateTime& since, const QDate& today) {
    return u"ファイルサーバーを待っています（%1から）。\nつながると自動で始まります。"_s.arg(
        timeOfDay(since, today));
}

}  // namespace tavomi
