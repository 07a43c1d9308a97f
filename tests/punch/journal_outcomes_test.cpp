// What the two card screens do when the journal cannot take their record: the
// lock file is present, the journal is missing, or appending fails.
#include "dialogs/kept_note.h"
#include "punch/screens_fixture.h"

#include "sound/sound.h"
#include "spool/record_spool.h"
#include "support/file_conditions.h"
#include "support/modal_helper.h"

#include <QFrame>
#include <QMessageBox>

#include <gtest/gtest.h>

#include <future>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tavomi::test {
namespace {

enum class Screen { Punch, Absence };

// Records 出勤 on the punch screen, or a two-hour absence with 年休 on the
// absence screen opened from it.
void recordOn(Screen screen, Screens& s, ModalAnswerer& answerer) {
    if (screen == Screen::Punch) {
        s.button("clockInButton")->click();
        return;
    }
    answerer.then([&s](QWidget*) {
        s.chooseHours(2);
        s.absenceBox(25)->setChecked(true);
        later([&s] { s.absenceRecordButton()->click(); });
    });
    s.button("absenceButton")->click();
}

// The confirmation box's text after recordOn (the absence screen comes first).
QString messageAfter(Screen screen, const ModalAnswerer& answerer) {
    const auto& texts = answerer.texts();
    const std::size_t at = screen == Screen::Punch ? 0 : 1;
    return texts.size() > at ? texts[at] : QStringLiteral("<no box>");
}

// ---- Lock file present, journal missing ---------------------------------------

enum class Condition { LockPresent, JournalMissing };

struct OutcomeCase {
    const char* label;
    Screen screen;
    Condition condition;
    const char16_t* message;

