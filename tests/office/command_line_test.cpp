// The tools' command lines, and where --data leads.
#include "office/command_line.h"
#include "office/data_location.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

// A parsed command in a few words, or "error: ..." with the usage error's text.
QString cardSummary(const QStringList& arguments) {
    const auto parsed = parseCardCommand(arguments);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        return QStringLiteral("error: ") + *error;
    }
    const CardCommand& c = std::get<CardCommand>(parsed);
    static const char* actions[] = {"read", "register", "retire", "help"};
    return QStringLiteral("%1 [%2] [%3]%4 timeout %5 data [%6]")
        .arg(QLatin1String(actions[int(c.action)]),
             c.action == CardCommand::Action::Retire ? c.cardId : c.name, c.particulars.join(u'|'),
             c.reassign ? QStringLiteral(" reassign")
                        : (c.confirmed ? QStringLiteral(" yes") : QString()))
        .arg(c.timeoutSeconds)
        .arg(c.dataFolder.isNull() ? QStringLiteral("beside") : c.dataFolder);
}

QString reportSummary(const QStringList& arguments) {
    // The day a month written as 7月 is placed from.
    const auto parsed = parseReportCommand(arguments, QDate(2026, 7, 15));
    if (const auto* error = std::get_if<QString>(&parsed)) {
        return QStringLiteral("error: ") + *error;
    }
    const ReportCommand& c = std::get<ReportCommand>(parsed);
    static const char* actions[] = {"today", "month", "help"};
    QString text = QLatin1String(actions[int(c.action)]);
    if (c.date) {
        text += u' ' + c.date->toString(Qt::ISODate);
    }
    if (c.month) {
        text += u' ' + c.month->first().toString(Qt::ISODate) + QStringLiteral("..") +
                c.month->last().toString(Qt::ISODate);
    }
    if (!c.csvFile.isEmpty() || !c.pdfFile.isEmpty()) {
        text += QStringLiteral(" csv [%1] pdf [%2]").arg(c.csvFile, c.pdfFile);
    }
    if (!c.xlsxFile.isEmpty()) {
        text += QStringLiteral(" xlsx [%1]").arg(c.xlsxFile);
    }
    return text;
}

struct LineCase {
    QStringList arguments;
    QString summary;
};

TEST(CommandLineTest, CardToolArguments) {
    const std::vector<LineCase> cases = {
        {{"read"}, "read [] [] timeout 30 data [beside]"},
        {{"register", u"山田　花子"_s, u"教諭"_s, "--reassign", "--timeout=5", "--data",
          "/srv/attendance_manegement"},
         u"register [山田　花子] [教諭] reassign timeout 5 data "
         u"[/srv/attendance_manegement]"_s},
        {{"register", "--", "-x", "--y"}, "register [-x] [--y] timeout 30 data [beside]"},
        {{"register"}, "error: register needs the holder's name"},
        {{"read", "extra"}, "error: read takes no names"},
        {{"read", "--reassign"}, "error: --reassign belongs to register"},
        {{"read", "--timeout", "-1"}, "error: --timeout needs a whole number of seconds"},
        {{"read", "--timeout"}, "error: --timeout needs a value"},
        {{"read", "--colour"}, "error: unknown option --colour"},
        {{}, "error: say read, register or retire"},
        // The IDm as the list writes it, in capitals.
        {{"retire", "0123456789abcdef"}, "retire [0123456789ABCDEF] [] timeout 30 data [beside]"},
        {{"retire", "0123456789ABCDEF", "--yes"},
         "retire [0123456789ABCDEF] [] yes timeout 30 data [beside]"},
        {{"retire"}, "error: retire needs the card's IDm"},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(cardSummary(c.arguments), c.summary) << c.arguments.join(u' ').toStdString();
    }
}

TEST(CommandLineTest, ReportToolArguments) {
    const std::vector<LineCase> cases = {
        {{"today"}, "today"},
        {{"today", "--date", "2019/08/28"}, "today 2019-08-28"},
        {{"--date=2019/08/28"}, "today 2019-08-28"},
        {{"month", "2019/02", "--csv", "a.csv", "--pdf", "a.pdf"},
         "month 2019-02-01..2019-02-28 csv [a.csv] pdf [a.pdf]"},
        {{"month", "2020/02"}, "month 2020-02-01..2020-02-29"},
        {{"today", "--date", "2019/8/28"}, "error: --date needs a date written YYYY/MM/DD"},
        {{"today", "--date", "2019/02/30"}, "error: --date needs a date written YYYY/MM/DD"},
        // The ways the office writes a month; 7月 is this July, 8月 last August.
        {{"month", "2019/8"}, "month 2019-08-01..2019-08-31"},
        {{"month", "2026-07"}, "month 2026-07-01..2026-07-31"},
        {{"month", "7月"}, "month 2026-07-01..2026-07-31"},
        {{"month", "８月"}, "month 2025-08-01..2025-08-31"},
        {{"month", "1月"}, "month 2026-01-01..2026-01-31"},
        {{"month", "13月"}, "error: month needs a month written YYYY/MM, not 13月"},
        {{"month", "2026/07/01"}, "error: month needs a month written YYYY/MM, not 2026/07/01"},
        {{"month", "2019/13"}, "error: month needs a month written YYYY/MM, not 2019/13"},
        {{"month"}, "error: month needs one month, written YYYY/MM"},
        {{"month", "2019/08", "--xlsx", u"勤務表.xlsx"_s},
         u"month 2019-08-01..2019-08-31 xlsx [勤務表.xlsx]"_s},
        {{"month", "2019/08", "--pdf="}, "error: --csv, --pdf and --xlsx need a file"},
        {{"month", "2019/08", "--xlsx="}, "error: --csv, --pdf and --xlsx need a file"},
        {{"today", "--csv", "a.csv"}, "error: --csv, --pdf and --xlsx belong to month"},
        {{"today", "--xlsx", "a.xlsx"}, "error: --csv, --pdf and --xlsx belong to month"},
        {{"month", "2019/08", "--date", "2019/08/01"}, "error: --date belongs to today"},
    };
    for (const LineCase& c : cases) {
        EXPECT_EQ(reportSummary(c.arguments), c.summary) << c.arguments.join(u' ').toStdString();
    }
}

TEST(DataLocationTest, DataOptionNamesTheDataFolderItself) {
    const QString appDir = QStringLiteral("/opt/tavomi");
    const std::vector<std::pair<QString, QString>> cases = {
        {QString(), "/opt/tavomi"},
        {"/srv/share/attendance_manegement", "/srv/share"},
        {"/srv/share/attendance_manegement/", "/srv/share"},
        {"/srv/share/attendance_manegement/./", "/srv/share"},
        {"/srv/share/x/../attendance_manegement", "/srv/share"},
        {"/srv/share", "error"},
        {"", "error"},
    };
    for (const auto& [option, expected] : cases) {
        const auto folder = appFolderFor(option, appDir);
        const QString found = std::holds_alternative<QString>(folder)
                                  ? QStringLiteral("error")
                                  : QString::fromStdString(std::get<std::filesystem::path>(folder));
        EXPECT_EQ(found, expected) << option.toStdString();
    }
}

}  // namespace
}  // namespace tavomi
