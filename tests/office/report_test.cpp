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

#include <QFile>
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
    EXPECT_TRUE(bytes.startsWith("\x8E\x81\x96\xBC,"));  // 氏名 in CP932
    // The columns stay as they were; the totals and the garbled lines follow the table.
    EXPECT_TRUE(bytes.startsWith(encodeCp932(csvHeader().join(u',')) + "\r\n"));
    EXPECT_TRUE(decodeCp932(bytes).contains(
        u"\r\n\r\n記録として読めない行,問題,内容\r\n21行目,不明な区分,"_s));
    // The garbled lines still reach the terminal.
    EXPECT_TRUE(run.out.contains(u"24行目"_s)) << run.out.toStdString();
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

    // The principal's summary, a page per teacher, the garbled lines.
    const QString info = runPoppler(QStringLiteral("pdfinfo"), {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+8\\n"))))
        << info.toStdString();
    // The text reads back as written: no radical stands in for the ideograph of its glyph
    // (山 as ⼭, 長 as ⻑), so a search for a name or 8月 finds it.
    const QString text = runPoppler(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[\\x{2E80}-\\x{2FDF}]"))));
    const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
    const QStringList names = test::utf16Lines(
        {u"山田　花子", u"佐藤太郎", u"鈴木　一郎", u"伊藤　美咲", u"田中　花", u"山田,次郎"});
    ASSERT_EQ(pages.size(), names.size() + 2);
    EXPECT_TRUE(pages[0].contains(u"校長"_s));
    EXPECT_TRUE(pages[0].contains(u"24:57"_s)) << pages[0].toStdString();  // 山田's 在校等時間
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& page = pages[i + 1];
        EXPECT_TRUE(pages[0].contains(names[i].section(u'　', 0, 0))) << names[i].toStdString();
        // pdftotext takes the full-width space between family and given name for a gap.
        for (const QString& part : names[i].split(u'　')) {
            EXPECT_TRUE(page.contains(part)) << "page " << i + 2 << ":\n" << page.toStdString();
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
