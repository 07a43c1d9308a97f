#include "main_screen/spool_status_text.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace tavomi {

QString spoolStatusText(const SpoolStatus& status, const QDate& today) {
    QStringList lines;
    if (status.waiting > 0) {
        const QString since = status.oldest.date() == today
                                  ? status.oldest.toString(u"HH:mm"_s)
                                  : status.oldest.toString(u"M/d HH:mm"_s);
        lines << u"未送信 %1件（%2から）このPCに保存しています"_s.arg(status.waiting).arg(since);
    }
    if (!status.setAsideFile.empty()) {
        lines << u"保存した記録の一部が読めないため %1 に移しました"_s.arg(
            QString::fromStdString(status.setAsideFile.filename().string()));
    }
    return lines.join(u'\n');
}

}  // namespace tavomi
