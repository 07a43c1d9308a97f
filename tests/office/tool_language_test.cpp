// The tools' language: each program, run as the office runs it, words its usage errors and
// file errors in English or, in a Japanese locale, in Japanese; and every text the tools
// mark for translation has its Japanese in the .ts.
#include "files/data_folder.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using ::testing::StartsWith;

// The locales as the tests give them. No ja_JP locale need be installed: Qt takes the
// language from the variables' names. LC_ALL comes first, as in the C library.
const QStringList kEnglish = {u"LC_ALL=C.UTF-8"_s, u"LANG=C.UTF-8"_s};
const QStringList kJapanese = {u"LC_ALL=ja_JP.UTF-8"_s, u"LANG=ja_JP.UTF-8"_s};

struct LanguageCase {
    std::string name;
    const char* program;
    QStringList environment;
    QStringList arguments;  // "DATA" stands for the data folder
    int exitCode;
    QString firstLine;  // "DATA" as above; the rest of the line is the system's own text
    QString usage;      // how the usage after the first line begins, or empty: none
};

void PrintTo(const LanguageCase& c, std::ostream* os) {
    *os << c.name;
}

class ToolLanguageTest : public ::testing::TestWithParam<LanguageCase> {
  protected:
    void SetUp() override {
        // No journal and no cardholder list: the file errors the tools meet first.
        data.remove(kJournalFile);
        data.remove(kCardholderListFile);
    }

    QString dataPath() const {
        return QString::fromStdString((data.appFolder() / kDataFolderName).string());
    }

    test::DataFolder data;
};

