// Unit5: the main screen.
#include "main_screen/main_screen.h"

#include "dialogs/message_box.h"
#include "dialogs/pictures.h"
#include "dialogs/screen_look.h"
#include "files/data_folder.h"
#include "files/working_hours.h"

#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSvgWidget>
#include <QTimer>

#include <optional>
#include <stdexcept>
#include <system_error>

namespace tavomi {

namespace {

const QString kInconsistentFolder = QString::fromUtf16(
    u"フォルダー \\attendane_manegement内のファイルが不整合です。\r\n\r\n"
    u"フォルダー内のファイル群の名前などを確かめてください");
const QString kNoHoursToday = QString::fromUtf16(
    u"今日の勤務時間が確認できません。\r\n\r\n"
    u"「設定・その他」 から今日の勤務時間の設定を行ってください");
const QString kNotRegistered =
    QString::fromUtf16(u"このカードは登録されていません　カードの登録を行ってください");
const QString kCheckingReader = QString::fromUtf16(u"リーダーの接続確認中");
const QString kLayYourCard = QString::fromUtf16(u"カードを置いてください");

// Stops Timer1 while something waits for the user and starts it again afterwards,
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
    setObjectName("Form1");
    setWindowTitle("Form1");
    setFixedSize(636, 524);
    look::fill(this, look::kSkyBlue);

    Image5 = look::named(new QSvgWidget(QString::fromLatin1(kLogoPicture), this), "Image5");
    Image5->setGeometry(24, 14, 92, 92);

    Label7 =
        look::named(new QLabel(QString::fromUtf16(u"ICカードによる勤務時間記録"), this), "Label7");
    Label7->setFont(look::pixelFont(font(), 30, true));
    Label7->setGeometry(132, 20, 488, 46);

    Label2 =
        look::named(new QLabel(QString::fromUtf16(u"接続中のカードリーダー　："), this), "Label2");
    Label2->setFont(look::pixelFont(font(), 15));
    Label2->setGeometry(134, 74, 206, 24);

    Label8 = look::named(new QLabel(QString::fromUtf16(u"接続を確認中"), this), "Label8");
    Label8->setFont(look::pixelFont(font(), 14));
    Label8->setStyleSheet("color: #17406b;");
    // Real readers have long names ("ACS ACR1252 1S CL Reader [ACR1252 1S CL Reader
    // PICC] 00 00"): they wrap onto a second line instead of running off the window.
    // The first line sits on Label2's line.
    Label8->setWordWrap(true);
    Label8->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label8->setGeometry(338, 77, 290, 37);

    // Qt's backing store draws every widget off-screen first, so the panel is
    // double-buffered as it stands (nothing here sets WA_PaintOnScreen).
    Panel1 = look::named(new QFrame(this), "Panel1");
    Panel1->setGeometry(24, 116, 588, 352);
    Panel1->setStyleSheet(
        "#Panel1 { background: #f7fbff; border: 2px solid #6f9fd0; border-radius: 14px; }");

    Image1 =
        look::named(new QSvgWidget(QString::fromLatin1(kStartledManPicture), Panel1), "Image1");
    Image1->setGeometry(24, 30, 240, 288);
    Image2 =
        look::named(new QSvgWidget(QString::fromLatin1(kTimeClockManPicture), Panel1), "Image2");
    Image2->setGeometry(24, 30, 240, 288);
    Image2->hide();

    Label5 = look::named(new QLabel(kCheckingReader, Panel1), "Label5");
    Label5->setFont(look::pixelFont(font(), 27, true));
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label5->setStyleSheet("color: #17406b;");
    Label5->setGeometry(270, 56, 298, 52);

    Button7 =
        look::named(new QPushButton(QString::fromUtf16(u"手動による入力"), Panel1), "Button7");
    Button7->setFont(look::pixelFont(font(), 19));
    Button7->setGeometry(300, 196, 264, 56);

    Button5 = look::named(new QPushButton(QString::fromUtf16(u"終　了"), Panel1), "Button5");
    Button5->setFont(look::pixelFont(font(), 19));
    Button5->setGeometry(300, 266, 264, 52);

