// Unit6's list and time controls.
#include "manual/pickers.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include <algorithm>

namespace tavomi {

void DropDownComboBox::showPopup() {
    if (onDropDown_) {
        onDropDown_();
    }
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
    const int lastSecond = 24 * 60 * 60 - 60;
    const int seconds = QTime(0, 0).secsTo(time()) + steps * minuteStep_ * 60;
    setTime(QTime(0, 0).addSecs(std::clamp(seconds, 0, lastSecond)));
}

QAbstractSpinBox::StepEnabled StepTimePicker::stepEnabled() const {
    if (currentSection() != MinuteSection) {
        return QTimeEdit::stepEnabled();
    }
    StepEnabled enabled = StepNone;
    if (time() > QTime(0, 0)) {
        enabled |= StepDownEnabled;
    }
    if (time() < QTime(23, 59)) {
        enabled |= StepUpEnabled;
    }
    return enabled;
}

void StepTimePicker::mousePressEvent(QMouseEvent* event) {
    if (onClick_) {
        onClick_();
    }
    QTimeEdit::mousePressEvent(event);
}

bool StepTimePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress && onClick_) {
        onClick_();
    }
    return QTimeEdit::eventFilter(watched, event);
}

}  // namespace tavomi
