// The line the built program writes to the session log when its data folder keeps it
// from working: what is missing or not writable, by its full path, links resolved. The
// start-up message itself stays as it is.
#include "files/data_folder.h"
#include "shell/program_folder.h"
#include "support/qt_printers.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

namespace fs = std::filesystem;
using test::waitUntil;

// Root passes every permission check; the program then runs without that power, as the
// reception account would.
QProcess& startAsAUser(test::ProgramFolder& appFolder, QProcess& process) {
    const QString program =
        QString::fromStdString((appFolder.data.appFolder() / "tavomi_probe").string());
    process.setProcessEnvironment(appFolder.environment());
    if (::geteuid() == 0) {
        const QString dropped = QStringLiteral("-dac_override,-dac_read_search,-fowner");
        process.start("setpriv",
                      {"--inh-caps=" + dropped, "--bounding-set=" + dropped, "--", program});
    } else {
        process.start(program, {});
    }
    process.waitForStarted(5000);
    return process;
}

QStringList tavomiLines(const QString& stderrText) {
    QStringList lines;
    for (const QString& line : stderrText.split(u'\n')) {
        if (line.startsWith(QStringLiteral("tavomi: "))) {
            lines.append(line);
        }
    }
    return lines;
}

QString userName() {
    const passwd* user = ::getpwuid(::geteuid());
    return user != nullptr ? QString::fromLocal8Bit(user->pw_name) : QString();
}

struct Case {
    const char* what;
    void (*arrange)(const fs::path& folder, const fs::path& elsewhere);
    bool startRefused;
    // %F is the data folder beside the program, %E the folder a link leads to, %U the user.
    const char* line;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.what;
}

class SessionLogTest : public ::testing::TestWithParam<Case> {};

TEST_P(SessionLogTest, NamesWhatIsMissingOrNotWritable) {
    const Case& c = GetParam();
    test::ProgramFolder appFolder;
    const fs::path folder = appFolder.data.appFolder() / std::string(kDataFolderName);
    const fs::path elsewhere = appFolder.data.appFolder() / "share";
    c.arrange(folder, elsewhere);
    QString expected = QString::fromUtf8(c.line);
    expected.replace(QStringLiteral("%F"), QString::fromStdString(folder.string()))
        .replace(QStringLiteral("%E"), QString::fromStdString(elsewhere.string()))
        .replace(QStringLiteral("%U"), userName());

    const QByteArray hoursBefore =
        c.startRefused ? QByteArray() : appFolder.data.readBytes(kWorkingHoursFile);
    QProcess probe;
    startAsAUser(appFolder, probe);
    QString err;
    if (c.startRefused) {
        ASSERT_TRUE(probe.waitForFinished(15000));
        err = QString::fromUtf8(probe.readAllStandardError());
        EXPECT_EQ(probe.exitCode(), 0);
        // The start-up message, once, as it always was.
        const QStringList boxes =
            QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        ASSERT_EQ(boxes.size(), 1) << err.toStdString();
        EXPECT_TRUE(boxes[0].contains(u"内のファイルが不整合です"_s));
    } else if (expected.isEmpty()) {
        // Start-up has made today's working hours: any line would have come before.
        EXPECT_TRUE(waitUntil(
            [&] { return appFolder.data.readBytes(kWorkingHoursFile) != hoursBefore; }, 15000));
        err = QString::fromUtf8(probe.readAllStandardError());
    } else {
        EXPECT_TRUE(waitUntil(
            [&] {
                err += QString::fromUtf8(probe.readAllStandardError());
                return !tavomiLines(err).isEmpty();
            },
            15000));
        EXPECT_EQ(probe.state(), QProcess::Running);
    }
    EXPECT_EQ(tavomiLines(err), expected.isEmpty() ? QStringList() : QStringList{expected})
        << err.toStdString();
    probe.kill();
    probe.waitForFinished(5000);
}

void moveFolderAwayBehindALink(const fs::path& folder, const fs::path& elsewhere) {
    fs::rename(folder, elsewhere);
    fs::create_directory_symlink(elsewhere, folder);
}

INSTANTIATE_TEST_SUITE_P(
    DataFolders, SessionLogTest,
    ::testing::Values(
        Case{"complete", [](const fs::path&, const fs::path&) {}, false, ""},
        Case{"no folder", [](const fs::path& folder, const fs::path&) { fs::remove_all(folder); },
             true, "tavomi: missing data folder %F"},
        Case{"a link to nothing",
             [](const fs::path& folder, const fs::path& elsewhere) {
                 fs::remove_all(folder);
                 fs::create_directory_symlink(elsewhere, folder);
             },
             true, "tavomi: missing data folder %E (linked from %F)"},
        Case{"two files missing",
             [](const fs::path& folder, const fs::path&) {
                 fs::remove(folder / kJournalFile);
                 fs::remove(folder / "absentee.txt");
             },
             true, "tavomi: missing data files: %F/keeper.txt, %F/absentee.txt"},
        Case{"a file missing behind a link",
             [](const fs::path& folder, const fs::path& elsewhere) {
                 moveFolderAwayBehindALink(folder, elsewhere);
                 fs::remove(elsewhere / kWorkingHoursFile);
             },
             true, "tavomi: missing data files: %E/working_hours.txt"},
        Case{"a folder that takes no lock file",
             [](const fs::path& folder, const fs::path&) {
                 fs::permissions(
                     folder,
                     fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                     fs::perm_options::remove);
             },
             false, "tavomi: not writable for user %U: %F"},
        Case{"journal and hours read-only behind a link",
             [](const fs::path& folder, const fs::path& elsewhere) {
                 moveFolderAwayBehindALink(folder, elsewhere);
                 for (std::string_view name : {kJournalFile, kWorkingHoursFile}) {
                     fs::permissions(elsewhere / name, fs::perms::owner_read);
                 }
             },
             false, "tavomi: not writable for user %U: %E/keeper.txt, %E/working_hours.txt"}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name;
        for (const char* p = info.param.what; *p != '\0'; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

}  // namespace
}  // namespace tavomi
