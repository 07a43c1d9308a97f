// tavomi-screenshots: pictures of the real screens for the README. The time clock's screens
// are built and wired as the program builds them (createScreens) and driven as a teacher
// would drive them; the office's window is opened on the same folder. A fixed clock and a
// card laid by hand (no PC/SC) make every run draw the same pictures.
// usage: tavomi-screenshots clock|office APP_FOLDER OUT_DIR
#include "card/card_poller.h"
#include "clock/clock.h"
#include "dialogs/about_box.h"
#include "dialogs/confirm_box.h"
#include "main_screen/main_screen.h"
#include "manual/manual_entry_screen.h"
#include "office_window/office_window.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"
#include "shell/screens.h"
#include "spool/journal_writer.h"
#include "support/scripted_poller.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSvgWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

const QString kReaderName = u"Virtual PCD 00 00"_s;
const QString kHanakoCard = u"0123456789ABCDEF"_s;
const QString kUnknownCard = u"FEDCBA9876543210"_s;

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "tavomi-screenshots: %s\n", qUtf8Printable(why));
    std::exit(1);
}

// A reader with or without a card; the office's card page polls from a worker thread.
class HandLaidCard : public CardPoller {
  public:
    PollResult poll() override {
        std::lock_guard lock(mutex_);
        return result_;
    }
    void lay(const QString& card) {
        std::lock_guard lock(mutex_);
        result_ = test::ScriptedPoller::card(card, kReaderName.toStdString());
    }
    void remove() {
        std::lock_guard lock(mutex_);
        result_ = test::ScriptedPoller::reader(kReaderName.toStdString());
    }

  private:
    std::mutex mutex_;
    PollResult result_ = test::ScriptedPoller::reader(kReaderName.toStdString());
};

class Camera {
  public:
    explicit Camera(const QString& folder) : folder_(folder) {}

    void shoot(QWidget* window, const QString& name) const {
        const QString file = folder_.filePath(name + u".png"_s);
        if (!window->grab().save(file, "PNG")) {
            fail(u"cannot write "_s + file);
        }
        std::printf("%s\n", qUtf8Printable(file));
    }

  private:
    QDir folder_;
};

