#include "card/pcsc_api.h"

namespace tavomi {

LONG PcscLiteApi::establishContext(DWORD scope, SCARDCONTEXT* context) {
    return SCardEstablishContext(scope, nullptr, nullptr, context);
}

LONG PcscLiteApi::listReaders(SCARDCONTEXT context, const char* groups, char* readers,
                              DWORD* readersLen) {
    return SCardListReaders(context, groups, readers, readersLen);
}

LONG PcscLiteApi::connect(SCARDCONTEXT context, const char* reader, DWORD shareMode,
                          DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol) {
    return SCardConnect(context, reader, shareMode, preferredProtocols, card, activeProtocol);
}

LONG PcscLiteApi::status(SCARDHANDLE card, char* readerName, DWORD* readerLen, DWORD* state,
                         DWORD* protocol, BYTE* atr, DWORD* atrLen) {
    return SCardStatus(card, readerName, readerLen, state, protocol, atr, atrLen);
}

LONG PcscLiteApi::transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci,
                           const BYTE* sendBuffer, DWORD sendLength, SCARD_IO_REQUEST* recvPci,
                           BYTE* recvBuffer, DWORD* recvLength) {
    return SCardTransmit(card, sendPci, sendBuffer, sendLength, recvPci, recvBuffer, recvLength);
}

LONG PcscLiteApi::disconnect(SCARDHANDLE card, DWORD disposition) {
    return SCardDisconnect(card, disposition);
}

LONG PcscLiteApi::releaseContext(SCARDCONTEXT context) {
    return SCardReleaseContext(context);
}

LONG PcscLiteApi::getStatusChange(SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* readers,
                                  DWORD count) {
    return SCardGetStatusChange(context, timeout, readers, count);
}

LONG PcscLiteApi::cancel(SCARDCONTEXT context) {
    return SCardCancel(context);
}

}  // namespace tavomi
