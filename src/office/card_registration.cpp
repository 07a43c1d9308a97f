#include "office/card_registration.h"

#include "files/cardholder_list.h"
#include "files/comma_text.h"
#include "files/cp932.h"
#include "files/data_file_io.h"
#include "files/data_folder.h"
#include "files/file_error.h"
#include "files/punch_journal.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace tavomi {

namespace {

// What an empty list gets as its first line, which is never read as an entry.
constexpr const char16_t* kListHeader = u"カードID,氏名,備考";

bool cp932Writes(const QString& character) {
    return decodeCp932(encodeCp932(character)) == character;
}

// The list's lines with their line breaks, the first (the header) included.
std::vector<QByteArray> linesWithBreaks(const QByteArray& bytes) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype lf = bytes.indexOf('\n', start);
        const qsizetype next = lf < 0 ? bytes.size() : lf + 1;
        lines.push_back(bytes.mid(start, next - start));
        start = next;
    }
    return lines;
}

// Whether a data line of the list is the card's, as the time clock reads it.
bool isCardsLine(const QByteArray& line, const QString& cardId) {
    QByteArray text = line;
    while (text.endsWith('\n') || text.endsWith('\r')) {
        text.chop(1);
    }
    return commaTextRow(1, decodeCp932(text))[1] == cardId;
}

// The new list in the old one's place, with its permissions and group.
void replaceList(const std::filesystem::path& list, const QByteArray& bytes) {
    struct stat old {};
    if (::stat(list.c_str(), &old) != 0) {
        throw FileError(list, "cannot read", errno);
    }
    replaceFileWhole(list, bytes, old.st_mode & 07777, old.st_gid);
}

}  // namespace

std::optional<FieldProblem> fieldProblem(const QString& field) {
    using Kind = FieldProblem::Kind;
    for (const char32_t c : field.toUcs4()) {
        if (c == u',') {
            return FieldProblem{Kind::Comma, c};
        }
        if (c == u'"') {
            return FieldProblem{Kind::DoubleQuote, c};
        }
        if (c == u' ') {
            return FieldProblem{Kind::HalfWidthSpace, c};
        }
        if (c < 0x20 || c == 0x7F) {
            return FieldProblem{Kind::ControlCharacter, c};
        }
        if (!cp932Writes(QString::fromUcs4(&c, 1))) {
            return FieldProblem{Kind::NotInCp932, c};
        }
    }
    return std::nullopt;
}

std::optional<NameProblem> nameProblem(const QString& name) {
    if (name.isEmpty()) {
        return NameProblem{NameProblem::Kind::Empty, {}};
    }
    if (const auto problem = fieldProblem(name)) {
        return NameProblem{NameProblem::Kind::Field, *problem};
    }
    // The ideographic space only joins family and given name: a name that is nothing
    // else, or ends in one, is a typing slip that no screen could tell apart.
    if (name.front() == u'　' || name.back() == u'　') {
        return NameProblem{NameProblem::Kind::SpaceAtEdge, {}};
    }
    return std::nullopt;
}

std::optional<QString> fieldRefusal(const QString& field) {
    const auto problem = fieldProblem(field);
    if (!problem) {
        return std::nullopt;
    }
    switch (problem->kind) {
        case FieldProblem::Kind::Comma:
            return QCoreApplication::translate("tavomi-card", "holds a comma");
        case FieldProblem::Kind::DoubleQuote:
            return QCoreApplication::translate("tavomi-card", "holds a double quote");
        case FieldProblem::Kind::HalfWidthSpace:
            return QCoreApplication::translate("tavomi-card", "holds a half-width space");
        case FieldProblem::Kind::ControlCharacter:
            return QCoreApplication::translate("tavomi-card", "holds a control character");
        case FieldProblem::Kind::NotInCp932:
            return QCoreApplication::translate("tavomi-card",
                                               "holds %1 (U+%2), which CP932 cannot write")
                .arg(QString::fromUcs4(&problem->character, 1),
                     QString::number(problem->character, 16).toUpper().rightJustified(4, u'0'));
    }
    return std::nullopt;
}

std::optional<QString> nameRefusal(const QString& name) {
    const auto problem = nameProblem(name);
    if (!problem) {
        return std::nullopt;
    }
    switch (problem->kind) {
        case NameProblem::Kind::Empty:
            return QCoreApplication::translate("tavomi-card", "the name is empty");
        case NameProblem::Kind::Field:
            return QCoreApplication::translate("tavomi-card", "the name %1")
                .arg(*fieldRefusal(name));
        case NameProblem::Kind::SpaceAtEdge:
            return QCoreApplication::translate("tavomi-card",
                                               "the name begins or ends with a full-width space");
    }
    return std::nullopt;
}

RegisterResult registerCard(const std::filesystem::path& appFolder, const QString& cardId,
                            const QString& name, const QStringList& particulars, bool reassign) {
    const auto list = dataFilePath(appFolder, kCardholderListFile);
    if (!regularFileExists(list)) {
        return {RegisterStatus::ListMissing, {}};
    }
    // The journal's lock: the tool writes the list as the time clock writes the journal.
    const auto lockFile = dataFilePath(appFolder, kLockFile);
    JournalLock lock;
    if (!lock.take(lockFile)) {
        return {RegisterStatus::Busy, {}};
    }
    const JournalLockHold hold(lock, lockFile);

    RegisterResult result;
    CardholderTable table;
    table.load(appFolder);
    if (const auto holder = table.lookup(cardId)) {
        result.formerHolder = *holder;
        if (!reassign) {
            result.status = RegisterStatus::AlreadyRegistered;
            return result;
        }
    }
    QString text = cardholderLine(cardId, name, particulars);
    std::error_code ec;
    if (std::filesystem::file_size(list, ec) == 0 && !ec) {
        text = QString::fromUtf16(kListHeader) + QStringLiteral("\r\n") + text;
    }
    appendLine(list, text);
    return result;
}

RetireResult retireCard(const std::filesystem::path& appFolder, const QString& cardId,
                        const std::optional<FileStamp>& seen) {
    const auto list = dataFilePath(appFolder, kCardholderListFile);
    if (!regularFileExists(list)) {
        return {RetireStatus::ListMissing, {}};
    }
    const auto lockFile = dataFilePath(appFolder, kLockFile);
    JournalLock lock;
    if (!lock.take(lockFile)) {
        return {RetireStatus::Busy, {}};
    }
    const JournalLockHold hold(lock, lockFile);
    if (seen && fileStampOf(list) != *seen) {
        return {RetireStatus::ListChanged, {}};
    }
    RetireResult result;
    CardholderTable table;
    table.load(appFolder);
    const auto holder = table.lookup(cardId);
    if (!holder) {
        return {RetireStatus::NotRegistered, {}};
    }
    result.formerHolder = *holder;
    const UniqueFd fd = openDataFile(list, O_RDONLY, "cannot open");
    QByteArray kept;
    bool header = true;
    for (const QByteArray& line : linesWithBreaks(readToEnd(fd.get(), list))) {
        if (header || !isCardsLine(line, cardId)) {
            kept += line;
        }
        header = false;
    }
    replaceList(list, kept);
    return result;
}

}  // namespace tavomi