    // The about box's hidden door: an empty area that only answers a double-click.
    Image3 = look::named(new QWidget(this), "Image3");
    Image3->setGeometry(610, 480, 17, 16);
    Image3->installEventFilter(this);

    Timer1 = look::named(new QTimer(this), "Timer1");
    Timer1->setInterval(kTickMs);
    connect(Timer1, &QTimer::timeout, this, &MainScreen::Button1Click);
    connect(Button7, &QPushButton::clicked, this, &MainScreen::Button7Click);
    connect(Button5, &QPushButton::clicked, this, &MainScreen::Button5Click);
}

void MainScreen::setPunchScreen(std::function<void(const QString& who)> show) {
    punchScreen_ = std::move(show);
}

void MainScreen::setManualEntry(std::function<void()> show) {
    manualEntry_ = std::move(show);
}

void MainScreen::setAboutBox(std::function<void()> show) {
    aboutBox_ = std::move(show);
}

bool MainScreen::FormCreate(const QDate& today) {
    if (!missingDataFiles(appFolder_).empty()) {
        showPlainMessage(nullptr, kInconsistentFolder);
        return false;
    }
    Label5->setText(kCheckingReader);
    try {
        Button9Click(today);
    } catch (const std::exception& e) {
        // The working-hours files failed: the rest of the preparation is skipped,
        // a stale lock file stays until the next start, and the program runs on.
        reportError(nullptr, e);
        return true;
    }
    Image1->show();
    Image2->hide();
    // A lock file left by a run that ended while writing; failing to remove it is ignored.
    const std::filesystem::path lockFile = dataFilePath(appFolder_, kLockFile);
    if (regularFileExists(lockFile)) {
        std::error_code ignored;
        std::filesystem::remove(lockFile, ignored);
    }
    return true;
}

void MainScreen::Button9Click(const QDate& today) {
    if (deriveWorkingHours(appFolder_, today) == DerivationOutcome::NoWorkingHours) {
        showPlainMessage(nullptr, kNoHoursToday);
    }
}

void MainScreen::Button1Click() {
    // Declared outside the try so that an error report also waits with the timer stopped.
    std::optional<TimerPause> pause;
    try {
        const PollingCycle::Tick tick = cycle_.tick();
        Label8->setText(cycle_.state().Label8);
        if (tick.displayChanged) {
            showDisplay();
        }
        switch (tick.outcome) {
            case PollingCycle::Outcome::NoCard:
                return;
            case PollingCycle::Outcome::LoadFailed:
                if (tick.errorToReport) {
                    pause.emplace(*Timer1);
                    reportError(this, std::runtime_error(*tick.errorToReport));
                }
                return;
            case PollingCycle::Outcome::Registered:
                pause.emplace(*Timer1);
                if (punchScreen_) {
                    punchScreen_(cycle_.state().who_is_it);
                }
                return;
            case PollingCycle::Outcome::NotRegistered:
                pause.emplace(*Timer1);
                showPlainMessage(this, kNotRegistered);
                return;
        }
    } catch (const std::exception& e) {
        if (!pause) {
            pause.emplace(*Timer1);
        }
        reportError(this, e);
    }
}

void MainScreen::showDisplay() {
    const bool ready = cycle_.display() == StatusDisplay::Ready;
    Label5->setText(ready ? kLayYourCard : kCheckingReader);
    Image1->setVisible(!ready);
    Image2->setVisible(ready);
}

void MainScreen::Button7Click() {
    TimerPause pause(*Timer1);
    try {
        if (manualEntry_) {
            manualEntry_();
        }
    } catch (const std::exception& e) {
        reportError(this, e);
    }
}

void MainScreen::Button5Click() {
    close();
}

void MainScreen::Image3DblClick() {
    TimerPause pause(*Timer1);
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
    if (!polling_) {
        polling_ = true;
        Timer1->start();
    }
}

bool MainScreen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image3 && event->type() == QEvent::MouseButtonDblClick) {
        Image3DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tavomi