void runEventsUntil(const std::function<bool()>& condition, const QString& what) {
    QDeadlineTimer deadline(20'000);
    while (!condition()) {
        if (deadline.hasExpired()) {
            fail(u"gave up waiting for "_s + what);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

// Runs an action from its own timer event, so that one which opens a modal box returns
// to the steps' timer only when the box closes, while that timer keeps firing inside it.
void later(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

// Steps taken in turn, each once the modal window it waits for is the active one
// (none: the main screen alone). The modal screens block in exec(), so the steps run
// from a timer that fires inside their event loops.
class ModalSteps : public QObject {
  public:
    using Waits = std::function<bool(QWidget* activeModal)>;
    struct Step {
        QString what;
        Waits waits;
        std::function<void(QWidget* activeModal)> action;
    };

    explicit ModalSteps(std::vector<Step> steps) : steps_(std::move(steps)) {
        connect(&timer_, &QTimer::timeout, this, &ModalSteps::next);
        timer_.start(10);
        deadline_ = QDeadlineTimer(60'000);
    }

  private:
    void next() {
        if (steps_.empty()) {
            return;
        }
        if (deadline_.hasExpired()) {
            fail(u"gave up waiting for "_s + steps_.front().what);
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (!steps_.front().waits(modal)) {
            return;
        }
        const Step step = std::move(steps_.front());
        steps_.erase(steps_.begin());
        step.action(modal);
    }

    std::vector<Step> steps_;
    QTimer timer_;
    QDeadlineTimer deadline_;
};

template <typename Screen>
ModalSteps::Waits shown() {
    return [](QWidget* modal) { return qobject_cast<Screen*>(modal) != nullptr; };
}

ModalSteps::Waits noModal() {
    return [](QWidget* modal) { return modal == nullptr; };
}

void click(QWidget* window, const char* button) {
    auto* b = window->findChild<QPushButton*>(QString::fromLatin1(button));
    if (b == nullptr) {
        fail(u"no button "_s + QString::fromLatin1(button));
    }
    b->click();
}

// The time clock at a teacher's turn: the main screen, the punch screen in both layouts,
// a clock-in's confirmation, the mid-day absence screen, the manual entry screen and
// the about box.
int shootTimeClock(const std::filesystem::path& appFolder, const Camera& camera) {
    const QDateTime now(QDate(2025, 6, 20), QTime(7, 45, 30));
    const Clock clock = [now] { return now; };
    HandLaidCard poller;
    JournalWriter writer(appFolder, appFolder / "spool", clock);
    const std::unique_ptr<MainScreen> main = createScreens(appFolder, clock, poller, writer);
    if (!main) {
        fail(u"the data folder is incomplete"_s);
    }
    main->show();
    main->runPollingTick();  // the reader is seen: the screen asks for a card
    runEventsUntil([&] { return main->findChild<QSvgWidget*>("readyPicture")->isVisible(); },
                   u"the main screen's ready state"_s);
    camera.shoot(main.get(), u"main-screen"_s);

    // Laid and looked for in one event, so that the screen's own timer cannot come between.
    const auto layCard = [&] {
        later([&] {
            poller.lay(kHanakoCard);
            main->runPollingTick();
        });
    };
    const auto answer = [&](QWidget* box) {
        poller.remove();  // the teacher has taken the card
        click(box, "okButton");
    };
    ModalSteps steps({
        {u"the punch screen"_s, shown<PunchScreen>(),
         [&](QWidget* punch) {
             camera.shoot(punch, u"punch-screen"_s);
             later([punch] { click(punch, "clockInButton"); });
         }},
        {u"the clock-in's confirmation"_s, shown<ConfirmBox>(),
         [&](QWidget* box) {
             camera.shoot(box, u"confirmation"_s);
             answer(box);
         }},
        {u"the main screen again"_s, noModal(), [&](QWidget*) { layCard(); }},
        {u"the punch screen again"_s, shown<PunchScreen>(),
         [&](QWidget* punch) {
             click(punch, "detailsButton");
             camera.shoot(punch, u"punch-screen-details"_s);
             later([punch] { click(punch, "absenceButton"); });
         }},
        {u"the mid-day absence screen"_s, shown<AbsenceScreen>(),
         [&](QWidget* absence) {
             camera.shoot(absence, u"absence-screen"_s);
             qobject_cast<QDialog*>(absence)->reject();
         }},
        {u"the punch screen after the absence screen"_s, shown<PunchScreen>(),
         [&](QWidget* punch) { later([punch] { click(punch, "closeButton"); }); }},
        {u"the closing confirmation"_s, shown<ConfirmBox>(), answer},
        {u"the main screen before manual entry"_s, noModal(),
         [&](QWidget*) { later([&] { click(main.get(), "manualEntryButton"); }); }},
        {u"the manual entry screen"_s, shown<ManualEntryScreen>(),
         [&](QWidget* manual) {
             camera.shoot(manual, u"manual-entry"_s);
             qobject_cast<QDialog*>(manual)->reject();
         }},
        {u"the main screen before the about box"_s, noModal(),
         [&](QWidget*) {
             later([&] {
                 // The about box's door is a double-click on the main screen's corner.
                 auto* corner = main->findChild<QWidget*>("aboutCorner");
                 const QPointF at(4, 4);
                 QMouseEvent doubleClick(QEvent::MouseButtonDblClick, at, corner->mapToGlobal(at),
                                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
                 QApplication::sendEvent(corner, &doubleClick);
             });
         }},
        {u"the about box"_s, shown<AboutBox>(),
         [&](QWidget* about) {
             camera.shoot(about, u"about-box"_s);
             click(about, "closeButton");
         }},
        {u"the end"_s, noModal(), [](QWidget*) { QCoreApplication::quit(); }},
    });
    layCard();
    return QApplication::exec();
}

// The office's window on its three pages, each once its read has come back.
int shootOffice(const std::filesystem::path& appFolder, const Camera& camera) {
    const QDateTime now(QDate(2025, 6, 20), QTime(10, 30));
    HandLaidCard poller;
    poller.lay(kUnknownCard);  // a new teacher's card, not yet registered
    {
        OfficeWindow window(
            appFolder, [now] { return now; }, poller);
        window.show();
        auto* pages = window.findChild<QTabWidget*>("pages");
        const auto page = [&](const char* name) {
            return window.findChild<QWidget*>(QString::fromLatin1(name));
        };
        const auto filled = [&](const char* pageName, const char* table) {
            return [=] {
                return page(pageName)->findChild<QTableWidget*>(table)->rowCount() > 0 &&
                       !page(pageName)->findChild<QWidget*>("progressBar")->isVisible();
            };
        };

        runEventsUntil(filled("presencePage", "presenceTable"), u"who is in"_s);
        camera.shoot(&window, u"office-presence"_s);

        pages->setCurrentIndex(1);
        runEventsUntil(filled("monthPage", "sheetTable"), u"the month's sheets"_s);
        camera.shoot(&window, u"office-month"_s);

        pages->setCurrentIndex(2);
        QWidget* cards = page("cardPage");
        runEventsUntil(
            [&] {
                return cards->findChild<QLabel*>("cardIdLabel")->text() == kUnknownCard &&
                       cards->findChild<QTableWidget*>("cardholderTable")->rowCount() > 0;
            },
            u"the laid card"_s);
        cards->findChild<QLineEdit*>("familyNameEdit")->setText(u"渡辺"_s);
        cards->findChild<QLineEdit*>("givenNameEdit")->setText(u"大輔"_s);
        cards->findChild<QLineEdit*>("particularsEdit")->setText(u"教諭"_s);
        QCoreApplication::processEvents();
        camera.shoot(&window, u"office-cards"_s);
    }
    // A card poll still running on the pool uses the poller: it ends before the poller does.
    QThreadPool::globalInstance()->waitForDone();
    return 0;
}

}  // namespace
}  // namespace tavomi

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // A text cursor drawn or not by the blink's phase would make two runs differ.
    QApplication::setCursorFlashTime(0);
    // A box nobody expected (a start-up message) would wait for an answer for ever.
    QTimer::singleShot(120'000, [] { tavomi::fail(u"a screen did not come or go in time"_s); });
    const QStringList args = QApplication::arguments().mid(1);
    if (args.size() != 3 || (args[0] != u"clock" && args[0] != u"office")) {
        std::fprintf(stderr, "usage: tavomi-screenshots clock|office APP_FOLDER OUT_DIR\n");
        return 2;
    }
    const std::filesystem::path appFolder(QFile::encodeName(args[1]).toStdString());
    const tavomi::Camera camera(args[2]);
    return args[0] == u"clock" ? tavomi::shootTimeClock(appFolder, camera)
                               : tavomi::shootOffice(appFolder, camera);
}
