#pragma once
// Unit6's list and time controls with the events the screen needs from them.

#include <QComboBox>
#include <QTimeEdit>

#include <functional>

namespace tavomi {

// A choice list that runs its drop-down handler before the list opens, so the
// handler can refill the entries the user is about to see.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
  public:
    using QComboBox::QComboBox;

    void setDropDownHandler(std::function<void()> handler) { onDropDown_ = std::move(handler); }
    void showPopup() override;

  private:
    std::function<void()> onDropDown_;
};

// A time picker (h:mm) whose minute section steps by a settable amount and that
// reports a click on itself.
class StepTimePicker : public QTimeEdit {
    Q_OBJECT
  public:
    explicit StepTimePicker(QWidget* parent = nullptr);

    int minuteStep() const { return minuteStep_; }
    void setMinuteStep(int minutes) { minuteStep_ = minutes; }

    void setClickHandler(std::function<void()> handler) { onClick_ = std::move(handler); }

    void stepBy(int steps) override;

  protected:
    StepEnabled stepEnabled() const override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int minuteStep_ = 5;
    std::function<void()> onClick_;
};

}  // namespace tavomi
