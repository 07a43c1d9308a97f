#include "office/command_line.h"

#include "record/punch_record.h"

#include <QCoreApplication>

#include <map>

namespace tavomi {

QString cardUsage() {
    return QCoreApplication::translate("tavomi-card", kCardUsage);
}

QString reportUsage() {
    return QCoreApplication::translate("tavomi-report", kReportUsage);
}

namespace {

// Options (--name VALUE, --name=VALUE or a bare --flag) apart from the other words;
// "--" ends the options, so a name may begin with a dash.
struct Words {
    QStringList plain;
    std::map<QString, QString> options;  // a flag has an empty value
};

std::variant<Words, QString> splitWords(const QStringList& arguments, const QStringList& flags,
                                        const QStringList& valued) {
    Words words;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments[i];
        if (optionsEnded || !word.startsWith(u'-') || word == u'-') {
            words.plain.append(word);
            continue;
        }
        if (word == QStringLiteral("--")) {
            optionsEnded = true;
            continue;
        }
        if (word == QStringLiteral("-h") || word == QStringLiteral("--help")) {
            words.options[QStringLiteral("--help")] = QString();
            continue;
        }
        const qsizetype equals = word.indexOf(u'=');
        const QString name = equals < 0 ? word : word.left(equals);
        if (flags.contains(name) && equals < 0) {
            words.options[name] = QString();
        } else if (valued.contains(name)) {
            if (equals >= 0) {
                words.options[name] = word.mid(equals + 1);
            } else if (i + 1 < arguments.size()) {
                words.options[name] = arguments[++i];
            } else {
                return QCoreApplication::translate("tavomi-tools", "%1 needs a value").arg(name);
            }
        } else {
            return QCoreApplication::translate("tavomi-tools", "unknown option %1").arg(word);
        }
    }
    return words;
}

QString optionValue(const Words& words, const char* name) {
    const auto found = words.options.find(QLatin1String(name));
    return found == words.options.end() ? QString() : found->second;
}

bool hasOption(const Words& words, const char* name) {
    return words.options.count(QLatin1String(name)) > 0;
}

}  // namespace

std::variant<CardCommand, QString> parseCardCommand(const QStringList& arguments) {
    const auto split =
        splitWords(arguments, {QStringLiteral("--reassign"), QStringLiteral("--yes")},
                   {QStringLiteral("--timeout"), QStringLiteral("--data")});
    if (const auto* error = std::get_if<QString>(&split)) {
        return *error;
    }
    const Words& words = std::get<Words>(split);
    CardCommand command;
    if (hasOption(words, "--help")) {
        return command;
    }
    if (words.plain.isEmpty()) {
        return QCoreApplication::translate("tavomi-card", "say read, register or retire");
    }
    const QString& action = words.plain.front();
    if (action == QStringLiteral("read")) {
        if (words.plain.size() > 1) {
            return QCoreApplication::translate("tavomi-card", "read takes no names");
        }
        if (hasOption(words, "--reassign")) {
            return QCoreApplication::translate("tavomi-card", "--reassign belongs to register");
        }
        command.action = CardCommand::Action::Read;
    } else if (action == QStringLiteral("register")) {
        if (words.plain.size() < 2) {
            return QCoreApplication::translate("tavomi-card", "register needs the holder's name");
        }
        command.action = CardCommand::Action::Register;
        command.name = words.plain[1];
        command.particulars = words.plain.mid(2);
        command.reassign = hasOption(words, "--reassign");
    } else if (action == QStringLiteral("retire")) {
        if (words.plain.size() != 2) {
            return QCoreApplication::translate("tavomi-card", "retire needs the card's IDm");
        }
        command.action = CardCommand::Action::Retire;
        command.cardId = words.plain[1].toUpper();
        command.confirmed = hasOption(words, "--yes");
    } else {
        return QCoreApplication::translate("tavomi-card", "unknown command %1").arg(action);
    }
    if (hasOption(words, "--timeout")) {
        bool ok = false;
        command.timeoutSeconds = optionValue(words, "--timeout").toInt(&ok);
        if (!ok || command.timeoutSeconds < 0) {
            return QCoreApplication::translate("tavomi-card",
                                               "--timeout needs a whole number of seconds");
        }
    }
    if (hasOption(words, "--data")) {
        command.dataFolder = optionValue(words, "--data");
        if (command.dataFolder.isNull()) {
            command.dataFolder = QStringLiteral("");
        }
    }
    return command;
}

