// tavomi-office's pages on the reports' fixture (August 2019), found by their names and
// driven by their controls; the card poll is scripted.
#include "office_window/office_window.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/pc_status.h"
#include "office/command_line.h"
#include "office/report_fixture.h"
#include "office/report_tool.h"
#include "office_window/board_page.h"
#include "office_window/month_page.h"
#include "record/punch_record.h"
#include "report/report_text.h"
#include "support/cardholders.h"
#include "support/data_folder_fixture.h"
#include "support/modal_helper.h"
#include "support/scripted_poller.h"
#include "support/wait.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace tavomi {
namespace {

using namespace Qt::StringLiterals;
using test::waitUntil;

QString cell(QTableWidget* table, int row, int column) {
    QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

// The row whose first cell is the name, or -1.
int rowOf(QTableWidget* table, const QString& name) {
    for (int row = 0; row < table->rowCount(); ++row) {
        if (cell(table, row, 0) == name) {
            return row;
        }
    }
    return -1;
}

// The card page polls from a worker thread while the test lays cards.
class CardOnReader : public CardPoller {
  public:
    PollResult poll() override {
        std::lock_guard lock(mutex_);
        return result_;
    }
    void lay(const QString& card) {
        std::lock_guard lock(mutex_);
        result_ = test::ScriptedPoller::card(card);
    }

  private:
    std::mutex mutex_;
    PollResult result_ = test::ScriptedPoller::reader();
};

class OfficeWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::writeReportFixture(folder);
        // A name with an escape character, which must never reach a cell raw.
        QByteArray journal = folder.readBytes(kJournalFile);
        journal.chop(1);  // the end-of-file mark
        journal += encodeCp932(u"出勤,悪\x1B[31m,2019/08/20,09:10,IC記録,詳細なし,事由なし\r\n"_s);
        folder.writeBytes(kJournalFile, journal);
        // The office's settings in a folder of the test's own, never the user's.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    }

    // Whole weekend days, 05:00 to 28:00 (23 hours of overtime each): five for 田中
    // (115:00, 月100時間以上), two for 伊藤 (46:00, 月45時間超).
    void addLongWeekends() {
        QByteArray journal = folder.readBytes(kJournalFile);  // its end-of-file mark gone
        const std::pair<const char16_t*, const char16_t*> days[] = {
            {u"田中　花", u"03"},   {u"田中　花", u"04"}, {u"田中　花", u"10"},
            {u"田中　花", u"11"},   {u"田中　花", u"17"}, {u"伊藤　美咲", u"18"},
            {u"伊藤　美咲", u"24"},
        };
        for (const auto& [name, day] : days) {
            for (const auto& [kind, time] : {std::pair{u"出勤", u"05:00"}, {u"退勤", u"28:00"}}) {
                journal += encodeCp932(u"%1,%2,2019/08/%3,%4,IC記録,詳細なし,事由なし\r\n"_s.arg(
                    QString::fromUtf16(kind), QString::fromUtf16(name), QString::fromUtf16(day),
                    QString::fromUtf16(time)));
            }
        }
        folder.writeBytes(kJournalFile, journal);
    }

    void TearDown() override {
        window.reset();
        QThreadPool::globalInstance()->waitForDone();  // no worker outlives the poller
    }

    void open(const std::filesystem::path& appFolder) {
        window = std::make_unique<OfficeWindow>(
            appFolder, [this] { return now; }, poller);
        window->show();
    }
    void open() { open(folder.appFolder()); }

    template <typename W>
    W* find(const char* page, const char* name) {
        return window->findChild<QWidget*>(QString::fromLatin1(page))
            ->findChild<W*>(QString::fromLatin1(name));
    }

    QLabel* message(const char* page) { return find<QLabel>(page, "messageLabel"); }

    void showPage(const char* page) {
        window->findChild<QTabWidget*>("pages")->setCurrentWidget(
            window->findChild<QWidget*>(QString::fromLatin1(page)));
    }

    test::DataFolder folder;
    QTemporaryDir settings;
    QDateTime now{QDate(2019, 8, 20), QTime(10, 30)};
    CardOnReader poller;
    std::unique_ptr<OfficeWindow> window;
};

TEST_F(OfficeWindowTest, TheBoardShowsWhereEachCardholderStandsAndFollowsTheJournal) {
    open();
    auto* table = find<QTableWidget>("presencePage", "presenceTable");
    ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 6; }));
    const std::vector<std::pair<QString, QString>> expected = {
        {u"山田　花子"_s, u"外出中"_s}, {u"佐藤太郎"_s, u"中抜け（3時間）"_s},
        {u"鈴木　一郎"_s, u"未出勤"_s}, {u"伊藤　美咲"_s, u"在校"_s},
        {u"田中　花"_s, u"退勤済"_s},   {u"悪␛[31m"_s, u"在校"_s},
    };
    for (const auto& [name, standing] : expected) {
        const int row = rowOf(table, name);
        ASSERT_GE(row, 0) << name.toStdString();
        EXPECT_EQ(cell(table, row, 1), standing) << name.toStdString();
    }
    EXPECT_EQ(cell(table, rowOf(table, u"田中　花"_s), 2), u"08:30"_s);
    EXPECT_EQ(cell(table, rowOf(table, u"田中　花"_s), 6), u"10:15"_s);
    EXPECT_TRUE(find<QLabel>("presencePage", "headingLabel")->text().contains(u"10:30 現在"_s));

    // Another PC appends: the page reads again by itself.
    find<QTimer>("presencePage", "watchTimer")->start(20);
    QByteArray journal = folder.readBytes(kJournalFile);
    journal += encodeCp932(u"出勤,鈴木　一郎,2019/08/20,10:31,IC記録,詳細なし,事由なし\r\n"_s);
    folder.writeBytes(kJournalFile, journal);
    EXPECT_TRUE(
        waitUntil([&] { return cell(table, rowOf(table, u"鈴木　一郎"_s), 1) == u"在校"; }));

    // The journal goes away while the page is open.
    folder.remove(kJournalFile);
    EXPECT_TRUE(waitUntil([&] { return table->rowCount() == 0; }));
    EXPECT_TRUE(message("presencePage")->text().contains(u"keeper.txt"_s));
    EXPECT_TRUE(message("presencePage")->text().contains(u"ファイルがありません"_s));
}

