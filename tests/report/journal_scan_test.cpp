// Reading the journal as a stream: lines that meet the read buffer's edges, line ends,
// and a journal that is a symbolic link.
#include "report/journal_scan.h"

#include "record/punch_line.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"
#include "support/data_folder_fixture.h"
#include "support/journal_header.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

constexpr qsizetype kReadSize = qsizetype{128} << 10;  // what one read asks for
constexpr qsizetype kLongestLine = qsizetype{1} << 20;

QByteArray cp932(const char16_t* text) {
    return encodeCp932(QString::fromUtf16(text));
}

const QByteArray kHeader = cp932(test::kJournalHeader) + "\r\n";
const QByteArray kJulyRecord =
    cp932(u"出勤,佐藤太郎,2019/07/01,08:00,IC記録,詳細なし,事由なし\r\n");
const QByteArray kAugustRecord =
    cp932(u"退勤,山田　花子,2019/08/01,18:02,IC記録,詳細なし,事由なし");

// July records up to `size` bytes, the last one padded (through its name) to end exactly there.
QByteArray julyUpTo(qsizetype size) {
    QByteArray bytes = kHeader;
    while (size - bytes.size() >= 2 * kJulyRecord.size()) {
        bytes += kJulyRecord;
    }
    const QByteArray head = cp932(u"出勤,");
    const QByteArray tail = cp932(u",2019/07/01,08:00,IC記録,詳細なし,事由なし\r\n");
    bytes += head + QByteArray(size - bytes.size() - head.size() - tail.size(), 'X') + tail;
    return bytes;
}

qint64 lineCount(const QByteArray& bytes) {
    return bytes.count('\n');
}

struct ScanCase {
    std::string name;
    QByteArray journal;
    QStringList events;   // "line kind name time" of the August records
    QStringList garbled;  // "line problem"
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

QStringList described(const JournalScan& scan, QStringList* garbled) {
    QStringList events;
    for (const PunchEvent& e : scan.events) {
        events.append(
            QStringLiteral("%1 %2 %3 %4").arg(e.line).arg(recordKindWord(e.kind), e.name, e.time));
    }
    for (const GarbledLine& g : scan.garbled) {
        garbled->append(QStringLiteral("%1 %2").arg(g.line).arg(lineProblemText(g.problem)));
    }
    return events;
}

class JournalScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(JournalScanTest, ReadsEveryRecordOfThePeriodWithItsLineNumber) {
    const ScanCase& c = GetParam();
    test::DataFolder data;
    data.writeBytes(kJournalFile, c.journal);

    QStringList garbled;
    const QStringList events =
        described(scanJournal(data.file(kJournalFile), ReportPeriod::ofMonth(2019, 8)), &garbled);

