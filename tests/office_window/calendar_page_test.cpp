// 学校の暦 on a data folder of its own (August 2019: 山の日 on Sunday the 11th, 振替休日 on the
// 12th), driven by its controls; what it writes is read back through the calendar's reader.
#include "office_window/calendar_page.h"

#include "calendar/school_calendar.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "support/data_folder_fixture.h"
#include "support/file_conditions.h"
#include "support/wait.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <gtest/gtest.h>

#include <memory>

namespace tavomi {
namespace {

using namespace Qt::StringLiterals;
using test::waitUntil;

enum Column { kDate, kWeekday, kMark, kKind, kStart, kEnd, kRest, kNote };

class CalendarPageTest : public ::testing::Test {
  protected:
    void TearDown() override {
        page.reset();
        QThreadPool::globalInstance()->waitForDone();
    }

    void open() {
        page = std::make_unique<CalendarPage>(
            folder.appFolder(), [this] { return now; }, nullptr);
        page->show();
        ASSERT_TRUE(waitUntil([&] { return table()->rowCount() > 0; }))
            << message()->text().toStdString();
    }

    template <typename W>
    W* find(const char* name) {
        return page->findChild<W*>(QString::fromLatin1(name));
    }
    QTableWidget* table() { return find<QTableWidget>("calendarTable"); }
    QLabel* message() { return find<QLabel>("messageLabel"); }

    QString cell(int day, int column) {
        QTableWidgetItem* item = table()->item(day - 1, column);
        return item ? item->text() : QString();
    }

    // Chooses the day of the shown month and enters the marking, then presses 記録する.
    void mark(int day, bool workday, const QString& start, const QString& end, const QString& rest,
              const QString& note) {
        if (day > 0) {
            table()->setCurrentCell(day - 1, kDate);
        }
        find<QRadioButton>(workday ? "workdayRadio" : "dayOffRadio")->setChecked(true);
        find<QLineEdit>("startEdit")->setText(start);
        find<QLineEdit>("endEdit")->setText(end);
        find<QLineEdit>("restEdit")->setText(rest);
        find<QLineEdit>("noteEdit")->setText(note);
        message()->clear();
        find<QPushButton>("recordButton")->click();
    }

    bool told(const QString& words) {
        return waitUntil([&] { return message()->text().contains(words); });
    }

    void writeCalendar(const QStringList& lines) {
        folder.writeLines(kSchoolCalendarFile, QStringList{schoolCalendarHeader()} + lines);
    }

