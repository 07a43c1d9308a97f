#pragma once

#include "files/comma_text.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>
#include <vector>

namespace tavomi {

// One line of associate_with_card.txt, by the comma-text rules (an empty field is " ").
struct CardholderRow {
    QString cardId;
    QString name;         // family and given name joined by a full-width space
    QString particulars;  // the first of them; later fields are not read

    static CardholderRow fromTableRow(const TableRow& row);
};

// The entries of associate_with_card.txt, header left out; none when the file has only
// a header. Throws FileError when it cannot be read.
std::vector<CardholderRow> readCardholderRows(const std::filesystem::path& file);

// "CARDID,NAME,PARTICULARS...", an entry as associate_with_card.txt holds it.
QString cardholderLine(const QString& cardId, const QString& name, const QStringList& particulars);

// The main screen's copy of associate_with_card.txt: loaded once, looked up per card.
class CardholderTable {
  public:
    // Replaces the table with the file's rows. Returns true when the file has at
    // least two lines (a header and one entry). Throws FileError; the
    // table is then empty.
    bool load(const std::filesystem::path& appFolder);

    // The name of the last entry whose identifier equals cardId exactly (case
    // matters); the header row never matches.
    std::optional<QString> lookup(const QString& cardId) const;

    bool hasEntries() const { return !entries_.empty(); }

  private:
    std::vector<CardholderRow> entries_;
};

// The manual entry screen's copy: it starts as one empty row and never shrinks,
// so rows beyond a shortened file keep the names an earlier reading put there.
class PersonListTable {
  public:
    PersonListTable();

    // Re-reads the file over the table's rows. Throws FileError; the table keeps
    // its rows then.
    void reload(const std::filesystem::path& appFolder);

    // The name of every row after the header row, in row order, duplicates and
    // blanks included.
    QStringList names() const;

  private:
    std::vector<CardholderRow> rows_;  // row 0 stands for the header
};

}  // namespace tavomi