    friend void PrintTo(const OutcomeCase& c, std::ostream* os) { *os << c.label; }
};

class JournalOutcome : public ::testing::TestWithParam<OutcomeCase> {};

TEST_P(JournalOutcome, ShowsTheScreensOwnWordingWritesNothingAndCloses) {
    const OutcomeCase& c = GetParam();
    Screens s;
    const QByteArray before = s.journal();
    if (c.condition == Condition::LockPresent) {
        s.folder.writeBytes(kLockFile, {});
    } else {
        s.folder.remove(kJournalFile);
    }
    s.open();
    ModalAnswerer answerer;
    recordOn(c.screen, s, answerer);

    EXPECT_EQ(messageAfter(c.screen, answerer), shown(QString::fromUtf16(c.message)));
    if (c.condition == Condition::LockPresent) {
        EXPECT_EQ(s.journal(), before);
        EXPECT_TRUE(s.lockPresent());  // someone else's lock is left alone
    } else {
        EXPECT_FALSE(s.folder.exists(kJournalFile));
        EXPECT_FALSE(s.lockPresent());
    }
    // The teacher starts again with the card: the screens close as after a record.
    EXPECT_FALSE(s.punch.isVisible());
    EXPECT_FALSE(s.absence.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Table, JournalOutcome,
    ::testing::Values(
        OutcomeCase{"PunchLockPresent", Screen::Punch, Condition::LockPresent,
                    u"記録用のファイルが使用中で、時間を書き込むことができませんでした\r\n\r\n "
                    u"もう一度記録してください"},
        OutcomeCase{
            "AbsenceLockPresent", Screen::Absence, Condition::LockPresent,
            u"記録用のファイルが使用されており、時間を書き込むことができませんでした\r\n\r\n "
            u"もう一度記録してください"},
        OutcomeCase{"PunchJournalMissing", Screen::Punch, Condition::JournalMissing,
                    u"記録用のファイルがみつかりません カードをとってOKボタンで戻ってください"},
        OutcomeCase{"AbsenceJournalMissing", Screen::Absence, Condition::JournalMissing,
                    u"記録用のファイルがみつかりません カードをとってOKボタンで戻ってください"}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- A file error while appending -------------------------------------------

enum class FaultKind { JournalHeldByAnotherWriter, ReadOnlyDataFolder };

// A fault in the data folder until clear() or the end of the test.
class Fault {
  public:
    Fault(FaultKind kind, const DataFolder& folder)
        : folder_(folder.file(kJournalFile).parent_path()) {
        if (kind == FaultKind::JournalHeldByAnotherWriter) {
            fd_ = ::open(folder.file(kJournalFile).c_str(), O_RDWR | O_CLOEXEC);
            EXPECT_EQ(::flock(fd_, LOCK_EX | LOCK_NB), 0);
        } else {
            dropped_ = std::make_unique<WithoutDacOverride>();
            std::filesystem::permissions(folder_, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
        }
    }
    ~Fault() { clear(); }

    void clear() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        if (dropped_) {
            std::filesystem::permissions(folder_, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
            dropped_.reset();
        }
    }

  private:
    std::filesystem::path folder_;
    int fd_ = -1;
    std::unique_ptr<WithoutDacOverride> dropped_;
};

struct ErrorCase {
    const char* label;
    Screen screen;
    FaultKind fault;

    friend void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.label; }
};

class FileErrorWhileAppending : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(FileErrorWhileAppending, ReportsItAndLeavesTheScreenAsItWas) {
    const ErrorCase& c = GetParam();
    Screens s;
    const QByteArray before = s.journal();
    s.open();
    s.apply({33});  // 年休 as a special note: 出勤 carries it over
    Fault fault(c.fault, s.folder);

    ModalAnswerer answerer;
    bool reported = false;
    bool asItWas = false;
    if (c.screen == Screen::Punch) {
        answerer.then([&](QWidget* box) {
            reported = qobject_cast<QMessageBox*>(box) != nullptr;
            ModalAnswerer::pressOk(box);
        });
        s.button("clockInButton")->click();
        asItWas = s.punch.isVisible() && s.box(33)->isChecked() && !s.box(25)->isChecked() &&
                  s.find<QFrame>("specialNotePanel")->isVisible();
    } else {
        answerer.then([&](QWidget*) {
            s.chooseHours(3);
            s.absenceBox(26)->setChecked(true);
            later([&s] { s.absenceRecordButton()->click(); });
        });
        answerer.then([&](QWidget* box) {
            reported = qobject_cast<QMessageBox*>(box) != nullptr;
            ModalAnswerer::pressOk(box);
        });
        answerer.then([&](QWidget* box) {  // the absence screen, still up
            asItWas = box == &s.absence && s.punch.isVisible() &&
                      s.find<QComboBox>("hoursBox")->currentIndex() == 3 &&
                      s.absenceRecordButton()->isEnabled() && s.absenceBox(26)->isChecked();
            box->close();
        });
        s.button("absenceButton")->click();
    }
    EXPECT_TRUE(reported);
    // In Japanese: what could not be done, the file, and the system's reason.
    const QString report = answerer.texts().at(c.screen == Screen::Punch ? 0 : 1);
    EXPECT_TRUE(
        report.contains(c.fault == FaultKind::JournalHeldByAnotherWriter
                            ? u"記録用のファイルを書き込むために開くことができませんでした"_s
                            : u"ロック用のファイルを作ることができませんでした"_s))
        << report.toStdString();
    EXPECT_TRUE(report.contains(u"ファイル："_s)) << report.toStdString();
    EXPECT_TRUE(report.contains(c.fault == FaultKind::JournalHeldByAnotherWriter
                                    ? u"ほかのプログラムが使用中です"_s
                                    : u"このアカウントには書き込みが許可されていません"_s))
        << report.toStdString();
    EXPECT_TRUE(asItWas);
    EXPECT_EQ(s.journal(), before);
    EXPECT_FALSE(s.lockPresent());
    EXPECT_EQ(s.poller.calls, 0);  // no card-removal wait
    const int boxes = c.screen == Screen::Punch ? 1 : 3;
    EXPECT_EQ(answerer.count(), boxes);  // no confirmation box
    EXPECT_TRUE(s.punch.isVisible());

    // Once the journal can be written again, the same press records.
    fault.clear();
    s.button("clockInButton")->click();
    EXPECT_EQ(s.journal(),
              before + DataFolder::cp932Lines(
                           {u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由年休"_s}));
    EXPECT_FALSE(s.punch.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileErrorWhileAppending,
    ::testing::Values(
        ErrorCase{"PunchJournalHeld", Screen::Punch, FaultKind::JournalHeldByAnotherWriter},
        ErrorCase{"PunchReadOnlyFolder", Screen::Punch, FaultKind::ReadOnlyDataFolder},
        ErrorCase{"AbsenceJournalHeld", Screen::Absence, FaultKind::JournalHeldByAnotherWriter},
        ErrorCase{"AbsenceReadOnlyFolder", Screen::Absence, FaultKind::ReadOnlyDataFolder}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- A share that does not answer -------------------------------------------

// The sounds asked for while it lives.
class SoundsHeard {
  public:
    SoundsHeard() : previous_(setSoundPlayer([this](Sound sound) { heard.push_back(sound); })) {}
    ~SoundsHeard() { setSoundPlayer(previous_); }
    std::vector<Sound> heard;

  private:
    SoundPlayer previous_;
};

TEST(ShareNotAnswering, ThePunchIsKeptOnThisPcAndTheTeacherIsToldAndHearsIt) {
    struct Case {
        const char* what;
        bool hangs;  // the append hangs; else the data folder is gone
    };
    for (const Case c : {Case{"a hung write", true}, Case{"the folder is gone", false}}) {
        SCOPED_TRACE(c.what);
        auto release = std::make_shared<std::promise<void>>();
        std::shared_future<void> released = release->get_future().share();
        Screens s([released](const std::filesystem::path& app, const QString& line,
                             JournalLock& lock, WriteOrder order, const WhileLocked& whileLocked) {
            released.wait();
            return JournalWriter::appendToShare(app, line, lock, order, whileLocked);
        });
        const auto data = s.folder.file(kJournalFile).parent_path();
        if (c.hangs) {
            std::filesystem::rename(data, data.string() + ".away");  // the late write fails
        } else {
            release->set_value();
            std::filesystem::rename(data, data.string() + ".away");
        }
        SoundsHeard sounds;
        s.open();
        ModalAnswerer answerer;
        const auto pressed = std::chrono::steady_clock::now();
        s.button("clockInButton")->click();
        const auto answered = std::chrono::steady_clock::now() - pressed;

        ASSERT_FALSE(answerer.texts().empty());
        EXPECT_EQ(answerer.texts()[0],
                  shown(punchMessage(RecordKind::ClockIn, u"山田花子"_s, s.now) +
                        QString::fromUtf16(kKeptOnThisPcNote)));
        EXPECT_EQ(sounds.heard, std::vector<Sound>{Sound::Kept});
        // The screen's wait, not the share's; a modal box's own wait comes on top.
        EXPECT_LT(answered, JournalWriter::kScreenWait + std::chrono::seconds(3));
        const auto kept = RecordSpool(s.folder.appFolder() / "spool").load().records;
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_TRUE(kept[0].line.startsWith(u"出勤,山田花子,2019/08/28,07:45,IC記録"_s));
        if (c.hangs) {
            release->set_value();
        }
    }
}

TEST(ShareAnswering, EachOutcomeHasItsSound) {
    struct Case {
        const char* what;
        bool lockPresent;
        Sound expected;
    };
    for (const Case c :
         {Case{"written", false, Sound::Written}, Case{"busy", true, Sound::Problem}}) {
        SCOPED_TRACE(c.what);
        Screens s;
        if (c.lockPresent) {
            s.folder.writeBytes(kLockFile, {});
        }
        SoundsHeard sounds;
        s.open();
        ModalAnswerer answerer;
        s.button("clockInButton")->click();
        EXPECT_EQ(sounds.heard, std::vector<Sound>{c.expected});
    }
}

}  // namespace
}  // namespace tavomi::test
