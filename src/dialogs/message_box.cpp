#include "dialogs/message_box.h"

#include "dialogs/screen_look.h"

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

void showPlainMessage(QWidget* parent, const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    showBox(parent, QMessageBox::NoIcon, QStringLiteral("Tavomi"), shown);
}

void reportError(QWidget* parent, const std::exception& error) {
    showBox(parent, QMessageBox::Critical, QStringLiteral("Tavomi"),
            QString::fromLocal8Bit(error.what()));
}

}  // namespace tavomi
