#pragma once
// The mid-day absence screen (中抜け), opened from the punch screen.

#include "clock/clock.h"
#include "punch/reason_boxes.h"

#include <QDialog>
#include <QString>

#include <filesystem>

class QComboBox;
class QFrame;
class QPushButton;

namespace tavomi {

class ConfirmBox;
class JournalWriter;

class AbsenceScreen : public QDialog {
    Q_OBJECT
  public:
    AbsenceScreen(const std::filesystem::path& appFolder, JournalWriter& writer, Clock clock,
                  QWidget* parent = nullptr);

    void setConfirmBox(ConfirmBox* confirmBox) { confirmBox_ = confirmBox; }

    // Runs the screen modally for the holder whose absence it records.
    int openFor(const QString& holderName);

  signals:
    // The outcome of a press of the record button has been acknowledged; the screen
    // closes as soon as the receivers return.
    void outcomeShown();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildWindow();
    // Back to the prompt entry, recording disabled, nothing ticked.
    void reset();
    void untickReasons();

    void onHoursChosen(int entry);
    void onRecordClicked();

    std::filesystem::path appFolder_;
    JournalWriter& writer_;
    Clock clock_;
    ConfirmBox* confirmBox_ = nullptr;

    QString holderName_;
    QString absenceLength_;  // "01:00" to "08:00"; kept between showings

    QComboBox* hoursBox_;
    QPushButton* recordButton_;
    QFrame* reasonPanel_;
    ReasonBoxes reasonBoxes_{};
};

}  // namespace tavomi
