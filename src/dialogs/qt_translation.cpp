#include "dialogs/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tavomi {

bool loadQtTranslation() {
    const QLocale locale = QLocale::system();
    if (locale.language() != QLocale::Japanese) {
        return false;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator)) {
        return true;
    }
    delete translator;
    return false;
}

}  // namespace tavomi
