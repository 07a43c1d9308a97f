#pragma once
// A temporary program folder holding copies of the built program (tavomi, and
// tavomi_probe, the same program printing each modal window it shows), its data
// folder, and a private runtime folder for the single-instance marker.

#include "support/data_folder_fixture.h"

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tavomi::test {

using namespace Qt::StringLiterals;

class ProgramFolder {
  public:
    ProgramFolder() {
        // Hours on every day, so that start-up shows no message whatever today is.
        QStringList week = {u"曜日,開始,終了,休憩"_s};
        for (const char16_t* day : {u"月", u"火", u"水", u"木", u"金", u"土", u"日"}) {
            week.append(QString::fromUtf16(day) + QStringLiteral(",08:15,16:45,00:45"));
        }
        data.writeLines("ordinary_working_hours.txt", week);
        for (const char* built : {TAVOMI_PROGRAM, TAVOMI_PROBE}) {
            const std::filesystem::path from(built);
            std::filesystem::copy_file(from, data.appFolder() / from.filename());
        }
    }

    ~ProgramFolder() {
        for (const auto& p : started_) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    // The environment of a run: offscreen, the private runtime folder, and pcsc-lite
    // pointed at PCSCLITE_CSOCK_NAME when this process has one (the test rig), else at
    // a socket that does not exist, never at the machine's own service.
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", runtime_.path());
        if (!env.contains("PCSCLITE_CSOCK_NAME")) {
            env.insert("PCSCLITE_CSOCK_NAME", runtime_.filePath("no-pcscd.comm"));
        }
        return env;
    }

    QProcess& start(const char* program, const QProcessEnvironment& env) {
        started_.push_back(std::make_unique<QProcess>());
        QProcess& p = *started_.back();
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(runtime_.path());
        p.start(QString::fromStdString((data.appFolder() / program).string()), {});
        p.waitForStarted(5000);
        return p;
    }
    QProcess& start(const char* program) { return start(program, environment()); }

    // Every file under the program folder: its bytes and its modification time.
    using Snapshot = std::map<std::string, std::pair<QByteArray, std::filesystem::file_time_type>>;
    Snapshot snapshot() const {
        Snapshot files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(data.appFolder())) {
            QFile f(QString::fromStdString(entry.path().string()));
            QByteArray bytes;
            if (entry.is_regular_file() && f.open(QIODevice::ReadOnly)) {
                bytes = f.readAll();
            }
            files[entry.path().string()] = {bytes, entry.last_write_time()};
        }
        return files;
    }

    DataFolder data;

  private:
    QTemporaryDir runtime_;
    std::vector<std::unique_ptr<QProcess>> started_;
};

}  // namespace tavomi::test