std::variant<ReportCommand, QString> parseReportCommand(const QStringList& arguments,
                                                        const QDate& today) {
    const auto split =
        splitWords(arguments, {},
                   {QStringLiteral("--date"), QStringLiteral("--csv"), QStringLiteral("--pdf"),
                    QStringLiteral("--xlsx"), QStringLiteral("--data")});
    if (const auto* error = std::get_if<QString>(&split)) {
        return *error;
    }
    const Words& words = std::get<Words>(split);
    ReportCommand command;
    if (hasOption(words, "--help")) {
        return command;
    }
    // A day asked for alone is that day's "today".
    const bool dayAlone = words.plain.isEmpty() && hasOption(words, "--date");
    if (words.plain.isEmpty() && !dayAlone) {
        return QCoreApplication::translate("tavomi-report", "say today or month");
    }
    const QString action = dayAlone ? QStringLiteral("today") : words.plain.front();
    if (action == QStringLiteral("today")) {
        if (words.plain.size() > (dayAlone ? 0 : 1)) {
            return QCoreApplication::translate(
                "tavomi-report", "today takes no other words (a date goes with --date)");
        }
        if (hasOption(words, "--csv") || hasOption(words, "--pdf") || hasOption(words, "--xlsx")) {
            return QCoreApplication::translate("tavomi-report",
                                               "--csv, --pdf and --xlsx belong to month");
        }
        command.action = ReportCommand::Action::Today;
        if (hasOption(words, "--date")) {
            command.date = readRecordDate(optionValue(words, "--date"));
            if (!command.date) {
                return QCoreApplication::translate("tavomi-report",
                                                   "--date needs a date written YYYY/MM/DD");
            }
        }
    } else if (action == QStringLiteral("month")) {
        if (words.plain.size() != 2) {
            return QCoreApplication::translate("tavomi-report",
                                               "month needs one month, written YYYY/MM");
        }
        if (hasOption(words, "--date")) {
            return QCoreApplication::translate("tavomi-report", "--date belongs to today");
        }
        command.action = ReportCommand::Action::Month;
        command.month = ReportPeriod::parseMonth(words.plain[1], today);
        if (!command.month) {
            return QCoreApplication::translate("tavomi-report",
                                               "month needs a month written YYYY/MM, not %1")
                .arg(words.plain[1]);
        }
        command.csvFile = optionValue(words, "--csv");
        command.pdfFile = optionValue(words, "--pdf");
        command.xlsxFile = optionValue(words, "--xlsx");
        if ((hasOption(words, "--csv") && command.csvFile.isEmpty()) ||
            (hasOption(words, "--pdf") && command.pdfFile.isEmpty()) ||
            (hasOption(words, "--xlsx") && command.xlsxFile.isEmpty())) {
            return QCoreApplication::translate("tavomi-report",
                                               "--csv, --pdf and --xlsx need a file");
        }
    } else {
        return QCoreApplication::translate("tavomi-report", "unknown command %1").arg(action);
    }
    if (hasOption(words, "--data")) {
        command.dataFolder = optionValue(words, "--data");
        if (command.dataFolder.isNull()) {
            command.dataFolder = QStringLiteral("");
        }
    }
    return command;
}

std::variant<OfficeCommand, QString> parseOfficeCommand(const QStringList& arguments) {
    const auto split = splitWords(arguments, {}, {QStringLiteral("--data")});
    if (const auto* error = std::get_if<QString>(&split)) {
        return *error;
    }
    const Words& words = std::get<Words>(split);
    OfficeCommand command;
    command.help = hasOption(words, "--help");
    if (!words.plain.isEmpty()) {
        return QStringLiteral("unexpected word %1").arg(words.plain.front());
    }
    if (hasOption(words, "--data")) {
        command.dataFolder = optionValue(words, "--data");
        if (command.dataFolder.isNull()) {
            command.dataFolder = QStringLiteral("");
        }
    }
    return command;
}

}  // namespace tavomi
