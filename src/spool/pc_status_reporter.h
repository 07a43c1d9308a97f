#pragma once
// This PC's status file for the office, written on a thread of its own: a share that hangs
// holds that thread and nothing a screen or a punch waits for.

#include "files/pc_status.h"
#include "spool/journal_writer.h"

#include <QDateTime>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

namespace tavomi {

// When the status is written: never twice within kAtMostEvery of the last try (one that
// failed included), and then only when it changed. The time the PC reached the share is
// the time of the write itself; it alone counts as a change once the time in the file is
// kReachedEvery old, so that the office sees an idle PC is still there.
class PcStatusSchedule {
  public:
    static constexpr std::chrono::seconds kAtMostEvery{60};
    static constexpr std::chrono::minutes kReachedEvery{10};

    // The status to write at `now` (`current` with `reached` = now), or nullopt.
    std::optional<PcStatus> due(PcStatus current, const QDateTime& now) const;
    // What became of a try of what due() gave.
    void tried(const PcStatus& status, bool written);

  private:
    QDateTime lastTry_;
    std::optional<PcStatus> written_;
};

class PcStatusReporter {
  public:
    using Write = std::function<void(const std::filesystem::path& appFolder, const PcStatus&)>;
    // A change is written within this of the minute's end.
    static constexpr std::chrono::milliseconds kLookEvery{15000};
    // Short: the thread holds nothing of the program's, and a write cut off by the exit
    // leaves at most a FILE.new that the office skips and the next run replaces.
    static constexpr std::chrono::milliseconds kExitWait{1000};

    // Looks at once and then every `lookEvery`: what waits in the writer's spool, and the
    // local copy's time, which is when the cardholder list was last read whole. `write`
    // throws on failure (logged once, tried again at the next turn). `writer` must outlive
    // the reporter; after the reporter's end the thread, if still in a hung write, touches
    // nothing but its own.
    PcStatusReporter(std::filesystem::path appFolder, const JournalWriter& writer, QString pcName,
                     QString version, JournalWriter::Clock clock, Write write = &writePcStatus,
                     std::chrono::milliseconds lookEvery = kLookEvery,
                     std::chrono::milliseconds exitWait = kExitWait);
    // Waits up to exitWait for a write in progress; one that still hangs is left to the
    // process's end.
    ~PcStatusReporter();
    PcStatusReporter(const PcStatusReporter&) = delete;
    PcStatusReporter& operator=(const PcStatusReporter&) = delete;

  private:
    class Turns;
    std::shared_ptr<Turns> turns_;
    std::chrono::milliseconds exitWait_;
    std::thread thread_;
};

}  // namespace tavomi
