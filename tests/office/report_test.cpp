// The report tool on a small CP932 data folder: the tables it prints, the CSV byte for
// byte, and the PDF read back; none of the data files changes.
#include "files/cp932.h"
#include "files/data_folder.h"
#include "office/command_line.h"
#include "office/report_tool.h"
#include "office/tool_output.h"
#include "report/report_text.h"
#include "report_fixture.h"
#include "support/qt_printers.h"
#include "support/workbook_reader.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::DataFolder;

// Set TAVOMI_REGENERATE_EXPECTED=1 to write what the reports print into the expected
// files (then read the diff before committing it).
QByteArray expectedFile(const std::string& name, const QByteArray& actual) {
    QFile file(QStringLiteral(TAVOMI_OFFICE_EXPECTED_DIR "/") + QString::fromStdString(name));
    if (qEnvironmentVariableIsSet("TAVOMI_REGENERATE_EXPECTED")) {
        if (file.open(QIODevice::WriteOnly)) {
            file.write(actual);
        }
        return actual;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
        return {};
    }
    return file.readAll();
}

// What a stream received, for the report's out and err.
class Captured {
  public:
    Captured() : stream_(open_memstream(&buffer_, &size_)) {}
    ~Captured() {
        std::fclose(stream_);
        std::free(buffer_);
    }
    Captured(const Captured&) = delete;
    Captured& operator=(const Captured&) = delete;

    std::FILE* stream() const { return stream_; }
    QString text() {
        std::fflush(stream_);
        return QString::fromUtf8(buffer_, static_cast<qsizetype>(size_));
    }

  private:
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

struct ReportRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class ReportTest : public ::testing::Test {
  protected:
    ReportTest() { test::writeReportFixture(data); }

    ReportRun report(const QStringList& arguments, const QDateTime& now = QDateTime()) {
        const auto parsed = parseReportCommand(arguments, now.date());
        if (const auto* error = std::get_if<QString>(&parsed)) {
            ADD_FAILURE() << error->toStdString();
            return {};
        }
        Captured out;
        Captured err;
        ReportRun run;
        run.exitCode = runReportCommand(std::get<ReportCommand>(parsed), data.appFolder(),
                                        [now] { return now; }, out.stream(), err.stream(), {});
        run.out = out.text();
        run.err = err.text();
        return run;
    }

    std::map<std::string_view, QByteArray> dataFiles() const {
        std::map<std::string_view, QByteArray> files;
        for (std::string_view name : kRequiredFiles) {
            files[name] = data.readBytes(name);
        }
        return files;
    }

    QString outputPath(const char* name) const { return dir.filePath(QLatin1String(name)); }

    DataFolder data;
    QTemporaryDir dir;
};

struct TableCase {
    std::string name;
    QStringList arguments;
    QDateTime now;
    std::string expected;
};

void PrintTo(const TableCase& c, std::ostream* os) {
    *os << c.name;
}

class ReportTableTest : public ReportTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(ReportTableTest, PrintsTheExpectedTable) {
    const TableCase& c = GetParam();
    const auto before = dataFiles();

