#pragma once
// The punch screen, where a teacher whose card was recognised records an event.

#include "card/card_poller.h"
#include "clock/clock.h"
#include "punch/punch_logic.h"

#include <QDialog>
#include <QString>

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

class QCheckBox;
class QFrame;
class QLabel;
class QPainter;
class QPushButton;
class QRect;
class QTabWidget;
class QTimer;

namespace tavomi {

class AbsenceScreen;
class JournalWriter;
class ConfirmBox;

class PunchScreen : public QDialog {
    Q_OBJECT
  public:
    PunchScreen(const std::filesystem::path& appFolder, JournalWriter& writer, Clock clock,
                CardPoller& poller, QWidget* parent = nullptr);

    void setScreens(AbsenceScreen* absenceScreen, ConfirmBox* confirmBox);

    // The hand-over from the card reading: the holder's name goes into the heading
    // and into every record made here; the holder's records of the day follow.
    void setHolder(const QString& holderName);
    const QString& holderName() const { return holderName_; }

    // Hands the holder over and runs the screen modally until it closes.
    int openFor(const QString& holderName);

    // Every way of closing (a button, the close box, Esc, the absence screen) ends
    // here, so the card-removal wait and the reset run for each of them.
    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildWindow();
    void buildMainPanel();
    void buildDetailPanel();
    QCheckBox* addBox(int number, const QString& name, const QString& caption, QWidget* parent);
    QCheckBox* box(int number) const { return boxes_.at(number); }
    bool isTicked(int number) const;
    void untick(int first, int last);

    // The layouts: the punch buttons large, or small beside the category tabs and reasons.
    void showMainLayout();
    void showDetailLayout();
    // The end of a teacher's turn: every box unticked, the main layout back.
    void endTurn();

    void onCloseClicked();
    void onDetailsClicked();
    void onClockInClicked() { recordPunch(RecordKind::ClockIn); }
    void onClockOutClicked() { recordPunch(RecordKind::ClockOut); }
    void onGoOutClicked() { recordPunch(RecordKind::GoingOut); }
    void onReturnClicked() { recordPunch(RecordKind::Return); }
    void onAbsenceClicked();
    void showTime();
    void drawCategoryTab(QPainter& painter, int tabIndex, const QRect& rect, bool active);

    // The four punch buttons share one procedure.
    void recordPunch(RecordKind kind);
    // Polls until no card lies on any reader, asking for the card at every pass.
    void waitForCardRemoval();
    // One card poll; a card found is asked for. Tells whether one was found.
    bool askForCardIfPresent();
    void showConfirmation(const QString& message);
    // The holder's records of the day under the name: read off this thread, shown within
    // kTodaysRecordsWait with what could be read by then.
    void showTodaysRecords();
    void showTodaysRecordsText(int turn, const std::optional<QStringList>& journal);

    std::filesystem::path appFolder_;
    JournalWriter& writer_;
    Clock clock_;
    CardPoller& poller_;
    AbsenceScreen* absenceScreen_ = nullptr;
    ConfirmBox* confirmBox_ = nullptr;
    bool closing_ = false;

    QString holderName_;  // written into the records

    QLabel* headingLabel_;
    QLabel* todayLabel_;
    int turn_ = 0;              // one a holder, for what arrives from the reading thread
    bool todayShown_ = false;   // for this turn
    QStringList todayWaiting_;  // this turn's spool lines, once read
    // Set while a reading of the journal runs: one that hangs on the share is not joined by
    // another.
    std::shared_ptr<std::atomic<bool>> readingJournal_ = std::make_shared<std::atomic<bool>>(false);
    QLabel* clockLabel_;
    QPushButton* closeButton_;
    QPushButton* clockInButton_;
    QPushButton* clockOutButton_;
    QPushButton* detailsButton_;
    QPushButton* goOutButton_;
    QPushButton* returnButton_;
    QPushButton* absenceButton_;
    QFrame* mainPanel_;
    QFrame* detailPanel_;
    QFrame* reasonPanel_;
    QFrame* specialNotePanel_;
    QTabWidget* categoryTabs_;
    QTimer* clockTimer_;
    std::array<QCheckBox*, kLastSpecialNoteBox + 1> boxes_{};  // by box number; [0] unused
};

}  // namespace tavomi
