#include "calendar/school_calendar.h"

#include "files/comma_text.h"
#include "files/cp932.h"
#include "files/file_error.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {

// Found by GoogleTest beside SchoolDay, for readable failures.
static void PrintTo(const SchoolDay& day, std::ostream* os) {
    *os << schoolDayLine(day).toStdString() << " (line " << day.line << ")";
}

namespace {

SchoolDay day(QDate date, bool workday, std::optional<int> start = {}, std::optional<int> end = {},
              std::optional<int> rest = {}, QString note = {}, int line = 0) {
    return {date, workday, start, end, rest, std::move(note), line};
}

constexpr int hm(int hours, int minutes) {
    return hours * 60 + minutes;
}

std::vector<SchoolDay> daysOf(const SchoolCalendar& calendar) {
    std::vector<SchoolDay> days;
    for (const auto& [date, schoolDay] : calendar.days) {
        days.push_back(schoolDay);
    }
    return days;
}

TEST(SchoolCalendarRead, DaysAndTheLinesThatCannotBeRead) {
    test::DataFolder folder;
    const QStringList lines = {
        schoolCalendarHeader(),
        u"2026/04/29,勤務日,08:15,16:45,00:45,学校公開日"_s,  // 2
        u"2026/5/2,勤務日, 8:30 ,12:30:00,,\"運動会, 予備日\""_s,
        u"2026/05/07,休日"_s,                     // 4
        u"2026/05/08,休日,,,,開校記念日 振替"_s,  // an unquoted note split at its blank
        u",,,,,"_s,                               // an empty spreadsheet row
        u"2026/02/30,休日"_s,
        u"26/5/1,休日"_s,
        u"2026/05/01,祝日"_s,
        u"2026/05/09,勤務日,8:5,16:45"_s,  // 10
        u"2026/05/10,勤務日,25:61"_s,
        u"2026/05/11,勤務日,17:00,08:30"_s,
        u"2026/05/12,勤務日,,,1時間"_s,
        u"2026/05/07,勤務日,08:15,27:30"_s,  // 14: the later line for 7 May counts
        u""_s,
    };
    folder.writeLines(kSchoolCalendarFile, lines);

    const SchoolCalendar calendar = readSchoolCalendar(folder.appFolder());

    const std::vector<SchoolDay> expected = {
        day({2026, 4, 29}, true, hm(8, 15), hm(16, 45), hm(0, 45), u"学校公開日"_s, 2),
        day({2026, 5, 2}, true, hm(8, 30), hm(12, 30), {}, u"運動会, 予備日"_s, 3),
        day({2026, 5, 7}, true, hm(8, 15), hm(27, 30), {}, {}, 14),
        day({2026, 5, 8}, false, {}, {}, {}, u"開校記念日 振替"_s, 5),
    };
    EXPECT_EQ(daysOf(calendar), expected);

    const std::vector<CalendarProblem> problems = {
        {7, lines[6], u"日付が読めません"_s},
        {8, lines[7], u"日付が読めません"_s},
        {9, lines[8], u"休日・勤務日のどちらでもありません"_s},
        {10, lines[9], u"時刻が読めません"_s},
        {11, lines[10], u"時刻が読めません"_s},
        {12, lines[11], u"終了が開始より後ではありません"_s},
        {13, lines[12], u"時刻が読めません"_s},
    };
    ASSERT_EQ(calendar.problems.size(), problems.size());
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(calendar.problems[i].line, problems[i].line);
        EXPECT_EQ(calendar.problems[i].text, problems[i].text);
        EXPECT_EQ(calendar.problems[i].what, problems[i].what);
    }
}

TEST(SchoolCalendarRead, NoFileIsAnEmptyCalendarButAnUnreadableFileIsAnError) {
    test::DataFolder folder;
    const SchoolCalendar none = readSchoolCalendar(folder.appFolder());
    EXPECT_TRUE(none.days.empty());
    EXPECT_TRUE(none.problems.empty());

    folder.writeLines(kSchoolCalendarFile, {schoolCalendarHeader()});
    EXPECT_TRUE(readSchoolCalendar(folder.appFolder()).days.empty());

    // Bytes that are no CP932 text: the whole file is refused, not read as stray characters.
    folder.writeBytes(kSchoolCalendarFile,
                      test::DataFolder::cp932Lines({schoolCalendarHeader(), u"2026/05/07,休日"_s}) +
                          "2026/05/08,\x85\x40\r\n");
    try {
        readSchoolCalendar(folder.appFolder());
        ADD_FAILURE() << "no FileError";
    } catch (const FileError& error) {
        EXPECT_EQ(error.errorNumber(), EILSEQ);
        EXPECT_NE(std::string(error.what()).find("line 3"), std::string::npos) << error.what();
    }

    folder.remove(kSchoolCalendarFile);
    std::filesystem::create_directory(folder.file(kSchoolCalendarFile));
    EXPECT_THROW(readSchoolCalendar(folder.appFolder()), FileError);
}

