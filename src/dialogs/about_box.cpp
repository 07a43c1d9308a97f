// Unit7: the about box.
#include "dialogs/about_box.h"

#include "dialogs/pictures.h"
#include "dialogs/screen_look.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSvgWidget>

#include <algorithm>

namespace tavomi {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent), opener_([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    initPictures();
    setObjectName("about");
    setWindowTitle("about");
    setModal(true);

    Label4 = look::named(new QLabel(QStringLiteral("Tavomi!"), this), "Label4");
    Label4->setFont(look::pixelFont(font(), 44, true));
    Label4->setStyleSheet("color: #1d4f91;");
    Label4->setGeometry(28, 34, 280, 60);

    Label2 = look::named(new QLabel(QStringLiteral("Tavomi ver 2.8.24_s"), this), "Label2");
    Label2->setFont(look::pixelFont(font(), 16));
    Label2->setGeometry(32, 104, 280, 26);

    Image1 = look::named(new QSvgWidget(QString::fromLatin1(kAboutPicture), this), "Image1");

    Label3 = look::named(
        new QLabel(QStringLiteral("If you need more informations , please contact  to "), this),
        "Label3");
    Label3->setFont(look::pixelFont(font(), 14));
    Label3->adjustSize();

    // Reads as the end of Label3's sentence, and looks and acts like a link.
    Label5 = look::named(new QLabel(QString::fromLatin1(kWebPage), this), "Label5");
    QFont linkFont = look::pixelFont(font(), 14);
    linkFont.setUnderline(true);
    Label5->setFont(linkFont);
    Label5->setStyleSheet("color: #0b57d0;");
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->adjustSize();
    Label5->installEventFilter(this);

    Button1 = look::named(new QPushButton(QStringLiteral("Close"), this), "Button1");
    Button1->setDefault(true);

    const int sentenceWidth = Label3->width() + Label5->width();
    const int width = std::max(520, 28 + sentenceWidth + 28);
    Image1->setGeometry(width - 28 - 144, 20, 144, 147);
    const int sentenceTop = 196;
    Label3->move(28, sentenceTop);
    Label5->move(28 + Label3->width(), sentenceTop + (Label3->height() - Label5->height()) / 2);
    Button1->setGeometry((width - 112) / 2, 246, 112, 34);
    setFixedSize(width, 300);

    connect(Button1, &QPushButton::clicked, this, &AboutBox::Button1Click);
}

void AboutBox::setUrlOpener(UrlOpener opener) {
    opener_ = std::move(opener);
}

QUrl AboutBox::webPageUrl(QString address) {
    address.replace(QLatin1Char('"'), QStringLiteral("%22"));
    return QUrl(address);
}

void AboutBox::Label5Click() {
    // Whether the desktop could open it is not our concern; the box stays as it is.
    opener_(webPageUrl(QString::fromLatin1(kWebPage)));
}

void AboutBox::Button1Click() {
    accept();
}

void AboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    look::centreOnScreen(*this);
    Button1->setFocus();
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label5 && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            Label5->rect().contains(mouse->position().toPoint())) {
            Label5Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tavomi
