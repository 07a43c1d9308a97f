#include "office/card_registration.h"

#include "files/cardholder_list.h"
#include "files/cp932.h"
#include "files/data_folder.h"
#include "files/punch_journal.h"

#include <QCoreApplication>

#include <system_error>

namespace tavomi {

namespace {

// What an empty list gets as its first line, which is never read as an entry.
constexpr const char16_t* kListHeader = u"カードID,氏名,備考";

bool cp932Writes(const QString& character) {
    return decodeCp932(encodeCp932(character)) == character;
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

}  // namespace tavomi
