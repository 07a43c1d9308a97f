// Unit12: the mid-day absence screen.
#include "punch/absence_screen.h"

#include "dialogs/confirm_box.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "files/punch_journal.h"
#include "punch/punch_logic.h"
#include "punch/punch_screen.h"
#include "punch/vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <exception>

namespace tavomi {

AbsenceScreen::AbsenceScreen(const std::filesystem::path& appFolder, Clock clock, QWidget* parent)
    : QDialog(parent), appFolder_(appFolder), clock_(std::move(clock)) {
    buildWindow();
    FormCreate();
}

void AbsenceScreen::setScreens(PunchScreen* punchScreen, ConfirmBox* confirmBox) {
    punchScreen_ = punchScreen;
    confirmBox_ = confirmBox;
}

void AbsenceScreen::buildWindow() {
    setObjectName("Form12");
    setWindowTitle("Form12");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(760, 224);
    setFont(look::screenFont(16));
    look::fill(this, look::kSkyBlue);

    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(false);
    look::setPixelSize(ComboBox1, 24);
    ComboBox1->setGeometry(40, 32, 300, 48);

    Button1 = new QPushButton(QString::fromUtf16(u"中抜け時間を記録する"), this);
    Button1->setObjectName("Button1");
    look::setPixelSize(Button1, 24);
    Button1->setGeometry(380, 28, 340, 56);

    Panel6 = new QFrame(this);
    Panel6->setObjectName("Panel6");
    Panel6->setFrameShape(QFrame::Panel);
    Panel6->setFrameShadow(QFrame::Raised);
    look::fill(Panel6, look::kCream);
    Panel6->setGeometry(15, 120, 730, 80);
    checkBoxes_ = addReasonBoxes(Panel6, kCardScreenReasonRow);

    // Only the user's choice runs the handler; selecting by code does not.
    connect(ComboBox1, &QComboBox::activated, this, &AbsenceScreen::ComboBox1Change);
    connect(Button1, &QPushButton::clicked, this, &AbsenceScreen::Button1Click);
}

void AbsenceScreen::FormCreate() {
    look::centreOnScreen(*this);
    reset();
}

void AbsenceScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void AbsenceScreen::FormShow() {
    reset();
}

void AbsenceScreen::reset() {
    ComboBox1->clear();
    ComboBox1->addItems(hoursList());
    ComboBox1->setCurrentIndex(0);
    Button1->setEnabled(false);
    check_off();
}

void AbsenceScreen::check_off() {
    for (QCheckBox* box : checkBoxes_) {
        box->setChecked(false);
    }
}

void AbsenceScreen::ComboBox1Change(int index) {
    str_time = hoursListTime(index);
    Button1->setEnabled(index >= 1);
}

void AbsenceScreen::Button1Click() {
    QString message;
    try {
        const QDateTime now = clock_();  // one reading: the date of the press
        const QString who = punchScreen_ != nullptr ? punchScreen_->Label4->text() : QString();
        const PunchRecord record = absenceRecord(
            who, now.date(), str_time, [this](int box) { return CheckBox(box)->isChecked(); });
        message =
            outcomeMessage(writeRecordLockingFirst(appFolder_, record.line()),
                           absenceMessage(who, str_time), QString::fromUtf16(kAbsenceBusyMessage),
                           QString::fromUtf16(kCardJournalMissingMessage));
    } catch (const std::exception& error) {
        // Both screens stay open as they were.
        reportError(this, error);
        return;
    }
    if (confirmBox_ != nullptr) {
        confirmBox_->showMessage(message);
    }
    // The punch screen closes first (its card-removal wait included), then this one.
    if (punchScreen_ != nullptr) {
        punchScreen_->close();
    }
    accept();
}

}  // namespace tavomi
