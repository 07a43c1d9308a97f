// What the built program answers on its command line: --help and --version for the
// administrator, without a display and without starting the time clock, and one line
// pointing to --help for anything else.
#include "files/data_folder.h"
#include "shell/program_folder.h"
#include "support/qt_printers.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tavomi {
namespace {

using test::waitUntil;

struct Answer {
    int exitCode = -1;
    QString out;
    QString err;
};

// The program of this folder run with these arguments and without a display.
Answer ask(const test::ProgramFolder& appFolder, const QStringList& args) {
    QProcessEnvironment env = appFolder.environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(name);
    }
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString((appFolder.data.appFolder() / "tavomi").string()), args);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "tavomi " << args.join(' ').toStdString() << " did not end";
    }
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

std::filesystem::path dataFolderOf(const test::ProgramFolder& appFolder) {
    return appFolder.data.appFolder() / std::string(kDataFolderName);
}

QString text(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

class OptionsTest : public ::testing::Test {
  protected:
    Answer ask(const QStringList& args) { return tavomi::ask(appFolder, args); }

    test::ProgramFolder appFolder;
};

TEST_F(OptionsTest, HelpAndVersionAnswerAndStartNothing) {
    // A start would make today's working hours: an unchanged folder shows none happened.
    const auto before = appFolder.snapshot();

    const Answer version = ask({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("tavomi " TAVOMI_VERSION "\n"));
    EXPECT_EQ(version.err, QString());

    const Answer help = ask({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err, QString());
    const QStringList lines = help.out.split(u'\n');
    EXPECT_EQ(lines.value(0), QStringLiteral("Usage: tavomi [--no-sound] [--help | --version]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Data folder: ") + text(dataFolderOf(appFolder))))
        << help.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Read me: https://tavomi.example.org/")))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("Tavomi " TAVOMI_VERSION)))
        << help.out.toStdString();

    EXPECT_EQ(ask({"-h"}).out, help.out);
    EXPECT_EQ(ask({"--version", "--help"}).out, help.out);
    EXPECT_EQ(appFolder.snapshot(), before);
}

// The data folder line tells where the folder really is, or that it is not there.
TEST(OptionsHelpTest, HelpDescribesTheDataFolder) {
    namespace fs = std::filesystem;
    struct Case {
        const char* what;
        void (*arrange)(const fs::path& folder, const fs::path& share);
        const char* said;  // after the folder's own path; %1 is the share
    };
    const std::vector<Case> cases = {
        {"a folder", [](const fs::path&, const fs::path&) {}, ""},
        {"missing", [](const fs::path& folder, const fs::path&) { fs::remove_all(folder); },
         " (which does not exist)"},
        {"a link to a folder",
         [](const fs::path& folder, const fs::path& share) {
             fs::rename(folder, share);
             fs::create_directory_symlink(share, folder);
         },
         " (a link to %1)"},
        {"a link to nothing",
         [](const fs::path& folder, const fs::path& share) {
             fs::remove_all(folder);
             fs::create_directory_symlink(share, folder);
         },
         " (a link to %1, which does not exist)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::ProgramFolder appFolder;
        const fs::path folder = dataFolderOf(appFolder);
        const fs::path share = appFolder.data.appFolder() / "share";
        c.arrange(folder, share);
        const Answer help = ask(appFolder, {"--help"});
        EXPECT_EQ(help.exitCode, 0);
        const QString line = QStringLiteral("Data folder: ") + text(folder) +
                             QString::fromUtf8(c.said).replace(QStringLiteral("%1"), text(share));
        EXPECT_TRUE(help.out.split(u'\n').contains(line)) << help.out.toStdString();
    }
}

TEST_F(OptionsTest, AnythingElseIsRefusedInOneLine) {
    const auto before = appFolder.snapshot();
    struct Case {
        QStringList args;
        QString refused;
    };
    const std::vector<Case> cases = {
        {{"--verbose"}, "--verbose"},
        {{"-v"}, "-v"},
        {{"keeper.txt"}, "keeper.txt"},
        {{"--help", "--version=2"}, "--version=2"},
        // Qt's own options are not Tavomi's: it takes none.
        {{"-platform", "offscreen"}, "-platform"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Answer answer = ask(c.args);
        EXPECT_EQ(answer.exitCode, 2);
        EXPECT_EQ(answer.out, QString());
        EXPECT_EQ(answer.err, QStringLiteral("tavomi: unknown option '") + c.refused +
                                  QStringLiteral("'; see tavomi --help\n"));
    }
    EXPECT_EQ(appFolder.snapshot(), before);
}

// An administrator asks on the reception PC while Tavomi runs in the session.
TEST_F(OptionsTest, VersionAnswersWhileACopyRuns) {
    const QByteArray hoursBefore = appFolder.data.readBytes(kWorkingHoursFile);
    QProcess& running = appFolder.start("tavomi");
    // Today's working hours are made at start: it has started.
    ASSERT_TRUE(waitUntil(
        [&] { return appFolder.data.readBytes(kWorkingHoursFile) != hoursBefore; }, 15000))
        << running.readAllStandardError().toStdString();

    const Answer version = ask({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("tavomi " TAVOMI_VERSION "\n"));
    EXPECT_EQ(running.state(), QProcess::Running);
}

}  // namespace
}  // namespace tavomi
