// The reader watch over a scripted PC/SC interface: what is news, and how a stop ends it.
#include "card/reader_watch.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace tavomi {
namespace {

constexpr SCARDCONTEXT kContext = 7;

// The watch's service: a context, and the card poll's calls, which are not the watch's,
// refused with `refusal`.
class WatchOnlyService : public PcscApi {
  public:
    explicit WatchOnlyService(LONG refusal) : refusal_(refusal) {}

    LONG establishContext(DWORD, SCARDCONTEXT* context) override {
        *context = kContext;
        return SCARD_S_SUCCESS;
    }
    LONG releaseContext(SCARDCONTEXT) override { return SCARD_S_SUCCESS; }

    LONG connect(SCARDCONTEXT, const char*, DWORD, DWORD, SCARDHANDLE*, DWORD*) override {
        return refusal_;
    }
    LONG status(SCARDHANDLE, char*, DWORD*, DWORD*, DWORD*, BYTE*, DWORD*) override {
        return refusal_;
    }
    LONG transmit(SCARDHANDLE, const SCARD_IO_REQUEST*, const BYTE*, DWORD, SCARD_IO_REQUEST*,
                  BYTE*, DWORD*) override {
        return refusal_;
    }
    LONG disconnect(SCARDHANDLE, DWORD) override { return refusal_; }

  private:
    LONG refusal_;
};

// Readers that a script changes: each wait takes the next step of the script, and with
// none left it blocks until cancelled, as pcsc-lite does.
class ScriptedReaders final : public WatchOnlyService {
  public:
    ScriptedReaders() : WatchOnlyService(SCARD_E_UNSUPPORTED_FEATURE) {}

    // One step: how the readers stand now (names) and the states of this wait's answer.
    using Step = std::function<void(std::vector<std::string>& readers, SCARD_READERSTATE* states,
                                    DWORD count)>;

    void script(std::vector<Step> steps) {
        std::lock_guard lock(mutex_);
        steps_.assign(steps.begin(), steps.end());
    }

    std::atomic<int> cancels = 0;

    LONG listReaders(SCARDCONTEXT, const char*, char* buffer, DWORD* length) override {
        std::lock_guard lock(mutex_);
        if (readers_.empty()) {
            return SCARD_E_NO_READERS_AVAILABLE;
        }
        std::string list;
        for (const std::string& name : readers_) {
            list += name + '\0';
        }
        list += '\0';
        if (buffer != nullptr) {
            std::memcpy(buffer, list.data(), std::min<std::size_t>(*length, list.size()));
        }
        *length = static_cast<DWORD>(list.size());
        return SCARD_S_SUCCESS;
    }
    LONG getStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE* states, DWORD count) override {
        std::unique_lock lock(mutex_);
        if (!steps_.empty()) {
            const Step step = steps_.front();
            steps_.pop_front();
            step(readers_, states, count);
            return SCARD_S_SUCCESS;
        }
        cancelled_.wait(lock, [this] { return cancelRequested_; });
        cancelRequested_ = false;
        return SCARD_E_CANCELLED;
    }
    LONG cancel(SCARDCONTEXT) override {
        std::lock_guard lock(mutex_);
        ++cancels;
        cancelRequested_ = true;
        cancelled_.notify_all();
        return SCARD_S_SUCCESS;
    }

    std::vector<std::string> readers_{"Reader 0"};

  private:
    std::mutex mutex_;
    std::condition_variable cancelled_;
    std::deque<Step> steps_;
    bool cancelRequested_ = false;
};

// Sets every state's event to its current state plus `add` for the reader at `index`.
ScriptedReaders::Step answer(DWORD index, DWORD add) {
    return [index, add](std::vector<std::string>&, SCARD_READERSTATE* states, DWORD count) {
        for (DWORD i = 0; i < count; ++i) {
            states[i].dwEventState = states[i].dwCurrentState & ~DWORD(SCARD_STATE_UNAWARE);
        }
        states[index].dwEventState = add | SCARD_STATE_CHANGED;
    };
}

