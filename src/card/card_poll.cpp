#include "card/card_poll.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

namespace tavomi {
namespace {

// GET DATA, P1 = 00: the card's unique identifier (the IDm of a FeliCa card), Le = 00.
constexpr std::array<BYTE, 5> kGetData = {0xFF, 0xCA, 0x00, 0x00, 0x00};
constexpr DWORD kAnswerCapacity = 256;
constexpr std::size_t kStatusBytes = 2;
// The group of all readers as a multi-string (the literal adds the second NUL).
// pcsc-lite ignores groups; it is passed all the same.
constexpr char kAllReaders[] = "SCard$AllReaders\0";

// Releases the poll's context on every way out.
class ContextGuard {
  public:
    ContextGuard(PcscApi& pcsc, SCARDCONTEXT context) : pcsc_(pcsc), context_(context) {}
    ~ContextGuard() { pcsc_.releaseContext(context_); }
    ContextGuard(const ContextGuard&) = delete;
    ContextGuard& operator=(const ContextGuard&) = delete;

  private:
    PcscApi& pcsc_;
    SCARDCONTEXT context_;
};

// Closes one connection, always leaving the card as it is (another program may use it).
class ConnectionGuard {
  public:
    ConnectionGuard(PcscApi& pcsc, SCARDHANDLE card) : pcsc_(pcsc), card_(card) {}
    ~ConnectionGuard() { pcsc_.disconnect(card_, SCARD_LEAVE_CARD); }
    ConnectionGuard(const ConnectionGuard&) = delete;
    ConnectionGuard& operator=(const ConnectionGuard&) = delete;

  private:
    PcscApi& pcsc_;
    SCARDHANDLE card_;
};

}  // namespace

ReaderListing listReaderNames(PcscApi& pcsc, SCARDCONTEXT context) {
    ReaderListing listing;
    DWORD length = 0;
    listing.result = pcsc.listReaders(context, kAllReaders, nullptr, &length);
    if (listing.result != SCARD_S_SUCCESS) {
        return listing;
    }
    std::vector<char> list(length, '\0');
    listing.result = pcsc.listReaders(context, kAllReaders, list.data(), &length);
    if (listing.result != SCARD_S_SUCCESS) {
        return listing;
    }
    list.resize(std::min<std::size_t>(length, list.size()));
    listing.names = splitReaderList(list);
    return listing;
}

std::vector<std::string> splitReaderList(const std::vector<char>& list) {
    std::vector<std::string> names;
    std::string current;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] != '\0') {
            current += list[i];
            continue;
        }
        names.push_back(current);
        current.clear();
        if (i + 1 == list.size() || list[i + 1] == '\0') {
            break;
        }
    }
    return names;
}

namespace {

const SCARD_IO_REQUEST* sendHeaderFor(DWORD protocol) {
    // pcsc-lite refuses a null send header: pass the one of the protocol now in use.
    return protocol == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
}

// Reads the identifier from the card in one reader, or nullopt if there is no FeliCa
// card to read there. The connection is closed on every path.
std::optional<QString> readCard(PcscApi& pcsc, SCARDCONTEXT context, const std::string& reader) {
    SCARDHANDLE card = 0;
    DWORD connectProtocol = 0;
    if (pcsc.connect(context, reader.c_str(), SCARD_SHARE_SHARED,
                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card,
                     &connectProtocol) != SCARD_S_SUCCESS) {
        return std::nullopt;
    }
    ConnectionGuard connection(pcsc, card);

    DWORD readerLen = 0;
    DWORD state = 0;
    DWORD statusProtocol = 0;
    DWORD atrLen = 0;
    if (pcsc.status(card, nullptr, &readerLen, &state, &statusProtocol, nullptr, &atrLen) !=
        SCARD_S_SUCCESS) {
        return std::nullopt;
    }
    std::vector<char> readerName(readerLen, '\0');
    std::vector<std::uint8_t> atr(atrLen, 0);
    if (pcsc.status(card, readerName.data(), &readerLen, &state, &statusProtocol, atr.data(),
                    &atrLen) != SCARD_S_SUCCESS) {
        return std::nullopt;
    }
    atr.resize(std::min<std::size_t>(atrLen, atr.size()));
    if (!isFelicaAtr(atr)) {
        return std::nullopt;
    }

    std::vector<std::uint8_t> answer(kAnswerCapacity, 0);
    DWORD answerLen = kAnswerCapacity;
    if (pcsc.transmit(card, sendHeaderFor(connectProtocol), kGetData.data(), kGetData.size(),
                      nullptr, answer.data(), &answerLen) != SCARD_S_SUCCESS) {
        return std::nullopt;
    }
    answer.resize(std::min<std::size_t>(answerLen, answer.size()));
    return cardIdentifierFromAnswer(answer);
}

}  // namespace

QString cardIdentifierFromAnswer(const std::vector<std::uint8_t>& answer) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString text;
    if (answer.size() <= kStatusBytes) {
        return text;
    }
    // The status bytes are dropped unread: an error status still counts as a read.
    const std::size_t idLength = answer.size() - kStatusBytes;
    text.reserve(static_cast<qsizetype>(idLength * 2));
    for (std::size_t i = 0; i < idLength; ++i) {
        text += QLatin1Char(kDigits[answer[i] >> 4]);
        text += QLatin1Char(kDigits[answer[i] & 0x0F]);
    }
    return text;
}

bool isFelicaAtr(const std::vector<std::uint8_t>& atr) {
    return atr.size() >= 15 && atr[13] == 0x00 && atr[14] == 0x3B;
}

PollResult pollCard(PcscApi& pcsc) {
    PollResult result;
    SCARDCONTEXT context = 0;
    if (pcsc.establishContext(SCARD_SCOPE_USER, &context) != SCARD_S_SUCCESS) {
        return result;
    }
    ContextGuard contextGuard(pcsc, context);

    ReaderListing listing = listReaderNames(pcsc, context);
    if (listing.result != SCARD_S_SUCCESS) {
        return result;
    }
    result.readerNames = std::move(listing.names);
    result.readerListObtained = true;

    // The first card read wins; later readers are not touched.
    for (const std::string& reader : result.readerNames) {
        result.lastReaderTried = reader;
        result.cardId = readCard(pcsc, context, reader);
        if (result.cardId) {
            break;
        }
    }
    return result;
}

}  // namespace tavomi
