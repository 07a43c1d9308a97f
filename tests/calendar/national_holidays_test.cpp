#include "calendar/national_holidays.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

struct Holiday {
    int month;
    int day;
    const char16_t* name;
};

// Every day of the year that the function calls a holiday, with its name.
std::map<QDate, QString> holidaysOf(int year) {
    std::map<QDate, QString> found;
    for (QDate date(year, 1, 1); date.year() == year; date = date.addDays(1)) {
        const auto name = nationalHolidayName(date);
        EXPECT_EQ(isNationalHoliday(date), name.has_value())
            << date.toString(Qt::ISODate).toStdString();
        if (name) {
            found.emplace(date, *name);
        }
    }
    return found;
}

void expectYear(int year, const std::vector<Holiday>& published) {
    std::map<QDate, QString> expected;
    for (const Holiday& h : published) {
        expected.emplace(QDate(year, h.month, h.day), QString::fromUtf16(h.name));
    }
    const auto found = holidaysOf(year);
    for (const auto& [date, name] : expected) {
        const auto it = found.find(date);
        EXPECT_TRUE(it != found.end() && it->second == name)
            << "missing or misnamed: " << date.toString(Qt::ISODate).toStdString() << " "
            << name.toStdString();
    }
    for (const auto& [date, name] : found) {
        EXPECT_TRUE(expected.count(date))
            << "not a holiday: " << date.toString(Qt::ISODate).toStdString() << " "
            << name.toStdString();
    }
    EXPECT_EQ(found.size(), expected.size()) << year;
}

// The years below as the Cabinet Office lists them.

TEST(NationalHolidays, Year2019WithTheEnthronement) {
    expectYear(2019, {{1, 1, u"元日"},
                      {1, 14, u"成人の日"},
                      {2, 11, u"建国記念の日"},
                      {3, 21, u"春分の日"},
                      {4, 29, u"昭和の日"},
                      {4, 30, u"国民の休日"},
                      {5, 1, u"即位の日"},
                      {5, 2, u"国民の休日"},
                      {5, 3, u"憲法記念日"},
                      {5, 4, u"みどりの日"},
                      {5, 5, u"こどもの日"},
                      {5, 6, u"振替休日"},
                      {7, 15, u"海の日"},
                      {8, 11, u"山の日"},
                      {8, 12, u"振替休日"},
                      {9, 16, u"敬老の日"},
                      {9, 23, u"秋分の日"},
                      {10, 14, u"体育の日"},
                      {10, 22, u"即位礼正殿の儀"},
                      {11, 3, u"文化の日"},
                      {11, 4, u"振替休日"},
                      {11, 23, u"勤労感謝の日"}});
}

TEST(NationalHolidays, Year2020WithTheOlympicMoves) {
    expectYear(2020, {{1, 1, u"元日"},
                      {1, 13, u"成人の日"},
                      {2, 11, u"建国記念の日"},
                      {2, 23, u"天皇誕生日"},
                      {2, 24, u"振替休日"},
                      {3, 20, u"春分の日"},
                      {4, 29, u"昭和の日"},
                      {5, 3, u"憲法記念日"},
                      {5, 4, u"みどりの日"},
                      {5, 5, u"こどもの日"},
                      {5, 6, u"振替休日"},
                      {7, 23, u"海の日"},
                      {7, 24, u"スポーツの日"},
                      {8, 10, u"山の日"},
                      {9, 21, u"敬老の日"},
                      {9, 22, u"秋分の日"},
                      {11, 3, u"文化の日"},
                      {11, 23, u"勤労感謝の日"}});
}

TEST(NationalHolidays, Year2021WithTheOlympicMoves) {
    expectYear(2021, {{1, 1, u"元日"},
                      {1, 11, u"成人の日"},
                      {2, 11, u"建国記念の日"},
                      {2, 23, u"天皇誕生日"},
                      {3, 20, u"春分の日"},
                      {4, 29, u"昭和の日"},
                      {5, 3, u"憲法記念日"},
                      {5, 4, u"みどりの日"},
                      {5, 5, u"こどもの日"},
                      {7, 22, u"海の日"},
                      {7, 23, u"スポーツの日"},
                      {8, 8, u"山の日"},
                      {8, 9, u"振替休日"},
                      {9, 20, u"敬老の日"},
                      {9, 23, u"秋分の日"},
                      {11, 3, u"文化の日"},
                      {11, 23, u"勤労感謝の日"}});
}

TEST(NationalHolidays, Year2024) {
    expectYear(2024, {{1, 1, u"元日"},       {1, 8, u"成人の日"},    {2, 11, u"建国記念の日"},
                      {2, 12, u"振替休日"},  {2, 23, u"天皇誕生日"}, {3, 20, u"春分の日"},
                      {4, 29, u"昭和の日"},  {5, 3, u"憲法記念日"},  {5, 4, u"みどりの日"},
                      {5, 5, u"こどもの日"}, {5, 6, u"振替休日"},    {7, 15, u"海の日"},
                      {8, 11, u"山の日"},    {8, 12, u"振替休日"},   {9, 16, u"敬老の日"},
                      {9, 22, u"秋分の日"},  {9, 23, u"振替休日"},   {10, 14, u"スポーツの日"},
                      {11, 3, u"文化の日"},  {11, 4, u"振替休日"},   {11, 23, u"勤労感謝の日"}});
}

