#pragma once
// The manual entry screen: records any event for any teacher, date and time
// without the card.

#include "clock/clock.h"
#include "files/cardholder_list.h"
#include "files/working_hours.h"
#include "manual/manual_record.h"
#include "punch/reason_boxes.h"

#include <QDialog>
#include <QString>

#include <array>
#include <filesystem>
#include <optional>

class QButtonGroup;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QDate;
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
class JournalWriter;

class ManualEntryScreen : public QDialog {
    Q_OBJECT
  public:
    ManualEntryScreen(const std::filesystem::path& appFolder, JournalWriter& writer, Clock clock,
                      QWidget* parent = nullptr);

    // The confirmation box the outcomes go to (the shell passes the one shared box);
    // unset, they are not shown.
    void setConfirmBox(ConfirmBox* confirmBox) { confirmBox_ = confirmBox; }

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void setPickersToClock();

    void onPersonListOpening();
    void onNowClicked();
    void onTimePickerClicked();
    void onClockKindChosen();
    void onMidDayAbsenceChosen();
    void onRecordClicked();
    void resetAndClose();

    void loadPersonList();
    void updateAfterMidnightBox();
    void resetReasonPanel();
    ManualEntry entryFromControls() const;
    void writeRecord(const ManualEntry& entry, const PunchRecord& record);
    void showWorkingHoursOutcome(DerivationOutcome outcome);
    void showConfirmation(const QString& message);
    void clearAfterRecording();

    QRadioButton* kindRadio(RecordKind kind) const;
    std::optional<RecordKind> checkedKind() const;
    void uncheckKind(RecordKind kind);

    std::filesystem::path appFolder_;
    JournalWriter& writer_;
    Clock clock_;
    ConfirmBox* confirmBox_ = nullptr;
    PersonListTable personTable_;  // the person list's table; it never shrinks

    DropDownComboBox* personPicker_;
    QDateEdit* datePicker_;
    StepTimePicker* timePicker_;
    QPushButton* nowButton_;
    QButtonGroup* kindGroup_;
    std::array<QRadioButton*, kManualKinds.size()> kindRadios_;
    QComboBox* absenceHoursPicker_;  // the hours of 中抜け, in the time picker's place
    QCheckBox* afterMidnightBox_;
    QLabel* afterMidnightHint_;
    QLabel* timeRefusedHint_;  // an hour past 23 was typed and refused
    QCheckBox* leaveReasonBox_;
    QWidget* reasonPanel_;
    ReasonBoxes reasonBoxes_;
    QPushButton* recordButton_;
    QPushButton* closeButton_;
};

}  // namespace tavomi
