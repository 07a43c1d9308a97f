#include "office/tool_output.h"

#include "files/file_error.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// Set once the Japanese messages are installed: file errors then take the Japanese words
// the time clock already has, which the translation does not repeat.
bool japaneseMessages = false;

}  // namespace

void loadToolTranslation() {
    if (QLocale::system().language() != QLocale::Japanese) {
        return;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(u":/i18n/tavomi_ja.qm"_s) &&
        QCoreApplication::installTranslator(translator)) {
        japaneseMessages = true;
    } else {
        delete translator;
    }
}

QString fileErrorText(const FileError& error) {
    if (!japaneseMessages) {
        return QString::fromLocal8Bit(error.what());
    }
    return error.japaneseText().split(u"\r\n"_s, Qt::SkipEmptyParts).join(u"　"_s);
}

// Qt's 8-bit encoding on Linux is UTF-8 whatever the locale says, so this is also the
// locale's encoding on every UTF-8 terminal (ja_JP.UTF-8, C.UTF-8).
void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toUtf8().constData(), stream);
    std::fflush(stream);
}

void printToolLine(std::FILE* stream, const char* tool, const QString& text) {
    print(stream, QString::fromUtf8(tool) + QStringLiteral(": ") + text + u'\n');
}

}  // namespace tavomi
