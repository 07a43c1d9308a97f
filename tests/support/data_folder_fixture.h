#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <filesystem>
#include <string_view>

namespace tavomi::test {

// A temporary program folder with attendance_manegement and its seven files.
// Text helpers write and read CP932 with CR LF, as the real files are.
class DataFolder {
  public:
    // With all seven files present (journal with a header, a weekly table of
    // Monday to Friday 8:15-16:45, the rest with headers only).
    DataFolder();

    std::filesystem::path appFolder() const;
    std::filesystem::path file(std::string_view name) const;

    // Writes the lines in CP932, each followed by CR LF.
    void writeLines(std::string_view name, const QStringList& lines) const;
    void writeBytes(std::string_view name, const QByteArray& bytes) const;
    QByteArray readBytes(std::string_view name) const;
    bool exists(std::string_view name) const;
    void remove(std::string_view name) const;

    // CP932 bytes of the lines, each with CR LF.
    static QByteArray cp932Lines(const QStringList& lines);

  private:
    QTemporaryDir dir_;
};

}  // namespace tavomi::test
