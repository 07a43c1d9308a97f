#pragma once

#include "files/comma_text.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <optional>

namespace tavomi {

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

    // A table is kept only when the file has entries (see tableOfLines).
    bool hasEntries() const { return !rows_.empty(); }
    const Table& rows() const { return rows_; }

  private:
    Table rows_;
};

// The manual entry screen's copy: it starts as one empty row and never shrinks,
// so rows beyond a shortened file keep the names an earlier reading put there.
class PersonListTable {
  public:
    PersonListTable();

    // Re-reads the file over the table's rows. Throws FileError; the table keeps
    // its rows then.
    void reload(const std::filesystem::path& appFolder);

    // Column 2 of every row after the header row, in row order, duplicates and
    // blanks included.
    QStringList names() const;

    const Table& rows() const { return rows_; }

  private:
    Table rows_;
};

}  // namespace tavomi
