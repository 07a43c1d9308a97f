#pragma once

#include "spool/journal_writer.h"

#include <QDate>
#include <QString>

namespace tavomi {

// The main screen's line while records wait: 「未送信 3件（07:52から）このPCに保存しています」,
// with the date when the oldest is not from today; empty when nothing waits or was set aside.
QString spoolStatusText(const SpoolStatus& status, const QDate& today);

}  // namespace tavomi