// Seen the next morning, nobody of that day is still at school.
TEST_F(OfficeWindowTest, ADayThatIsOverShowsWhoDidNotClockOut) {
    now = QDateTime(QDate(2019, 8, 21), QTime(7, 0));
    open();
    auto* table = find<QTableWidget>("presencePage", "presenceTable");
    ASSERT_TRUE(waitUntil([&] { return table->rowCount() > 0; }));
    find<QDateEdit>("presencePage", "dateEdit")->setDate(QDate(2019, 8, 20));
    ASSERT_TRUE(
        waitUntil([&] { return cell(table, rowOf(table, u"伊藤　美咲"_s), 1) != u"未出勤"; }));
    EXPECT_EQ(cell(table, rowOf(table, u"伊藤　美咲"_s), 1), u"退勤なし"_s);
    EXPECT_EQ(cell(table, rowOf(table, u"山田　花子"_s), 1), u"退勤なし"_s);
    EXPECT_EQ(cell(table, rowOf(table, u"田中　花"_s), 1), u"退勤済"_s);
    EXPECT_EQ(cell(table, rowOf(table, u"鈴木　一郎"_s), 1), u"記録なし"_s);
    EXPECT_FALSE(find<QLabel>("presencePage", "headingLabel")->text().contains(u"現在"_s));
}

// Below the board, each reception PC as its status file tells it; one that needs a look is
// marked in words and in colour.
TEST_F(OfficeWindowTest, TheBoardShowsEachReceptionPcAndMarksOneThatNeedsALook) {
    const auto status = [&](const QString& name, const QTime& reached) {
        return PcStatus{name, u"2.8.24"_s, QDateTime(now.date(), reached), 0, {}, {}};
    };
    writePcStatus(folder.appFolder(), status(u"reception-1"_s, QTime(10, 20)));
    writePcStatus(folder.appFolder(), status(u"reception-2"_s, QTime(9, 0)));
    std::FILE* torn = std::fopen(
        (folder.appFolder() / kDataFolderName / kPcStatusFolder / "reception-3.txt").c_str(), "w");
    ASSERT_NE(torn, nullptr);
    std::fputs("tavomi-pc-status 1\npc=recep", torn);
    std::fclose(torn);

    open();
    auto* table = find<QTableWidget>("presencePage", "pcTable");
    ASSERT_TRUE(waitUntil([&] { return table->rowCount() == 3; }));
    const std::vector<std::pair<QString, QString>> expected = {
        {u"reception-1"_s, u"正常"_s},
        {u"reception-2"_s, u"※ 要確認：1時間30分ファイルサーバーに届いていません"_s},
        {u"reception-3"_s, u"※ 要確認：状態ファイルが途中で切れているか、壊れています"_s},
    };
    for (int row = 0; row < 3; ++row) {
        const auto& [name, standing] = expected[static_cast<std::size_t>(row)];
        EXPECT_EQ(cell(table, row, 0), name);
        EXPECT_EQ(cell(table, row, 1), standing);
        const bool marked = table->item(row, 1)->background().style() != Qt::NoBrush;
        EXPECT_EQ(marked, row != 0) << name.toStdString();
    }
    EXPECT_EQ(cell(table, 0, 2), u"10:20"_s);
    EXPECT_EQ(cell(table, 0, 5), u"2.8.24"_s);
}