TEST(SchoolCalendarWrite, WhatIsWrittenReadsBackAsTheSameDay) {
    test::DataFolder folder;
    const std::vector<SchoolDay> written = {
        day({2026, 8, 12}, false),
        day({2026, 8, 1}, true, hm(8, 0), hm(28, 59), hm(1, 0)),
        day({2026, 8, 3}, true, hm(7, 5), {}, {}, u"研修, 午後は\"出張\"  "_s),
        day({2026, 8, 4}, false, {}, {}, {}, u"台風😀で休校\r\n翌日"_s),
    };
    for (const SchoolDay& d : written) {
        appendSchoolDay(folder.appFolder(), d);
    }

    // The line as the file holds it.
    EXPECT_EQ(schoolDayLine(written[1]), u"2026/08/01,勤務日,08:00,28:59,01:00"_s);
    EXPECT_EQ(schoolDayLine(written[3]), u"2026/08/04,休日,,,,\"台風😀で休校  翌日\""_s);

    std::vector<SchoolDay> expected;
    int line = 2;
    for (SchoolDay d : written) {
        d.line = line++;
        expected.push_back(d);
    }
    // The file is CP932: a character it lacks comes back as '?'; line breaks became blanks.
    expected[3].note = u"台風?で休校  翌日"_s;
    std::sort(expected.begin(), expected.end(),
              [](const SchoolDay& a, const SchoolDay& b) { return a.date < b.date; });

    const SchoolCalendar calendar = readSchoolCalendar(folder.appFolder());
    EXPECT_TRUE(calendar.problems.empty());
    EXPECT_EQ(daysOf(calendar), expected);
}

TEST(SchoolCalendarWrite, ANewFileGetsItsHeaderOnce) {
    test::DataFolder folder;
    const SchoolDay first = day({2026, 9, 1}, false);
    const SchoolDay second = day({2026, 9, 5}, true, hm(8, 15), hm(12, 15));
    appendSchoolDay(folder.appFolder(), first);
    appendSchoolDay(folder.appFolder(), second);
    EXPECT_EQ(folder.readBytes(kSchoolCalendarFile),
              test::DataFolder::cp932Lines(
                  {schoolCalendarHeader(), schoolDayLine(first), schoolDayLine(second)}));

    // A file its maker left empty (it stopped before the header) gets the header first.
    folder.writeBytes(kSchoolCalendarFile, {});
    appendSchoolDay(folder.appFolder(), first);
    EXPECT_EQ(folder.readBytes(kSchoolCalendarFile),
              test::DataFolder::cp932Lines({schoolCalendarHeader(), schoolDayLine(first)}));
}

// Writers that start the file at the same moment: one header, first, and every day once. A
// writer refused as busy while another holds the file tries again, as a user would.
TEST(SchoolCalendarWrite, WritersStartingTheFileTogether) {
    constexpr int kWriters = 6;
    for (int round = 0; round < 10; ++round) {
        test::DataFolder folder;
        std::latch start(kWriters);
        std::vector<std::thread> writers;
        for (int i = 0; i < kWriters; ++i) {
            writers.emplace_back([&, i] {
                start.arrive_and_wait();
                for (;;) {
                    try {
                        appendSchoolDay(folder.appFolder(), day(QDate(2026, 10, 1 + i), false));
                        return;
                    } catch (const FileError& error) {
                        if (error.errorNumber() != EWOULDBLOCK) {
                            ADD_FAILURE() << error.what();
                            return;
                        }
                    }
                }
            });
        }
        for (std::thread& writer : writers) {
            writer.join();
        }
        const QStringList lines = splitLines(decodeCp932(folder.readBytes(kSchoolCalendarFile)));
        ASSERT_EQ(lines.size(), kWriters + 1) << lines.join(u'|').toStdString();
        EXPECT_EQ(lines[0], schoolCalendarHeader());
        const SchoolCalendar calendar = readSchoolCalendar(folder.appFolder());
        EXPECT_EQ(calendar.days.size(), std::size_t{kWriters});
        EXPECT_TRUE(calendar.problems.empty());
    }
}

TEST(SchoolCalendarWrite, RefusesALinkAFolderAndAnImpossibleDay) {
    test::DataFolder folder;
    const auto file = folder.file(kSchoolCalendarFile);

    // A link in the file's place: its target is never written.
    const auto target = folder.appFolder() / "elsewhere.txt";
    { std::ofstream(target) << "x"; }
    std::filesystem::create_symlink(target, file);
    EXPECT_THROW(appendSchoolDay(folder.appFolder(), day({2026, 9, 1}, false)), FileError);
    EXPECT_EQ(std::filesystem::file_size(target), 1u);

    std::filesystem::remove(file);
    std::filesystem::create_directory(file);
    EXPECT_THROW(appendSchoolDay(folder.appFolder(), day({2026, 9, 1}, false)), FileError);
    std::filesystem::remove(file);

    EXPECT_THROW(schoolDayLine(day(QDate(), false)), std::invalid_argument);
    EXPECT_THROW(appendSchoolDay(folder.appFolder(), day({2026, 9, 1}, true, hm(29, 0))),
                 std::invalid_argument);
    EXPECT_FALSE(folder.exists(kSchoolCalendarFile));  // nothing made for a day not written
}

}  // namespace
}  // namespace tavomi
