#include "manual/pickers.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

namespace tavomi {

namespace {

const QTime kFirstMinute(0, 0);
const QTime kLastMinute(23, 59);

}  // namespace

void DropDownComboBox::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

StepTimePicker::StepTimePicker(QWidget* parent) : QTimeEdit(parent) {
    setDisplayFormat(QStringLiteral("h:mm"));
    // A click on the digits lands on the inner line edit, not on the picker.
    lineEdit()->installEventFilter(this);
}

void StepTimePicker::stepBy(int steps) {
    if (currentSection() != MinuteSection) {
        QTimeEdit::stepBy(steps);
        return;
    }
    // Minutes carry into the hour, but the day's ends stop the picker.
    const int seconds = kFirstMinute.secsTo(time()) + steps * minuteStep_ * 60;
    setTime(kFirstMinute.addSecs(std::clamp(seconds, 0, kFirstMinute.secsTo(kLastMinute))));
}

QAbstractSpinBox::StepEnabled StepTimePicker::stepEnabled() const {
    if (currentSection() != MinuteSection) {
        return QTimeEdit::stepEnabled();
    }
    StepEnabled enabled = StepNone;
    if (time() > kFirstMinute) {
        enabled |= StepDownEnabled;
    }
    if (time() < kLastMinute) {
        enabled |= StepUpEnabled;
    }
    return enabled;
}

QValidator::State StepTimePicker::validate(QString& input, int& pos) const {
    // Qt would take a typed hour past 23 by dropping its first digit (25:30 as 5:30 or 7:30
    // by section); a time after midnight belongs to the day before, as 24:00 to 28:59.
    const qsizetype colon = input.indexOf(u':');
    bool isNumber = false;
    const int hour = input.left(colon < 0 ? input.size() : colon).trimmed().toInt(&isNumber);
    if (isNumber && hour > 23) {
        emit const_cast<StepTimePicker*>(this)->timeRefused();
        return QValidator::Invalid;
    }
    return QTimeEdit::validate(input, pos);
}

void StepTimePicker::mousePressEvent(QMouseEvent* event) {
    emit clicked();
    QTimeEdit::mousePressEvent(event);
}

bool StepTimePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress) {
        emit clicked();
    }
    return QTimeEdit::eventFilter(watched, event);
}

}  // namespace tavomi
