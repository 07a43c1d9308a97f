#include "main_screen/share_wait_screen.h"

#include "dialogs/screen_look.h"

#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace tavomi {

ShareWaitScreen::ShareWaitScreen(const QString& text, QWidget* parent) : QWidget(parent) {
    setObjectName("shareWaitScreen");
    setWindowTitle("Form1");
    setFixedSize(636, 240);
    look::fill(this, look::kSkyBlue);

    auto* title = look::named(new QLabel(u"ICカードによる勤務時間記録"_s, this), "titleLabel");
    title->setFont(look::pixelFont(font(), 30, true));
    title->setGeometry(24, 20, 588, 46);

    textLabel_ = look::named(new QLabel(text, this), "waitLabel");
    textLabel_->setFont(look::pixelFont(font(), 19, true));
    textLabel_->setStyleSheet("color: #a04000;");
    textLabel_->setWordWrap(true);
    textLabel_->setGeometry(24, 80, 588, 80);

    auto* exitButton = look::named(new QPushButton(u"終　了"_s, this), "exitButton");
    exitButton->setFont(look::pixelFont(font(), 19));
    exitButton->setGeometry(348, 170, 264, 52);
    connect(exitButton, &QPushButton::clicked, this, &QWidget::close);
}

}  // namespace tavomi
