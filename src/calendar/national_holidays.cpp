#include "calendar/national_holidays.h"

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

const QDate kLawInForce(1948, 7, 20);
constexpr int kLastYear = 2150;  // the equinox approximation's last year

// The day of the month of the nth Monday (1-based) of the month.
int nthMonday(int year, int month, int n) {
    const int firstWeekday = QDate(year, month, 1).dayOfWeek();  // 1 = Monday
    return 1 + (8 - firstWeekday) % 7 + 7 * (n - 1);
}

// The day in March (vernal) or September (autumnal) of the equinox, by the approximation
// the almanacs use: a base day, the tropical year's excess of 0.242194 day a year, less the
// leap days. In millionths of a day, so no rounding of doubles can move a day.
int equinoxDay(int year, bool autumn) {
    long base = 0;
    long leapDays = 0;
    if (year < 1980) {
        base = autumn ? 23'258'800 : 20'835'700;
        leapDays = (year - 1983) / 4;  // truncates towards zero, as the published formula does
    } else if (year < 2100) {
        base = autumn ? 23'248'800 : 20'843'100;
        leapDays = (year - 1980) / 4;
    } else {
        base = autumn ? 24'248'800 : 21'851'000;
        leapDays = (year - 1980) / 4;
    }
    return static_cast<int>((base + 242'194L * (year - 1980) - 1'000'000L * leapDays) / 1'000'000);
}

// A day the law names (a 「国民の祝日」), or a one-off day a special law made a holiday; the
// substitute and citizens' holidays are not among them, they follow from these.
std::optional<QString> namedHoliday(const QDate& date) {
    const int y = date.year();
    const int m = date.month();
    const int d = date.day();
    if (date < kLawInForce || y > kLastYear) {
        return std::nullopt;
    }
    // One-off days: the Shōwa emperor's funeral, the enthronements and two royal weddings.
    // Those of 2019 count as holidays for the substitute and citizens' holidays by their law.
    if (date == QDate(1989, 2, 24)) {
        return u"昭和天皇の大喪の礼"_s;
    }
    if (date == QDate(1990, 11, 12) || date == QDate(2019, 10, 22)) {
        return u"即位礼正殿の儀"_s;
    }
    if (date == QDate(1959, 4, 10)) {
        return u"皇太子明仁親王の結婚の儀"_s;
    }
    if (date == QDate(1993, 6, 9)) {
        return u"皇太子徳仁親王の結婚の儀"_s;
    }
    if (date == QDate(2019, 5, 1)) {
        return u"即位の日"_s;
    }

    // The Olympic years moved three holidays by special laws.
    const bool olympic2020 = y == 2020;
    const bool olympic2021 = y == 2021;

    switch (m) {
        case 1:
            if (d == 1) {
                return u"元日"_s;
            }
            if (y < 2000 ? d == 15 : d == nthMonday(y, 1, 2)) {
                return u"成人の日"_s;
            }
            break;
        case 2:
            if (d == 11 && y >= 1967) {
                return u"建国記念の日"_s;
            }
            if (d == 23 && y >= 2020) {
                return u"天皇誕生日"_s;
            }
            break;
        case 3:
            if (d == equinoxDay(y, false)) {
                return u"春分の日"_s;
            }
            break;
        case 4:
            if (d == 29) {
                if (y <= 1988) {
                    return u"天皇誕生日"_s;
                }
                return y <= 2006 ? u"みどりの日"_s : u"昭和の日"_s;
            }
            break;
        case 5:
            if (d == 3) {
                return u"憲法記念日"_s;
            }
            if (d == 4 && y >= 2007) {
                return u"みどりの日"_s;
            }
            if (d == 5) {
                return u"こどもの日"_s;
            }
            break;
        case 7:
            if (olympic2020 || olympic2021) {
                const int marine = olympic2020 ? 23 : 22;
                if (d == marine) {
                    return u"海の日"_s;
                }
                if (d == marine + 1) {
                    return u"スポーツの日"_s;
                }
            } else if (y >= 1996 && (y < 2003 ? d == 20 : d == nthMonday(y, 7, 3))) {
                return u"海の日"_s;
            }
            break;
        case 8:
            if (y >= 2016 && d == (olympic2020 ? 10 : olympic2021 ? 8 : 11)) {
                return u"山の日"_s;
            }
            break;
        case 9:
            if (y >= 1966 && (y < 2003 ? d == 15 : d == nthMonday(y, 9, 3))) {
                return u"敬老の日"_s;
            }
            if (d == equinoxDay(y, true)) {
                return u"秋分の日"_s;
            }
            break;
        case 10:
            if (y >= 1966 && y < 2000 && d == 10) {
                return u"体育の日"_s;
            }
            if (y >= 2000 && y < 2020 && d == nthMonday(y, 10, 2)) {
                return u"体育の日"_s;
            }
            if (y >= 2022 && d == nthMonday(y, 10, 2)) {
                return u"スポーツの日"_s;
            }
            break;
        case 11:
            if (d == 3) {
                return u"文化の日"_s;
            }
            if (d == 23) {
                return u"勤労感謝の日"_s;
            }
            break;
        case 12:
            if (d == 23 && y >= 1989 && y <= 2018) {
                return u"天皇誕生日"_s;
            }
            break;
        default:
            break;
    }
    return std::nullopt;
}

bool isNamedHoliday(const QDate& date) {
    return namedHoliday(date).has_value();
}

const QDate kSubstituteHolidaysFrom(1973, 4, 12);
const QDate kCitizensHolidaysFrom(1985, 12, 27);
const QDate kAmendmentOf2007(2007, 1, 1);

// A holiday on a Sunday gives the next day off; from 2007, the next day that is no holiday
// itself (a Sunday 3 May then moves to 6 May).
bool isSubstituteHoliday(const QDate& date) {
    if (isNamedHoliday(date)) {
        return false;
    }
    QDate before = date.addDays(-1);
    if (before >= kAmendmentOf2007) {
        while (isNamedHoliday(before) && before.dayOfWeek() != Qt::Sunday) {
            before = before.addDays(-1);
        }
    }
    return before.dayOfWeek() == Qt::Sunday && isNamedHoliday(before) &&
           before >= kSubstituteHolidaysFrom;
}

// A day between two holidays is a day off; until 2006 not when it was a Sunday anyway (or a
// substitute holiday, which is asked first).
bool isCitizensHoliday(const QDate& date) {
    if (date < kCitizensHolidaysFrom || isNamedHoliday(date)) {
        return false;
    }
    if (date < kAmendmentOf2007 && date.dayOfWeek() == Qt::Sunday) {
        return false;
    }
    return isNamedHoliday(date.addDays(-1)) && isNamedHoliday(date.addDays(1));
}

}  // namespace

std::optional<QString> nationalHolidayName(const QDate& date) {
    if (!date.isValid()) {
        return std::nullopt;
    }
    if (auto name = namedHoliday(date)) {
        return name;
    }
    if (isSubstituteHoliday(date)) {
        return u"振替休日"_s;
    }
    if (isCitizensHoliday(date)) {
        return u"国民の休日"_s;
    }
    return std::nullopt;
}

bool isNationalHoliday(const QDate& date) {
    return nationalHolidayName(date).has_value();
}

}  // namespace tavomi
