// What may go into the cardholder list, and registering under the journal's lock.
#include "office/card_registration.h"

#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tavomi
