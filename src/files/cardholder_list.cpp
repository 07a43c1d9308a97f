#include "files/cardholder_list.h"

#include "files/data_folder.h"

namespace tavomi {

CardholderRow CardholderRow::fromTableRow(const TableRow& row) {
    return {row[1], row[2], row[3]};
}

std::vector<CardholderRow> readCardholderRows(const std::filesystem::path& file) {
    return readDataRows<CardholderRow>(file);
}

QString cardholderLine(const QString& cardId, const QString& name, const QStringList& particulars) {
    return (QStringList{cardId, name} + particulars).join(u',');
}

bool CardholderTable::load(const std::filesystem::path& appFolder) {
    entries_.clear();  // a read that throws leaves no earlier entries behind
    entries_ = readCardholderRows(dataFilePath(appFolder, kCardholderListFile));
    return hasEntries();
}

std::optional<QString> CardholderTable::lookup(const QString& cardId) const {
    std::optional<QString> name;
    // No early stop: when several entries carry the identifier, the last one wins.
    for (const CardholderRow& entry : entries_) {
        if (entry.cardId == cardId) {
            name = entry.name;
        }
    }
    return name;
}

PersonListTable::PersonListTable() : rows_(1) {}

void PersonListTable::reload(const std::filesystem::path& appFolder) {
    const QStringList lines = readDataFileLines(dataFilePath(appFolder, kCardholderListFile));
    if (lines.size() < 2) {
        return;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto row = static_cast<std::size_t>(i);
        if (row >= rows_.size()) {
            rows_.emplace_back();
        }
        rows_[row] = CardholderRow::fromTableRow(commaTextRow(static_cast<int>(i), lines[i]));
    }
}

QStringList PersonListTable::names() const {
    QStringList names;
    for (std::size_t row = 1; row < rows_.size(); ++row) {
        names.append(rows_[row].name);
    }
    return names;
}

}  // namespace tavomi
