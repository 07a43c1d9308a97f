#pragma once
// Unit6: the manual entry screen, which records any event for any teacher, date
// and time without the card.

#include "clock/clock.h"
#include "files/cardholder_list.h"
#include "punch/reason_boxes.h"

#include <QDialog>
#include <QString>

#include <array>
#include <filesystem>

class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QShowEvent;
class QWidget;

namespace tavomi {

class DropDownComboBox;
class StepTimePicker;
class ConfirmBox;

class ManualEntryScreen : public QDialog {
    Q_OBJECT
  public:
    ManualEntryScreen(const std::filesystem::path& appFolder, Clock clock,
                      QWidget* parent = nullptr);

    // The confirmation box the outcomes go to (the shell passes the one shared box);
    // unset, they are not shown.
    void setConfirmBox(ConfirmBox* confirmBox) { confirmBox_ = confirmBox; }

    QLabel* Label1;  // heading
    QLabel* Label2;  // "誰の？"
    QLabel* Label3;  // "いつの？"
    QLabel* Label4;  // "時間は？"
    DropDownComboBox* ComboBox1;
    QDateEdit* DateTimePicker1;
    StepTimePicker* TimePicker1;
    QPushButton* Button3;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QRadioButton* RadioButton3;
    QRadioButton* RadioButton4;
    QRadioButton* RadioButton5;
    QComboBox* ComboBox2;
    QCheckBox* CheckBox2;
    QLabel* Label7;
    QCheckBox* CheckBox1;
    QWidget* Panel6;
    ReasonBoxes reasonBoxes;
    QPushButton* Button2;
    QPushButton* Button1;

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void ComboBox1DropDown();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void TimePicker1Click();
    void TimePicker1Change();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioButton5Click();
    void CheckBox1Click();

    void buildControls();
    void connectHandlers();
    void clockKindSelected();
    void uncheckKind(QRadioButton* button);
    int checkedKind() const;

    std::filesystem::path appFolder_;
    Clock clock_;
    ConfirmBox* confirmBox_ = nullptr;
    QButtonGroup* kindGroup_;
    PersonListTable StringGrid1;  // the person list's table; it never shrinks
    QString str_date;             // date of the record being made, yyyy/MM/dd
    QString str_message;          // what Button5Click shows in the confirmation box
};

}  // namespace tavomi
