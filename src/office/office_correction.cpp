#include "office/office_correction.h"

#include "files/file_error.h"
#include "files/journal_lock.h"
#include "files/punch_journal.h"
#include "files/working_hours.h"

using namespace Qt::StringLiterals;

namespace tavomi {

std::optional<RecordKind> missingRecordKind(DayException exception) {
    switch (exception) {
        case DayException::NoClockOut:
            return RecordKind::ClockOut;
        case DayException::NoClockIn:
            return RecordKind::ClockIn;
        case DayException::NoReturn:
            return RecordKind::Return;
        case DayException::NoGoingOut:
            return RecordKind::GoingOut;
        case DayException::SeveralClockIns:
            break;
    }
    return std::nullopt;
}

namespace {

// When the record says it happened: a clock-out after midnight belongs to the next morning.
QDateTime happenedAt(const ManualEntry& entry) {
    const QDateTime at(entry.date, entry.time);
    return entry.afterMidnight ? at.addDays(1) : at;
}

CorrectionOutcome said(const char16_t* message, bool isError = false) {
    return {false, QString::fromUtf16(message), isError};
}

}  // namespace

CorrectionOutcome writeCorrection(const std::filesystem::path& appFolder, const ManualEntry& entry,
                                  const QDateTime& now) {
    const std::optional<PunchRecord> record = buildManualRecord(entry);
    if (!record || !entry.time.isValid() || happenedAt(entry) > now) {
        return said(kManualMissingValuesMessage, true);
    }
    try {
        JournalLock lock;
        switch (writeRecordCheckingJournalFirst(appFolder, record->line(), lock)) {
            case WriteOutcome::Busy:
                return said(kManualBusyMessage, true);
            case WriteOutcome::JournalMissing:
                return said(kManualJournalMissingMessage, true);
            case WriteOutcome::Written:
                break;
        }
    } catch (const FileError& e) {
        return {false, e.japaneseText(), true};
    }
    CorrectionOutcome outcome{true, manualSuccessMessage(entry.person, entry.date), false};
    // The record is in: a trouble with the date's hours is said beside the success, or the
    // office would add it a second time.
    try {
        if (deriveWorkingHours(appFolder, entry.date) == DerivationOutcome::NoWorkingHours) {
            outcome.message += u"\n"_s + QString::fromUtf16(kRecordDateNoWorkingHoursMessage);
        }
    } catch (const FileError& e) {
        outcome.message += u"\n"_s + e.japaneseText();
    }
    return outcome;
}

}  // namespace tavomi
