#pragma once
// The manual entry screen's list and time controls, with the events it needs from them.

#include <QComboBox>
#include <QTimeEdit>

namespace tavomi {

// A choice list that announces its opening before the list shows, so a slot can
// refill the entries the user is about to see.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
  public:
    using QComboBox::QComboBox;

    void showPopup() override;

  signals:
    void aboutToShowPopup();
};

// A time picker (h:mm) whose minute section steps by a settable amount and that
// reports a click anywhere on itself, its digits included.
class StepTimePicker : public QTimeEdit {
    Q_OBJECT
  public:
    explicit StepTimePicker(QWidget* parent = nullptr);

    int minuteStep() const { return minuteStep_; }
    void setMinuteStep(int minutes) { minuteStep_ = minutes; }

    void stepBy(int steps) override;

  signals:
    void clicked();
    // Typed text that names no time of the day (25:30): it is refused, not turned into another.
    void timeRefused();

  protected:
    StepEnabled stepEnabled() const override;
    QValidator::State validate(QString& input, int& pos) const override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int minuteStep_ = 5;
};

}  // namespace tavomi
