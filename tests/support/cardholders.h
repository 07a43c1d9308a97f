#pragma once
// The cardholders the screen and program tests share: 山田　花子 holds the demo card.

#include <QString>
#include <QStringList>

namespace tavomi::test {

using namespace Qt::StringLiterals;

inline const QString kCardholderHeader = u"カードID,氏名,職名"_s;
inline const QString kHanakoCard = QStringLiteral("0123456789ABCDEF");
inline const QString kHanako = u"山田　花子"_s;
// A card that nobody holds.
inline const QString kStrangerCard = QStringLiteral("FEDCBA9876543210");

// The header and Hanako's entry, ready for DataFolder::writeLines.
inline QStringList cardholderListWithHanako() {
    return {kCardholderHeader, kHanakoCard + u',' + kHanako + u",教諭"_s};
}

}  // namespace tavomi::test
