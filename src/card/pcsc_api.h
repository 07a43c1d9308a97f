#pragma once

#include <winscard.h>

namespace tavomi {

// Exactly the PC/SC calls the card poll and the reader watch make, with pcsc-lite's own types, so
// tests can script readers and cards. Each method has the meaning of the SCard* call it names.
class PcscApi {
  public:
    virtual ~PcscApi() = default;

    virtual LONG establishContext(DWORD scope, SCARDCONTEXT* context) = 0;
    virtual LONG listReaders(SCARDCONTEXT context, const char* groups, char* readers,
                             DWORD* readersLen) = 0;
    virtual LONG connect(SCARDCONTEXT context, const char* reader, DWORD shareMode,
                         DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol) = 0;
    virtual LONG status(SCARDHANDLE card, char* readerName, DWORD* readerLen, DWORD* state,
                        DWORD* protocol, BYTE* atr, DWORD* atrLen) = 0;
    virtual LONG transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const BYTE* sendBuffer,
                          DWORD sendLength, SCARD_IO_REQUEST* recvPci, BYTE* recvBuffer,
                          DWORD* recvLength) = 0;
    virtual LONG disconnect(SCARDHANDLE card, DWORD disposition) = 0;
    virtual LONG releaseContext(SCARDCONTEXT context) = 0;
    virtual LONG getStatusChange(SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* readers,
                                 DWORD count) = 0;
    // Called from another thread than the one waiting in getStatusChange.
    virtual LONG cancel(SCARDCONTEXT context) = 0;
};

// The program's binding: the calls go straight to libpcsclite, which finds the daemon
// through its socket (PCSCLITE_CSOCK_NAME overrides the system's one, as the test rig does).
class PcscLiteApi final : public PcscApi {
  public:
    LONG establishContext(DWORD scope, SCARDCONTEXT* context) override;
    LONG listReaders(SCARDCONTEXT context, const char* groups, char* readers,
                     DWORD* readersLen) override;
    LONG connect(SCARDCONTEXT context, const char* reader, DWORD shareMode,
                 DWORD preferredProtocols, SCARDHANDLE* card, DWORD* activeProtocol) override;
    LONG status(SCARDHANDLE card, char* readerName, DWORD* readerLen, DWORD* state, DWORD* protocol,
                BYTE* atr, DWORD* atrLen) override;
    LONG transmit(SCARDHANDLE card, const SCARD_IO_REQUEST* sendPci, const BYTE* sendBuffer,
                  DWORD sendLength, SCARD_IO_REQUEST* recvPci, BYTE* recvBuffer,
                  DWORD* recvLength) override;
    LONG disconnect(SCARDHANDLE card, DWORD disposition) override;
    LONG releaseContext(SCARDCONTEXT context) override;
    LONG getStatusChange(SCARDCONTEXT context, DWORD timeout, SCARD_READERSTATE* readers,
                         DWORD count) override;
    LONG cancel(SCARDCONTEXT context) override;
};

}  // namespace tavomi
