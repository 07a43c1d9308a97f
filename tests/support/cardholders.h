#pragma once
// The cardholders the screen and program tests share: 山田　花子 holds the demo card.

#include <QString>
#include <QStringList>

namespace tavomi::test {

inline const QString kCardholderHeader = QString::fromUtf16(u"カードID,氏名,職名");
inline const QString kHanakoCard = QStringLiteral("0123456789ABCDEF");
inline const QString kHanako = QString::fromUtf16(u"山田　花子");
// A card that nobody holds.
inline const QString kStrangerCard = QStringLiteral("FEDCBA9876543210");

// The header and Hanako's entry, ready for DataFolder::writeLines.
inline QStringList cardholderListWithHanako() {
    return {kCardholderHeader, kHanakoCard + u',' + kHanako + QString::fromUtf16(u",教諭")};
}

}  // namespace tavomi::test
