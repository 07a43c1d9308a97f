#include "dialogs/message_box.h"

#include "dialogs/screen_look.h"
#include "files/file_error.h"

#include <QMessageBox>

namespace tavomi {

namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.adjustSize();  // centred at the size it is shown at
    look::centreOnScreen(box);
    box.exec();
}

}  // namespace

QString withLineFeeds(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void showPlainMessage(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::NoIcon, QStringLiteral("Tavomi"), withLineFeeds(text));
}

void reportError(QWidget* parent, const std::exception& error) {
    if (const auto* fileError = dynamic_cast<const FileError*>(&error)) {
        reportError(parent, fileError->japaneseText());
        return;
    }
    reportError(parent, QString::fromLocal8Bit(error.what()));
}

void reportError(QWidget* parent, const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        reportError(parent, e);
    } catch (...) {
        reportError(parent, QStringLiteral("unknown error"));
    }
}

void reportError(QWidget* parent, const QString& text) {
    showBox(parent, QMessageBox::Critical, QStringLiteral("Tavomi"), withLineFeeds(text));
}

}  // namespace tavomi
