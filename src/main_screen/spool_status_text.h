#pragma once

#include "spool/journal_writer.h"

#include <QDate>
#include <QDateTime>
#include <QString>

namespace tavomi {

// The main screen's line while records wait: 「未送信 3件（07:52から）このPCに保存しています」,
// with the date when the oldest is not from today; empty when nothing waits or was set aside.
QString spoolStatusText(const SpoolStatus& status, const QDate& today);

// The main screen's line while the clock runs on its local copy: 「ファイルサーバーにつながり
// ません（07:52から）。記録はこのPCに保存し、つながったら送ります。カードの一覧は 12/10 17:05
// のもの」, as HTML, the copy's time in red when it is more than a week old.
QString shareAwayText(const QDateTime& since, const QDateTime& copyTakenAt, const QDateTime& now);

// The window's line while the clock waits for the file server, with no copy to start on.
QString waitingForShareText(const QDateTime& since, const QDate& today);

}  // namespace tavomi
