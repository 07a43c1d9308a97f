// The card tool, as the office runs it, against the real pcscd of the PC/SC rig with
// virtual cards: reading a card, registering one that the time clock then finds, and
// refusals that leave the cardholder list as it was.
#include "files/cardholder_list.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "support/cardholders.h"
#include "support/data_folder_fixture.h"
#include "support/pcsc_rig_fixture.h"
#include "support/qt_printers.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::VirtualCard;

using test::kHanakoCard;
const QString kNewCard = QStringLiteral("0A1B2C3D4E5F6071");

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// The tool inherits the way to the rig's pcscd from this process.
class CardToolTest : public test::PcscRigTest {
  protected:
    void SetUp() override {
        PcscRigTest::SetUp();
        data.writeLines(kCardholderListFile, test::cardholderListWithHanako());
    }

    ToolRun tool(QStringList arguments, int timeoutSeconds = 10, const char* locale = nullptr) {
        arguments << QStringLiteral("--data")
                  << QString::fromStdString((data.appFolder() / kDataFolderName).string())
                  << QStringLiteral("--timeout") << QString::number(timeoutSeconds);
        QProcess p;
        if (locale) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(u"LC_ALL"_s, QString::fromLatin1(locale));
            p.setProcessEnvironment(env);
        }
        p.start(QStringLiteral(TAVOMI_CARD_PROGRAM), arguments);
        if (!p.waitForFinished(60000)) {
            ADD_FAILURE() << "tavomi-card did not end";
            p.kill();
            p.waitForFinished();
        }
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    std::optional<QString> timeClockHolderOf(const QString& cardId) const {
        CardholderTable table;
        table.load(data.appFolder());
        return table.lookup(cardId);
    }

    test::DataFolder data;
};

struct ReadCase {
    std::string name;
    int reader;
    QString cardId;
    QString holder;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

class CardToolReadTest : public CardToolTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(CardToolReadTest, PrintsReaderIdmAndHolder) {
    const ReadCase& c = GetParam();
    VirtualCard card(c.reader, c.cardId.toStdString());

    const ToolRun run = tool({"read"});

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString reader = QString::fromStdString(rig().readerNames[std::size_t(c.reader)]);
    EXPECT_EQ(run.out,
              QStringLiteral("reader: %1\nIDm: %2\nholder: %3\n").arg(reader, c.cardId, c.holder));
}

INSTANTIATE_TEST_SUITE_P(
    Cards, CardToolReadTest,
    ::testing::Values(ReadCase{"RegisteredOnSecondReader", 1, kHanakoCard, u"山田　花子"_s},
                      ReadCase{"UnknownCard", 0, kNewCard, QStringLiteral("not registered")}),
    [](const auto& info) { return info.param.name; });

// In Japanese the labels change; a holder's control character still shows as its picture.
TEST_F(CardToolTest, ReadsInJapaneseWithTheHoldersControlCharacterAsItsPicture) {
    data.writeLines(kCardholderListFile, test::cardholderListWithHanako()
                                             << kNewCard + u",\"山田\x1b[2J花子\",教諭"_s);
    VirtualCard card(0, kNewCard.toStdString());

    const ToolRun run = tool({"read"}, 10, "ja_JP.UTF-8");

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, u"リーダー：%1\nIDm：%2\n氏名：山田␛[2J花子\n"_s.arg(
                           QString::fromStdString(rig().readerNames[0]), kNewCard));
}

TEST_F(CardToolTest, RegisteredCardIsFoundByTheTimeClock) {
    const QByteArray before = data.readBytes(kCardholderListFile);
    VirtualCard card(0, kNewCard.toStdString());

    const ToolRun run = tool({"register", u"新任　太郎"_s, u"教諭"_s, u"1年2組"_s});

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(data.readBytes(kCardholderListFile),
              before + encodeCp932(kNewCard + u",新任　太郎,教諭,1年2組\r\n"_s));
    EXPECT_EQ(timeClockHolderOf(kNewCard), u"新任　太郎"_s);
    EXPECT_FALSE(data.exists(kLockFile));
}

TEST_F(CardToolTest, ReassignedCardGoesToTheNewHolder) {
    VirtualCard card(0, kHanakoCard.toStdString());

    const ToolRun run = tool({"register", u"佐藤太郎"_s, "--reassign"});

    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(timeClockHolderOf(kHanakoCard), u"佐藤太郎"_s);
}

TEST_F(CardToolTest, NoCardWithinTheTimeIsReported) {
    const ToolRun run = tool({"read"}, 0);

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("no card within 0 s"))) << run.err.toStdString();
    EXPECT_EQ(run.out, QString());
}

struct RefusalCase {
    std::string name;
    QString cardId;  // laid on reader 0
    QString holder;
    QString reason;  // what the one line says
    bool listMissing = false;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.name;
}

class CardToolRefusalTest : public CardToolTest,
                            public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(CardToolRefusalTest, LeavesTheListByteIdentical) {
    const RefusalCase& c = GetParam();
    if (c.listMissing) {
        data.remove(kCardholderListFile);
    }
    const QByteArray before = c.listMissing ? QByteArray() : data.readBytes(kCardholderListFile);
    VirtualCard card(0, c.cardId.toStdString());

    const ToolRun run = tool({"register", c.holder, u"教諭"_s});

    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("tavomi-card: not registered: ")))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(c.reason)) << run.err.toStdString();
    EXPECT_EQ(run.err.count(u'\n'), 1) << run.err.toStdString();
    EXPECT_EQ(data.exists(kCardholderListFile), !c.listMissing);
    if (!c.listMissing) {
        EXPECT_EQ(data.readBytes(kCardholderListFile), before);
    }
    EXPECT_FALSE(data.exists(kLockFile));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CardToolRefusalTest,
    ::testing::Values(RefusalCase{"EmptyName", kNewCard, QString(""), "the name is empty"},
                      RefusalCase{"Comma", kNewCard, u"佐藤,太郎"_s, "comma"},
                      RefusalCase{"DoubleQuote", kNewCard, u"佐藤\"太郎"_s, "double quote"},
                      RefusalCase{"HalfWidthSpace", kNewCard, u"佐藤 太郎"_s, "half-width space"},
                      RefusalCase{"NotInCp932", kNewCard, u"𠮷田"_s, "CP932 cannot write"},
                      RefusalCase{"CardAlreadyRegistered", kHanakoCard, u"佐藤太郎"_s,
                                  u"already registered to 山田　花子"_s},
                      RefusalCase{"NoCardholderList", kNewCard, u"佐藤太郎"_s, "no cardholder list",
                                  true}),
    [](const auto& info) { return info.param.name; });

// A hung smart-card service answers no poll: the wait still ends, about its time after.
TEST_F(CardToolTest, AFrozenServiceEndsTheWaitWithAClearMessage) {
    const test::PcscServiceFrozen frozen;
    const ToolRun run = tool({QStringLiteral("read")}, 1);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("does not answer"))) << run.err.toStdString();
}

}  // namespace
}  // namespace tavomi
