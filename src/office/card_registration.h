#pragma once

#include "files/file_stamp.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

namespace tavomi {

// What keeps a text from being a field of the cardholder list. The name goes into punch
// records unquoted, and the list is read by the comma-text rules, so a comma, a double
// quote, a blank or control character (a half-width space among them) or a character
// CP932 cannot write would change the fields of the list or of the journal.
struct FieldProblem {
    enum class Kind { Comma, DoubleQuote, HalfWidthSpace, ControlCharacter, NotInCp932 };
    Kind kind = Kind::Comma;
    char32_t character = 0;
};
std::optional<FieldProblem> fieldProblem(const QString& field);

// What keeps a name from being registered: empty, a field problem, or a full-width space
// at its beginning or end.
struct NameProblem {
    enum class Kind { Empty, Field, SpaceAtEdge };
    Kind kind = Kind::Empty;
    FieldProblem field;  // Field only
};
std::optional<NameProblem> nameProblem(const QString& name);

// The same as the card tool words them, or nullopt.
std::optional<QString> fieldRefusal(const QString& field);
std::optional<QString> nameRefusal(const QString& name);

enum class RegisterStatus {
    Registered,
    AlreadyRegistered,  // the card has a holder and reassigning was not asked for
    ListMissing,
    Busy,  // rock_file.txt exists: another writer, or one that crashed
};

struct RegisterResult {
    RegisterStatus status = RegisterStatus::Registered;
    QString formerHolder;  // the holder the time clock found for the card before
};

// Appends the card's line to the cardholder list under the journal's lock, after
// checking under that lock that the card is free (or that reassigning was asked for;
// the last line of a card wins). An empty list gets a header line first, since the
// first line is never read as an entry. Throws FileError; the list is then unchanged.
RegisterResult registerCard(const std::filesystem::path& appFolder, const QString& cardId,
                            const QString& name, const QStringList& particulars, bool reassign);

enum class RetireStatus {
    Retired,
    NotRegistered,  // no line of the list holds the card
    ListChanged,    // the list is not the one the office looked at; nothing written
    ListMissing,
    Busy,  // rock_file.txt exists: another writer, or one that crashed
};

struct RetireResult {
    RetireStatus status = RetireStatus::Retired;
    QString formerHolder;  // the holder the time clock found for the card
};

// Takes a card (lost or returned) off the cardholder list, after the office confirmed it
// on the list whose stamp is `seen` (as fileStampOf read it; nullopt: whatever is there
// now). Every line of the card goes, and the other lines stay byte for byte; the list is
// replaced whole (a new file beside it with the old one's permissions, synced, then
// renamed), under the journal's lock, so that a reader never sees half a list. The time
// clock then answers the card as unregistered. Throws FileError; the list is then unchanged.
RetireResult retireCard(const std::filesystem::path& appFolder, const QString& cardId,
                        const std::optional<FileStamp>& seen);

}  // namespace tavomi
