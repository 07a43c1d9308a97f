#pragma once
// The main screen, the time clock's face. The polling cycle decides each tick; this
// window shows the result and opens the other screens.

#include "main_screen/polling_cycle.h"

#include <QDate>
#include <QWidget>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QFrame;
class QLabel;
class QPushButton;
class QSvgWidget;
class QTimer;

namespace tavomi {

class CardEventSource;
class CardPoller;

class MainScreen : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 500;

    MainScreen(const std::filesystem::path& appFolder, CardPoller& poller,
               QWidget* parent = nullptr);
    ~MainScreen() override;

    // Reader events that run a tick at once instead of at the timer's next beat, while
    // the timer runs; while it is paused they are ignored. Watched until destruction.
    void setCardEvents(std::unique_ptr<CardEventSource> events);

    // The other screens, shown modally. The shell wires them; unset, nothing opens.
    void setPunchScreen(std::function<void(const QString& holderName)> show);
    void setManualEntry(std::function<void()> show);
    void setAboutBox(std::function<void()> show);

    // Builds and wires the screens this one opens. They are not needed for the first
    // frame, so they are built right after it, or before a tick or a button that needs
    // them, whichever comes first.
    void setOtherScreens(std::function<void()> build);

    // The line about records kept on this PC; empty hides it.
    void showSpoolStatus(const QString& text);

    // The line saying the clock runs on its local copy while the file server is away (HTML);
    // empty hides it.
    void showShareAway(const QString& html);

    // Told after a tick that read the cardholder list whole (the first, and each that found
    // it changed): the shell keeps a copy of what a start needs then.
    void setCardholdersRead(std::function<void()> onRead);

    // Told, on a tick, when the clock's date is no longer the one it last saw (a clock left
    // running over midnight): the shell derives the new date's working hours then.
    void watchForNewDate(std::function<QDate()> today, std::function<void(const QDate&)> onNewDate);

    // A message for the user that arrived from another thread: shown at the next tick, when
    // no other screen is up, with the timer stopped, as a start-up message is shown.
    enum class MessageKind { Plain, Error };
    void showAtNextTick(MessageKind kind, const QString& text);

    // One tick of the polling timer: look for a card and open what it calls for.
    void runPollingTick();

  protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void buildWindow();
    void onManualEntryClicked();
    void onExitClicked();
    void onAboutCornerDoubleClicked();
    void showStatus();
    void onCardEvent();
    void buildOtherScreens();
    void lookForNewDate();
    bool showWaitingMessages();

    std::filesystem::path appFolder_;
    PollingCycle cycle_;
    std::function<void(const QString&)> punchScreen_;
    std::function<void()> manualEntry_;
    std::function<void()> aboutBox_;
    std::function<void()> buildOtherScreens_;  // cleared once it has run
    bool otherScreensQueued_ = false;
    bool pollingStarted_ = false;  // the timer runs from the first showing on
    std::unique_ptr<CardEventSource> cardEvents_;
    std::atomic<bool> cardEventQueued_ = false;  // a burst of events runs one tick
    std::function<void()> cardholdersRead_;
    int listReadsSeen_ = 0;
    std::function<QDate()> today_;
    std::function<void(const QDate&)> onNewDate_;
    QDate lastDate_;
    std::vector<std::pair<MessageKind, QString>> waitingMessages_;

    QLabel* titleLabel_;
    QSvgWidget* logo_;
    QLabel* readerCaptionLabel_;
    QLabel* readerNameLabel_;
    QFrame* statusPanel_;
    QLabel* statusLabel_;
    QLabel* spoolLabel_;
    QLabel* shareAwayLabel_;
    QSvgWidget* checkingReaderPicture_;
    QSvgWidget* readyPicture_;
    QPushButton* manualEntryButton_;
    QPushButton* exitButton_;
    QWidget* aboutCorner_;
    QTimer* pollTimer_;
};

}  // namespace tavomi
