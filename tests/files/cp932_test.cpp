#include "files/cp932.h"

#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace tavomi {
namespace {

struct CodePair {
    const char16_t* text;
    const char* bytes;
};

// Characters whose mapping differs between Shift_JIS variants; CP932 is the one
// the data files are written in.
const CodePair kPairs[] = {
    {u"～", "\x81\x60"},  // U+FF5E, not the wave dash U+301C
    {u"①", "\x87\x40"},   // NEC special characters
    {u"髙", "\xFB\xFC"},  // IBM extensions
    {u"﨑", "\xFA\xB1"},
    {u"ｱ", "\xB1"},  // half-width katakana is one byte
    {u"A,b 1", "A,b 1"},
    {u"\x1A\x1C\x7F", "\x1A\x1C\x7F"},  // control codes that some converters rotate
    {u"出勤,山田花子,2019/08/28,07:45,IC記録,詳細なし,事由なし",
     "\x8F\x6F\x8B\xCE,\x8E\x52\x93\x63\x89\xD4\x8E\x71,2019/08/28,07:45,IC\x8B\x4C\x98\x5E,"
     "\x8F\xDA\x8D\xD7\x82\xC8\x82\xB5,\x8E\x96\x97\x52\x82\xC8\x82\xB5"},
};

TEST(Cp932, EncodesAndDecodesTheCodePagesOwnMappings) {
    for (const CodePair& pair : kPairs) {
        const QString text = QString::fromUtf16(pair.text);
        const QByteArray bytes(pair.bytes);
        EXPECT_EQ(encodeCp932(text), bytes) << text.toStdString();
        EXPECT_EQ(decodeCp932(bytes), text) << text.toStdString();
    }
}

TEST(Cp932, EachUnmappableCharacterBecomesOneQuestionMark) {
    const struct {
        const char16_t* text;
        const char* bytes;
    } cases[] = {
        {u"a😀b", "a?b"},                             // a surrogate pair is one character
        {u"😀😀", "??"},        {u"a\u00ADb", "a?b"},  // invisible format characters are not dropped
        {u"a\u200Bb", "a?b"}, {u"a\uFEFF", "a?"},   {u"é山", "?\x8E\x52"},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(encodeCp932(text), QByteArray(c.bytes)) << text.toStdString();
    }
}

TEST(Cp932, CharactersThatConvertersSwallowBecomeOneQuestionMark) {
    // Built by hand: QString::fromUtf16 would take a leading U+FEFF as a byte-order mark.
    EXPECT_EQ(encodeCp932(QString(QChar(0xFEFF)) + QStringLiteral("a")), QByteArray("?a"));
    EXPECT_EQ(encodeCp932(QString(QChar(0xFEFF))), QByteArray("?"));
    EXPECT_EQ(encodeCp932(QStringLiteral("a") + QChar(0xD83D) + QStringLiteral("b")),
              QByteArray("a?b"));  // a lone surrogate
}

TEST(Cp932, InvalidBytesBecomeReplacementCharacters) {
    const QChar r(QChar::ReplacementCharacter);
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {QByteArray("a\x82"), QStringLiteral("a") + r},  // a lead byte at the very end
        {QByteArray("\x80"
                    "a"),
         r + QStringLiteral("a")},
        {QByteArray("\xA0"
                    "a"),
         r + QStringLiteral("a")},
        {QByteArray("\xFD\xFE\xFF"), QString(3, r)},
        // well-formed pairs that the code page leaves unassigned, among good text
        {QByteArray("a\x85\x40"
                    "b\r\n\x82\xA0\x85\x40\x82\xA0"),
         QStringLiteral("a") + r + QStringLiteral("b\r\n") + QChar(0x3042) + r + QChar(0x3042)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(decodeCp932(c.bytes), c.text) << c.bytes.toHex().toStdString();
    }
}

TEST(Cp932, DecodingArbitraryBytesNeverFails) {
    // Every lead byte followed by every possible second byte, then cut short.
    QByteArray all;
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            all.append(char(lead));
            all.append(char(trail));
        }
    }
    all.append('\x81');
    const QString text = decodeCp932(all);
    EXPECT_FALSE(text.isEmpty());
    EXPECT_EQ(text.back(), QChar(QChar::ReplacementCharacter));
}

// The kept characters give what a whole decode gives: every byte and every pair, alone
// and among others, and the malformed bytes of the cases above.
TEST(Cp932, KeptCharactersDecodeAsTheWholeDoes) {
    Cp932Decoder decoder;
    QByteArray all;
    for (int lead = 0; lead < 256; ++lead) {
        for (int trail = 0; trail < 256; ++trail) {
            const char pair[] = {char(lead), char(trail)};
            const QByteArrayView bytes(pair, 2);
            ASSERT_EQ(decoder.decode(bytes), decodeCp932(bytes)) << lead << ' ' << trail;
            all.append(bytes);
        }
        const QByteArrayView one(all.constData() + all.size() - 2, 1);
        ASSERT_EQ(decoder.decode(one), decodeCp932(one)) << lead;
    }
    for (const QByteArray& bytes : {all, all.mid(1), QByteArray("a\x82"), QByteArray()}) {
        EXPECT_EQ(decoder.decode(bytes), decodeCp932(bytes));
    }
}

}  // namespace
}  // namespace tavomi
