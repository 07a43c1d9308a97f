#pragma once
// Unit12: the mid-day absence screen (中抜け), opened from the punch screen.

#include "clock/clock.h"
#include "punch/reason_boxes.h"

#include <QDialog>
#include <QString>

#include <array>
#include <filesystem>

class QCheckBox;
class QComboBox;
class QFrame;
class QPushButton;

namespace tavomi {

class PunchScreen;
class ConfirmBox;

class AbsenceScreen : public QDialog {
    Q_OBJECT
  public:
    AbsenceScreen(const std::filesystem::path& appFolder, Clock clock, QWidget* parent = nullptr);

    void setScreens(PunchScreen* punchScreen, ConfirmBox* confirmBox);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildWindow();
    QCheckBox* CheckBox(int number) const { return reasonBox(checkBoxes_, number); }

    void FormCreate();
    void FormShow();
    void ComboBox1Change(int index);
    void Button1Click();
    void check_off();
    // FormCreate and FormShow do the same reset.
    void reset();

    std::filesystem::path appFolder_;
    Clock clock_;
    PunchScreen* punchScreen_ = nullptr;
    ConfirmBox* confirmBox_ = nullptr;

    QString str_time;  // the chosen length, "01:00" to "08:00"; kept between showings

    QComboBox* ComboBox1;
    QPushButton* Button1;
    QFrame* Panel6;
    ReasonBoxes checkBoxes_{};
};

}  // namespace tavomi
