// Unit13: the confirmation box.
#include "dialogs/confirm_box.h"

#include "dialogs/message_box.h"

#include "dialogs/screen_look.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavomi {

ConfirmBox::ConfirmBox(QWidget* parent) : QDialog(parent) {
    setObjectName("Form13");
    setWindowTitle("Form13");
    setModal(true);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label1->setTextFormat(Qt::PlainText);
    QFont big = Label1->font();
    big.setPixelSize(24);
    Label1->setFont(big);

    Button1 = new QPushButton(QString::fromUtf16(u"OK！　確認しました"), this);
    Button1->setObjectName("Button1");
    Button1->setFont(big);
    Button1->setMinimumSize(360, 72);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 24);
    layout->setSpacing(24);
    layout->addWidget(Label1);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);

    connect(Button1, &QPushButton::clicked, this, &ConfirmBox::Button1Click);
}

void ConfirmBox::showMessage(const QString& message) {
    Label1->setText(withLineFeeds(message));
    adjustSize();
    Button1->setFocus();
    exec();
}

void ConfirmBox::Button1Click() {
    accept();
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
    Button1Click();
}

}  // namespace tavomi