TEST_F(OfficeWindowTest, TheMonthShowsTheSheetsFindingsAndSavesWhatTheReportWrites) {
    open();
    auto* teachers = find<QTableWidget>("monthPage", "teacherTable");
    auto* sheet = find<QTableWidget>("monthPage", "sheetTable");
    auto* findings = find<QListWidget>("monthPage", "findingsList");
    ASSERT_TRUE(waitUntil([&] { return teachers->rowCount() > 0; }));
    EXPECT_EQ(cell(teachers, 0, 0), u"山田　花子"_s);
    // The 1st: 07:45-18:02 less 70 min out and the 45 min break; the 2nd: 08:10-25:30 less
    // the break; each beyond the scheduled 7:45.
    EXPECT_EQ(cell(teachers, 0, 1), u"3"_s);
    EXPECT_EQ(cell(teachers, 0, 2), u"24:57"_s);
    EXPECT_EQ(cell(teachers, 0, 5), u"9:27"_s);
    EXPECT_EQ(cell(teachers, 0, 9), u"5日 出勤なし、20日 退勤なし"_s);
    ASSERT_EQ(sheet->rowCount(), 31);
    EXPECT_EQ(cell(sheet, 0, 4), u"07:45"_s);
    EXPECT_EQ(cell(sheet, 1, 5), u"25:30"_s);
    QStringList texts;
    for (int i = 0; i < findings->count(); ++i) {
        texts.append(findings->item(i)->text());
    }
    EXPECT_TRUE(texts.contains(u"山田　花子　8月5日（月）　出勤なし"_s))
        << texts.join(u'\n').toStdString();
    EXPECT_TRUE(texts.join(u'\n').contains(u"keeper.txt 24行目　読めない行"_s));
    EXPECT_TRUE(texts.join(u'\n').contains(u"26行目　日付の誤り"_s));
    // How the totals are counted, one click away.
    auto* rules = find<QGroupBox>("monthPage", "countingRulesPanel");
    rules->setChecked(true);
    EXPECT_TRUE(find<QLabel>("monthPage", "countingRules")->text().contains(u"校外"_s));
    // The dates whose hours came from the weekly table, not from working_hours.txt.
    EXPECT_TRUE(texts.join(u'\n').contains(
        u"週の表（ordinary_working_hours.txt）の時間で数えた日: 8/8（木）"_s));

    // The CSV is the report tool's, byte for byte; the PDF and the workbook are written whole.
    QTemporaryDir out;
    QString chosen;
    auto* page = window->findChild<MonthPage*>("monthPage");
    page->setSavePathChooser(
        [&](const QString&, const QString&, const QString&) { return chosen; });
    ReportCommand command;
    command.action = ReportCommand::Action::Month;
    command.month = ReportPeriod::ofMonth(2019, 8);
    command.csvFile = out.filePath(u"tool.csv"_s);
    std::FILE* devNull = std::fopen("/dev/null", "w");
    ASSERT_EQ(
        runReportCommand(command, folder.appFolder(), [this] { return now; }, devNull, devNull, {}),
        0);
    std::fclose(devNull);
    for (const char* button : {"csvButton", "pdfButton", "xlsxButton"}) {
        chosen = out.filePath(QString::fromLatin1(button));
        find<QPushButton>("monthPage", button)->click();
        ASSERT_TRUE(waitUntil([&] {
            return message("monthPage")->text().startsWith(u"保存しました"_s);
        })) << message("monthPage")->text().toStdString();
        message("monthPage")->clear();
    }
    QFile tool(command.csvFile), saved(out.filePath(u"csvButton"_s)),
        pdf(out.filePath(u"pdfButton"_s));
    ASSERT_TRUE(tool.open(QIODevice::ReadOnly) && saved.open(QIODevice::ReadOnly) &&
                pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), tool.readAll());
    EXPECT_TRUE(pdf.readAll().startsWith("%PDF"));
    QFile workbook(out.filePath(u"xlsxButton"_s));
    ASSERT_TRUE(workbook.open(QIODevice::ReadOnly));
    EXPECT_TRUE(workbook.readAll().startsWith("PK"));  // a zip, as every .xlsx is

    // A folder is no workbook: one message, nothing written.
    const auto entries = QDir(out.path()).entryList(QDir::Files);
    chosen = out.path();
    find<QPushButton>("monthPage", "xlsxButton")->click();
    EXPECT_TRUE(waitUntil([&] { return message("monthPage")->text().contains(u"フォルダー"_s); }));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), entries);

    // A data file is never written over, whatever the dialog gave.
    const QByteArray journal = folder.readBytes(kJournalFile);
    chosen = QString::fromStdString(folder.file(kJournalFile).string());
    find<QPushButton>("monthPage", "csvButton")->click();
    EXPECT_TRUE(
        waitUntil([&] { return message("monthPage")->text().contains(u"データファイル"_s); }));
    EXPECT_EQ(folder.readBytes(kJournalFile), journal);

    // A month without records says so and offers nothing to save.
    find<QSpinBox>("monthPage", "monthSpin")->setValue(10);
    EXPECT_TRUE(waitUntil(
        [&] { return message("monthPage")->text().contains(u"2019年10月の記録はありません"_s); }));
    EXPECT_FALSE(find<QPushButton>("monthPage", "csvButton")->isEnabled());
}

