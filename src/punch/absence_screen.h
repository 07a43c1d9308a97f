#pragma once
// Unit12: the mid-day absence screen (中抜け), opened from the punch screen.

#include "files/clock.h"

#include <QDialog>
#include <QString>

#include <array>
#include <filesystem>

class QCheckBox;
class QComboBox;
class QFrame;
class QPushButton;

namespace tavomi {

class TForm2;
class TForm13;

class TForm12 : public QDialog {
    Q_OBJECT
  public:
    TForm12(const std::filesystem::path& appFolder, Clock clock, QWidget* parent = nullptr);

    void setScreens(TForm2* punchScreen, TForm13* confirmBox);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildWindow();
    QCheckBox* CheckBox(int number) const { return checkBoxes_.at(number - kFirstReasonBox); }

    void FormCreate();
    void FormShow();
    void ComboBox1Change(int index);
    void Button1Click();
    void check_off();
    // FormCreate and FormShow do the same reset.
    void reset();

    static constexpr int kFirstReasonBox = 24;

    std::filesystem::path appFolder_;
    Clock clock_;
    TForm2* punchScreen_ = nullptr;
    TForm13* confirmBox_ = nullptr;

    QString str_time;  // the chosen length, "01:00" to "08:00"; kept between showings

    QComboBox* ComboBox1;
    QPushButton* Button1;
    QFrame* Panel6;
    std::array<QCheckBox*, 9> checkBoxes_{};  // CheckBox24..CheckBox32
};

}  // namespace tavomi
