// What may go into the cardholder list, and registering under the journal's lock.
#include "office/card_registration.h"
#include "office/card_tool.h"

#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"
#include "support/scripted_poller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <functional>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

struct FieldCase {
    std::string name;
    QString field;
    QString refusal;  // a part of the reason; empty when the field is accepted
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

class FieldRefusalTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(FieldRefusalTest, RefusesWhatWouldChangeTheFields) {
    const FieldCase& c = GetParam();
    const auto refusal = fieldRefusal(c.field);
    if (c.refusal.isEmpty()) {
        EXPECT_EQ(refusal, std::nullopt);
    } else {
        ASSERT_TRUE(refusal.has_value());
        EXPECT_TRUE(refusal->contains(c.refusal)) << refusal->toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldRefusalTest,
    ::testing::Values(FieldCase{"FullWidthSpace", u"山田　花子"_s, {}},
                      FieldCase{"HalfWidthKana", u"ﾔﾏﾀﾞ"_s, {}},
                      FieldCase{"ExtensionKanji", u"髙橋﨑①"_s, {}},
                      FieldCase{"Comma", u"山田,花子"_s, "comma"},
                      FieldCase{"DoubleQuote", u"\"山田\""_s, "double quote"},
                      FieldCase{"HalfWidthSpace", u"山田 花子"_s, "half-width space"},
                      FieldCase{"Tab", u"山田\t花子"_s, "control character"},
                      FieldCase{"LineBreak", u"山田\r\n花子"_s, "control character"},
                      FieldCase{"Emoji", u"花子😀"_s, "U+1F600"},
                      FieldCase{"KanjiOutsideCp932", u"𠮷田"_s, "CP932 cannot write"},
                      FieldCase{"LatinOutsideCp932", u"Ünal"_s, "CP932 cannot write"}),
    [](const auto& info) { return info.param.name; });

TEST(NameRefusalTest, AnEmptyNameOrAStrayFullWidthSpaceIsRefused) {
    EXPECT_EQ(nameRefusal(QString()), QStringLiteral("the name is empty"));
    EXPECT_EQ(nameRefusal(u"山田　花子"_s), std::nullopt);
    for (const QString& name : {u"　"_s, u"山田　"_s, u"　花子"_s}) {
        EXPECT_EQ(nameRefusal(name),
                  QStringLiteral("the name begins or ends with a full-width space"))
            << name.toStdString();
    }
}

class RegisterCardTest : public ::testing::Test {
  protected:
    RegisterCardTest() {
        data.writeLines(kCardholderListFile,
                        {u"カードID,氏名,職名"_s, u"0123456789ABCDEF,山田　花子,教諭"_s});
    }

    std::optional<QString> holderOf(const QString& cardId) const {
        CardholderTable table;
        table.load(data.appFolder());
        return table.lookup(cardId);
    }

