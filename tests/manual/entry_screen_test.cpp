// The manual entry screen driven as a user would, against a real data folder.
#include "files/journal_lock.h"
#include "manual/manual_entry_screen.h"
#include "spool/journal_writer.h"

#include "manual/manual_test_text.h"

#include "dialogs/confirm_box.h"
#include "dialogs/message_box.h"
#include "files/data_folder.h"
#include "manual/manual_record.h"
#include "manual/pickers.h"
#include "record/vocabulary.h"
#include "support/data_folder_fixture.h"
#include "support/file_conditions.h"
#include "support/modal_helper.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <ostream>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::DataFolder;
using test::ModalAnswerer;

// The confirmation box shows CR LF as line breaks of its label.
QString shown(const char16_t* message) {
    return withLineFeeds(QString::fromUtf16(message));
}

QByteArray cp932(const char16_t* line) {
    return DataFolder::cp932Lines({QString::fromUtf16(line)});
}

// Members are public so that table rows can drive the screen through them.
class ManualScreenTest : public ::testing::Test {
  public:
    ManualScreenTest() {
        data.writeLines(kCardholderListFile, {
                                                 u"カードID,氏名,職名"_s,
                                                 u"0123456789ABCDEF,山田花子,教諭"_s,
                                                 u"0000000000000002,W,教諭"_s,
                                                 u"0000000000000003"_s,
                                                 u"0000000000000004,"_s,
                                             });
        form.setConfirmBox(&confirm);
        form.show();
    }

    template <typename T>
    T* get(const char* name) {
        T* widget = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QCheckBox* reason(int box) {
        return get<QCheckBox>(QStringLiteral("reasonBox%1").arg(box).toLatin1().constData());
    }

    // Opens the person list (which re-reads the file) and picks the name.
    void choosePerson(const QString& name) {
        auto* list = get<QComboBox>("personPicker");
        list->showPopup();
        int index = -1;
        for (int i = 0; i < list->count() && index < 0; ++i) {
            if (list->itemText(i) == name) {
                index = i;
            }
        }
        list->hidePopup();
        ASSERT_GE(index, 0) << name.toStdString();
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    void choosePerson(const char16_t* name) { choosePerson(QString::fromUtf16(name)); }

    void chooseHours(int entry) {
        auto* list = get<QComboBox>("absenceHoursPicker");
        list->setCurrentIndex(entry);
        emit list->activated(entry);
    }

    QStringList personList() {
        auto* list = get<QComboBox>("personPicker");
        QStringList names;
        for (int i = 0; i < list->count(); ++i) {
            names << list->itemText(i);
        }
        return names;
    }

    // A click as the window system delivers it, to whatever child lies under the point.
    void clickOnScreen(QWidget* widget, QPoint point) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, widget->mapTo(&form, point));
    }

    void setTime(QTime time) { get<QTimeEdit>("timePicker")->setTime(time); }
    void setDate(QDate date) { get<QDateEdit>("datePicker")->setDate(date); }
    void click(const char* name) { get<QAbstractButton>(name)->click(); }
    void record() { click("recordButton"); }

    bool anyKindChecked() {
        for (const char* name : {"clockInRadio", "clockOutRadio", "goingOutRadio", "returnRadio",
                                 "midDayAbsenceRadio"}) {
            if (get<QRadioButton>(name)->isChecked()) {
                return true;
            }
        }
        return false;
    }
    bool anyReasonTicked() {
        for (const Reason& r : kReasons) {
            if (reason(r.box)->isChecked()) {
                return true;
            }
        }
        return false;
    }

    QByteArray journal() const { return data.readBytes(kJournalFile); }
    QByteArray workingHours() const { return data.readBytes(kWorkingHoursFile); }

    DataFolder data;
    QDateTime now{QDate(2019, 8, 27), QTime(1, 30)};  // a Tuesday
    ConfirmBox confirm;
    JournalWriter writer{data.appFolder(), data.appFolder() / "spool", [this] { return now; }};
    ManualEntryScreen form{data.appFolder(), writer, [this] { return now; }};
};