TEST_P(ToolLanguageTest, WordsUsageAndFileErrorsInTheLocalesLanguage) {
    const LanguageCase& c = GetParam();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        env.remove(QString::fromLatin1(name));
    }
    for (const QString& assignment : c.environment) {
        env.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    }
    QStringList arguments = c.arguments;
    arguments.replaceInStrings(u"DATA"_s, dataPath());

    QProcess tool;
    tool.setProcessEnvironment(env);
    tool.start(QString::fromLatin1(c.program), arguments);
    ASSERT_TRUE(tool.waitForFinished(30000));
    const QStringList err = QString::fromUtf8(tool.readAllStandardError()).split(u'\n');

    EXPECT_EQ(tool.exitCode(), c.exitCode);
    const QString firstLine = QString(c.firstLine).replace(u"DATA"_s, dataPath());
    EXPECT_THAT(err.front().toStdString(), StartsWith(firstLine.toStdString()));
    if (c.usage.isEmpty()) {
        EXPECT_EQ(err.size(), 2) << err.join(u'\n').toStdString();
    } else {
        ASSERT_GT(err.size(), 1);
        EXPECT_THAT(err[1].toStdString(), StartsWith(c.usage.toStdString()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolLanguageTest,
    ::testing::Values(
        LanguageCase{"CardUsageEnglish",
                     TAVOMI_CARD_PROGRAM,
                     kEnglish,
                     {"punch"},
                     2,
                     u"tavomi-card: unknown command punch"_s,
                     u"usage: tavomi-card read"_s},
        LanguageCase{"CardUsageJapanese",
                     TAVOMI_CARD_PROGRAM,
                     kJapanese,
                     {"punch"},
                     2,
                     u"tavomi-card: punch というコマンドはありません"_s,
                     u"使い方: tavomi-card read"_s},
        LanguageCase{"CardFileEnglish",
                     TAVOMI_CARD_PROGRAM,
                     kEnglish,
                     {"register", u"山田　花子"_s, "--data", "DATA"},
                     1,
                     u"tavomi-card: not registered: there is no cardholder list "
                     u"DATA/associate_with_card.txt"_s,
                     {}},
        LanguageCase{"CardFileJapanese",
                     TAVOMI_CARD_PROGRAM,
                     kJapanese,
                     {"register", u"山田　花子"_s, "--data", "DATA"},
                     1,
                     u"tavomi-card: 登録しませんでした：カード登録ファイル"
                     u"（DATA/associate_with_card.txt）がありません"_s,
                     {}},
        LanguageCase{"ReportUsageEnglish",
                     TAVOMI_REPORT_PROGRAM,
                     kEnglish,
                     {"month", u"13月"_s},
                     2,
                     u"tavomi-report: month needs a month written YYYY/MM, not 13月"_s,
                     u"usage: tavomi-report today"_s},
        LanguageCase{"ReportUsageJapanese",
                     TAVOMI_REPORT_PROGRAM,
                     kJapanese,
                     {"month", u"13月"_s},
                     2,
                     u"tavomi-report: month には月を YYYY/MM で指定してください"
                     u"（13月 は月として読めません）"_s,
                     u"使い方: tavomi-report today"_s},
        LanguageCase{"ReportFileEnglish",
                     TAVOMI_REPORT_PROGRAM,
                     kEnglish,
                     {"today", "--data", "DATA"},
                     1,
                     u"tavomi-report: cannot open DATA/keeper.txt: "_s,
                     {}},
        LanguageCase{"ReportFileJapanese",
                     TAVOMI_REPORT_PROGRAM,
                     kJapanese,
                     {"today", "--data", "DATA"},
                     1,
                     u"tavomi-report: ファイルを開くことができませんでした　"
                     u"ファイル：DATA/keeper.txt　理由：ファイルがありません"_s,
                     {}},
        // LC_ALL outweighs LANG, and LC_MESSAGES alone is enough.
        LanguageCase{"AllOverLang",
                     TAVOMI_REPORT_PROGRAM,
                     {u"LANG=ja_JP.UTF-8"_s, u"LC_ALL=C.UTF-8"_s},
                     {"month", u"13月"_s},
                     2,
                     u"tavomi-report: month needs a month written YYYY/MM, not 13月"_s,
                     u"usage: tavomi-report today"_s},
        LanguageCase{"MessagesAlone",
                     TAVOMI_CARD_PROGRAM,
                     {u"LANG=C.UTF-8"_s, u"LC_MESSAGES=ja_JP.UTF-8"_s},
                     {"punch"},
                     2,
                     u"tavomi-card: punch というコマンドはありません"_s,
                     u"使い方: tavomi-card read"_s}),
    [](const auto& info) { return info.param.name; });

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

std::vector<Message> readMessages(const QString& tsFile) {
    QFile file(tsFile);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << tsFile.toStdString();
        return {};
    }
    std::vector<Message> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"name"_s) {
            context = xml.readElementText();
        } else if (xml.name() == u"message"_s) {
            messages.push_back({context, {}, {}, false});
        } else if (xml.name() == u"source"_s) {
            messages.back().source = xml.readElementText();
        } else if (xml.name() == u"translation"_s) {
            messages.back().finished = xml.attributes().value(u"type"_s).isEmpty();
            messages.back().translation = xml.readElementText();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

QStringList placeholders(const QString& text) {
    static const QRegularExpression placeholder(u"%\\d"_s);
    QStringList found;
    for (const auto& match : placeholder.globalMatch(text)) {
        found.append(match.captured());
    }
    found.sort();
    return found;
}

// lupdate over the tools' sources, on a copy of the .ts, must find every text there with
// its Japanese, each with the same placeholders, and drop none (no text gone stale).
TEST(TranslationTest, EveryTextOfTheToolsHasItsJapanese) {
    QTemporaryDir dir;
    const QString copy = dir.filePath(u"tavomi_ja.ts"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(TAVOMI_TRANSLATIONS), copy));
    ASSERT_TRUE(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner));
    QProcess lupdate;
    lupdate.start(QStringLiteral(TAVOMI_LUPDATE),
                  QStringLiteral(TAVOMI_LUPDATE_OPTIONS).split(u' ') +
                      QStringLiteral(TAVOMI_TOOL_SOURCES).split(u'|') +
                      QStringList{u"-ts"_s, copy});
    ASSERT_TRUE(lupdate.waitForFinished(60000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

    const auto messages = readMessages(copy);
    EXPECT_GT(messages.size(), 40u);
    for (const Message& m : messages) {
        SCOPED_TRACE(m.context.toStdString() + ": " + m.source.toStdString());
        EXPECT_TRUE(m.finished);
        EXPECT_FALSE(m.translation.isEmpty());
        EXPECT_EQ(placeholders(m.translation), placeholders(m.source));
        EXPECT_EQ(m.translation.endsWith(u'\n'), m.source.endsWith(u'\n'));
    }
    auto texts = [](const std::vector<Message>& messages) {
        QStringList keys;
        for (const Message& m : messages) {
            keys.append(m.context + u": "_s + m.source);
        }
        return keys;
    };
    EXPECT_EQ(texts(readMessages(QStringLiteral(TAVOMI_TRANSLATIONS))), texts(messages))
        << "ninja update_translations brings the .ts up to date";
}

}  // namespace
}  // namespace tavomi
