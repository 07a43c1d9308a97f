// What may go into the cardholder list, and registering under the journal's lock.
#include "office/card_registration.h"

#include "files/cardholder_list.h"
#include "files/data_folder.h"
#include "support/data_folder_fixture.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

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
    ::testing::Values(
        FieldCase{"FullWidthSpace", QString::fromUtf16(u"山田　花子"), {}},
        FieldCase{"HalfWidthKana", QString::fromUtf16(u"ﾔﾏﾀﾞ"), {}},
        FieldCase{"ExtensionKanji", QString::fromUtf16(u"髙橋﨑①"), {}},
        FieldCase{"Comma", QString::fromUtf16(u"山田,花子"), "comma"},
        FieldCase{"DoubleQuote", QString::fromUtf16(u"\"山田\""), "double quote"},
        FieldCase{"HalfWidthSpace", QString::fromUtf16(u"山田 花子"), "half-width space"},
        FieldCase{"Tab", QString::fromUtf16(u"山田\t花子"), "control character"},
        FieldCase{"LineBreak", QString::fromUtf16(u"山田\r\n花子"), "control character"},
        FieldCase{"Emoji", QString::fromUtf16(u"花子😀"), "U+1F600"},
        FieldCase{"KanjiOutsideCp932", QString::fromUtf16(u"𠮷田"), "CP932 cannot write"},
        FieldCase{"LatinOutsideCp932", QString::fromUtf16(u"Ünal"), "CP932 cannot write"}),
    [](const auto& info) { return info.param.name; });

TEST(NameRefusalTest, AnEmptyNameIsRefused) {
    EXPECT_EQ(nameRefusal(QString()), QStringLiteral("the name is empty"));
    EXPECT_EQ(nameRefusal(QString::fromUtf16(u"山田　花子")), std::nullopt);
}

class RegisterCardTest : public ::testing::Test {
  protected:
    RegisterCardTest() {
        data.writeLines(kCardholderListFile,
                        {QString::fromUtf16(u"カードID,氏名,職名"),
                         QString::fromUtf16(u"0123456789ABCDEF,山田　花子,教諭")});
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
                                               QString::fromUtf16(u"佐藤太郎"), {}, false);

    EXPECT_EQ(result.status, RegisterStatus::Busy);
    EXPECT_EQ(data.readBytes(kCardholderListFile), before);
    EXPECT_TRUE(data.exists(kLockFile));
}

// The first line of a list is its header, so an empty list gets one before the entry.
TEST_F(RegisterCardTest, EmptyListGetsAHeaderLineFirst) {
    data.writeBytes(kCardholderListFile, QByteArray());

    const RegisterResult result = registerCard(data.appFolder(), QStringLiteral("1111111111111111"),
                                               QString::fromUtf16(u"佐藤太郎"), {}, false);

    EXPECT_EQ(result.status, RegisterStatus::Registered);
    EXPECT_EQ(holderOf(QStringLiteral("1111111111111111")), QString::fromUtf16(u"佐藤太郎"));
    EXPECT_FALSE(data.exists(kLockFile));
}

TEST_F(RegisterCardTest, ReassigningAppendsTheNewHolderWhoThenWins) {
    const RegisterResult refused =
        registerCard(data.appFolder(), QStringLiteral("0123456789ABCDEF"),
                     QString::fromUtf16(u"佐藤太郎"), {}, false);
    EXPECT_EQ(refused.status, RegisterStatus::AlreadyRegistered);
    EXPECT_EQ(refused.formerHolder, QString::fromUtf16(u"山田　花子"));
    EXPECT_FALSE(data.exists(kLockFile));

    const RegisterResult reassigned =
        registerCard(data.appFolder(), QStringLiteral("0123456789ABCDEF"),
                     QString::fromUtf16(u"佐藤太郎"), {}, true);

    EXPECT_EQ(reassigned.status, RegisterStatus::Registered);
    EXPECT_EQ(reassigned.formerHolder, QString::fromUtf16(u"山田　花子"));
    EXPECT_EQ(holderOf(QStringLiteral("0123456789ABCDEF")), QString::fromUtf16(u"佐藤太郎"));
}

}  // namespace
}  // namespace tavomi