TEST_F(ManualScreenTest, OpensWithItsControlsAndTheClockOfItsCreation) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Form6"));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const struct {
        const char* control;
        const char16_t* caption;
    } captions[] = {
        {"clockInRadio", u"出勤"},
        {"clockOutRadio", u"退勤"},
        {"goingOutRadio", u"外出"},
        {"returnRadio", u"戻り"},
        {"midDayAbsenceRadio", u"中抜け"},
        {"leaveReasonBox", u"早帰りなどの理由を記す"},
        {"afterMidnightBox", u"午前様の退勤です"},
        {"closeButton", u"このフォームを閉じる"},
        {"recordButton", u"この時間で記録"},
        {"nowButton", u"時間と日付を今に"},
    };
    for (const auto& c : captions) {
        EXPECT_EQ(get<QAbstractButton>(c.control)->text(), QString::fromUtf16(c.caption))
            << c.control;
    }
    EXPECT_EQ(get<QLabel>("afterMidnightHint")->text(), u"午前零時を過ぎ退勤は前日の日付で"_s);
    for (const Reason& r : kReasons) {
        EXPECT_EQ(reason(r.box)->text(), QString::fromUtf16(r.caption));
    }

    auto* people = get<QComboBox>("personPicker");
    EXPECT_EQ(people->count(), 0);
    EXPECT_FALSE(people->isEditable());
    EXPECT_EQ(people->maxVisibleItems(), 25);
    EXPECT_EQ(get<QDateEdit>("datePicker")->text(), u"2019年8月27日(火)"_s);
    auto* picker = get<StepTimePicker>("timePicker");
    EXPECT_EQ(picker->text(), QStringLiteral("1:30"));
    EXPECT_EQ(picker->minuteStep(), 5);
    EXPECT_TRUE(picker->isVisible());
    EXPECT_FALSE(anyKindChecked());
    EXPECT_FALSE(get<QComboBox>("absenceHoursPicker")->isVisible());
    EXPECT_FALSE(get<QCheckBox>("afterMidnightBox")->isVisible());
    EXPECT_FALSE(get<QLabel>("afterMidnightHint")->isVisible());
    EXPECT_FALSE(get<QWidget>("reasonPanel")->isVisible());
}

TEST_F(ManualScreenTest, WorkedExampleRecordsAClockOutAfterMidnightUnderThePreviousDate) {
    const QByteArray journalBefore = journal();
    const QByteArray hoursBefore = workingHours();
    ModalAnswerer answers;

    choosePerson(u"W");
    click("clockOutRadio");
    ASSERT_TRUE(get<QCheckBox>("afterMidnightBox")->isVisible());
    EXPECT_TRUE(get<QLabel>("afterMidnightHint")->isVisible());
    click("afterMidnightBox");
    record();

    EXPECT_EQ(journal(),
              journalBefore + cp932(u"退勤,W,2019/08/27,25:30,手動記録,詳細なし,事由なし"));
    EXPECT_EQ(workingHours(), hoursBefore + cp932(u"2019/08/27,08:15,16:45,00:45"));
    EXPECT_THAT(answers.texts(),
                ::testing::ElementsAre(shown(u"Wさんの2019/08/27の出退勤を記録しました")));
    EXPECT_FALSE(data.exists(kLockFile));
    // The person goes; kind, time and the after-midnight box stay for the next teacher.
    EXPECT_EQ(get<QComboBox>("personPicker")->count(), 0);
    EXPECT_TRUE(get<QRadioButton>("clockOutRadio")->isChecked());
    EXPECT_TRUE(get<QCheckBox>("afterMidnightBox")->isChecked());
}

struct MidnightCase {
    const char* name;
    QTime time;
    bool offered;
    const char* recorded;
};