class ReaderWatchTest : public ::testing::Test {
  protected:
    void start() {
        watch.start([this] { ++changes; });
    }

    ScriptedReaders pcsc;
    PcscReaderWatch watch{pcsc};
    std::atomic<int> changes = 0;
};

TEST_F(ReaderWatchTest, ACardAlreadyLyingThereIsNewsAndAStopCancelsTheWait) {
    pcsc.script({answer(1, SCARD_STATE_PRESENT)});
    start();
    ASSERT_TRUE(test::waitUntil([&] { return changes == 1; }));
    watch.stop();
    EXPECT_GE(pcsc.cancels.load(), 1);
    EXPECT_EQ(changes.load(), 1);
}

TEST_F(ReaderWatchTest, AnEmptyReaderAtFirstIsNoNewsButACardLaidLaterIs) {
    pcsc.script({answer(1, SCARD_STATE_EMPTY), answer(1, SCARD_STATE_PRESENT)});
    start();
    ASSERT_TRUE(test::waitUntil([&] { return changes == 1; }));
    watch.stop();
    EXPECT_EQ(changes.load(), 1);
}

// A reader plugged in after the first answer is news (the main screen shows its name).
TEST_F(ReaderWatchTest, AReaderPluggedInIsNews) {
    auto plugIn = [](std::vector<std::string>& readers, SCARD_READERSTATE* states, DWORD count) {
        readers.push_back("Reader 1");
        answer(0, DWORD(2) << 16)(readers, states, count);
    };
    pcsc.script({answer(1, SCARD_STATE_EMPTY), plugIn});
    start();
    ASSERT_TRUE(test::waitUntil([&] { return changes == 1; }));
    watch.stop();
}

// Started on a PC without a reader: the first reader plugged in is news at once.
TEST_F(ReaderWatchTest, TheFirstReaderPluggedIntoAnEmptyPcIsNews) {
    pcsc.readers_.clear();
    auto plugIn = [](std::vector<std::string>& readers, SCARD_READERSTATE* states, DWORD count) {
        readers.push_back("Reader 0");
        answer(0, DWORD(1) << 16)(readers, states, count);
    };
    pcsc.script({plugIn});
    start();
    ASSERT_TRUE(test::waitUntil([&] { return changes == 1; }));
    watch.stop();
}

// A frozen service (pcscd stopped with SIGSTOP) answers no call, a cancel included.
class FrozenService final : public WatchOnlyService {
  public:
    FrozenService() : WatchOnlyService(SCARD_E_NO_SERVICE) {}

    void thaw() {
        std::lock_guard lock(mutex_);
        frozen_ = false;
        thawed_.notify_all();
    }
    std::atomic<bool> waiting = false;

    LONG listReaders(SCARDCONTEXT, const char*, char*, DWORD*) override {
        return SCARD_E_NO_READERS_AVAILABLE;
    }
    LONG getStatusChange(SCARDCONTEXT, DWORD, SCARD_READERSTATE*, DWORD) override {
        waiting = true;
        hang();
        return SCARD_E_NO_SERVICE;
    }
    LONG cancel(SCARDCONTEXT) override {
        hang();
        return SCARD_E_NO_SERVICE;
    }

  private:
    void hang() {
        std::unique_lock lock(mutex_);
        thawed_.wait(lock, [this] { return !frozen_; });
    }
    std::mutex mutex_;
    std::condition_variable thawed_;
    bool frozen_ = true;
};

// Closing the time clock must not hang on a frozen service: stop() returns while the
// wait is still held, and the thread left behind never reports.
TEST(ReaderWatchOnAFrozenService, StopReturnsAndNothingIsReportedAfterIt) {
    // Never destroyed: it outlives the thread that stop() leaves behind.
    FrozenService& service = *new FrozenService;
    std::atomic<int> changes = 0;
    {
        PcscReaderWatch watch(service);
        watch.start([&] { ++changes; });
        ASSERT_TRUE(test::waitUntil([&] { return service.waiting.load(); }));
        watch.stop();
    }
    service.thaw();
    EXPECT_EQ(changes.load(), 0);
}

}  // namespace
}  // namespace tavomi
