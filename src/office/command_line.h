#pragma once

#include "report/report_period.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace tavomi {

// The usage texts in English; cardUsage() and reportUsage() give them in the tools' language.
inline constexpr const char* kCardUsage = QT_TRANSLATE_NOOP(
    "tavomi-card",
    "usage: tavomi-card read [--timeout S] [--data DIR]\n"
    "       tavomi-card register NAME [PARTICULARS...] [--reassign] [--timeout S] [--data DIR]\n"
    "       tavomi-card retire IDM [--yes] [--data DIR]\n"
    "  read      wait for a FeliCa card and print its reader, IDm and holder\n"
    "  register  wait for a card and add it to the cardholder list as NAME\n"
    "  retire    take a card (lost or returned) off the cardholder list, after asking\n"
    "  --yes        retire without asking\n"
    "  --timeout S  give up after S seconds without a card (default 30; 0: look once)\n"
    "  --reassign   give a registered card to NAME (the list's last line for a card wins)\n"
    "  --data DIR   the data folder (default: attendance_manegement beside the program)\n");

inline constexpr const char* kReportUsage = QT_TRANSLATE_NOOP(
    "tavomi-report",
    "usage: tavomi-report today [--date YYYY/MM/DD] [--data DIR]\n"
    "       tavomi-report --date YYYY/MM/DD [--data DIR]\n"
    "       tavomi-report month YYYY/MM [--csv FILE] [--pdf FILE] [--xlsx FILE] [--data DIR]\n"
    "         (the month also as YYYY-MM, YYYY/M, or M月 for the latest such month)\n"
    "  today  each teacher's records of the day and where each stands now\n"
    "  month  each teacher's time sheet of the month; with --csv, --pdf or --xlsx, written\n"
    "         to FILE (CSV in CP932 for a spreadsheet; PDF with one A4 page per teacher;\n"
    "         a workbook with the principal's and the board's sheets and one a teacher)\n"
    "  --data DIR  the data folder (default: attendance_manegement beside the program)\n");

inline constexpr const char* kOfficeUsage =
    "usage: tavomi-office [--data DIR]\n"
    "  the office's window: who is in today, a month's time sheets (CSV, PDF, Excel), and\n"
    "  registering a card laid on the reader\n"
    "  --data DIR  the data folder (default: attendance_manegement beside the program)\n";

inline constexpr int kDefaultCardTimeoutSeconds = 30;

struct CardCommand {
    enum class Action { Read, Register, Retire, Help };
    Action action = Action::Help;
    QString cardId;          // retire
    bool confirmed = false;  // retire --yes
    QString name;
    QStringList particulars;
    bool reassign = false;
    int timeoutSeconds = kDefaultCardTimeoutSeconds;
    QString dataFolder;  // null: beside the program
};

struct ReportCommand {
    enum class Action { Today, Month, Help };
    Action action = Action::Help;
    std::optional<QDate> date;          // today: the day asked for, else the clock's date
    std::optional<ReportPeriod> month;  // month
    QString csvFile;
    QString pdfFile;
    QString xlsxFile;
    QString dataFolder;
};

struct OfficeCommand {
    bool help = false;
    QString dataFolder;  // null: beside the program
};

QString cardUsage();
QString reportUsage();

// The arguments after the program's name; a text is a one-line usage error, in the tools'
// language.
std::variant<CardCommand, QString> parseCardCommand(const QStringList& arguments);
// `today` places a month given as 7月.
std::variant<ReportCommand, QString> parseReportCommand(const QStringList& arguments,
                                                        const QDate& today);
std::variant<OfficeCommand, QString> parseOfficeCommand(const QStringList& arguments);

}  // namespace tavomi