TEST(NationalHolidays, Year2025) {
    expectYear(2025, {{1, 1, u"元日"},
                      {1, 13, u"成人の日"},
                      {2, 11, u"建国記念の日"},
                      {2, 23, u"天皇誕生日"},
                      {2, 24, u"振替休日"},
                      {3, 20, u"春分の日"},
                      {4, 29, u"昭和の日"},
                      {5, 3, u"憲法記念日"},
                      {5, 4, u"みどりの日"},
                      {5, 5, u"こどもの日"},
                      {5, 6, u"振替休日"},
                      {7, 21, u"海の日"},
                      {8, 11, u"山の日"},
                      {9, 15, u"敬老の日"},
                      {9, 23, u"秋分の日"},
                      {10, 13, u"スポーツの日"},
                      {11, 3, u"文化の日"},
                      {11, 23, u"勤労感謝の日"},
                      {11, 24, u"振替休日"}});
}

TEST(NationalHolidays, Year2026) {
    expectYear(2026, {{1, 1, u"元日"},
                      {1, 12, u"成人の日"},
                      {2, 11, u"建国記念の日"},
                      {2, 23, u"天皇誕生日"},
                      {3, 20, u"春分の日"},
                      {4, 29, u"昭和の日"},
                      {5, 3, u"憲法記念日"},
                      {5, 4, u"みどりの日"},
                      {5, 5, u"こどもの日"},
                      {5, 6, u"振替休日"},
                      {7, 20, u"海の日"},
                      {8, 11, u"山の日"},
                      {9, 21, u"敬老の日"},
                      {9, 22, u"国民の休日"},
                      {9, 23, u"秋分の日"},
                      {10, 12, u"スポーツの日"},
                      {11, 3, u"文化の日"},
                      {11, 23, u"勤労感謝の日"}});
}

// The law's changes over the years, each on either side of its date.
TEST(NationalHolidays, RulesOfTheirTime) {
    const struct {
        QDate date;
        std::optional<QString> name;
    } cases[] = {
        // The emperor's birthday and the days 29 April and 4 May became.
        {{1988, 4, 29}, u"天皇誕生日"_s},
        {{1989, 4, 29}, u"みどりの日"_s},
        {{1989, 12, 23}, u"天皇誕生日"_s},
        {{2018, 12, 23}, u"天皇誕生日"_s},
        {{2018, 12, 24}, u"振替休日"_s},
        {{2019, 12, 23}, std::nullopt},
        {{2006, 4, 29}, u"みどりの日"_s},
        {{2007, 4, 29}, u"昭和の日"_s},
        {{2007, 4, 30}, u"振替休日"_s},
        {{2007, 5, 4}, u"みどりの日"_s},
        // The citizens' holiday: not before 27 December 1985, not on a Sunday until 2006.
        {{1985, 5, 4}, std::nullopt},
        {{1986, 5, 4}, std::nullopt},
        {{1988, 5, 4}, u"国民の休日"_s},
        {{2006, 5, 4}, u"国民の休日"_s},
        {{2009, 9, 22}, u"国民の休日"_s},
        {{2015, 9, 22}, u"国民の休日"_s},
        // The substitute holiday: from 12 April 1973; the day after only, until 2006.
        {{1973, 2, 12}, std::nullopt},
        {{1973, 4, 30}, u"振替休日"_s},
        {{1999, 10, 11}, u"振替休日"_s},
        {{2002, 9, 16}, u"振替休日"_s},
        {{2008, 5, 6}, u"振替休日"_s},
        // Fixed days that became Mondays, and the new days.
        {{1999, 1, 15}, u"成人の日"_s},
        {{2000, 1, 15}, std::nullopt},
        {{2000, 1, 10}, u"成人の日"_s},
        {{1999, 10, 10}, u"体育の日"_s},
        {{2000, 10, 9}, u"体育の日"_s},
        {{2019, 10, 14}, u"体育の日"_s},
        {{2022, 10, 10}, u"スポーツの日"_s},
        {{1995, 7, 20}, std::nullopt},
        {{1996, 7, 20}, u"海の日"_s},
        {{2003, 7, 21}, u"海の日"_s},
        {{2002, 9, 15}, u"敬老の日"_s},
        {{2003, 9, 15}, u"敬老の日"_s},
        {{2015, 8, 11}, std::nullopt},
        {{2016, 8, 11}, u"山の日"_s},
        // The Olympic years' usual days were working days.
        {{2020, 7, 20}, std::nullopt},
        {{2020, 10, 12}, std::nullopt},
        {{2021, 7, 19}, std::nullopt},
        {{2021, 8, 11}, std::nullopt},
        {{2021, 10, 11}, std::nullopt},
        // One-off days of special laws.
        {{1989, 2, 24}, u"昭和天皇の大喪の礼"_s},
        {{1990, 11, 12}, u"即位礼正殿の儀"_s},
        {{1993, 6, 9}, u"皇太子徳仁親王の結婚の儀"_s},
        // Equinoxes of the almanac.
        {{1980, 3, 20}, u"春分の日"_s},
        {{1980, 9, 23}, u"秋分の日"_s},
        {{2012, 9, 22}, u"秋分の日"_s},
        {{2016, 9, 22}, u"秋分の日"_s},
        {{2023, 3, 21}, u"春分の日"_s},
        // The law came into force on 20 July 1948.
        {{1948, 5, 3}, std::nullopt},
        {{1948, 11, 3}, u"文化の日"_s},
        {QDate(), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nationalHolidayName(c.date), c.name)
            << c.date.toString(Qt::ISODate).toStdString();
    }
}

}  // namespace
}  // namespace tavomi