    test::DataFolder data;
};

// Another writer's lock is left alone, and nothing is written.
TEST_F(RegisterCardTest, BusyWhileTheLockFileExists) {
    data.writeBytes(kLockFile, QByteArray());
    const QByteArray before = data.readBytes(kCardholderListFile);

    const RegisterResult result = registerCard(data.appFolder(), QStringLiteral("1111111111111111"),
                                               u"佐藤太郎"_s, {}, false);

    EXPECT_EQ(result.status, RegisterStatus::Busy);
    EXPECT_EQ(data.readBytes(kCardholderListFile), before);
    EXPECT_TRUE(data.exists(kLockFile));
}

// The first line of a list is its header, so an empty list gets one before the entry.
TEST_F(RegisterCardTest, EmptyListGetsAHeaderLineFirst) {
    data.writeBytes(kCardholderListFile, QByteArray());

    const RegisterResult result = registerCard(data.appFolder(), QStringLiteral("1111111111111111"),
                                               u"佐藤太郎"_s, {}, false);

    EXPECT_EQ(result.status, RegisterStatus::Registered);
    EXPECT_EQ(holderOf(QStringLiteral("1111111111111111")), u"佐藤太郎"_s);
    EXPECT_FALSE(data.exists(kLockFile));
}

TEST_F(RegisterCardTest, ReassigningAppendsTheNewHolderWhoThenWins) {
    const RegisterResult refused = registerCard(
        data.appFolder(), QStringLiteral("0123456789ABCDEF"), u"佐藤太郎"_s, {}, false);
    EXPECT_EQ(refused.status, RegisterStatus::AlreadyRegistered);
    EXPECT_EQ(refused.formerHolder, u"山田　花子"_s);
    EXPECT_FALSE(data.exists(kLockFile));

    const RegisterResult reassigned =
        registerCard(data.appFolder(), QStringLiteral("0123456789ABCDEF"), u"佐藤太郎"_s, {}, true);

    EXPECT_EQ(reassigned.status, RegisterStatus::Registered);
    EXPECT_EQ(reassigned.formerHolder, u"山田　花子"_s);
    EXPECT_EQ(holderOf(QStringLiteral("0123456789ABCDEF")), u"佐藤太郎"_s);
}

// A lost card leaves the list: each of its lines goes, every other line stays byte for byte
// and the file keeps its permissions; the time clock then answers the card as unregistered.
TEST(RetireCard, TakesEveryLineOfTheCardAndNothingElse) {
    test::DataFolder data;
    const QByteArray before = test::DataFolder::cp932Lines(
        {u"カードID,氏名,職名"_s, u"0123456789ABCDEF,山田　花子,教諭"_s,
         u"1111111111111111,佐藤太郎,教頭,担任"_s, u"0123456789ABCDEF,山田　花子,教諭"_s,
         u"2222222222222222,鈴木　一郎"_s});
    data.writeBytes(kCardholderListFile, before);
    ASSERT_EQ(::chmod(data.file(kCardholderListFile).c_str(), 0640), 0);

    const RetireResult result = retireCard(data.appFolder(), u"0123456789ABCDEF"_s,
                                           fileStampOf(data.file(kCardholderListFile)));
    EXPECT_EQ(result.status, RetireStatus::Retired);
    EXPECT_EQ(result.formerHolder, u"山田　花子"_s);
    EXPECT_EQ(data.readBytes(kCardholderListFile),
              test::DataFolder::cp932Lines({u"カードID,氏名,職名"_s,
                                            u"1111111111111111,佐藤太郎,教頭,担任"_s,
                                            u"2222222222222222,鈴木　一郎"_s}));
    struct stat st {};
    ASSERT_EQ(::stat(data.file(kCardholderListFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    CardholderTable table;
    table.load(data.appFolder());
    EXPECT_EQ(table.lookup(u"0123456789ABCDEF"_s), std::nullopt);
    EXPECT_FALSE(data.exists(kLockFile));
    EXPECT_FALSE(data.exists("associate_with_card.txt.new"));
}

// Each refusal writes nothing: a list changed by someone else since the office looked, a
// card not on it, another writer's lock, no list.
TEST(RetireCard, RefusalsLeaveTheListAsItWas) {
    struct Case {
        const char* what;
        std::function<std::optional<FileStamp>(const test::DataFolder&)> arrange;
        RetireStatus expected;
    };
    const Case cases[] = {
        {"changed since seen",
         [](const test::DataFolder& data) {
             const FileStamp seen = fileStampOf(data.file(kCardholderListFile));
             data.writeLines(kCardholderListFile,
                             {u"カードID,氏名"_s, u"0123456789ABCDEF,山田　花子"_s,
                              u"3333333333333333,新任"_s});
             return std::optional(seen);
         },
         RetireStatus::ListChanged},
        {"not registered", [](const test::DataFolder&) { return std::optional<FileStamp>(); },
         RetireStatus::NotRegistered},
        {"lock held",
         [](const test::DataFolder& data) {
             data.writeBytes(kLockFile, QByteArray());
             return std::optional<FileStamp>();
         },
         RetireStatus::Busy},
        {"no list",
         [](const test::DataFolder& data) {
             data.remove(kCardholderListFile);
             return std::optional<FileStamp>();
         },
         RetireStatus::ListMissing},
    };
    for (const Case& c : cases) {
        test::DataFolder data;
        data.writeLines(kCardholderListFile,
                        {u"カードID,氏名"_s, u"0123456789ABCDEF,山田　花子"_s});
        const std::optional<FileStamp> seen = c.arrange(data);
        const QByteArray before =
            data.exists(kCardholderListFile) ? data.readBytes(kCardholderListFile) : QByteArray();
        const QString card = c.expected == RetireStatus::NotRegistered ? u"FEDCBA9876543210"_s
                                                                       : u"0123456789ABCDEF"_s;
        EXPECT_EQ(retireCard(data.appFolder(), card, seen).status, c.expected) << c.what;
        if (data.exists(kCardholderListFile)) {
            EXPECT_EQ(data.readBytes(kCardholderListFile), before) << c.what;
        }
    }
}

// The tool asks before it retires, and a "no" (or no answer) writes nothing.
TEST(RetireCard, TheToolAsksFirst) {
    for (const char* answer : {"n\n", "", "y\n"}) {
        test::DataFolder data;
        data.writeLines(kCardholderListFile,
                        {u"カードID,氏名"_s, u"0123456789ABCDEF,山田　花子"_s});
        const QByteArray before = data.readBytes(kCardholderListFile);
        CardCommand command;
        command.action = CardCommand::Action::Retire;
        command.cardId = u"0123456789ABCDEF"_s;
        std::string typed(answer);
        std::FILE* in = ::fmemopen(typed.data(), typed.size(), "r");
        std::FILE* out = std::tmpfile();
        test::ScriptedPoller poller;
        const int exitCode = runCardCommand(command, data.appFolder(), poller, {}, out, out, in);
        std::fclose(in);
        std::fclose(out);
        const bool yes = answer[0] == 'y';
        EXPECT_EQ(exitCode, yes ? 0 : 1) << answer;
        EXPECT_EQ(data.readBytes(kCardholderListFile) == before, !yes) << answer;
    }
}

}  // namespace
}  // namespace tavomi
