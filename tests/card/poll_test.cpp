// The card poll over scripted readers and cards. The fake PC/SC checks the arguments of
// every call and counts what was opened and closed, so each case also shows that the
// context is released and every connection closed.
#include "card/card_poll.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

// The case tables name only the fields a case changes.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tavomi {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kFelicaAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                          0x03, 0x06, 0x11, 0x00, 0x3B, 0x00, 0x00, 0x00, 0x00, 0x42};
const Bytes kMifareAtr = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00,
                          0x03, 0x06, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x6A};
const Bytes kIdmA = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
const Bytes kIdmB = {0x11, 0x11, 0x22, 0x22, 0x33, 0x33, 0x44, 0x44};

Bytes answerWith(Bytes id, Bytes status = {0x90, 0x00}) {
    id.insert(id.end(), status.begin(), status.end());
    return id;
}

Bytes firstBytes(const Bytes& bytes, std::size_t count) {
    return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

enum class Failing { Nothing, FirstStatus, SecondStatus, Transmit };

struct FakeCard {
    Bytes atr = kFelicaAtr;
    Bytes answer = answerWith(kIdmA);
    DWORD protocol = SCARD_PROTOCOL_T1;
    Failing failing = Failing::Nothing;
};

struct FakeReader {
    std::string name;
    std::optional<FakeCard> card;
};

class FakePcsc final : public PcscApi {
  public:
    LONG establishResult = SCARD_S_SUCCESS;
    std::vector<FakeReader> readers;
    bool listGrowsAfterSizeQuery = false;

    int contextsOpened = 0;
    int contextsReleased = 0;
    int connectionsOpened = 0;
    int connectionsClosed = 0;
    std::vector<std::string> connectAttempts;
    std::vector<std::string> problems;  // wrong arguments seen

    LONG establishContext(DWORD scope, SCARDCONTEXT* context) override {
        expect(scope == SCARD_SCOPE_USER, "scope is not user");
        if (establishResult != SCARD_S_SUCCESS) {
            return establishResult;
        }
        *context = kContext;
        ++contextsOpened;
        contextOpen_ = true;
        return SCARD_S_SUCCESS;
    }

    LONG listReaders(SCARDCONTEXT context, const char*, char* buffer, DWORD* length) override {
        expect(context == kContext && contextOpen_, "listing without the context");
        if (readers.empty()) {
            return SCARD_E_NO_READERS_AVAILABLE;
        }
        std::string list;
        for (const FakeReader& reader : readers) {
            list += reader.name;
            list += '\0';
        }
        list += '\0';
        if (buffer == nullptr) {
            *length = static_cast<DWORD>(list.size());
            if (listGrowsAfterSizeQuery) {
                readers.push_back({"Reader plugged in meanwhile", std::nullopt});
            }
            return SCARD_S_SUCCESS;
        }
        if (*length < list.size()) {
            *length = static_cast<DWORD>(list.size());
            return SCARD_E_INSUFFICIENT_BUFFER;
        }
        std::copy(list.begin(), list.end(), buffer);
        *length = static_cast<DWORD>(list.size());
        return SCARD_S_SUCCESS;
    }

    LONG connect(SCARDCONTEXT context, const char* reader, DWORD shareMode, DWORD protocols,
                 SCARDHANDLE* card, DWORD* activeProtocol) override {
        expect(context == kContext && contextOpen_, "connect without the context");
        expect(shareMode == SCARD_SHARE_SHARED, "connect not shared");
        expect(protocols == (SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1), "connect not T=0|T=1");
        connectAttempts.push_back(reader);
        for (std::size_t i = 0; i < readers.size(); ++i) {
            if (readers[i].name != reader) {
                continue;
            }
            if (!readers[i].card) {
                return SCARD_E_NO_SMARTCARD;
            }
            *card = kFirstHandle + i;
            *activeProtocol = readers[i].card->protocol;
            openHandles_.insert(*card);
            ++connectionsOpened;
            return SCARD_S_SUCCESS;
        }
        return SCARD_E_UNKNOWN_READER;
    }

    LONG status(SCARDHANDLE handle, char* name, DWORD* nameLen, DWORD* state, DWORD* protocol,
                BYTE* atr, DWORD* atrLen) override {
        const FakeReader* reader = readerOf(handle);
        if (reader == nullptr) {
            return SCARD_E_INVALID_HANDLE;
        }
        const FakeCard& card = *reader->card;
        const bool lengthsOnly = name == nullptr && atr == nullptr;
        if ((lengthsOnly && card.failing == Failing::FirstStatus) ||
            (!lengthsOnly && card.failing == Failing::SecondStatus)) {
            return SCARD_W_REMOVED_CARD;
        }
        const DWORD neededName = static_cast<DWORD>(reader->name.size() + 1);
        const DWORD neededAtr = static_cast<DWORD>(card.atr.size());
        if (!lengthsOnly && (*nameLen < neededName || *atrLen < neededAtr)) {
            problems.push_back("status buffers too small");
            return SCARD_E_INSUFFICIENT_BUFFER;
        }
        if (name != nullptr) {
            std::copy(reader->name.c_str(), reader->name.c_str() + neededName, name);
        }
        if (atr != nullptr) {
            std::copy(card.atr.begin(), card.atr.end(), atr);
        }
        *nameLen = neededName;
        *atrLen = neededAtr;
        *state = SCARD_SPECIFIC;
        *protocol = card.protocol;
        return SCARD_S_SUCCESS;
    }

    LONG transmit(SCARDHANDLE handle, const SCARD_IO_REQUEST* sendPci, const BYTE* command,
                  DWORD commandLen, SCARD_IO_REQUEST* recvPci, BYTE* answer,
                  DWORD* answerLen) override {
        const FakeReader* reader = readerOf(handle);
        if (reader == nullptr) {
            return SCARD_E_INVALID_HANDLE;
        }
        const FakeCard& card = *reader->card;
        expect(sendPci == (card.protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1),
               "send header not the connected protocol's");
        expect(recvPci == nullptr, "receive header given");
        expect(Bytes(command, command + commandLen) == Bytes({0xFF, 0xCA, 0x00, 0x00, 0x00}),
               "command is not GET DATA");
        expect(*answerLen == 256, "answer buffer is not 256 bytes");
        if (card.failing == Failing::Transmit) {
            return SCARD_E_NOT_TRANSACTED;
        }
        std::copy(card.answer.begin(), card.answer.end(), answer);
        *answerLen = static_cast<DWORD>(card.answer.size());
        return SCARD_S_SUCCESS;
    }

    LONG disconnect(SCARDHANDLE handle, DWORD disposition) override {
        expect(disposition == SCARD_LEAVE_CARD, "disconnect does not leave the card");
        expect(openHandles_.erase(handle) == 1, "closing a connection that is not open");
        ++connectionsClosed;
        return SCARD_S_SUCCESS;
    }

    LONG releaseContext(SCARDCONTEXT context) override {
        expect(context == kContext && contextOpen_, "releasing a context that is not open");
        expect(openHandles_.empty(), "context released with connections open");
        contextOpen_ = false;
        ++contextsReleased;
        return SCARD_S_SUCCESS;
    }

    // The poll never waits for changes.
    LONG getStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE*, DWORD) override {
        ADD_FAILURE() << "the poll waited for a change";
        return SCARD_E_UNSUPPORTED_FEATURE;
    }
    LONG cancel(SCARDCONTEXT) override { return SCARD_E_UNSUPPORTED_FEATURE; }

  private:
    static constexpr SCARDCONTEXT kContext = 0x5C;
    static constexpr SCARDHANDLE kFirstHandle = 0x100;

    void expect(bool ok, const char* problem) {
        if (!ok) {
            problems.push_back(problem);
        }
    }

    const FakeReader* readerOf(SCARDHANDLE handle) {
        if (openHandles_.count(handle) == 0) {
            problems.push_back("call on a connection that is not open");
            return nullptr;
        }
        return &readers[handle - kFirstHandle];
    }

    bool contextOpen_ = false;
    std::set<SCARDHANDLE> openHandles_;
};