    test::DataFolder folder;
    QDateTime now{QDate(2019, 8, 20), QTime(10, 30)};
    std::unique_ptr<CalendarPage> page;
};

TEST_F(CalendarPageTest, ShowsTheMonthAsTheCountTakesItAndTheLinesLeftOut) {
    writeCalendar({
        u"2019/08/13,休日,,,,夏季休業"_s, u"2019/8/24,勤務日,8:30,12:30,,学校公開"_s,
        u"2019/08/32,休日"_s,
        u"2019/08/12,勤務日"_s,  // the school works the substitute holiday
    });
    open();
    ASSERT_EQ(table()->rowCount(), 31);
    struct Case {
        int day;
        QString weekday, mark, kind, start, end, note;
    };
    const Case cases[] = {
        {3, u"土"_s, u"土曜"_s, u"土日（休み）"_s, {}, {}, {}},
        {4, u"日"_s, u"日曜"_s, u"土日（休み）"_s, {}, {}, {}},
        {11, u"日"_s, u"日曜・祝日（山の日）"_s, u"祝日（山の日）"_s, {}, {}, {}},
        {12, u"月"_s, u"祝日（振替休日）"_s, u"勤務日"_s, {}, {}, {}},
        {13, u"火"_s, {}, u"学校の休日"_s, {}, {}, u"夏季休業"_s},
        {20, u"火"_s, {}, u"平日"_s, {}, {}, {}},
        {24, u"土"_s, u"土曜"_s, u"勤務日"_s, u"8:30"_s, u"12:30"_s, u"学校公開"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day);
        EXPECT_EQ(cell(c.day, kDate), u"2019/08/%1"_s.arg(c.day, 2, 10, QChar(u'0')));
        EXPECT_EQ(cell(c.day, kWeekday), c.weekday);
        EXPECT_EQ(cell(c.day, kMark), c.mark);
        EXPECT_EQ(cell(c.day, kKind), c.kind);
        EXPECT_EQ(cell(c.day, kStart), c.start);
        EXPECT_EQ(cell(c.day, kEnd), c.end);
        EXPECT_EQ(cell(c.day, kNote), c.note);
    }
    auto* problems = find<QListWidget>("problemList");
    ASSERT_EQ(problems->count(), 1);
    EXPECT_EQ(problems->item(0)->text(), u"4行目: 日付が読めません（2019/08/32,休日）"_s);

    // Another month is its own days.
    find<QSpinBox>("monthSpin")->setValue(9);
    ASSERT_TRUE(waitUntil([&] { return table()->rowCount() == 30; }));
    EXPECT_EQ(cell(16, kKind), u"祝日（敬老の日）"_s);

    // Another PC marks a day while the page is away: it shows when the page comes back.
    QByteArray bytes = folder.readBytes(kSchoolCalendarFile);
    bytes += test::DataFolder::cp932Lines({u"2019/09/02,休日,,,,振替"_s});
    folder.writeBytes(kSchoolCalendarFile, bytes);
    page->hide();
    page->show();
    EXPECT_TRUE(waitUntil([&] { return cell(2, kKind) == u"学校の休日"_s; }));
}

TEST_F(CalendarPageTest, MarkingADayAppendsItsLineAndTheLaterLineWins) {
    ASSERT_FALSE(folder.exists(kSchoolCalendarFile));
    open();
    const QDate day(2019, 8, 20);
    mark(20, false, {}, {}, {}, u"研修日, 午後"_s);
    ASSERT_TRUE(told(u"2019/08/20（火） を休日として記録しました"_s))
        << message()->text().toStdString();
    // The file did not exist: it starts with its header.
    EXPECT_TRUE(decodeCp932(folder.readBytes(kSchoolCalendarFile))
                    .startsWith(schoolCalendarHeader() + u"\r\n"_s));
    SchoolCalendar calendar = readSchoolCalendar(folder.appFolder());
    ASSERT_EQ(calendar.days.count(day), 1u);
    EXPECT_EQ(calendar.days.at(day), (SchoolDay{day, false, std::nullopt, std::nullopt,
                                                std::nullopt, u"研修日, 午後"_s, 2}));
    EXPECT_TRUE(waitUntil([&] { return cell(20, kKind) == u"学校の休日"_s; }));
    EXPECT_TRUE(find<QLabel>("chosenLabel")->text().contains(u"2019/08/20"_s));

    // Marked again as the other kind, with times written either way.
    mark(20, true, u"8:15"_s, u"16:45"_s, u"00:45"_s, {});
    ASSERT_TRUE(told(u"を勤務日として記録しました"_s)) << message()->text().toStdString();
    calendar = readSchoolCalendar(folder.appFolder());
    EXPECT_TRUE(calendar.problems.empty());
    EXPECT_EQ(calendar.days.at(day), (SchoolDay{day, true, 8 * 60 + 15, 16 * 60 + 45, 45, {}, 3}));
    EXPECT_TRUE(waitUntil([&] { return cell(20, kKind) == u"勤務日"_s; }));
    EXPECT_EQ(cell(20, kStart), u"8:15"_s);
    EXPECT_EQ(cell(20, kRest), u"0:45"_s);
}

TEST_F(CalendarPageTest, RefusedInputIsSaidAndNothingIsWritten) {
    open();
    struct Case {
        int day;  // 0: none chosen
        bool workday;
        QString start, end, rest, note, words;
    };
    const Case cases[] = {
        {0, false, {}, {}, {}, {}, u"表から選んでください"_s},
        {20,
         true,
         u"8:15"_s,
         u"8:15"_s,
         {},
         {},
         u"終了（8:15）が開始（8:15）より後ではありません"_s},
        {20, true, u"16:45"_s, u"8:15"_s, {}, {}, u"より後ではありません"_s},
        {20, true, u"8.15"_s, u"16:45"_s, {}, {}, u"開始の「8.15」は時刻として読めません"_s},
        {20, true, u"8:15"_s, u"29:00"_s, {}, {}, u"終了の「29:00」は時刻として読めません"_s},
        {20, true, u"8:15"_s, u"16:45"_s, u"45"_s, {}, u"休憩の「45」は時刻として読めません"_s},
        {20, true, u"8:15"_s, {}, {}, {}, u"両方とも入れるか"_s},
        {20, true, {}, {}, u"0:45"_s, {}, u"休憩を入れるときは開始と終了も"_s},
        {20, true, u"8:15"_s, u"9:00"_s, u"0:45"_s, {}, u"短くありません"_s},
        {20, false, {}, {}, {}, u"研修😀"_s, u"CP932"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.toStdString());
        mark(c.day, c.workday, c.start, c.end, c.rest, c.note);
        EXPECT_TRUE(told(c.words)) << message()->text().toStdString();
    }
    // Refusals are said at once: no write was started to be waited for.
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_FALSE(folder.exists(kSchoolCalendarFile));
}

TEST_F(CalendarPageTest, AFileThatCannotBeWrittenIsOneMessageOnThePage) {
    open();
    const std::filesystem::path dataFolder = folder.appFolder() / kDataFolderName;
    {
        // Permission bits bind only without the override; the write runs on a pool thread,
        // which takes its capabilities from this one when it is started.
        test::WithoutDacOverride caps;
        QThreadPool::globalInstance()->waitForDone();
        test::ScopedMode mode(dataFolder, 0555);
        if (!QtConcurrent::run([&] { return test::folderIsReadOnly(dataFolder); }).result()) {
            FAIL() << "cannot make a folder read-only here, so the outcome cannot be shown";
        }
        mark(20, false, {}, {}, {}, {});
        ASSERT_TRUE(told(u"学校の暦に記録できませんでした"_s));
        EXPECT_TRUE(message()->text().contains(u"このアカウントには書き込みが許可されていません"_s))
            << message()->text().toStdString();
        EXPECT_TRUE(find<QPushButton>("recordButton")->isEnabled());
        QThreadPool::globalInstance()->waitForDone();
        EXPECT_FALSE(folder.exists(kSchoolCalendarFile));
    }
    QThreadPool::globalInstance()->waitForDone();  // no pool thread keeps the lowered rights

    // A link in the file's place is never written through.
    QTemporaryDir elsewhere;
    const std::filesystem::path target = elsewhere.filePath(u"calendar.txt"_s).toStdString();
    const QByteArray targetBytes =
        test::DataFolder::cp932Lines({schoolCalendarHeader(), u"2019/08/13,休日"_s});
    {
        QFile file(QString::fromStdString(target.string()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(targetBytes);
    }
    std::filesystem::create_symlink(target, folder.file(kSchoolCalendarFile));
    mark(20, false, {}, {}, {}, {});
    ASSERT_TRUE(told(u"学校の暦に記録できませんでした"_s));
    QFile file(QString::fromStdString(target.string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), targetBytes);
}

}  // namespace
}  // namespace tavomi
