#include "main_screen/main_screen.h"

#include "card/card_events.h"
#include "dialogs/message_box.h"
#include "dialogs/pictures.h"
#include "dialogs/screen_look.h"

#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSvgWidget>
#include <QTimer>

#include <optional>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

const QString kNotRegistered = u"このカードは登録されていません　カードの登録を行ってください"_s;
const QString kCheckingReader = u"リーダーの接続確認中"_s;
const QString kLayYourCard = u"カードを置いてください"_s;

// Stops the polling timer while something waits for the user and starts it again afterwards,
// also when that something throws, so card polling never stays stopped.
class TimerPause {
  public:
    explicit TimerPause(QTimer& timer) : timer_(timer) { timer_.stop(); }
    ~TimerPause() { timer_.start(); }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

  private:
    QTimer& timer_;
};

}  // namespace

MainScreen::MainScreen(const std::filesystem::path& appFolder, CardPoller& poller, QWidget* parent)
    : QWidget(parent), appFolder_(appFolder), cycle_(appFolder, poller) {
    initPictures();
    buildWindow();
    connect(pollTimer_, &QTimer::timeout, this, &MainScreen::runPollingTick);
    connect(manualEntryButton_, &QPushButton::clicked, this, &MainScreen::onManualEntryClicked);
    connect(exitButton_, &QPushButton::clicked, this, &MainScreen::onExitClicked);
}

MainScreen::~MainScreen() {
    // The watch's thread posts to this window: it must end before the window does.
    if (cardEvents_) {
        cardEvents_->stop();
    }
}

void MainScreen::setCardEvents(std::unique_ptr<CardEventSource> events) {
    if (cardEvents_) {
        cardEvents_->stop();
    }
    cardEvents_ = std::move(events);
    if (cardEvents_) {
        cardEvents_->start([this] {
            if (!cardEventQueued_.exchange(true)) {
                QMetaObject::invokeMethod(this, &MainScreen::onCardEvent, Qt::QueuedConnection);
            }
        });
    }
}

void MainScreen::onCardEvent() {
    cardEventQueued_ = false;
    if (!pollTimer_->isActive()) {
        return;  // paused for a screen or a box, or not yet shown
    }
    runPollingTick();
    if (pollTimer_->isActive()) {
        pollTimer_->start();  // the next beat a whole interval after this tick
    }
}