struct PollCase {
    std::string name;
    std::vector<FakeReader> readers;
    LONG establishResult = SCARD_S_SUCCESS;
    bool listGrows = false;
    // expected
    bool listObtained = true;
    std::vector<std::string> connects;  // readers connected to, in order
    std::optional<QString> cardId;
};

std::vector<std::string> manyLongNames() {
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) {
        names.push_back("Contactless Reader With A Long Name " + std::to_string(i));
    }
    return names;
}

std::vector<PollCase> pollCases() {
    const FakeCard felicaA;
    const FakeCard felicaB{.answer = answerWith(kIdmB)};
    const auto failing = [](Failing how) { return FakeCard{.failing = how}; };
    const auto onReaderOne = [&](FakeCard first, FakeCard second) {
        return std::vector<FakeReader>{{"R0", first}, {"R1", second}};
    };

    std::vector<FakeReader> longList;
    for (const std::string& name : manyLongNames()) {
        longList.push_back({name, std::nullopt});
    }
    longList.back().card = felicaA;

    Bytes fifteenByteAtr = firstBytes(kFelicaAtr, 15);

    return {
        {.name = "NoService",
         .readers = {{"R0", felicaA}},
         .establishResult = SCARD_E_NO_SERVICE,
         .listObtained = false},
        {.name = "NoReader", .readers = {}, .listObtained = false},
        {.name = "OneReaderNoCard", .readers = {{"R0", std::nullopt}}, .connects = {"R0"}},
        {.name = "CardOnSecondOfTwo",
         .readers = {{"R0", std::nullopt}, {"R1", felicaA}},
         .connects = {"R0", "R1"},
         .cardId = "0123456789ABCDEF"},
        {.name = "CardsOnBothFirstWins",
         .readers = {{"R0", felicaB}, {"R1", felicaA}},
         .connects = {"R0"},
         .cardId = "1111222233334444"},
        {.name = "NonFelicaAtr",
         .readers = {{"R0", FakeCard{.atr = kMifareAtr}}},
         .connects = {"R0"}},
        {.name = "Atr14Bytes",
         .readers = {{"R0", FakeCard{.atr = firstBytes(kFelicaAtr, 14)}}},
         .connects = {"R0"}},
        {.name = "Atr15BytesIsEnough",
         .readers = {{"R0", FakeCard{.atr = fifteenByteAtr}}},
         .connects = {"R0"},
         .cardId = "0123456789ABCDEF"},
        {.name = "TenByteAnswerUpperCaseHex",
         .readers = {{"R0", FakeCard{.answer = answerWith(
                                         {0x0A, 0xbc, 0x00, 0xff, 0x9e, 0x01, 0x2d, 0xf0})}}},
         .connects = {"R0"},
         .cardId = "0ABC00FF9E012DF0"},
        {.name = "TwoByteAnswerIsEmptyIdentifier",
         .readers = {{"R0", FakeCard{.answer = {0x6A, 0x81}}}},
         .connects = {"R0"},
         .cardId = ""},
        {.name = "ErrorStatusAfterIdentifierBytesIsNotLookedAt",
         .readers = {{"R0", FakeCard{.answer = answerWith(kIdmA, {0x6A, 0x81})}}},
         .connects = {"R0"},
         .cardId = "0123456789ABCDEF"},
        {.name = "FirstStatusFailsNextReaderTried",
         .readers = onReaderOne(failing(Failing::FirstStatus), felicaB),
         .connects = {"R0", "R1"},
         .cardId = "1111222233334444"},
        {.name = "SecondStatusFailsNextReaderTried",
         .readers = onReaderOne(failing(Failing::SecondStatus), felicaB),
         .connects = {"R0", "R1"},
         .cardId = "1111222233334444"},
        {.name = "TransmitFailsNextReaderTried",
         .readers = onReaderOne(failing(Failing::Transmit), felicaB),
         .connects = {"R0", "R1"},
         .cardId = "1111222233334444"},
        {.name = "CardOnTZero",
         .readers = {{"R0", FakeCard{.protocol = SCARD_PROTOCOL_T0}}},
         .connects = {"R0"},
         .cardId = "0123456789ABCDEF"},
        {.name = "ReaderListLongerThan256Chars",
         .readers = longList,
         .connects = manyLongNames(),
         .cardId = "0123456789ABCDEF"},
        {.name = "ListGrowsBetweenSizeAndRead",
         .readers = {{"R0", felicaA}},
         .listGrows = true,
         .listObtained = false},
    };
}

