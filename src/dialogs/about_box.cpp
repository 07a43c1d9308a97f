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
    setObjectName("aboutBox");
    setWindowTitle("about");
    setModal(true);

    auto* title = look::named(new QLabel(QStringLiteral("Tavomi!"), this), "titleLabel");
    title->setFont(look::pixelFont(font(), 44, true));
    title->setStyleSheet("color: #1d4f91;");
    title->setGeometry(28, 34, 280, 60);

    auto* version =
        look::named(new QLabel(QStringLiteral("Tavomi ver 2.8.24_s"), this), "versionLabel");
    version->setFont(look::pixelFont(font(), 16));
    version->setGeometry(32, 104, 280, 26);

    auto* picture =
        look::named(new QSvgWidget(QString::fromLatin1(kAboutPicture), this), "aboutPicture");

    auto* contact = look::named(
        new QLabel(QStringLiteral("If you need more informations , please contact  to "), this),
        "contactLabel");
    contact->setFont(look::pixelFont(font(), 14));
    contact->adjustSize();

    // Reads as the end of the contact sentence, and looks and acts like a link.
    webAddressLabel_ =
        look::named(new QLabel(QString::fromLatin1(kWebPage), this), "webAddressLabel");
    QFont linkFont = look::pixelFont(font(), 14);
    linkFont.setUnderline(true);
    webAddressLabel_->setFont(linkFont);
    webAddressLabel_->setStyleSheet("color: #0b57d0;");
    webAddressLabel_->setCursor(Qt::PointingHandCursor);
    webAddressLabel_->adjustSize();
    webAddressLabel_->installEventFilter(this);

    closeButton_ = look::named(new QPushButton(QStringLiteral("Close"), this), "closeButton");
    closeButton_->setDefault(true);

    const int sentenceWidth = contact->width() + webAddressLabel_->width();
    const int width = std::max(520, 28 + sentenceWidth + 28);
    picture->setGeometry(width - 28 - 144, 20, 144, 147);
    const int sentenceTop = 196;
    contact->move(28, sentenceTop);
    webAddressLabel_->move(28 + contact->width(),
                           sentenceTop + (contact->height() - webAddressLabel_->height()) / 2);
    closeButton_->setGeometry((width - 112) / 2, 246, 112, 34);
    setFixedSize(width, 300);

    connect(closeButton_, &QPushButton::clicked, this, &AboutBox::accept);
}

void AboutBox::setUrlOpener(UrlOpener opener) {
    opener_ = std::move(opener);
}

QUrl AboutBox::webPageUrl(QString address) {
    address.replace(QLatin1Char('"'), QStringLiteral("%22"));
    return QUrl(address);
}

void AboutBox::openWebPage() {
    // Whether the desktop could open it is not our concern; the box stays as it is.
    opener_(webPageUrl(QString::fromLatin1(kWebPage)));
}

void AboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    look::centreOnScreen(*this);
    closeButton_->setFocus();
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == webAddressLabel_ && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            webAddressLabel_->rect().contains(mouse->position().toPoint())) {
            openWebPage();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tavomi