    const ReportRun run = report(c.arguments, c.now);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(run.out, QString::fromUtf8(expectedFile(c.expected, run.out.toUtf8())));
    EXPECT_EQ(dataFiles(), before);
}

const QDateTime kAugust20 = QDateTime(QDate(2019, 8, 20), QTime(10, 30));

INSTANTIATE_TEST_SUITE_P(
    Fixture, ReportTableTest,
    ::testing::Values(TableCase{"Today", {"today"}, kAugust20, "today_2019_08_20.txt"},
                      TableCase{"EarlierDayHasNoTimeOfDay",
                                {"today", "--date", "2019/08/01"},
                                kAugust20,
                                "day_2019_08_01.txt"},
                      TableCase{"Month", {"month", "2019/08"}, kAugust20, "month_2019_08.txt"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ReportTest, MonthCsvIsCp932WithCrLfByteForByte) {
    const QString csv = outputPath("august.csv");

    const ReportRun run = report({"month", "2019/08", "--csv", csv});

    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    // The expected file is kept as UTF-8 with LF, to be readable in review.
    QString expected = QString::fromUtf8(
        expectedFile("month_2019_08.csv", decodeCp932(bytes).replace("\r\n", "\n").toUtf8()));
    EXPECT_EQ(bytes, encodeCp932(expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"))));
    EXPECT_TRUE(bytes.startsWith("\x81\xA1\x93\xFA"));  // ■日 in CP932
    // Each table after a line naming it: the days' columns as they were, then the totals
    // and the garbled lines.
    EXPECT_TRUE(
        bytes.startsWith(encodeCp932(u"■日ごとの記録\r\n"_s + csvHeader().join(u',')) + "\r\n"));
    EXPECT_TRUE(decodeCp932(bytes).contains(u"\r\n\r\n■月の集計\r\n"_s +
                                            csvTotalsHeader().join(u',') + u"\r\n"_s));
    EXPECT_TRUE(decodeCp932(bytes).contains(
        u"\r\n\r\n■記録として読めない行\r\n行,問題,内容\r\n21行目,不明な区分,"_s));
    // The garbled lines still reach the terminal.
    EXPECT_TRUE(run.out.contains(u"24行目"_s)) << run.out.toStdString();
}

// One line of the CSV as a spreadsheet splits it: commas, and quotes around a cell that
// holds one ("" for a quote).
QStringList csvCells(const QString& line) {
    QStringList cells{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"') {
            cells.back() += c;
            ++i;
        } else if (c == u'"') {
            quoted = !quoted;
        } else if (c == u',' && !quoted) {
            cells.append(QString());
        } else {
            cells.back() += c;
        }
    }
    return cells;
}

// [h]:mm as minutes, or -1 when the cell is no such time.
int minutesOf(const QString& cell) {
    static const QRegularExpression time(QStringLiteral("^(\\d+):([0-5]\\d)$"));
    const QRegularExpressionMatch match = time.match(cell);
    return match.hasMatch() ? match.captured(1).toInt() * 60 + match.captured(2).toInt() : -1;
}

// What a spreadsheet makes of the CSV: in each marked table, every duration is a bare [h]:mm
// and every count a number, and the days' hours add up to the month's.
TEST_F(ReportTest, MonthCsvHoursReadBackAsNumbersThatAddUp) {
    const QString csv = outputPath("august.csv");
    ASSERT_EQ(report({"month", "2019/08", "--csv", csv}).exitCode, 0);
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    QHash<QString, QList<QStringList>> tables;  // by the line that names them
    QString table;
    for (const QString& line : decodeCp932(written.readAll()).split(u"\r\n"_s)) {
        if (line.startsWith(u'■')) {
            table = line.mid(1);
        } else if (!line.isEmpty()) {
            tables[table].append(csvCells(line));
        }
    }
    ASSERT_EQ(tables.size(), 4) << tables.keys().join(u' ').toStdString();
    const QList<QStringList> days = tables.value(u"日ごとの記録"_s);
    const QList<QStringList> totals = tables.value(u"月の集計"_s);
    ASSERT_EQ(days.value(0), csvHeader());
    ASSERT_EQ(totals.value(0), csvTotalsHeader());
    ASSERT_EQ(totals.size(), 7);  // the header and six teachers

    const qsizetype dayPresent = csvHeader().indexOf(u"在校等時間"_s);
    const qsizetype dayOvertime = csvHeader().indexOf(u"時間外"_s);
    QHash<QString, std::pair<int, int>> summed;  // present, overtime by name
    for (qsizetype row = 1; row < days.size(); ++row) {
        const QStringList& day = days[row];
        ASSERT_EQ(day.size(), csvHeader().size()) << day.join(u',').toStdString();
        auto& sum = summed[day[0]];
        for (const auto& [column, total] :
             {std::pair{dayPresent, &sum.first}, std::pair{dayOvertime, &sum.second}}) {
            if (!day[column].isEmpty()) {
                ASSERT_GE(minutesOf(day[column]), 0) << day[column].toStdString();
                *total += minutesOf(day[column]);
            }
        }
    }
    const QStringList durations = {u"在校等時間"_s, u"うち校外"_s,       u"所定勤務時間"_s,
                                   u"時間外"_s,     u"年度累計時間外"_s, u"2～6か月平均の最大"_s};
    const QStringList counts = {u"出勤日数"_s, u"平均の月数"_s, u"平均に使えた記録の月数"_s};
    for (qsizetype row = 1; row < totals.size(); ++row) {
        const QStringList& teacher = totals[row];
        SCOPED_TRACE(teacher.join(u',').toStdString());
        ASSERT_EQ(teacher.size(), csvTotalsHeader().size());
        for (const QString& heading : durations) {
            const QString& value = teacher[csvTotalsHeader().indexOf(heading)];
            EXPECT_TRUE(value.isEmpty() || minutesOf(value) >= 0) << heading.toStdString();
        }
        for (const QString& heading : counts) {
            const QString& value = teacher[csvTotalsHeader().indexOf(heading)];
            bool number = true;
            if (!value.isEmpty()) {
                value.toInt(&number);
            }
            EXPECT_TRUE(number) << heading.toStdString() << " " << value.toStdString();
        }
        const auto& sum = summed.value(teacher[0]);
        EXPECT_EQ(minutesOf(teacher[csvTotalsHeader().indexOf(u"在校等時間"_s)]), sum.first);
        EXPECT_EQ(minutesOf(teacher[csvTotalsHeader().indexOf(u"時間外"_s)]), sum.second);
    }
    // 山田's highest average: 4:43 over 2 months, of the 2 with records.
    EXPECT_EQ(totals[1].mid(7, 3), (QStringList{u"4:43"_s, u"2"_s, u"2"_s}));
}

TEST(CsvField, QuotesWhatNeedsItAndKeepsFormulasText) {
    const struct {
        QString value;
        QString cell;
    } cases[] = {
        {u"山田　花子"_s, u"山田　花子"_s},
        {u"a,b"_s, u"\"a,b\""_s},
        {u"say \"hi\""_s, u"\"say \"\"hi\"\"\""_s},
        {u"=HYPERLINK(\"x\")"_s, u"\"'=HYPERLINK(\"\"x\"\")\""_s},
        {u"+81"_s, u"\"'+81\""_s},
        {u"-1"_s, u"\"'-1\""_s},
        {u"@SUM(A1)"_s, u"\"'@SUM(A1)\""_s},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(csvField(c.value), c.cell) << c.value.toStdString();
    }
}

TEST(WithControlPictures, NoEscapeOrCarriageReturnReachesTheTerminal) {
    EXPECT_EQ(withControlPictures(u"山田\x1B[2J\r花子\x7F"_s), u"山田␛[2J␍花子␡"_s);
}

// However the path is spelled: through "..", another name of the same file (a share that
// folds letter case shows Keeper.txt as keeper.txt), or the lock file's name in capitals.
TEST_F(ReportTest, NeverWritesOverADataFile) {
    const std::filesystem::path folder = data.appFolder() / kDataFolderName;
    std::filesystem::create_hard_link(folder / kJournalFile, data.appFolder() / "Keeper.txt");
    const auto before = dataFiles();
    for (const std::filesystem::path& output :
         {folder / ".." / kDataFolderName / kJournalFile, data.appFolder() / "Keeper.txt",
          folder / "ROCK_FILE.TXT"}) {
        const ReportRun run =
            report({"month", "2019/08", "--csv", QString::fromStdString(output.string())});
        EXPECT_EQ(run.exitCode, 1) << output;
        EXPECT_TRUE(run.err.contains(QStringLiteral("data files"))) << run.err.toStdString();
        EXPECT_EQ(dataFiles(), before) << output;
        EXPECT_FALSE(std::filesystem::exists(folder / "ROCK_FILE.TXT"));
    }
}

TEST_F(ReportTest, MissingJournalStopsTheReportWithItsPath) {
    data.remove(kJournalFile);

    const ReportRun run = report({"today"}, kAugust20);

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("keeper.txt"))) << run.err.toStdString();
}

// Teachers come from the journal when the cardholder list cannot be read.
TEST_F(ReportTest, MissingCardholderListLeavesTheJournalsNames) {
    data.remove(kCardholderListFile);

    const ReportRun run = report({"today"}, kAugust20);

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains(QStringLiteral("associate_with_card.txt")));
    EXPECT_TRUE(run.out.contains(u"田中　花"_s));
    EXPECT_FALSE(run.out.contains(u"鈴木　一郎"_s));
}

TEST_F(ReportTest, MonthWorkbookReadsBackAsSheetsOfNumbers) {
    const QString xlsx = outputPath("august.xlsx");
    const auto before = dataFiles();

    const ReportRun run = report({"month", "2019/08", "--xlsx", xlsx});

    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(dataFiles(), before);
    const QJsonObject book = test::readWorkbook(xlsx);
    QStringList sheets;
    for (const QJsonValue& name : book[u"sheets"_s].toArray()) {
        sheets.append(name.toString());
    }
    EXPECT_EQ(sheets, (QStringList{u"校長"_s, u"教育委員会"_s, u"確認事項"_s, u"山田　花子"_s,
                                   u"佐藤太郎"_s, u"鈴木　一郎"_s, u"伊藤　美咲"_s, u"田中　花"_s,
                                   u"山田,次郎"_s}));
    struct Cell {
        const char16_t* sheet;
        int row;
        int column;
        const char16_t* value;
    };
    const Cell cells[] = {
        // The principal's: a row a teacher under the header, largest overtime first (then as
        // listed), hours as minutes of a [h]:mm cell.
        {u"校長", 1, 0, u"s 凡例: ▲ 月45時間超　◆ 2～6か月平均80時間超　● 月100時間以上"},
        {u"校長", 2, 3, u"s 在校等時間"},
        {u"校長", 3, 0, u"s 山田　花子"},
        {u"校長", 3, 1, u"s 教諭"},
        {u"校長", 3, 2, u"n 3"},
        {u"校長", 3, 3, u"t 1497"},  // 24:57
        {u"校長", 3, 6, u"t 567"},   // 9:27
        {u"校長", 3, 9, u"t 283"},   // 4:43 over two months
        {u"校長", 3, 10, u"n 2"},
        {u"校長", 4, 4, u"t 420"},  // 佐藤's 7:00 outside
        {u"校長", 8, 0, u"s 山田,次郎"},
        // The board's: five teachers with records (鈴木 has none in August), all within 45 h;
        // the usual jobs first, those without one last.
        {u"教育委員会", 3, 0, u"s 全体"},
        {u"教育委員会", 3, 1, u"n 5"},
        {u"教育委員会", 3, 2, u"n 5"},
        {u"教育委員会", 3, 3, u"n 1"},     // a share of 100%
        {u"教育委員会", 3, 10, u"t 154"},  // (567 + 207 + 0 + 0 + 0) / 5 minutes, 2:34
        {u"教育委員会", 4, 0, u"s 教頭"},
        {u"教育委員会", 5, 0, u"s 教諭"},
        {u"教育委員会", 6, 0, u"s 養護教諭"},
        {u"教育委員会", 7, 0, u"s （職名なし）"},
        {u"教育委員会", 7, 1, u"n 2"},
        {u"教育委員会", 9, 0, u"s 氏名"},
        {u"教育委員会", 10, 0, u"s 山田　花子"},
        {u"教育委員会", 10, 4, u"n 0"},  // months over 45 h this fiscal year
        {u"教育委員会", 16, 1, u"s 鈴木　一郎"},
        // A teacher's: a row a day from the 1st; 2 August, until 25:30.
        {u"山田　花子", 4, 0, u"d 2019-08-02"},
        {u"山田　花子", 4, 2, u"t 495"},   // scheduled from 8:15
        {u"山田　花子", 4, 5, u"t 490"},   // in at 8:10
        {u"山田　花子", 4, 6, u"t 1530"},  // out at 25:30
        {u"山田　花子", 4, 10, u"t 995"},  // 16:35 at school
        {u"山田　花子", 4, 13, u"t 530"},  // 8:50 over
        // The things to check, with the lines of the journal they come from.
        {u"確認事項", 3, 0, u"s 山田　花子"},
        {u"確認事項", 3, 1, u"d 2019-08-05"},
    };
    for (const Cell& c : cells) {
        const QString sheet = QString::fromUtf16(c.sheet);
        EXPECT_EQ(test::cellOf(book, sheet, c.row, c.column), QString::fromUtf16(c.value))
            << sheet.toStdString() << " row " << c.row << " column " << c.column;
    }
    const QJsonArray checks = book[u"rows"_s].toObject()[u"確認事項"_s].toArray();
    QStringList lines;
    for (const QJsonValue& row : checks) {
        const QJsonArray cells = row.toArray();
        if (cells.at(4).isArray()) {
            lines.append(test::cellOf(book, u"確認事項"_s, static_cast<int>(lines.size() + 3), 3)
                             .section(u' ', 1) +
                         u" @ "_s +
                         test::cellOf(book, u"確認事項"_s, static_cast<int>(lines.size() + 3), 5));
        }
    }
    // 伊藤's open day is one record, line 30; 山田's of the 20th two; a garbled line its own.
    EXPECT_TRUE(lines.contains(u"退勤なし @ n 30"_s)) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.contains(u"退勤なし @ s 31、35"_s)) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.contains(u"読めない行：あ\uFFFD,\uFFFD @ n 24"_s))
        << lines.join(u'\n').toStdString();
}