// In the first days of a month the page opens on the month just ended. It keeps up with
// the journal by itself, on the teacher, day and order chosen; a
// line of the things to check opens its teacher's sheet at that day.
TEST_F(OfficeWindowTest, TheMonthReadsAgainByItselfKeepingWhatWasChosen) {
    now = QDateTime(QDate(2019, 9, 5), QTime(8, 0));  // the month just ended is the one to hand in
    open();
    EXPECT_EQ(find<QSpinBox>("monthPage", "monthSpin")->value(), 8);
    auto* teachers = find<QTableWidget>("monthPage", "teacherTable");
    auto* sheet = find<QTableWidget>("monthPage", "sheetTable");
    auto* findings = find<QListWidget>("monthPage", "findingsList");
    ASSERT_TRUE(waitUntil([&] { return teachers->rowCount() > 0 && findings->count() > 0; }));
    const auto lines = findings->findItems(u"8月5日（月）　出勤なし"_s, Qt::MatchContains);
    ASSERT_EQ(lines.size(), 1);
    findings->scrollToItem(lines.front());
    QTest::mouseClick(findings->viewport(), Qt::LeftButton, {},
                      findings->visualItemRect(lines.front()).center());
    EXPECT_EQ(cell(teachers, teachers->currentRow(), 0), u"山田　花子"_s);
    EXPECT_EQ(sheet->currentRow(), 4);

    teachers->sortByColumn(0, Qt::AscendingOrder);
    teachers->setCurrentCell(rowOf(teachers, u"佐藤太郎"_s), 0);
    sheet->setCurrentCell(30, 0);
    EXPECT_EQ(cell(sheet, 30, 4), QString());
    QByteArray journal = folder.readBytes(kJournalFile);
    journal += encodeCp932(u"出勤,佐藤太郎,2019/08/31,07:00,IC記録,詳細なし,事由なし\r\n"_s);
    folder.writeBytes(kJournalFile, journal);

    EXPECT_TRUE(waitUntil([&] { return cell(sheet, 30, 4) == u"07:00"_s; }, 10000));
    EXPECT_EQ(cell(teachers, teachers->currentRow(), 0), u"佐藤太郎"_s);
    EXPECT_EQ(sheet->currentRow(), 30);
    EXPECT_EQ(teachers->horizontalHeader()->sortIndicatorSection(), 0);
    EXPECT_EQ(teachers->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
}

// A missing clock-out mended from the office: the record the manual entry would write,
// and the month shows it, marked as made by hand, with the line gone from the things to
// check.
TEST_F(OfficeWindowTest, TheOfficeAddsAMissingClockOutAsTheManualEntryWould) {
    now = QDateTime(QDate(2019, 8, 21), QTime(9, 0));  // the 20th's evening is over
    open();
    auto* page = window->findChild<MonthPage*>("monthPage");
    auto* findings = find<QListWidget>("monthPage", "findingsList");
    auto* sheet = find<QTableWidget>("monthPage", "sheetTable");
    auto* add = find<QPushButton>("monthPage", "addRecordButton");
    ASSERT_TRUE(waitUntil([&] { return findings->count() > 0; }));
    const QString missing = u"山田　花子　8月20日（火）　退勤なし"_s;
    const auto lines = findings->findItems(missing, Qt::MatchContains);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_FALSE(add->isEnabled());
    findings->setCurrentItem(lines.front());
    ASSERT_TRUE(add->isEnabled());
    QString asked;
    page->setCorrectionAsker([&](const QString& person, const QDate& date, RecordKind kind) {
        asked = person + u' ' + date.toString(Qt::ISODate) + u' ' + recordKindWord(kind);
        ManualEntry entry;
        entry.person = person;
        entry.date = date;
        entry.kind = kind;
        entry.time = QTime(18, 0);
        return std::optional<ManualEntry>(entry);
    });
    const QByteArray before = folder.readBytes(kJournalFile);
    add->click();
    EXPECT_EQ(asked, u"山田　花子 2019-08-20 退勤"_s);
    EXPECT_TRUE(waitUntil([&] {
        return message("monthPage")->text() ==
               u"山田　花子さんの2019/08/20の出退勤を記録しました"_s;
    })) << message("monthPage")->text().toStdString();
    EXPECT_EQ(
        folder.readBytes(kJournalFile),
        before + encodeCp932(u"退勤,山田　花子,2019/08/20,18:00,手動記録,詳細なし,事由なし\r\n"_s));
    EXPECT_TRUE(
        waitUntil([&] { return findings->findItems(missing, Qt::MatchContains).isEmpty(); }));
    const int manual = sheetHeader().indexOf(u"手動"_s);
    EXPECT_TRUE(waitUntil([&] {
        return cell(sheet, 19, 5) == u"18:00"_s && cell(sheet, 19, manual) == u"退勤"_s;
    })) << cell(sheet, 19, manual).toStdString();
}

// The principal's list: largest overtime first, any column sorted by what it counts, and
// each cap level in its colour with its mark.
TEST_F(OfficeWindowTest, TeachersSortByTheirNumbersAndShowTheirLevels) {
    addLongWeekends();
    open();
    auto* teachers = find<QTableWidget>("monthPage", "teacherTable");
    auto* sheet = find<QTableWidget>("monthPage", "sheetTable");
    ASSERT_TRUE(waitUntil([&] { return teachers->rowCount() == 7; }));
    const struct {
        const char16_t* name;
        const char16_t* overtime;
        const char16_t* flags;
        QColor fill;
    } expected[] = {
        {u"田中　花", u"115:00", u"● 月100時間以上 ▲ 月45時間超", QColor(0xF2, 0x80, 0x80)},
        {u"伊藤　美咲", u"46:00", u"▲ 月45時間超", QColor(0xFF, 0xE6, 0x99)},
        {u"山田　花子", u"9:27", u"", QColor()},
        {u"佐藤太郎", u"3:27", u"", QColor()},
    };
    for (int row = 0; row < static_cast<int>(std::size(expected)); ++row) {
        const auto& e = expected[row];
        SCOPED_TRACE(row);
        EXPECT_EQ(cell(teachers, row, 0), QString::fromUtf16(e.name));
        EXPECT_EQ(cell(teachers, row, 5), QString::fromUtf16(e.overtime));
        EXPECT_EQ(cell(teachers, row, 8), QString::fromUtf16(e.flags));
        for (const int column : {5, 8}) {
            const QBrush brush = teachers->item(row, column)->background();
            EXPECT_EQ(brush.style() == Qt::NoBrush ? QColor() : brush.color(), e.fill);
        }
    }
    // The legend names each level beside its mark, which stands on the level's colour.
    const QString legend = find<QLabel>("monthPage", "capLegend")->text();
    for (const QString& part :
         {u"▲&nbsp;</span> 月45時間超"_s, u"◆&nbsp;</span> 2～6か月平均80時間超"_s,
          u"#f28080; color:black\">&nbsp;●&nbsp;</span> 月100時間以上"_s}) {
        EXPECT_TRUE(legend.contains(part)) << legend.toStdString();
    }

    // By the hours, not by their text: 9:27 comes before 46:00 and 115:00.
    ASSERT_TRUE(teachers->isSortingEnabled());
    teachers->sortByColumn(5, Qt::AscendingOrder);
    const int last = teachers->rowCount() - 1;
    EXPECT_EQ(cell(teachers, last, 0), u"田中　花"_s);
    EXPECT_EQ(cell(teachers, last - 1, 0), u"伊藤　美咲"_s);
    EXPECT_EQ(cell(teachers, last - 2, 0), u"山田　花子"_s);
    // A row chosen after sorting shows its own teacher's sheet: 伊藤's 18th from 05:00.
    teachers->setCurrentCell(last - 1, 0);
    ASSERT_EQ(sheet->rowCount(), 31);
    EXPECT_EQ(cell(sheet, 17, 4), u"05:00"_s);
    EXPECT_EQ(cell(sheet, 17, 5), u"28:00"_s);
}

// At the window's default size every column of the principal's list is in sight, however
// long its cells, and its heading's tooltip says what it counts.
TEST_F(OfficeWindowTest, EveryTeacherColumnIsInSightAtTheDefaultSizeAndSaysWhatItCounts) {
    addLongWeekends();  // the longest flags: ● 月100時間以上 ▲ 月45時間超
    open();
    ASSERT_EQ(window->size(), QSize(1100, 700));
    window->findChild<QTabWidget*>("pages")->setCurrentWidget(
        window->findChild<QWidget*>("monthPage"));
    auto* teachers = find<QTableWidget>("monthPage", "teacherTable");
    ASSERT_TRUE(waitUntil([&] { return teachers->rowCount() == 7; }));
    QApplication::processEvents();
    const QHeaderView* header = teachers->horizontalHeader();
    const int viewport = teachers->viewport()->width();
    QStringList tips;
    for (int column = 0; column < teachers->columnCount(); ++column) {
        const QString heading = teachers->horizontalHeaderItem(column)->text();
        SCOPED_TRACE(heading.toStdString());
        EXPECT_FALSE(header->isSectionHidden(column));
        const int left = header->sectionViewportPosition(column);
        EXPECT_GE(left, 0);
        EXPECT_LE(left + header->sectionSize(column), viewport)
            << left << " + " << header->sectionSize(column) << " > " << viewport;
        EXPECT_GE(header->sectionSize(column), 24);
        const QString tip = teachers->horizontalHeaderItem(column)->toolTip();
        EXPECT_GT(tip.size(), heading.size()) << tip.toStdString();
        tips.append(tip);
    }
    // Each says its own thing.
    tips.removeDuplicates();
    EXPECT_EQ(tips.size(), teachers->columnCount());
}

// The board's report: the teachers of the month by band, in all and by job, and each one
// against the year's caps and the 30-hour target, marked in words beside the colours.
TEST_F(OfficeWindowTest, TheBoardsPageCountsTheBandsInAllAndByJob) {
    addLongWeekends();
    open();
    auto* bands = find<QTableWidget>("boardPage", "bandTable");
    // Hidden, it reads nothing: the month's sheets are read once, for their own page.
    ASSERT_TRUE(
        waitUntil([&] { return find<QTableWidget>("monthPage", "teacherTable")->rowCount() > 0; }));
    EXPECT_EQ(bands->rowCount(), 0);
    showPage("boardPage");
    auto* teachers = find<QTableWidget>("boardPage", "boardTeacherTable");
    ASSERT_TRUE(waitUntil([&] { return bands->rowCount() > 0; }));
    // Six teachers with records (鈴木 has none): 田中 115:00, 伊藤 46:00, the others under 45.
    const struct {
        const char16_t* job;
        QStringList counts;  // 人数, then each band's number and share
    } expected[] = {
        {u"全体",
         {u"6"_s, u"4"_s, u"66.7%"_s, u"1"_s, u"16.7%"_s, u"0"_s, u"0.0%"_s, u"1"_s, u"16.7%"_s}},
        {u"教頭",
         {u"1"_s, u"1"_s, u"100.0%"_s, u"0"_s, u"0.0%"_s, u"0"_s, u"0.0%"_s, u"0"_s, u"0.0%"_s}},
        {u"教諭",
         {u"1"_s, u"1"_s, u"100.0%"_s, u"0"_s, u"0.0%"_s, u"0"_s, u"0.0%"_s, u"0"_s, u"0.0%"_s}},
        {u"養護教諭",
         {u"1"_s, u"0"_s, u"0.0%"_s, u"1"_s, u"100.0%"_s, u"0"_s, u"0.0%"_s, u"0"_s, u"0.0%"_s}},
        {u"（職名なし）",
         {u"3"_s, u"2"_s, u"66.7%"_s, u"0"_s, u"0.0%"_s, u"0"_s, u"0.0%"_s, u"1"_s, u"33.3%"_s}},
    };
    ASSERT_EQ(bands->rowCount(), static_cast<int>(std::size(expected)));
    for (int row = 0; row < bands->rowCount(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(cell(bands, row, 0), QString::fromUtf16(expected[row].job));
        QStringList counts;
        for (int column = 1; column <= 9; ++column) {
            counts.append(cell(bands, row, column));
        }
        EXPECT_EQ(counts, expected[row].counts);
    }
    // Over 100 hours stands on its level's colour; the heading says the band in words.
    EXPECT_EQ(bands->horizontalHeaderItem(8)->text(), u"100時間超"_s);
    EXPECT_EQ(bands->item(0, 8)->background().color(), QColor(0xF2, 0x80, 0x80));
    EXPECT_EQ(bands->item(0, 2)->background().style(), Qt::NoBrush);

    // Largest overtime first; 超過 in words on the cap's colour, the level's mark beside the hours.
    ASSERT_EQ(teachers->rowCount(), 6);
    EXPECT_EQ(cell(teachers, 0, 0), u"田中　花"_s);
    EXPECT_EQ(cell(teachers, 0, 1), u"（職名なし）"_s);
    EXPECT_EQ(cell(teachers, 0, 2), u"115:00 ●"_s);
    EXPECT_EQ(teachers->item(0, 2)->background().color(), QColor(0xF2, 0x80, 0x80));
    EXPECT_EQ(cell(teachers, 0, 3), u"超過"_s);
    EXPECT_EQ(teachers->item(0, 3)->background().color(), QColor(0xFF, 0xE6, 0x99));
    EXPECT_EQ(cell(teachers, 0, 4), u"1か月"_s);
    EXPECT_EQ(cell(teachers, 0, 6), u"115:00"_s);
    EXPECT_EQ(cell(teachers, 1, 0), u"伊藤　美咲"_s);
    EXPECT_EQ(cell(teachers, 1, 1), u"養護教諭"_s);
    EXPECT_EQ(cell(teachers, 1, 2), u"46:00 ▲"_s);
    EXPECT_EQ(cell(teachers, 2, 0), u"山田　花子"_s);
    EXPECT_EQ(cell(teachers, 2, 2), u"9:27"_s);
    EXPECT_EQ(cell(teachers, 2, 3), QString());
    EXPECT_EQ(teachers->item(2, 2)->background().style(), Qt::NoBrush);
    EXPECT_TRUE(find<QLabel>("boardPage", "withoutRecordsLabel")->text().contains(u"鈴木　一郎"_s));
    EXPECT_FALSE(teachers->horizontalHeaderItem(3)->toolTip().isEmpty());
}

// The job is the field headed 職種 wherever it stands; the office can pick another, which
// the window keeps for the next time it opens.
TEST_F(OfficeWindowTest, TheJobsFieldIsFoundByItsHeadingAndTheOfficesChoiceIsKept) {
    folder.writeLines(kCardholderListFile, test::utf16Lines({
                                               u"カードID,氏名,備考,職種",
                                               u"0123456789ABCDEF,山田　花子,担任,教諭",
                                               u"1111111111111111,佐藤太郎,,教頭",
                                               u"2222222222222222,鈴木　一郎,,講師",
                                               u"3333333333333333,伊藤　美咲,保健室,養護教諭",
                                           }));
    const auto jobsShown = [this] {
        auto* bands = find<QTableWidget>("boardPage", "bandTable");
        QStringList jobs;
        for (int row = 1; row < bands->rowCount(); ++row) {
            jobs.append(cell(bands, row, 0));
        }
        return jobs;
    };
    open();
    showPage("boardPage");
    auto* combo = find<QComboBox>("boardPage", "jobFieldCombo");
    ASSERT_TRUE(waitUntil([&] { return combo->count() == 2; }));
    EXPECT_EQ(combo->itemText(0), u"3列目（備考）"_s);
    EXPECT_EQ(combo->currentText(), u"4列目（職種）"_s);
    EXPECT_EQ(jobsShown(), (QStringList{u"教頭"_s, u"教諭"_s, u"養護教諭"_s, u"（職名なし）"_s}));

    emit combo->activated(0);
    EXPECT_EQ(BoardPage::savedJobField(), std::optional<qsizetype>(2));
    EXPECT_TRUE(waitUntil([&] { return jobsShown().contains(u"担任"_s); }));
    EXPECT_EQ(jobsShown(), (QStringList{u"担任"_s, u"保健室"_s, u"（職名なし）"_s}));

    window.reset();
    open();
    showPage("boardPage");
    combo = find<QComboBox>("boardPage", "jobFieldCombo");
    ASSERT_TRUE(waitUntil([&] { return combo->count() == 2 && jobsShown().size() == 3; }));
    EXPECT_EQ(combo->currentText(), u"3列目（備考）"_s);
    EXPECT_EQ(jobsShown(), (QStringList{u"担任"_s, u"保健室"_s, u"（職名なし）"_s}));
}

TEST_F(OfficeWindowTest, AMissingDataFolderIsSaidOnEveryPage) {
    QTemporaryDir empty;
    open(QFile::encodeName(empty.path()).toStdString());
    // The board's page and the calendar read when they are shown.
    showPage("boardPage");
    auto* pages = window->findChild<QTabWidget*>("pages");
    pages->setCurrentWidget(window->findChild<QWidget*>("calendarPage"));
    EXPECT_EQ(pages->tabText(pages->currentIndex()), u"学校の暦"_s);
    for (const char* page :
         {"presencePage", "monthPage", "boardPage", "cardPage", "calendarPage"}) {
        SCOPED_TRACE(page);
        EXPECT_TRUE(waitUntil(
            [&] { return message(page)->text().contains(u"データフォルダーが見つかりません"_s); }));
    }
}

class CardPageTest : public OfficeWindowTest {
  protected:
    void SetUp() override {
        OfficeWindowTest::SetUp();
        open();
        window->findChild<QTabWidget*>("pages")->setCurrentWidget(
            window->findChild<QWidget*>("cardPage"));
        list = find<QTableWidget>("cardPage", "cardholderTable");
        ASSERT_TRUE(waitUntil([&] { return list->rowCount() == 5; }));
    }

    void lay(const QString& card) {
        poller.lay(card);
        ASSERT_TRUE(
            waitUntil([&] { return find<QLabel>("cardPage", "cardIdLabel")->text() == card; }));
    }

    void enter(const QString& family, const QString& given, const QString& particulars) {
        find<QLineEdit>("cardPage", "familyNameEdit")->setText(family);
        find<QLineEdit>("cardPage", "givenNameEdit")->setText(given);
        find<QLineEdit>("cardPage", "particularsEdit")->setText(particulars);
        message("cardPage")->clear();
        find<QPushButton>("cardPage", "registerButton")->click();
    }

    bool told(const QString& words) {
        return waitUntil([&] { return message("cardPage")->text().contains(words); });
    }

    QTableWidget* list = nullptr;
};

TEST_F(CardPageTest, ALaidCardIsRegisteredOrReassignedAfterTheQuestion) {
    EXPECT_EQ(find<QLabel>("cardPage", "promptLabel")->text(), u"カードを置いてください"_s);
    lay(test::kStrangerCard);
    EXPECT_EQ(find<QLabel>("cardPage", "holderLabel")->text(), u"未登録のカード"_s);
    enter(u"佐藤"_s, u"次郎"_s, u"教諭"_s);
    ASSERT_TRUE(told(u"登録しました"_s));
    EXPECT_TRUE(waitUntil([&] { return list->rowCount() == 6; }));
    EXPECT_EQ(find<QLabel>("cardPage", "holderLabel")->text(), u"佐藤　次郎 さん"_s);
    EXPECT_TRUE(decodeCp932(folder.readBytes(kCardholderListFile))
                    .endsWith(test::kStrangerCard + u",佐藤　次郎,教諭\r\n"_s));

    // A card with a holder changes hands only when the question is answered so.
    lay(test::kHanakoCard);
    test::ModalAnswerer answers;
    const auto press = [](const QString& caption) {
        return [caption](QWidget* box) {
            for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons()) {
                if (button->text() == caption) {
                    button->click();
                }
            }
        };
    };
    answers.then(press(u"やめる"_s));
    const QByteArray before = folder.readBytes(kCardholderListFile);
    enter(u"高橋"_s, u"三郎"_s, QString());
    ASSERT_TRUE(told(u"すでに 山田　花子 さんに登録されています"_s));
    EXPECT_EQ(folder.readBytes(kCardholderListFile), before);
    answers.then(press(u"登録し直す"_s));
    enter(u"高橋"_s, u"三郎"_s, QString());
    ASSERT_TRUE(told(u"登録し直しました"_s));
    EXPECT_EQ(answers.count(), 2);
    EXPECT_TRUE(decodeCp932(folder.readBytes(kCardholderListFile))
                    .endsWith(test::kHanakoCard + u",高橋　三郎\r\n"_s));
}

// A lost card leaves the list after the question; a teacher who already holds a card gets a
// second one only when the office says so.
TEST_F(CardPageTest, ALostCardIsRetiredAndASecondCardIsAskedFirst) {
    test::ModalAnswerer answers;
    const auto press = [](const QString& caption) {
        return [caption](QWidget* box) {
            for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons()) {
                if (button->text() == caption) {
                    button->click();
                }
            }
        };
    };
    lay(test::kStrangerCard);
    EXPECT_FALSE(find<QPushButton>("cardPage", "retireButton")->isEnabled());
    const QByteArray before = folder.readBytes(kCardholderListFile);
    answers.then(press(u"やめる"_s));
    enter(u"山田"_s, u"花子"_s, QString());
    ASSERT_TRUE(told(u"登録しませんでした"_s));
    EXPECT_TRUE(answers.texts().back().contains(u"すでにカード "_s + test::kHanakoCard))
        << answers.texts().back().toStdString();
    EXPECT_EQ(folder.readBytes(kCardholderListFile), before);

    lay(test::kHanakoCard);
    auto* retire = find<QPushButton>("cardPage", "retireButton");
    ASSERT_TRUE(retire->isEnabled());
    answers.then(press(u"やめる"_s));
    retire->click();
    EXPECT_EQ(folder.readBytes(kCardholderListFile), before);
    answers.then(press(u"使えなくする"_s));
    retire->click();
    ASSERT_TRUE(told(u"使えなくしました"_s));
    EXPECT_FALSE(decodeCp932(folder.readBytes(kCardholderListFile)).contains(test::kHanakoCard));
    EXPECT_TRUE(waitUntil([&] { return list->rowCount() == 4; }));
    EXPECT_EQ(find<QLabel>("cardPage", "holderLabel")->text(), u"未登録のカード"_s);
}