class CardPollTest : public ::testing::TestWithParam<PollCase> {};

TEST_P(CardPollTest, WalksReadersAndClosesEverything) {
    const PollCase& c = GetParam();
    FakePcsc pcsc;
    pcsc.readers = c.readers;
    pcsc.establishResult = c.establishResult;
    pcsc.listGrowsAfterSizeQuery = c.listGrows;

    PcscCardPoller poller(pcsc);
    const PollResult result = poller.poll();

    std::vector<std::string> expectedNames;
    if (c.listObtained) {
        for (const FakeReader& reader : c.readers) {
            expectedNames.push_back(reader.name);
        }
    }
    EXPECT_EQ(result.readerListObtained, c.listObtained);
    EXPECT_EQ(result.readerNames, expectedNames);
    EXPECT_EQ(pcsc.connectAttempts, c.connects);
    EXPECT_EQ(result.lastReaderTried, c.connects.empty() ? "" : c.connects.back());
    EXPECT_EQ(result.cardId, c.cardId);

    EXPECT_EQ(pcsc.problems, std::vector<std::string>{});
    const int contexts = c.establishResult == SCARD_S_SUCCESS ? 1 : 0;
    EXPECT_EQ(pcsc.contextsOpened, contexts);
    EXPECT_EQ(pcsc.contextsReleased, contexts);
    EXPECT_EQ(pcsc.connectionsClosed, pcsc.connectionsOpened);
}

