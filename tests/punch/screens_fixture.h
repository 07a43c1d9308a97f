#pragma once
// The punch screen, the absence screen and the confirmation box wired together
// over a temporary data folder, a fixed clock and a scripted card poll.

#include "dialogs/confirm_box.h"
#include "files/data_folder.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"
#include "record/vocabulary.h"
#include "support/data_folder_fixture.h"
#include "support/scripted_poller.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>

namespace tavomi::test {

using namespace Qt::StringLiterals;

struct Screens {
    // `append` stands between the screens' writer and the share.
    explicit Screens(JournalWriter::Append append = &JournalWriter::appendToShare)
        : append_(std::move(append)) {
        poller.steady = ScriptedPoller::reader("Reader 1");  // after the script: no card
        punch.setScreens(&absence, &confirm);
        absence.setConfirmBox(&confirm);
    }

    // The main screen's hand-over, with the punch screen shown without a modal loop
    // so that the test body goes on.
    void open(const QString& who = u"山田花子"_s) {
        punch.setHolder(who);
        punch.show();
    }

    // Category boxes are 1..23, reason boxes (from the shared reason row) 24..32,
    // special notes 33..35.
    static QString boxName(int n) {
        if (n >= kFirstReasonBox + static_cast<int>(kReasons.size())) {
            return QStringLiteral("specialNoteBox%1").arg(n);
        }
        if (n >= kFirstReasonBox) {
            return QStringLiteral("reasonBox%1").arg(n);
        }
        return QStringLiteral("categoryBox%1").arg(n);
    }

    template <typename T>
    T* find(const char* name) {
        T* widget = punch.findChild<T*>(name);
        if (widget == nullptr) {
            widget = absence.findChild<T*>(name);
        }
        return widget;
    }
    QPushButton* button(const char* name) { return punch.findChild<QPushButton*>(name); }
    QCheckBox* box(int n) { return punch.findChild<QCheckBox*>(boxName(n)); }
    QCheckBox* absenceBox(int n) { return absence.findChild<QCheckBox*>(boxName(n)); }

    // The user's choice of an hours entry, made with the keyboard as a user would.
    void chooseHours(int entry) {
        auto* combo = absence.findChild<QComboBox*>("hoursBox");
        while (combo->currentIndex() < entry) {
            QTest::keyClick(combo, Qt::Key_Down);
        }
        while (combo->currentIndex() > entry) {
            QTest::keyClick(combo, Qt::Key_Up);
        }
    }
    QPushButton* absenceRecordButton() { return absence.findChild<QPushButton*>("recordButton"); }

    QByteArray journal() const { return folder.readBytes(kJournalFile); }
    bool lockPresent() const { return folder.exists(kLockFile); }

    // A step of ticking: n > 0 ticks box n, n < 0 unticks it, 0 presses 詳しく.
    void apply(const std::vector<int>& steps) {
        for (int step : steps) {
            if (step == 0) {
                button("detailsButton")->click();
            } else {
                box(std::abs(step))->setChecked(step > 0);
            }
        }
    }

    DataFolder folder;
    QDateTime now{QDate(2019, 8, 28), QTime(7, 45, 30)};
    qint64 stepOnRead = 0;  // ms the clock moves at every reading
    ScriptedPoller poller;
    ConfirmBox confirm;
    JournalWriter::Append append_;
    JournalWriter writer{folder.appFolder(), folder.appFolder() / "spool",
                         [this] { return read(); }, append_};
    PunchScreen punch{folder.appFolder(), writer, [this] { return read(); }, poller};
    AbsenceScreen absence{folder.appFolder(), writer, [this] { return read(); }};

  private:
    QDateTime read() {
        const QDateTime reading = now;
        now = now.addMSecs(stepOnRead);
        return reading;
    }
};

// Runs an action from its own timer event. The modal helper's timer does not fire
// again while one of its actions blocks in exec(), so an action that opens a
// further box (a record button) must not run inside the helper's action.
inline void later(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

// A key held down from before: its auto-repeated presses and releases reach
// `target`, then the key is let go.
inline void holdKey(QWidget* target, Qt::Key key) {
    for (int i = 0; i < 3; ++i) {
        QTest::simulateEvent(target, true, key, Qt::NoModifier, QString(), true);
        QTest::simulateEvent(target, false, key, Qt::NoModifier, QString(), true);
    }
    QTest::simulateEvent(target, false, key, Qt::NoModifier, QString(), false);
}

// The same as X11 delivers it without detectable auto-repeat: each repeat a release and
// a press of one timestamp, with no auto-repeat flag, then the key is let go.
inline void holdKeyAsX11Does(QWidget* target, Qt::Key key) {
    auto send = [&](QEvent::Type type, quint64 at) {
        QKeyEvent event(type, key, Qt::NoModifier);
        event.setTimestamp(at);
        QApplication::sendEvent(target, &event);
    };
    quint64 at = 1'000'000;
    for (int i = 0; i < 3; ++i) {
        at += 33;
        send(QEvent::KeyRelease, at);
        send(QEvent::KeyPress, at);
    }
    send(QEvent::KeyRelease, at + 200);
}

// The confirmation box shows CR LF as line breaks.
inline QString shown(const QString& message) {
    QString text = message;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace tavomi::test