TEST_F(CardPageTest, EveryRefusalIsSaidInJapaneseAndNothingIsWritten) {
    lay(test::kStrangerCard);
    const QByteArray before = folder.readBytes(kCardholderListFile);
    struct Case {
        QString family, given, particulars, words;
    };
    const std::vector<Case> cases = {
        {QString(), QString(), QString(), u"氏名を入力してください"_s},
        {u"山 田"_s, u"花子"_s, QString(), u"半角スペース"_s},
        {u"山田,"_s, u"花子"_s, QString(), u"カンマ"_s},
        {u"山田"_s, u"花子😀"_s, QString(), u"シフトJIS"_s},
        {u"山田"_s, u"花\x1B子"_s, QString(), u"制御文字（U+001B）"_s},
        {u"山田"_s, u"花子"_s, u"\"教諭\""_s, u"職名・備考に二重引用符"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.toStdString());
        enter(c.family, c.given, c.particulars);
        EXPECT_TRUE(told(c.words)) << message("cardPage")->text().toStdString();
    }
    // Another writer holds the lock; then the list is gone.
    folder.writeBytes(kLockFile, "busy");
    enter(u"佐藤"_s, u"次郎"_s, QString());
    EXPECT_TRUE(told(u"ほかのプログラムが書き込み中です"_s));
    EXPECT_EQ(folder.readBytes(kCardholderListFile), before);
    folder.remove(kLockFile);
    folder.remove(kCardholderListFile);
    enter(u"佐藤"_s, u"次郎"_s, QString());
    EXPECT_TRUE(told(u"カード登録ファイル（associate_with_card.txt）がありません"_s));
    EXPECT_FALSE(folder.exists(kCardholderListFile));
}

}  // namespace
}  // namespace tavomi

namespace tavomi {
namespace {

// An administrator asks a machine without a desktop what the program is.
TEST(OfficeProgram, AnswersItsOptionsWithoutADisplay) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* firstLineStart;
    };
    const Case cases[] = {
        {{u"--help"_s}, 0, "usage: tavomi-office"},
        {{u"--bogus"_s}, 2, "tavomi-office: unknown option --bogus"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.remove(QString::fromLatin1(name));
        }
        QProcess office;
        office.setProcessEnvironment(env);
        office.setProcessChannelMode(QProcess::MergedChannels);
        office.start(QStringLiteral(TAVOMI_OFFICE_PROGRAM), c.arguments);
        ASSERT_TRUE(office.waitForFinished(10000));
        EXPECT_EQ(office.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(office.exitCode(), c.exitCode);
        EXPECT_TRUE(office.readAll().startsWith(c.firstLineStart));
    }
}

}  // namespace
}  // namespace tavomi