class AfterMidnightBoundary : public ManualScreenTest,
                              public ::testing::WithParamInterface<MidnightCase> {};

TEST_P(AfterMidnightBoundary, OfferedStrictlyBetweenMidnightAndFive) {
    const MidnightCase& c = GetParam();
    const QByteArray before = journal();
    ModalAnswerer answers;

    choosePerson(u"W");
    click("clockOutRadio");
    setTime(c.time);
    EXPECT_EQ(get<QCheckBox>("afterMidnightBox")->isVisible(), c.offered);
    EXPECT_EQ(get<QLabel>("afterMidnightHint")->isVisible(), c.offered);
    if (c.offered) {
        click("afterMidnightBox");
    }
    record();

    EXPECT_EQ(journal(), before + DataFolder::cp932Lines({u"退勤,W,2019/08/27,"_s +
                                                          QString::fromLatin1(c.recorded) +
                                                          u",手動記録,詳細なし,事由なし"_s}));
}

INSTANTIATE_TEST_SUITE_P(Times, AfterMidnightBoundary,
                         ::testing::Values(MidnightCase{"Midnight", QTime(0, 0), false, "00:00"},
                                           MidnightCase{"FiveAfter", QTime(0, 5), true, "24:05"},
                                           MidnightCase{"LastMinute", QTime(4, 59), true, "28:59"},
                                           MidnightCase{"Five", QTime(5, 0), false, "05:00"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Starting from 退勤 at 1:30 with "午前様の退勤です" and two reasons ticked.
struct ClearingCase {
    const char* name;
    std::function<void(ManualScreenTest&)> action;
    bool boxShown;
    bool boxTicked;
    bool reasonsKept;
};

class ClearingActions : public ManualScreenTest,
                        public ::testing::WithParamInterface<ClearingCase> {};

TEST_P(ClearingActions, ClearTheAfterMidnightBoxAndTheReasons) {
    const ClearingCase& c = GetParam();
    click("clockOutRadio");
    click("afterMidnightBox");
    click("leaveReasonBox");
    reason(25)->click();
    reason(32)->click();
    ASSERT_TRUE(get<QWidget>("reasonPanel")->isVisible());

    c.action(*this);

    EXPECT_EQ(get<QCheckBox>("afterMidnightBox")->isVisible(), c.boxShown);
    EXPECT_EQ(get<QLabel>("afterMidnightHint")->isVisible(), c.boxShown);
    EXPECT_EQ(get<QCheckBox>("afterMidnightBox")->isChecked(), c.boxTicked);
    EXPECT_EQ(reason(25)->isChecked() && reason(32)->isChecked(), c.reasonsKept);
    EXPECT_EQ(anyReasonTicked(), c.reasonsKept);
    EXPECT_TRUE(get<QWidget>("reasonPanel")->isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Actions, ClearingActions,
    ::testing::Values(
        ClearingCase{"TimeFive", [](auto& t) { t.setTime(QTime(5, 0)); }, false, false, false},
        ClearingCase{"TimeMidnight", [](auto& t) { t.setTime(QTime(0, 0)); }, false, false, false},
        ClearingCase{"ClockIn", [](auto& t) { t.click("clockInRadio"); }, false, false, false},
        ClearingCase{"GoingOut", [](auto& t) { t.click("goingOutRadio"); }, false, false, false},
        ClearingCase{"Return", [](auto& t) { t.click("returnRadio"); }, false, false, false},
        ClearingCase{"UntickTheBox", [](auto& t) { t.click("afterMidnightBox"); }, true, false,
                     false},
        // No state changes: nothing is cleared.
        ClearingCase{"TimeStillBeforeFive", [](auto& t) { t.setTime(QTime(2, 0)); }, true, true,
                     true},
        ClearingCase{"MidDayAbsence", [](auto& t) { t.click("midDayAbsenceRadio"); }, true, true,
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManualScreenTest, ReasonBoxesShowWithTheirBoxAndClearOnEveryChange) {
    click("leaveReasonBox");
    EXPECT_TRUE(get<QWidget>("reasonPanel")->isVisible());
    reason(kFirstReasonBox)->click();
    click("clockOutRadio");  // 1:30 offers the after-midnight box
    click("afterMidnightBox");
    EXPECT_FALSE(anyReasonTicked());

    reason(kFirstReasonBox)->click();
    click("leaveReasonBox");
    EXPECT_FALSE(get<QWidget>("reasonPanel")->isVisible());
    EXPECT_FALSE(anyReasonTicked());

    // 中抜け ticks "早帰りなどの理由を記す" and so shows the reasons.
    click("midDayAbsenceRadio");
    EXPECT_TRUE(get<QCheckBox>("leaveReasonBox")->isChecked());
    EXPECT_TRUE(get<QWidget>("reasonPanel")->isVisible());
}

TEST_F(ManualScreenTest, MidDayAbsenceRefusesThePromptThenRecordsTheChosenHours) {
    const QByteArray before = journal();
    ModalAnswerer answers;

    choosePerson(u"山田花子");
    click("midDayAbsenceRadio");
    auto* hours = get<QComboBox>("absenceHoursPicker");
    EXPECT_TRUE(hours->isVisible());
    EXPECT_EQ(hours->count(), 9);
    EXPECT_EQ(hours->currentText(), u"中抜け時間は？"_s);
    EXPECT_FALSE(get<QTimeEdit>("timePicker")->isVisible());
    record();

    EXPECT_EQ(journal(), before);
    EXPECT_THAT(answers.texts(), ::testing::ElementsAre(shown(kManualMissingValuesMessage)));
    EXPECT_FALSE(anyKindChecked());
    EXPECT_FALSE(hours->isVisible());
    EXPECT_EQ(hours->count(), 0);
    EXPECT_FALSE(get<QTimeEdit>("timePicker")->isVisible());

    choosePerson(u"山田花子");
    click("midDayAbsenceRadio");
    reason(25)->click();
    chooseHours(2);
    record();

    EXPECT_EQ(journal(),
              before + cp932(u"中抜,山田花子,2019/08/27,02:00,手動記録,詳細なし,事由年休"));
    EXPECT_EQ(answers.texts().back(), shown(u"山田花子さんの2019/08/27の出退勤を記録しました"));
    EXPECT_TRUE(reason(25)->isChecked());  // the reasons stay for the next record
}

struct RefusalCase {
    const char* name;
    std::function<void(ManualScreenTest&)> fill;
};

class Refusals : public ManualScreenTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, MissingValuesWriteNothing) {
    const QByteArray journalBefore = journal();
    const QByteArray hoursBefore = workingHours();
    ModalAnswerer answers;

    GetParam().fill(*this);
    record();

    EXPECT_THAT(answers.texts(), ::testing::ElementsAre(shown(kManualMissingValuesMessage)));
    EXPECT_EQ(journal(), journalBefore);
    EXPECT_EQ(workingHours(), hoursBefore);
    EXPECT_FALSE(data.exists(kLockFile));
    EXPECT_EQ(get<QComboBox>("personPicker")->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Missing, Refusals,
    ::testing::Values(RefusalCase{"NoPerson", [](auto& t) { t.click("clockInRadio"); }},
                      RefusalCase{"NoKind", [](auto& t) { t.choosePerson(u"W"); }},
                      // A line without a name field gives an empty entry.
                      RefusalCase{"NameFieldMissing",
                                  [](auto& t) {
                                      t.choosePerson(u"");
                                      t.click("clockInRadio");
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManualScreenTest, AnEmptyNameFieldIsTheNameOfOneSpace) {
    const QByteArray before = journal();
    ModalAnswerer answers;

    choosePerson(u" ");
    click("clockInRadio");
    record();

    EXPECT_EQ(journal(), before + cp932(u"出勤, ,2019/08/27,01:30,手動記録,詳細なし,事由なし"));
    EXPECT_THAT(answers.texts(),
                ::testing::ElementsAre(shown(u" さんの2019/08/27の出退勤を記録しました")));
}

TEST_F(ManualScreenTest, TheSameNameRecordedTwiceGivesTwoRecords) {
    const QByteArray journalBefore = journal();
    const QByteArray hoursBefore = workingHours();
    ModalAnswerer answers;

    choosePerson(u"山田花子");
    click("clockInRadio");
    record();
    EXPECT_TRUE(get<QRadioButton>("clockInRadio")->isChecked());
    choosePerson(u"山田花子");
    record();

    const QByteArray line = cp932(u"出勤,山田花子,2019/08/27,01:30,手動記録,詳細なし,事由なし");
    EXPECT_EQ(journal(), journalBefore + line + line);
    // The second record finds its date's working hours already there.
    EXPECT_EQ(workingHours(), hoursBefore + cp932(u"2019/08/27,08:15,16:45,00:45"));
    EXPECT_EQ(answers.count(), 2);
}

// A key held down when the screen opens (X11 without detectable auto-repeat sends its
// repeats as plain releases and presses) presses nothing; a key pressed here does.
TEST_F(ManualScreenTest, AKeyHeldFromBeforeTheOpeningPressesNothing) {
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    choosePerson(u"山田花子");
    click("clockInRadio");
    const QByteArray before = journal();
    ModalAnswerer answers;
    QWidget* button = get<QPushButton>("recordButton");
    button->setFocus();
    quint64 at = 1'000'000;
    for (int i = 0; i < 3; ++i) {
        at += 33;
        for (QEvent::Type type : {QEvent::KeyRelease, QEvent::KeyPress}) {
            QKeyEvent event(type, Qt::Key_Space, Qt::NoModifier);
            event.setTimestamp(at);
            QApplication::sendEvent(button, &event);
        }
    }
    QKeyEvent letGo(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier);
    letGo.setTimestamp(at + 200);
    QApplication::sendEvent(button, &letGo);
    EXPECT_EQ(journal(), before);
    EXPECT_EQ(answers.count(), 0);

    QTest::keyClick(button, Qt::Key_Space);
    EXPECT_EQ(journal(),
              before + cp932(u"出勤,山田花子,2019/08/27,01:30,手動記録,詳細なし,事由なし"));
}

struct WriterCase {
    const char* name;
    std::function<void(const DataFolder&)> setUp;
    const char16_t* message;
    bool lockAfter;
    bool journalAfter;
};

class WriterRefusals : public ManualScreenTest, public ::testing::WithParamInterface<WriterCase> {};

TEST_P(WriterRefusals, ShowTheirMessageAndWriteNothing) {
    const WriterCase& c = GetParam();
    c.setUp(data);
    const QByteArray journalBefore = c.journalAfter ? journal() : QByteArray();
    const QByteArray hoursBefore = workingHours();
    ModalAnswerer answers;

    choosePerson(u"W");
    click("clockInRadio");
    record();

    EXPECT_THAT(answers.texts(), ::testing::ElementsAre(shown(c.message)));
    EXPECT_EQ(data.exists(kLockFile), c.lockAfter);
    EXPECT_EQ(data.exists(kJournalFile), c.journalAfter);
    if (c.journalAfter) {
        EXPECT_EQ(journal(), journalBefore);
    }
    if (c.lockAfter) {
        EXPECT_EQ(data.readBytes(kLockFile), QByteArray());
    }
    EXPECT_EQ(workingHours(), hoursBefore);
    EXPECT_EQ(get<QComboBox>("personPicker")->count(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Journal, WriterRefusals,
    ::testing::Values(WriterCase{"LockFilePresent",
                                 [](const DataFolder& d) { d.writeBytes(kLockFile, QByteArray()); },
                                 kManualBusyMessage, true, true},
                      WriterCase{"JournalMissing",
                                 [](const DataFolder& d) { d.remove(kJournalFile); },
                                 kManualJournalMissingMessage, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManualScreenTest, APastDateGetsItsWorkingHoursAfterLaterDates) {
    data.writeLines(kWorkingHoursFile,
                    {u"日付,開始,終了,休憩"_s, QStringLiteral("2019/08/28,08:15,16:45,00:45")});
    const QByteArray before = workingHours();
    ModalAnswerer answers;

    choosePerson(u"W");
    click("clockInRadio");
    setDate(QDate(2019, 8, 26));
    record();
    choosePerson(u"W");
    setDate(QDate(2019, 8, 28));
    record();

    EXPECT_EQ(workingHours(), before + cp932(u"2019/08/26,08:15,16:45,00:45"));
    EXPECT_EQ(answers.count(), 2);
}

TEST_F(ManualScreenTest, ADateWithoutHoursShowsTheHoursMessageThenTheSuccess) {
    const QByteArray journalBefore = journal();
    const QByteArray hoursBefore = workingHours();
    ModalAnswerer answers;

    choosePerson(u"W");
    click("clockInRadio");
    setDate(QDate(2019, 8, 31));  // a Saturday, 00:00 to 00:00
    record();

    EXPECT_EQ(journal(),
              journalBefore + cp932(u"出勤,W,2019/08/31,01:30,手動記録,詳細なし,事由なし"));
    EXPECT_EQ(workingHours(), hoursBefore);
    EXPECT_THAT(answers.texts(),
                ::testing::ElementsAre(shown(kRecordDateNoWorkingHoursMessage),
                                       shown(u"Wさんの2019/08/31の出退勤を記録しました")));
}

enum class FileTrouble { HeldByAnotherProgram, Deleted };

struct FileErrorCase {
    const char* name;
    std::string_view file;
    bool recordWritten;
    FileTrouble trouble = FileTrouble::HeldByAnotherProgram;
};

class FileErrors : public ManualScreenTest, public ::testing::WithParamInterface<FileErrorCase> {};

TEST_P(FileErrors, AreReportedAndAWrittenRecordIsStillConfirmed) {
    const FileErrorCase& c = GetParam();
    const QByteArray journalBefore = journal();
    const QByteArray hoursBefore = workingHours();
    ModalAnswerer answers;

    choosePerson(u"W");
    click("clockInRadio");
    {
        std::optional<test::HeldFile> held;
        if (c.trouble == FileTrouble::HeldByAnotherProgram) {
            held.emplace(data.file(c.file), LOCK_EX);
        } else {
            data.remove(c.file);
        }
        record();
    }

    // Once the record is written, the user also hears that it was, so it is not made twice.
    ASSERT_EQ(answers.count(), c.recordWritten ? 2 : 1);
    EXPECT_THAT(answers.texts().front().toStdString(), ::testing::HasSubstr(std::string(c.file)));
    if (c.recordWritten) {
        EXPECT_EQ(answers.texts().back(),
                  withLineFeeds(manualSuccessMessage(u"W"_s, QDate(2019, 8, 27))));
    }
    const QByteArray line = cp932(u"出勤,W,2019/08/27,01:30,手動記録,詳細なし,事由なし");
    EXPECT_EQ(journal(), c.recordWritten ? journalBefore + line : journalBefore);
    if (c.trouble == FileTrouble::Deleted) {
        EXPECT_FALSE(data.exists(c.file));  // not made again behind the user's back
    }
    if (data.exists(kWorkingHoursFile)) {
        EXPECT_EQ(workingHours(), hoursBefore);
    }
    EXPECT_FALSE(data.exists(kLockFile));
    // Without a record the handler stopped before its resets: the person is still chosen.
    EXPECT_EQ(get<QComboBox>("personPicker")->currentText(), c.recordWritten ? QString() : u"W"_s);
}

INSTANTIATE_TEST_SUITE_P(HeldByAnotherProgram, FileErrors,
                         ::testing::Values(FileErrorCase{"Journal", kJournalFile, false},
                                           FileErrorCase{"WorkingHours", kWorkingHoursFile, true},
                                           FileErrorCase{"WeeklyTable", kWeeklyTableFile, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// The record is written before the working hours are looked at, so it stays.
INSTANTIATE_TEST_SUITE_P(
    DeletedWhileRunning, FileErrors,
    ::testing::Values(FileErrorCase{"WorkingHours", kWorkingHoursFile, true, FileTrouble::Deleted},
                      FileErrorCase{"WeeklyTable", kWeeklyTableFile, true, FileTrouble::Deleted}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ManualScreenTest, PersonListIsReReadOnEveryOpeningAndNeverShrinks) {
    ModalAnswerer answers;
    choosePerson(u"山田花子");
    EXPECT_EQ(personList(), (QStringList{u"山田花子"_s, u"W"_s, u""_s, u" "_s}));

    data.writeLines(kCardholderListFile, {u"カードID,氏名"_s, u"0000000000000009,鈴木一郎"_s});
    auto* list = get<QComboBox>("personPicker");
    list->showPopup();
    list->hidePopup();
    // Rows beyond the shorter file keep the earlier names; the choice is dropped.
    EXPECT_EQ(personList(), (QStringList{u"鈴木一郎"_s, u"W"_s, u""_s, u" "_s}));
    EXPECT_EQ(list->currentIndex(), -1);
    EXPECT_EQ(answers.count(), 0);

    data.remove(kCardholderListFile);
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(answers.count(), 1);
    EXPECT_EQ(list->count(), 0);
}

TEST_F(ManualScreenTest, ANameHoldingTwoCardsIsListedOnce) {
    data.writeLines(kCardholderListFile, {u"カードID,氏名"_s, u"0000000000000001,山田花子"_s,
                                          u"0000000000000002,W"_s, u"0000000000000003,山田花子"_s});
    auto* list = get<QComboBox>("personPicker");
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(personList(), (QStringList{u"山田花子"_s, u"W"_s}));
}

TEST_F(ManualScreenTest, ThePersonListShowsTwentyFiveNamesAtATime) {
    QStringList lines{u"カードID,氏名"_s};
    for (int i = 1; i <= 30; ++i) {
        lines << QStringLiteral("%1,N%2").arg(i, 16, 10, QLatin1Char('0')).arg(i);
    }
    data.writeLines(kCardholderListFile, lines);
    auto* list = get<QComboBox>("personPicker");

    list->showPopup();
    const QAbstractItemView* view = list->view();
    int shown = 0;
    for (int i = 0; i < list->count(); ++i) {
        const QRect row = view->visualRect(list->model()->index(i, 0));
        shown += row.top() >= 0 && row.bottom() < view->viewport()->height();
    }
    list->hidePopup();

    EXPECT_EQ(list->count(), 30);
    EXPECT_EQ(shown, 25);
}

TEST_F(ManualScreenTest, NowButtonSetsDateAndTimeAndAFineMinuteStepUntilThePickerIsClicked) {
    auto* picker = get<StepTimePicker>("timePicker");
    click("clockOutRadio");
    now = QDateTime(QDate(2019, 9, 2), QTime(0, 0, 30));
    click("nowButton");

    EXPECT_EQ(get<QDateEdit>("datePicker")->date(), QDate(2019, 9, 2));
    EXPECT_EQ(picker->time(), QTime(0, 0, 30));
    EXPECT_TRUE(get<QCheckBox>("afterMidnightBox")->isVisible());  // half a minute past midnight

    picker->setCurrentSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(picker->time(), QTime(0, 1, 30));

    clickOnScreen(picker, QPoint(20, picker->height() / 2));
    EXPECT_EQ(picker->minuteStep(), 5);
    picker->setCurrentSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(picker->time(), QTime(0, 6, 30));
    // Minutes carry into the hour.
    picker->setTime(QTime(4, 58));
    picker->setCurrentSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(picker->time(), QTime(5, 3));
    EXPECT_FALSE(get<QCheckBox>("afterMidnightBox")->isVisible());
}

TEST_F(ManualScreenTest, AClickOnTheDigitsOrTheArrowsBringsBackTheStepOfFive) {
    auto* picker = get<StepTimePicker>("timePicker");
    const QPoint spots[] = {{20, picker->height() / 2}, {picker->width() - 6, 6}};
    for (const QPoint spot : spots) {
        click("nowButton");
        ASSERT_EQ(picker->minuteStep(), 1);
        clickOnScreen(picker, spot);
        EXPECT_EQ(picker->minuteStep(), 5) << spot.x() << "," << spot.y();
    }
}

// Typing an hour the picker cannot hold never gives another time: the keystroke is refused,
// and a hint that stays says where a time after midnight goes.
TEST_F(ManualScreenTest, AnHourPast23IsRefusedWithTheAfterMidnightHint) {
    auto* picker = get<StepTimePicker>("timePicker");
    picker->setTime(QTime(7, 0));
    picker->setFocus();
    picker->setCurrentSection(QDateTimeEdit::HourSection);
    picker->setSelectedSection(QDateTimeEdit::HourSection);
    QTest::keyClicks(picker, u"25:30"_s);

    EXPECT_NE(picker->time(), QTime(7, 30)) << picker->text().toStdString();
    EXPECT_NE(picker->time(), QTime(5, 30)) << picker->text().toStdString();
    EXPECT_FALSE(picker->text().startsWith(u"25"_s)) << picker->text().toStdString();
    EXPECT_FALSE(picker->text().startsWith(u"5:"_s)) << picker->text().toStdString();
    EXPECT_TRUE(get<QLabel>("timeRefusedHint")->isVisible());
}

struct ClosingCase {
    const char* name;
    std::function<void(ManualEntryScreen&)> close;
};

class Closing : public ManualScreenTest, public ::testing::WithParamInterface<ClosingCase> {};

TEST_P(Closing, ResetsTheScreenButKeepsDateAndTime) {
    choosePerson(u"W");
    click("clockOutRadio");
    click("afterMidnightBox");
    click("leaveReasonBox");
    reason(25)->click();
    click("midDayAbsenceRadio");
    setDate(QDate(2019, 8, 20));

    GetParam().close(form);

    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(get<QComboBox>("personPicker")->count(), 0);
    EXPECT_FALSE(anyKindChecked());
    EXPECT_FALSE(get<QCheckBox>("leaveReasonBox")->isChecked());
    EXPECT_FALSE(anyReasonTicked());
    EXPECT_TRUE(get<QWidget>("reasonPanel")->isHidden());
    EXPECT_TRUE(get<QComboBox>("absenceHoursPicker")->isHidden());
    EXPECT_EQ(get<QComboBox>("absenceHoursPicker")->count(), 0);
    EXPECT_FALSE(get<QTimeEdit>("timePicker")->isHidden());

    form.show();
    EXPECT_EQ(get<QDateEdit>("datePicker")->date(), QDate(2019, 8, 20));
    EXPECT_EQ(get<QTimeEdit>("timePicker")->time(), QTime(1, 30));
    // No kind is checked at the new opening, so the after-midnight box goes.
    EXPECT_FALSE(get<QCheckBox>("afterMidnightBox")->isVisible());
    EXPECT_FALSE(get<QCheckBox>("afterMidnightBox")->isChecked());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Closing,
    ::testing::Values(
        ClosingCase{
            "CloseButton",
            [](ManualEntryScreen& f) { f.findChild<QPushButton*>("closeButton")->click(); }},
        ClosingCase{"WindowCloseBox", [](ManualEntryScreen& f) { f.close(); }},
        ClosingCase{"Escape", [](ManualEntryScreen& f) { QTest::keyClick(&f, Qt::Key_Escape); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavomi
