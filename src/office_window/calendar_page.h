#pragma once
// 学校の暦: a month's days as the office's count takes them (national holidays, weekends and
// the school's own days off and working days), and marking a day in school_calendar.txt.

#include "calendar/school_calendar.h"
#include "clock/clock.h"
#include "office_window/background.h"
#include "office_window/calendar_days.h"

#include <QDate>
#include <QWidget>

#include <filesystem>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

namespace tavomi {

class CalendarPage : public QWidget {
    Q_OBJECT
  public:
    CalendarPage(std::filesystem::path appFolder, Clock clock, QWidget* parent = nullptr);

  protected:
    // Another PC may have marked a day meanwhile: the page reads again each time it shows.
    void showEvent(QShowEvent* event) override;

  private:
    void read(const QString& afterRead = {});
    void showRead(int year, int month, Outcome<SchoolCalendar> outcome, const QString& afterRead);
    void choose(int row);
    void showKindChoice();
    void record();

    std::filesystem::path appFolder_;
    Clock clock_;
    std::vector<CalendarDayRow> rows_;  // as the table shows them
    QDate chosen_;                      // the day to mark; kept across a re-read of its month
    bool filling_ = false;              // the table is refilled: its selection is not the office's
    BackgroundWork<SchoolCalendar> reading_{this};
    BackgroundWork<SchoolDay> writing_{this};

    QSpinBox* yearSpin_;
    QSpinBox* monthSpin_;
    QLabel* headingLabel_;
    QTableWidget* table_;
    QWidget* problemsBox_;
    QListWidget* problemList_;
    QLabel* chosenLabel_;
    QRadioButton* dayOffRadio_;
    QRadioButton* workdayRadio_;
    QLineEdit* startEdit_;
    QLineEdit* endEdit_;
    QLineEdit* restEdit_;
    QLineEdit* noteEdit_;
    QPushButton* recordButton_;
    QLabel* messageLabel_;
};

}  // namespace tavomi
