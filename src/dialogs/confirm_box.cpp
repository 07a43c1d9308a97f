#include "dialogs/confirm_box.h"

#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

ConfirmBox::ConfirmBox(QWidget* parent) : QDialog(parent) {
    setObjectName("confirmBox");
    setWindowTitle("Form13");
    setModal(true);

    messageLabel_ = look::named(new QLabel(this), "messageLabel");
    messageLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    messageLabel_->setTextFormat(Qt::PlainText);
    const QFont big = look::pixelFont(messageLabel_->font(), 24);
    messageLabel_->setFont(big);

    okButton_ = look::named(new QPushButton(u"OK！　確認しました"_s, this), "okButton");
    okButton_->setFont(big);
    okButton_->setMinimumSize(360, 72);
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 24);
    layout->setSpacing(24);
    layout->addWidget(messageLabel_);
    layout->addWidget(okButton_, 0, Qt::AlignHCenter);

    connect(okButton_, &QPushButton::clicked, this, &ConfirmBox::accept);
}

void ConfirmBox::showMessage(const QString& message) {
    messageLabel_->setText(withLineFeeds(message));
    adjustSize();
    okButton_->setFocus();
    exec();
}

void ConfirmBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // On the screen's centre, not over the main screen that owns it: the teacher
    // looks at the middle of the screen, where the punch screen is.
    look::centreOnScreen(*this);
}

void ConfirmBox::closeEvent(QCloseEvent* event) {
    // The close box acts like the button.
    event->accept();
    accept();
}

}  // namespace tavomi
