#pragma once
// Unit2: the punch screen, where a teacher whose card was recognised records an event.

#include "clock/clock.h"
#include "punch/punch_logic.h"

#include <QDialog>
#include <QString>

#include <array>
#include <filesystem>

class QCheckBox;
class QFrame;
class QLabel;
class QPainter;
class QPushButton;
class QRect;
class QTabWidget;
class QTimer;

namespace tavomi {

class CardPoller;
class AbsenceScreen;
class ConfirmBox;

class PunchScreen : public QDialog {
    Q_OBJECT
  public:
    PunchScreen(const std::filesystem::path& appFolder, Clock clock, CardPoller& poller,
                QWidget* parent = nullptr);

    void setScreens(AbsenceScreen* absenceScreen, ConfirmBox* confirmBox);

    QLabel* Label1;  // heading: the name and "さんの勤務時間管理です"
    QLabel* Label4;  // hidden: the holder's name, written into the record

    // Every way of closing (a handler, the close box, Esc, the absence screen)
    // ends here, so FormClose runs for each of them.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    // Enter presses only the button that has the focus; it never falls through to
    // a default button, so a teacher who ticks a box and presses Enter records nothing.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void buildWindow();
    void buildPanel1();
    void buildPanel2();
    QCheckBox* addCheckBox(int number, const QString& caption, QWidget* parent);
    QCheckBox* CheckBox(int number) const { return checkBoxes_.at(number); }
    bool isTicked(int number) const;
    void untick(int first, int last);

    void FormCreate();
    void FormShow();
    void FormClose();
    void Button1Click();
    void Button2Click() { recordPunch(PunchKind::ClockIn); }
    void Button3Click() { recordPunch(PunchKind::ClockOut); }
    void Button4Click();
    void Button5Click();
    void Button6Click() { recordPunch(PunchKind::GoOut); }
    void Button7Click() { recordPunch(PunchKind::Return); }
    void Button8Click();
    void Button9Click();
    void Timer1Timer();
    void PageControl1DrawTab(QPainter& painter, int tabIndex, const QRect& rect, bool active);
    void dekai_button();
    void motono_button();
    void check_modosu();

    // The four punch buttons share one procedure.
    void recordPunch(PunchKind kind);
    // Polls until no card lies on any reader, asking for the card at every pass.
    void waitForCardRemoval();

    std::filesystem::path appFolder_;
    Clock clock_;
    CardPoller& poller_;
    AbsenceScreen* absenceScreen_ = nullptr;
    ConfirmBox* confirmBox_ = nullptr;
    bool closing_ = false;

    int flag1 = 0;        // 1 when the last card poll obtained the reader list
    int flag2 = 0;        // 1 when the last card poll found a card
    QString Edit2;        // reader tried last by the card poll
    QString Edit3;        // card identifier the card poll found
    QString str_message;  // what the confirmation box shows next

    QLabel* Label3;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button8;
    QFrame* Panel1;
    QFrame* Panel2;
    QFrame* Panel6;
    QFrame* Panel7;
    QTabWidget* PageControl1;
    QTimer* Timer1;
    std::array<QCheckBox*, 36> checkBoxes_{};  // CheckBox1..CheckBox35; [0] unused
};

}  // namespace tavomi
