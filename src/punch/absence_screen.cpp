#include "punch/absence_screen.h"

#include "dialogs/confirm_box.h"
#include "dialogs/key_guard.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "dialogs/write_wait.h"
#include "files/punch_journal.h"
#include "punch/punch_logic.h"
#include "record/vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QPushButton>
#include <QShowEvent>

#include <exception>

using namespace Qt::StringLiterals;

namespace tavomi {

AbsenceScreen::AbsenceScreen(const std::filesystem::path& appFolder, JournalWriter& writer,
                             Clock clock, QWidget* parent)
    : QDialog(parent), appFolder_(appFolder), writer_(writer), clock_(std::move(clock)) {
    buildWindow();
    look::centreOnScreen(*this);
    reset();
    new KeyGuard(this);
}

int AbsenceScreen::openFor(const QString& holderName) {
    holderName_ = holderName;
    return exec();
}

void AbsenceScreen::buildWindow() {
    setObjectName("absenceScreen");
    setWindowTitle("Form12");
    setWindowFlags(look::kFixedDialogFlags);
    setFixedSize(760, 224);
    setFont(look::screenFont(16));
    look::fill(this, look::kSkyBlue);

    hoursBox_ = look::named(new QComboBox(this), "hoursBox");
    hoursBox_->setEditable(false);
    look::setPixelSize(hoursBox_, 24);
    hoursBox_->setGeometry(40, 32, 300, 48);

    recordButton_ = look::named(new QPushButton(u"中抜け時間を記録する"_s, this), "recordButton");
    look::setPixelSize(recordButton_, 24);
    recordButton_->setGeometry(380, 28, 340, 56);

    reasonPanel_ = look::raisedPanel("reasonPanel", look::kCream, this);
    reasonPanel_->setGeometry(15, 120, 730, 80);
    reasonBoxes_ = addReasonBoxes(reasonPanel_, kCardScreenReasonRow);

    // Only the user's choice runs the handler; selecting by code does not.
    connect(hoursBox_, &QComboBox::activated, this, &AbsenceScreen::onHoursChosen);
    connect(recordButton_, &QPushButton::clicked, this, &AbsenceScreen::onRecordClicked);
}

void AbsenceScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        reset();
    }
}

void AbsenceScreen::reset() {
    hoursBox_->clear();
    hoursBox_->addItems(hoursList());
    hoursBox_->setCurrentIndex(0);
    recordButton_->setEnabled(false);
    untickReasons();
}

void AbsenceScreen::untickReasons() {
    for (QCheckBox* box : reasonBoxes_) {
        box->setChecked(false);
    }
}

void AbsenceScreen::onHoursChosen(int entry) {
    absenceLength_ = hoursListTime(entry);
    recordButton_->setEnabled(entry >= 1);
}

void AbsenceScreen::onRecordClicked() {
    QString message;
    try {
        const QDateTime now = clock_();  // one reading: the date of the press
        const PunchRecord record =
            absenceRecord(holderName_, now.date(), absenceLength_,
                          [this](int box) { return reasonBox(reasonBoxes_, box)->isChecked(); });
        const WriteResult result =
            writeFromScreen(writer_, {record.line(), WriteOrder::LockingFirst, {}, now}, this);
        if (result.error) {
            std::rethrow_exception(result.error);
        }
        message = outcomeMessage(result.kind, absenceMessage(holderName_, absenceLength_),
                                 QString::fromUtf16(kAbsenceBusyMessage),
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
    emit outcomeShown();
    accept();
}

}  // namespace tavomi