INSTANTIATE_TEST_SUITE_P(Cases, CardPollTest, ::testing::ValuesIn(pollCases()),
                         [](const auto& info) { return info.param.name; });

// pcsc-lite may hand over a list whose last name has no room for its NUL; that name is
// not a reader. A list without the closing empty name still yields every whole name.
TEST(CardPollReaderList, KeepsOnlyWholeNames) {
    struct ListCase {
        std::string list;
        std::vector<std::string> names;
    };
    const std::vector<ListCase> cases = {
        {std::string("A\0B\0\0", 5), {"A", "B"}},
        {std::string("A\0Bc", 4), {"A"}},
        {std::string("A\0B\0", 4), {"A", "B"}},
        {std::string("AB\0\0", 4), {"AB"}},
    };
    for (const ListCase& c : cases) {
        class ListOnly final : public PcscApi {
          public:
            explicit ListOnly(std::string list) : list_(std::move(list)) {}
            LONG establishContext(DWORD, SCARDCONTEXT* context) override {
                *context = 1;
                return SCARD_S_SUCCESS;
            }
            LONG listReaders(SCARDCONTEXT, const char*, char* buffer, DWORD* length) override {
                if (buffer != nullptr) {
                    std::copy(list_.begin(), list_.end(), buffer);
                }
                *length = static_cast<DWORD>(list_.size());
                return SCARD_S_SUCCESS;
            }
            LONG connect(SCARDCONTEXT, const char*, DWORD, DWORD, SCARDHANDLE*, DWORD*) override {
                return SCARD_E_NO_SMARTCARD;
            }
            LONG status(SCARDHANDLE, char*, DWORD*, DWORD*, DWORD*, BYTE*, DWORD*) override {
                return SCARD_E_INVALID_HANDLE;
            }
            LONG transmit(SCARDHANDLE, const SCARD_IO_REQUEST*, const BYTE*, DWORD,
                          SCARD_IO_REQUEST*, BYTE*, DWORD*) override {
                return SCARD_E_INVALID_HANDLE;
            }
            LONG disconnect(SCARDHANDLE, DWORD) override { return SCARD_S_SUCCESS; }
            LONG releaseContext(SCARDCONTEXT) override { return SCARD_S_SUCCESS; }
            LONG getStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE*, DWORD) override {
                return SCARD_E_UNSUPPORTED_FEATURE;
            }
            LONG cancel(SCARDCONTEXT) override { return SCARD_E_UNSUPPORTED_FEATURE; }

          private:
            std::string list_;
        } pcsc(c.list);
        EXPECT_EQ(pollCard(pcsc).readerNames, c.names) << "list of " << c.list.size() << " bytes";
    }
}

}  // namespace
}  // namespace tavomi