void MainScreen::buildWindow() {
    setObjectName("mainScreen");
    setWindowTitle("Form1");
    setFixedSize(636, 524);
    look::fill(this, look::kSkyBlue);

    logo_ = look::named(new QSvgWidget(QString::fromLatin1(kLogoPicture), this), "logo");
    logo_->setGeometry(24, 14, 92, 92);

    titleLabel_ = look::named(new QLabel(u"ICカードによる勤務時間記録"_s, this), "titleLabel");
    titleLabel_->setFont(look::pixelFont(font(), 30, true));
    titleLabel_->setGeometry(132, 20, 488, 46);

    readerCaptionLabel_ =
        look::named(new QLabel(u"接続中のカードリーダー　："_s, this), "readerCaptionLabel");
    readerCaptionLabel_->setFont(look::pixelFont(font(), 15));
    readerCaptionLabel_->setGeometry(134, 74, 206, 24);

    readerNameLabel_ = look::named(new QLabel(u"接続を確認中"_s, this), "readerNameLabel");
    readerNameLabel_->setFont(look::pixelFont(font(), 14));
    readerNameLabel_->setStyleSheet("color: #17406b;");
    // Real readers have long names ("ACS ACR1252 1S CL Reader [ACR1252 1S CL Reader
    // PICC] 00 00"): they wrap onto a second line instead of running off the window.
    // The first line sits on the caption's line.
    readerNameLabel_->setWordWrap(true);
    readerNameLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    readerNameLabel_->setGeometry(338, 77, 290, 37);

    // Qt's backing store draws every widget off-screen first, so the panel is
    // double-buffered as it stands (nothing here sets WA_PaintOnScreen).
    statusPanel_ = look::named(new QFrame(this), "statusPanel");
    statusPanel_->setGeometry(24, 116, 588, 352);
    statusPanel_->setStyleSheet(
        "#statusPanel { background: #f7fbff; border: 2px solid #6f9fd0; border-radius: 14px; }");

    checkingReaderPicture_ =
        look::named(new QSvgWidget(QString::fromLatin1(kStartledManPicture), statusPanel_),
                    "checkingReaderPicture");
    checkingReaderPicture_->setGeometry(24, 30, 240, 288);
    readyPicture_ = look::named(
        new QSvgWidget(QString::fromLatin1(kTimeClockManPicture), statusPanel_), "readyPicture");
    readyPicture_->setGeometry(24, 30, 240, 288);
    readyPicture_->hide();

    statusLabel_ = look::named(new QLabel(kCheckingReader, statusPanel_), "statusLabel");
    statusLabel_->setFont(look::pixelFont(font(), 27, true));
    statusLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    statusLabel_->setStyleSheet("color: #17406b;");
    statusLabel_->setGeometry(270, 56, 298, 52);

    spoolLabel_ = look::named(new QLabel(statusPanel_), "spoolLabel");
    spoolLabel_->setFont(look::pixelFont(font(), 14, true));
    spoolLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    spoolLabel_->setWordWrap(true);
    spoolLabel_->setTextFormat(Qt::PlainText);
    spoolLabel_->setStyleSheet("color: #a04000;");
    spoolLabel_->setGeometry(270, 116, 298, 72);
    spoolLabel_->hide();

    shareAwayLabel_ = look::named(new QLabel(this), "shareAwayLabel");
    shareAwayLabel_->setFont(look::pixelFont(font(), 13, true));
    shareAwayLabel_->setWordWrap(true);
    shareAwayLabel_->setTextFormat(Qt::RichText);
    shareAwayLabel_->setStyleSheet("color: #a04000;");
    shareAwayLabel_->setGeometry(24, 472, 580, 48);
    shareAwayLabel_->hide();

    manualEntryButton_ =
        look::named(new QPushButton(u"手動による入力"_s, statusPanel_), "manualEntryButton");
    manualEntryButton_->setFont(look::pixelFont(font(), 19));
    manualEntryButton_->setGeometry(300, 196, 264, 56);

    exitButton_ = look::named(new QPushButton(u"終　了"_s, statusPanel_), "exitButton");
    exitButton_->setFont(look::pixelFont(font(), 19));
    exitButton_->setGeometry(300, 266, 264, 52);

    // The about box's hidden door: an empty area that only answers a double-click.
    aboutCorner_ = look::named(new QWidget(this), "aboutCorner");
    aboutCorner_->setGeometry(610, 480, 17, 16);
    aboutCorner_->installEventFilter(this);

    pollTimer_ = look::named(new QTimer(this), "pollTimer");
    pollTimer_->setInterval(kTickMs);
}

void MainScreen::setOtherScreens(std::function<void()> build) {
    buildOtherScreens_ = std::move(build);
}

void MainScreen::buildOtherScreens() {
    if (buildOtherScreens_) {
        const std::function<void()> build = std::move(buildOtherScreens_);
        buildOtherScreens_ = nullptr;
        build();
    }
}

void MainScreen::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // After this paint the frame reaches the display; then the rest is built.
    if (buildOtherScreens_ && !otherScreensQueued_) {
        otherScreensQueued_ = true;
        QTimer::singleShot(0, this, &MainScreen::buildOtherScreens);
    }
}

void MainScreen::setPunchScreen(std::function<void(const QString& holderName)> show) {
    punchScreen_ = std::move(show);
}

void MainScreen::setManualEntry(std::function<void()> show) {
    manualEntry_ = std::move(show);
}

void MainScreen::setAboutBox(std::function<void()> show) {
    aboutBox_ = std::move(show);
}

