#include "support/data_folder_fixture.h"

#include "files/cp932.h"
#include "files/data_folder.h"
#include "support/journal_header.h"

#include <QFile>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace tavomi::test {

DataFolder::DataFolder() {
    if (!dir_.isValid()) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    std::filesystem::create_directories(appFolder() / kDataFolderName);
    writeLines(kCardholderListFile, {u"カードID,氏名,職名"_s});
    writeLines(kJournalFile, {QString::fromUtf16(kJournalHeader)});
    writeLines(kWeeklyTableFile, {
                                     u"曜日,開始,終了,休憩"_s,
                                     u"月,08:15,16:45,00:45"_s,
                                     u"火,08:15,16:45,00:45"_s,
                                     u"水,08:15,16:45,00:45"_s,
                                     u"木,08:15,16:45,00:45"_s,
                                     u"金,08:15,16:45,00:45"_s,
                                     u"土,00:00,00:00,00:00"_s,
                                     u"日,00:00,00:00,00:00"_s,
                                 });
    writeLines(kWorkingHoursFile, {u"日付,開始,終了,休憩"_s});
    writeBytes("analysis_of_data.xlsm", QByteArray("PK"));
    writeLines("working_hours_allocation.txt", {QStringLiteral("header")});
    writeLines("absentee.txt", {QStringLiteral("header")});
}

std::filesystem::path DataFolder::appFolder() const {
    return std::filesystem::path(dir_.path().toStdString());
}

std::filesystem::path DataFolder::file(std::string_view name) const {
    return dataFilePath(appFolder(), name);
}

QByteArray DataFolder::cp932Lines(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encodeCp932(line);
        bytes += "\r\n";
    }
    return bytes;
}

void DataFolder::writeLines(std::string_view name, const QStringList& lines) const {
    writeBytes(name, cp932Lines(lines));
}

void DataFolder::writeBytes(std::string_view name, const QByteArray& bytes) const {
    QFile f(QString::fromStdString(file(name).string()));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        throw std::runtime_error("cannot write " + file(name).string());
    }
}

QByteArray DataFolder::readBytes(std::string_view name) const {
    QFile f(QString::fromStdString(file(name).string()));
    if (!f.open(QIODevice::ReadOnly)) {
        throw std::runtime_error("cannot read " + file(name).string());
    }
    return f.readAll();
}

bool DataFolder::exists(std::string_view name) const {
    return std::filesystem::exists(file(name));
}

void DataFolder::remove(std::string_view name) const {
    std::filesystem::remove(file(name));
}

}  // namespace tavomi::test