// A workbook the report cannot write leaves one message and no file.
TEST_F(ReportTest, WorkbookThatCannotBeWrittenIsOneMessageAndNoFile) {
    const std::filesystem::path folder = data.appFolder() / kDataFolderName;
    const struct {
        QString path;
        const char* says;
    } cases[] = {
        {dir.path(), "is a folder"},
        {QString::fromStdString((folder / kJournalFile).string()), "data files"},
        // Not writable, whoever runs the test (root included).
        {u"/proc/august.xlsx"_s, "cannot write"},
        {outputPath("no-such-folder") + u"/august.xlsx"_s, "cannot write"},
    };
    const auto before = dataFiles();
    for (const auto& c : cases) {
        const ReportRun run =
            report({"month", "2019/08", "--xlsx", c.path, "--csv", outputPath("beside.csv")});
        EXPECT_EQ(run.exitCode, 1) << c.path.toStdString();
        EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QLatin1String(c.says))) << run.err.toStdString();
        EXPECT_EQ(dataFiles(), before);
        EXPECT_FALSE(QFile::exists(outputPath("beside.csv"))) << c.path.toStdString();
    }
}

QString runPoppler(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000) || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << p.readAllStandardError().toStdString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The program itself, as on a server: no display, nothing chosen for Qt's platform; in the C
// locale and in the office's own (fontconfig then names fonts in Japanese).
class ReportPdfTest : public ReportTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReportPdfTest, HasOnePagePerTeacherWithTheirNamesReadingBackAsWritten) {
    const QString pdf = outputPath("august.pdf");
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("LC_ALL", QString::fromLatin1(GetParam()));
    env.insert("LANG", QString::fromLatin1(GetParam()));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(TAVOMI_REPORT_PROGRAM),
               {"month", "2019/08", "--pdf", pdf, "--data",
                QString::fromStdString((data.appFolder() / kDataFolderName).string())});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    // The principal's summary, the board's report, a page per teacher, the garbled lines.
    const QString info = runPoppler(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+9\\n"))))
        << info.toStdString();
    // The text reads back as written: no radical stands in for the ideograph of its glyph
    // (山 as ⼭, 長 as ⻑), so a search for a name or 8月 finds it.
    const QString text = runPoppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[\\x{2E80}-\\x{2FDF}]"))));
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    const QStringList names = test::utf16Lines(
        {u"山田　花子", u"佐藤太郎", u"鈴木　一郎", u"伊藤　美咲", u"田中　花", u"山田,次郎"});
    ASSERT_EQ(pages.size(), names.size() + 3);
    EXPECT_TRUE(pages[0].contains(u"校長"_s));
    EXPECT_TRUE(pages[0].contains(u"24:57"_s)) << pages[0].toStdString();  // 山田's 在校等時間
    // Each teacher's scheduled hours and the days not counted.
    EXPECT_TRUE(pages[0].contains(u"159:00"_s)) << pages[0].toStdString();
    EXPECT_TRUE(pages[0].contains(u"時間に数えない日"_s));
    EXPECT_TRUE(pages[0].contains(u"5日 出勤なし"_s)) << pages[0].toStdString();
    // The board's report: five teachers with records, all in the lowest band; by job.
    const QString& board = pages[1];
    EXPECT_TRUE(board.contains(u"教育委員会への報告"_s)) << board.toStdString();
    for (const QString& word : {u"45時間以下"_s, u"100時間超"_s, u"100.0%"_s, u"教頭"_s,
                                u"養護教諭"_s, u"（職名なし）"_s, u"年720時間"_s}) {
        EXPECT_TRUE(board.contains(word)) << word.toStdString() << "\n" << board.toStdString();
    }
    EXPECT_TRUE(board.contains(QRegularExpression(u"全体\\s+5\\s+5\\s+100.0%"_s)))
        << board.toStdString();
    EXPECT_TRUE(board.contains(u"記録がなく数えていない人（1人）"_s)) << board.toStdString();
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& page = pages[i + 2];
        EXPECT_TRUE(pages[0].contains(names[i].section(u'　', 0, 0))) << names[i].toStdString();
        EXPECT_TRUE(board.contains(names[i].section(u'　', 0, 0))) << names[i].toStdString();
        // pdftotext takes the full-width space between family and given name for a gap.
        for (const QString& part : names[i].split(u'　')) {
            EXPECT_TRUE(page.contains(part)) << "page " << i + 3 << ":\n" << page.toStdString();
        }
        EXPECT_TRUE(page.contains(u"2019年8月"_s));
        EXPECT_TRUE(page.contains(u"在校等時間"_s));
        EXPECT_TRUE(page.contains(u"授業準備"_s));  // the legend of the work codes
    }
    EXPECT_TRUE(pages.back().contains(u"24行目"_s)) << pages.back().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Locales, ReportPdfTest, ::testing::Values("C.UTF-8", "ja_JP.UTF-8"),
                         [](const auto& info) {
                             return std::string(info.param).substr(0, 2) == "ja" ? "Japanese" : "C";
                         });

// The PDF is drawn by a second program beside the first; without it the report says so.
TEST_F(ReportTest, PdfWithoutItsHelperProgramIsAnError) {
    const QString lone = outputPath("tavomi-report");
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVOMI_REPORT_PROGRAM), lone));
    const QString pdf = outputPath("august.pdf");
    QProcess tool;
    tool.start(lone, {"month", "2019/08", "--pdf", pdf, "--data",
                      QString::fromStdString((data.appFolder() / kDataFolderName).string())});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
    EXPECT_TRUE(
        QString::fromUtf8(tool.readAllStandardError())
            .startsWith(u"tavomi-report: cannot start "_s + outputPath("tavomi-report-pdf")));
    EXPECT_FALSE(QFile::exists(pdf));
}

}  // namespace
}  // namespace tavomi