void MainScreen::showSpoolStatus(const QString& text) {
    spoolLabel_->setText(text);
    spoolLabel_->setVisible(!text.isEmpty());
}

void MainScreen::showShareAway(const QString& html) {
    shareAwayLabel_->setText(html);
    shareAwayLabel_->setVisible(!html.isEmpty());
}

void MainScreen::watchForNewDate(std::function<QDate()> today,
                                 std::function<void(const QDate&)> onNewDate) {
    today_ = std::move(today);
    onNewDate_ = std::move(onNewDate);
    lastDate_ = today_();
}

void MainScreen::setCardholdersRead(std::function<void()> onRead) {
    cardholdersRead_ = std::move(onRead);
}

void MainScreen::showAtNextTick(MessageKind kind, const QString& text) {
    waitingMessages_.emplace_back(kind, text);
}

void MainScreen::lookForNewDate() {
    if (!today_) {
        return;
    }
    const QDate today = today_();
    if (today != lastDate_) {
        lastDate_ = today;
        onNewDate_(today);
    }
}

bool MainScreen::showWaitingMessages() {
    if (waitingMessages_.empty()) {
        return false;
    }
    const TimerPause pause(*pollTimer_);
    for (const auto& [kind, text] : std::exchange(waitingMessages_, {})) {
        if (kind == MessageKind::Error) {
            reportError(this, text);
        } else {
            showPlainMessage(this, text);
        }
    }
    return true;
}

void MainScreen::runPollingTick() {
    buildOtherScreens();
    lookForNewDate();
    if (showWaitingMessages()) {
        return;
    }
    // Declared outside the try so that an error report also waits with the timer stopped.
    std::optional<TimerPause> pause;
    try {
        const PollingCycle::Tick tick = cycle_.tick();
        readerNameLabel_->setText(cycle_.state().readerName);
        if (cycle_.state().listReads != listReadsSeen_) {
            listReadsSeen_ = cycle_.state().listReads;
            if (cardholdersRead_) {
                cardholdersRead_();
            }
        }
        if (tick.displayChanged) {
            showStatus();
        }
        switch (tick.outcome) {
            case PollingCycle::Outcome::NoCard:
                return;
            case PollingCycle::Outcome::LoadFailed:
                if (tick.errorToReport) {
                    pause.emplace(*pollTimer_);
                    reportError(this, QString::fromLocal8Bit(*tick.errorToReport));
                }
                return;
            case PollingCycle::Outcome::Registered:
                pause.emplace(*pollTimer_);
                if (punchScreen_) {
                    punchScreen_(cycle_.state().holderName);
                }
                return;
            case PollingCycle::Outcome::NotRegistered:
                pause.emplace(*pollTimer_);
                showPlainMessage(this, kNotRegistered);
                return;
        }
    } catch (const std::exception& e) {
        if (!pause) {
            pause.emplace(*pollTimer_);
        }
        reportError(this, e);
    }
}

void MainScreen::showStatus() {
    const bool ready = cycle_.display() == StatusDisplay::Ready;
    statusLabel_->setText(ready ? kLayYourCard : kCheckingReader);
    checkingReaderPicture_->setVisible(!ready);
    readyPicture_->setVisible(ready);
}

void MainScreen::onManualEntryClicked() {
    buildOtherScreens();
    TimerPause pause(*pollTimer_);
    try {
        if (manualEntry_) {
            manualEntry_();
        }
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void MainScreen::onExitClicked() {
    close();
}

void MainScreen::onAboutCornerDoubleClicked() {
    buildOtherScreens();
    TimerPause pause(*pollTimer_);
    try {
        if (aboutBox_) {
            aboutBox_();
        }
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void MainScreen::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The first tick comes one interval after the window is up, never during start-up.
    if (!pollingStarted_) {
        pollingStarted_ = true;
        pollTimer_->start();
    }
}

bool MainScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == aboutCorner_ && event->type() == QEvent::MouseButtonDblClick) {
        onAboutCornerDoubleClicked();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tavomi