    EXPECT_EQ(events, c.events);
    EXPECT_EQ(garbled, c.garbled);
}

const QString kAugustEvent = u"退勤 山田　花子 18:02"_s;

QString at(qint64 line, const QString& what) {
    return QString::number(line) + u' ' + what;
}

ScanCase acrossTheBuffer(const std::string& name, qsizetype recordStart) {
    const QByteArray before = julyUpTo(recordStart);
    return {name,
            before + kAugustRecord + "\r\n" + kJulyRecord,
            {at(lineCount(before) + 1, kAugustEvent)},
            {}};
}

ScanCase longerThanTheBuffer() {
    const QByteArray line(kLongestLine + kLongestLine / 2, 'X');
    return {"LineLongerThanTheBufferIsOneGarbledLine",
            kHeader + line + "\r\n" + kAugustRecord + "\r\n",
            {at(3, kAugustEvent)},
            {at(2, u"読めない行"_s)}};
}

INSTANTIATE_TEST_SUITE_P(
    Lines, JournalScanTest,
    ::testing::Values(
        acrossTheBuffer("RecordAcrossTheBufferEdge", kReadSize - 20),
        acrossTheBuffer("RecordStartingAtTheBufferEdge", kReadSize),
        acrossTheBuffer("LineBreakAcrossTheBufferEdge", kReadSize - kAugustRecord.size() - 1),
        longerThanTheBuffer(),
        ScanCase{"LastLineWithoutLineBreak", kHeader + kAugustRecord, {at(2, kAugustEvent)}, {}},
        ScanCase{"LineFeedsAlone",
                 kHeader + kJulyRecord.chopped(2) + "\n" + kAugustRecord + "\n",
                 {at(3, kAugustEvent)},
                 {}},
        // A journal that was empty when the first record went in has no header.
        ScanCase{"FirstLineIsARecordWhenItReadsAsOne",
                 kAugustRecord + "\r\n",
                 {at(1, kAugustEvent)},
                 {}},
        ScanCase{"HeaderIsNeverGarbled", cp932(u"見出し,2019/08/01\r\n"), {}, {}}),
    [](const auto& info) { return info.param.name; });

// Nearly every line is read from its bytes; whatever that reader takes or leaves, the
// scan must say what readPunchLine says of the decoded line. Each line is in the journal
// twice, as the second time comes from what the first left decoded.
class ReadAsTheRecordReaderReads : public ::testing::TestWithParam<QByteArray> {};

QString describedEvent(const PunchEvent& e) {
    return QStringList{recordKindWord(e.kind),       e.name,
                       e.date.toString(Qt::ISODate), e.time,
                       QString::number(e.minutes),   e.manual ? u"manual"_s : u"card"_s,
                       e.categories.join(u'+'),      e.reasons.join(u'+')}
        .join(u'|');
}

TEST_P(ReadAsTheRecordReaderReads, Line) {
    const QByteArray& line = GetParam();
    test::DataFolder data;
    data.writeBytes(kJournalFile, kHeader + line + "\r\n" + line + "\r\n");
    const JournalScan scan = scanJournal(data.file(kJournalFile), ReportPeriod::ofMonth(2019, 8));

    const auto read = readPunchLine(Cp932Decoder().decode(line));
    if (const auto* event = std::get_if<PunchEvent>(&read)) {
        ASSERT_EQ(scan.events.size(), 2u);
        EXPECT_TRUE(scan.garbled.empty());
        for (const PunchEvent& e : scan.events) {
            EXPECT_EQ(describedEvent(e), describedEvent(*event));
        }
        EXPECT_EQ(scan.events[1].line, 3);
    } else {
        EXPECT_TRUE(scan.events.empty());
        ASSERT_EQ(scan.garbled.size(), 2u);
        for (const GarbledLine& g : scan.garbled) {
            EXPECT_EQ(lineProblemText(g.problem), lineProblemText(std::get<LineProblem>(read)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReadAsTheRecordReaderReads,
    ::testing::Values(
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由なし"),
        cp932(u"退勤,ｻﾄｳ太郎,2019/08/01,25:30,手動記録,詳細bchm1,事由年休"),
        cp932(u"中抜,山田　花子,2019/08/01,02:00,IC記録,詳細なし,事由職専免"),
        cp932(u"戻り,,2019/08/01,14:20,IC記録,詳細m2,事由なし"),  // no name
        cp932(u"外出,山田,次郎,2019/08/01,13:10,IC記録,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細bx,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由休み"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,なし"),
        cp932(u"出勤,山田　花子,2019/08/01,29:00,IC記録,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,7:45,IC記録,詳細なし,事由なし"),
        cp932(u"中抜,山田　花子,2019/08/01,00:00,IC記録,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/32,07:45,IC記録,詳細なし,事由なし"),
        cp932(u"入室,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由なし,"),
        cp932(u"出勤,山田") + "\x82" + cp932(u",2019/08/01,07:45,IC記録,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由") + "\x82",
        cp932(u"出勤,山田") + "\x85\x40" + cp932(u",2019/08/01,07:45,IC記録,詳細なし,事由なし"),
        cp932(u"出勤,山田　花子,2019/08/01,07:45,IC記録\r,詳細なし,事由なし"),
        cp932(u"出勤,山田\r花子,2019/08/01,07:45,IC記録,詳細なし,事由なし")),
    [](const auto& info) { return "Line" + std::to_string(info.index); });

// A data file is never read through a symbolic link, as the time clock never writes one.
TEST(JournalScanFileTest, RefusesAJournalThatIsASymbolicLink) {
    test::DataFolder data;
    data.writeBytes("elsewhere.txt", kHeader + kAugustRecord);
    data.remove(kJournalFile);
    std::filesystem::create_symlink("elsewhere.txt", data.file(kJournalFile));

    EXPECT_THROW(scanJournal(data.file(kJournalFile), ReportPeriod::ofMonth(2019, 8)), FileError);
}

}  // namespace
}  // namespace tavomi
