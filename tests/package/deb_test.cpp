// The Debian package, built by CPack from this build folder into a temporary folder:
// its name, files and control fields, lintian's verdict, the postinst in a private
// mount namespace, the unpacked program finding its files under a virtual display, and
// the README's installation, upgrade and removal in a throw-away copy of this machine.
// Nothing is installed on this machine.
#include "files/data_folder.h"
#include "files/working_hours.h"
#include "support/data_folder_fixture.h"
#include "support/journal_header.h"
#include "support/qt_printers.h"
#include "support/wait.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tavomi {
namespace {

using test::waitUntil;
using namespace Qt::StringLiterals;

struct Ran {
    int exitCode = -1;
    QString out;
    QString err;
};

Ran run(const QString& program, const QStringList& args,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
        const QString& workingDirectory = {}, int timeoutMs = 180000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workingDirectory);
    process.start(program, args);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QStringList installedPrograms() {
    return QStringLiteral(TAVOMI_PROGRAMS).split(u',');
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The package, built once for all tests, and its files unpacked under root().
class BuiltPackage {
  public:
    BuiltPackage() {
        arch_ = run("dpkg", {"--print-architecture"}).out.trimmed();
        // What an earlier `make package` of another version left in the output folder.
        QDir().mkpath(outputFolder());
        QFile(outputFolder() + "/tavomi_0.1_" + arch_ + ".deb").open(QIODevice::WriteOnly);
        const Ran cpack = run(TAVOMI_CPACK, {"-G", "DEB", "--config", TAVOMI_CPACK_CONFIG, "-B",
                                             dir_.filePath("out")});
        log_ = cpack.out + cpack.err;
        const Ran unpacked = run("dpkg-deb", {"-x", deb(), root()});
        log_ += unpacked.err;
        built_ = cpack.exitCode == 0 && unpacked.exitCode == 0;
    }

    bool built() const { return built_; }
    const QString& log() const { return log_; }
    const QString& arch() const { return arch_; }
    QString outputFolder() const { return dir_.filePath("out"); }
    QString deb() const {
        return outputFolder() + QStringLiteral("/tavomi_" TAVOMI_VERSION "_") + arch_ + ".deb";
    }
    QString root() const { return dir_.filePath("root"); }

  private:
    QTemporaryDir dir_;
    QString arch_;
    QString log_;
    bool built_ = false;
};

class DebTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { package_ = new BuiltPackage; }
    static void TearDownTestSuite() {
        delete package_;
        package_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(package_->built()) << package_->log().toStdString(); }

    static BuiltPackage* package_;
};
BuiltPackage* DebTest::package_ = nullptr;

// The one package in its folder: an older one there went, so that the README's
// `apt install ./build/tavomi_*.deb` names this one alone.
TEST_F(DebTest, CarriesTheDebianFileNameAloneInItsFolder) {
    const QStringList debs = QDir(package_->outputFolder()).entryList({"*.deb"}, QDir::Files);
    EXPECT_EQ(debs, QStringList{QFileInfo(package_->deb()).fileName()});
}

// Every entry as dpkg-deb lists it: "mode" for files, "mode -> target" for links.
std::map<std::string, std::string> listedEntries(const QString& listing, QStringList& problems) {
    std::map<std::string, std::string> entries;
    for (const QString& line : listing.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u' ', Qt::SkipEmptyParts);
        if (f.size() < 6) {
            problems << line;
            continue;
        }
        if (f[1] != QStringLiteral("root/root")) {
            problems << line;
        }
        const QString path = f.mid(5).join(u' ');
        if (f[0].startsWith(u'd')) {
            if (f[0] != QStringLiteral("drwxr-xr-x")) {
                problems << line;
            }
            continue;
        }
        entries[path.section(QStringLiteral(" -> "), 0, 0).toStdString()] =
            (f[0] + (path.contains(QStringLiteral(" -> "))
                         ? QStringLiteral(" -> ") + path.section(QStringLiteral(" -> "), 1)
                         : QString()))
                .toStdString();
    }
    return entries;
}

TEST_F(DebTest, HoldsTheProgramsInTheirFolderAndNothingElse) {
    const Ran listing = run("dpkg-deb", {"-c", package_->deb()});
    ASSERT_EQ(listing.exitCode, 0) << listing.err.toStdString();
    QStringList problems;  // entries not root-owned, folders not 755
    const auto entries = listedEntries(listing.out, problems);
    EXPECT_EQ(problems, QStringList());

    const std::string file = "-rw-r--r--";
    std::map<std::string, std::string> expected = {
        {"./usr/lib/tavomi/attendance_manegement",
         "lrwxrwxrwx -> /var/lib/tavomi/attendance_manegement"},
        {"./usr/lib/tavomi/spool", "lrwxrwxrwx -> /var/lib/tavomi/spool"},
        {"./usr/lib/tavomi/tavomi-report-pdf", "-rwxr-xr-x"},  // tavomi-report's, for PDFs
        {"./usr/share/applications/tavomi.desktop", file},
        {"./usr/share/applications/tavomi-office.desktop", file},
        {"./usr/share/icons/hicolor/scalable/apps/tavomi.svg", file},
        {"./usr/share/tavomi/autostart/tavomi.desktop", file},
        {"./usr/lib/systemd/user/tavomi.service", file},
        {"./usr/share/doc/tavomi/README.md", file},
        {"./usr/share/doc/tavomi/copyright", file},
        {"./usr/share/doc/tavomi/changelog.gz", file},
        {"./usr/share/lintian/overrides/tavomi", file},
    };
    for (const QString& program : installedPrograms()) {
        const std::string name = program.toStdString();
        expected["./usr/lib/tavomi/" + name] = "-rwxr-xr-x";
        expected["./usr/bin/" + name] = "lrwxrwxrwx -> ../lib/tavomi/" + name;
        expected["./usr/share/man/man1/" + name + ".1.gz"] = file;
    }
    for (std::string_view name : kRequiredFiles) {
        if (!name.ends_with(".xlsm")) {  // the workbook is the school's own
            expected["./usr/share/tavomi/templates/" + std::string(name)] = file;
        }
    }
    EXPECT_EQ(entries, expected);
}

// "Field: value" lines of the control file; continuation lines belong to the field before.
std::map<QString, QString> controlFields(const QString& control) {
    std::map<QString, QString> fields;
    QString last;
    for (const QString& line : control.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u' ') && !last.isEmpty()) {
            fields[last] += u'\n' + line;
        } else {
            last = line.section(u':', 0, 0);
            fields[last] = line.section(u':', 1).trimmed();
        }
    }
    return fields;
}

// Package names of a Depends field, alternatives and versions left out.
QStringList packageNames(const QString& relations) {
    QStringList names;
    for (const QString& relation : relations.split(u',')) {
        for (const QString& alternative : relation.split(u'|')) {
            names << alternative.trimmed().section(u' ', 0, 0).section(u':', 0, 0);
        }
    }
    return names;
}

TEST_F(DebTest, ControlFieldsSayWhatTheProgramNeeds) {
    const Ran control = run("dpkg-deb", {"-f", package_->deb()});
    ASSERT_EQ(control.exitCode, 0) << control.err.toStdString();
    const auto fields = controlFields(control.out);
    const auto field = [&](const char* name) {
        const auto it = fields.find(QString::fromLatin1(name));
        return it == fields.end() ? QString() : it->second;
    };
    EXPECT_EQ(field("Package"), QStringLiteral("tavomi"));
    EXPECT_EQ(field("Version"), QStringLiteral(TAVOMI_VERSION));
    EXPECT_EQ(field("Architecture"), package_->arch());
    EXPECT_TRUE(field("Maintainer").contains(QRegularExpression(QStringLiteral("^.+ <.+@.+>$"))))
        << field("Maintainer").toStdString();
    for (const char* present : {"Section", "Priority", "Description", "Homepage"}) {
        EXPECT_FALSE(field(present).isEmpty()) << present;
    }
    // Nothing a reception PC does without; the virtual card belongs to the tests.
    EXPECT_EQ(fields.count(QStringLiteral("Recommends")), 0u) << field("Recommends").toStdString();
    EXPECT_FALSE(control.out.contains(QStringLiteral("vsmartcard"))) << control.out.toStdString();

    const QStringList depends = packageNames(field("Depends"));
    struct Need {
        const char* package;
        const char* why;
    };
    const std::vector<Need> needs = {
        {"pcscd", "the smart-card service"},
        {"libccid", "USB card readers"},
        {"fonts-noto-cjk", "Japanese on screen"},
        {"fonts-ipafont-gothic", "searchable Japanese in the PDF reports"},
        {"qt6-translations-l10n", "Qt's own dialogs in Japanese"},
        {"adduser", "postinst makes the group"},
        {"libpcsclite1", "dpkg-shlibdeps: the PC/SC client library"},
        {"libqt6widgets6", "dpkg-shlibdeps: the Qt widgets"},
        {"libqt6svgwidgets6", "dpkg-shlibdeps: the pictures"},
        {"libc6", "dpkg-shlibdeps: the C library"},
    };
    for (const Need& need : needs) {
        EXPECT_TRUE(depends.contains(QString::fromLatin1(need.package)))
            << need.package << " (" << need.why << ") not in " << field("Depends").toStdString();
    }
}

TEST_F(DebTest, LintianFindsNoError) {
    // Lintian does not want root; a copy in a folder everyone can read is checked as nobody.
    QTemporaryDir shared;
    ASSERT_TRUE(QFile::setPermissions(shared.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                         QFile::ExeOwner | QFile::ReadOther |
                                                         QFile::ExeOther));
    const QString deb = shared.filePath(QFileInfo(package_->deb()).fileName());
    ASSERT_TRUE(QFile::copy(package_->deb(), deb));
    QStringList command = {"lintian", "--fail-on", "error", deb};
    if (::geteuid() == 0) {
        command = QStringList{"setpriv",        "--reuid=65534", "--regid=65534",
                              "--clear-groups", "env",           "HOME=/nonexistent"} +
                  command;
    }
    const Ran lintian =
        run(command.takeFirst(), command, QProcessEnvironment::systemEnvironment(), shared.path());
    std::cout << "lintian:\n" << (lintian.out + lintian.err).toStdString();
    EXPECT_EQ(lintian.exitCode, 0) << (lintian.out + lintian.err).toStdString();
    EXPECT_FALSE(lintian.out.contains(
        QRegularExpression(QStringLiteral("^E: "), QRegularExpression::MultilineOption)));
}

TEST_F(DebTest, DesktopEntriesNameAProgramAndIconOfThePackage) {
    const QString root = package_->root();
    for (const char* entry :
         {"/usr/share/applications/tavomi.desktop", "/usr/share/applications/tavomi-office.desktop",
          "/usr/share/tavomi/autostart/tavomi.desktop"}) {
        SCOPED_TRACE(entry);
        const QString path = root + QString::fromLatin1(entry);
        const Ran validated = run("desktop-file-validate", {path});
        EXPECT_EQ(validated.exitCode, 0);
        EXPECT_EQ(validated.out + validated.err, QString());

        const QStringList lines = readText(path).split(u'\n');
        const auto value = [&](const QString& key) {
            for (const QString& line : lines) {
                if (line.startsWith(key + u'=')) {
                    return line.mid(key.size() + 1);
                }
            }
            return QString();
        };
        EXPECT_TRUE(QFileInfo::exists(root + "/usr/bin/" + value("Exec")))
            << value("Exec").toStdString();
        EXPECT_TRUE(QFileInfo::exists(root + "/usr/share/icons/hicolor/scalable/apps/" +
                                      value("Icon") + ".svg"))
            << value("Icon").toStdString();
        EXPECT_FALSE(value("Name").isEmpty());
        EXPECT_FALSE(value("Name[ja]").isEmpty());
    }
}

// A school copies these into its data folder: a header line each, in CP932 with CR LF;
// the weekly table holds a week besides, Monday to Sunday.
TEST_F(DebTest, TemplatesAreHeaderLinesInCp932AndTheWeeklyTableAWeek) {
    const QString folder = package_->root() + "/usr/share/tavomi/templates/";
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        SCOPED_TRACE(name.toStdString());
        QFile file(folder + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const qsizetype lines = name == QLatin1String(kWeeklyTableFile) ? 8 : 1;
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_EQ(bytes.count("\n"), lines);
        EXPECT_EQ(bytes.count("\r\n"), lines);
        EXPECT_EQ(bytes.count("\r"), lines);
        EXPECT_FALSE(bytes.startsWith("\xEF\xBB\xBF"));
        QStringDecoder cp932("CP932", QStringDecoder::Flag::Stateless);
        const QString text = cp932.decode(bytes);
        EXPECT_FALSE(cp932.hasError());
        EXPECT_TRUE(text.section(u'\r', 0, 0).contains(u',')) << text.toStdString();
    }
}

// The program reads the template's week as a typical one: hours from Monday to Friday,
// Saturday and Sunday off.
TEST_F(DebTest, WeeklyTableTemplateGivesHoursOnWeekdaysOnly) {
    namespace fs = std::filesystem;
    QTemporaryDir scratch;
    const fs::path app(scratch.path().toStdString());
    fs::copy(fs::path(package_->root().toStdString()) / "usr/share/tavomi/templates",
             app / kDataFolderName);
    const QDate monday(2024, 6, 3);
    std::vector<DerivationOutcome> outcomes;
    for (int day = 0; day < 7; ++day) {
        outcomes.push_back(deriveWorkingHours(app, monday.addDays(day)));
    }
    using enum DerivationOutcome;
    EXPECT_EQ(outcomes, (std::vector<DerivationOutcome>{Appended, Appended, Appended, Appended,
                                                        Appended, NoWorkingHours, NoWorkingHours}));
    QFile derived(QString::fromStdString((app / kDataFolderName / kWorkingHoursFile).string()));
    ASSERT_TRUE(derived.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = derived.readAll().split('\n');
    ASSERT_EQ(lines.size(), 7);  // the header, five days and what follows the last CR LF
    EXPECT_EQ(lines[1], "2024/06/03,08:15,16:45,00:45\r");
    EXPECT_EQ(lines[5], "2024/06/07,08:15,16:45,00:45\r");
}

TEST_F(DebTest, UnpackedProgramAnswersFromItsOwnFolder) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    const QString root = package_->root();
    const QString program = root + "/usr/bin/tavomi";

    const Ran version = run(program, {"--version"}, env);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("tavomi " TAVOMI_VERSION "\n"));

    const Ran help = run(program, {"--help"}, env);
    EXPECT_EQ(help.exitCode, 0);
    const QString realRoot = QFileInfo(root).canonicalFilePath();
    EXPECT_TRUE(help.out.contains(QStringLiteral("\nData folder: ") + realRoot +
                                  "/usr/lib/tavomi/attendance_manegement (a link to "
                                  "/var/lib/tavomi/attendance_manegement"))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("\nRecords kept on this PC while the file "
                                                 "server does not answer: ") +
                                  realRoot +
                                  "/usr/lib/tavomi/spool (a link to /var/lib/tavomi/spool"))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("\nRead me: ") + realRoot +
                                  "/usr/share/doc/tavomi/README.md and https://"))
        << help.out.toStdString();
}

// tavomi-report on the PATH hands a PDF to its helper beside the real program, not beside
// the link; there, as on a server, without a display.
TEST_F(DebTest, UnpackedReportDrawsAPdfThroughItsLink) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("LC_ALL", "C.UTF-8");  // its English words
    env.insert("LANGUAGE", "");
    const test::DataFolder data;
    data.writeLines(kJournalFile, {QString::fromUtf16(test::kJournalHeader),
                                   u"出勤,山田　花子,2019/08/01,07:45,IC記録,詳細なし,事由なし"_s});
    QTemporaryDir out;
    const QString pdf = out.filePath(u"2019-08.pdf"_s);
    const Ran report = run(package_->root() + "/usr/bin/tavomi-report",
                           {"month", "2019/08", "--pdf", pdf, "--data",
                            QString::fromStdString((data.appFolder() / kDataFolderName).string())},
                           env);
    EXPECT_EQ(report.exitCode, 0) << report.err.toStdString();
    EXPECT_TRUE(report.out.startsWith(u"wrote "_s + pdf)) << report.out.toStdString();
    EXPECT_TRUE(QFileInfo(pdf).size() > 0);
}

// A virtual X display of our own, on the first free number.
class VirtualDisplay {
  public:
    VirtualDisplay() {
        // A display number another server held a moment ago may not answer yet (or may
        // answer for someone else): only a display that answers is handed out.
        for (int attempt = 0; attempt < 3 && name_.isEmpty(); ++attempt) {
            start();
        }
    }
    ~VirtualDisplay() { stop(); }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    const QString& name() const { return name_; }  // empty when Xvfb did not start

    // True when a window of that title is mapped and viewable.
    bool showsWindow(const QString& title) const {
        const Ran info = run("xwininfo", {"-display", name_, "-name", title});
        return info.exitCode == 0 && info.out.contains(QStringLiteral("Map State: IsViewable"));
    }

  private:
    void start() {
        server_.start("Xvfb", {"-displayfd", "1", "-noreset", "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp"});
        waitUntil([&] { return server_.canReadLine() || server_.state() == QProcess::NotRunning; },
                  30000);
        const QString number = QString::fromLatin1(server_.readLine()).trimmed();
        if (!number.isEmpty() &&
            run("xwininfo", {"-display", u':' + number, "-root"}).exitCode == 0) {
            name_ = u':' + number;
        } else {
            stop();
        }
    }
    // Ended so that it takes its sockets and lock file with it.
    void stop() {
        if (server_.state() != QProcess::NotRunning) {
            server_.terminate();
            if (!server_.waitForFinished(5000)) {
                server_.kill();
                server_.waitForFinished(5000);
            }
        }
    }

    QProcess server_;
    QString name_;
};

TEST_F(DebTest, UnpackedProgramShowsItsMainScreen) {
    namespace fs = std::filesystem;
    // An installation of its own, with a data folder made from the templates in place of
    // the link to /var/lib.
    QTemporaryDir scratch;
    const fs::path root = fs::path(scratch.path().toStdString()) / "root";
    ASSERT_EQ(
        run("dpkg-deb", {"-x", package_->deb(), QString::fromStdString(root.string())}).exitCode,
        0);
    const fs::path data = root / "usr/lib/tavomi" / std::string(kDataFolderName);
    fs::remove(data);
    fs::copy(root / "usr/share/tavomi/templates", data);
    {
        // Hours on every day, so that start-up shows no message whatever today is.
        QFile week(QString::fromStdString((data / kWeeklyTableFile).string()));
        ASSERT_TRUE(week.open(QIODevice::ReadWrite));
        const QByteArray header = week.readLine();
        ASSERT_TRUE(week.resize(0));
        ASSERT_TRUE(week.seek(0));
        week.write(header);
        QStringList days;
        for (const char16_t* day : {u"月", u"火", u"水", u"木", u"金", u"土", u"日"}) {
            days << QString::fromUtf16(day) + QStringLiteral(",08:15,16:45,00:45");
        }
        week.write(test::DataFolder::cp932Lines(days));
    }
    QFile(QString::fromStdString((data / "analysis_of_data.xlsm").string()))
        .open(QIODevice::WriteOnly);
    QFile(QString::fromStdString((data / kLockFile).string())).open(QIODevice::WriteOnly);

    const VirtualDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", display.name());
    env.insert("XDG_RUNTIME_DIR", scratch.path());
    env.insert("PCSCLITE_CSOCK_NAME", scratch.filePath("no-pcscd.comm"));
    QProcess tavomi;
    tavomi.setProcessEnvironment(env);
    tavomi.start(QString::fromStdString((root / "usr/bin/tavomi").string()), {});

    EXPECT_TRUE(waitUntil([&] { return display.showsWindow("Form1"); }, 30000))
        << tavomi.readAllStandardError().toStdString();
    // Start-up found its data folder, and left the lock file to the writer's running rule.
    EXPECT_TRUE(fs::exists(data / kLockFile));
    EXPECT_EQ(tavomi.state(), QProcess::Running);
    tavomi.kill();
    tavomi.waitForFinished(5000);
}

// The postinst, run in a private mount namespace whose /etc is an overlay and whose
// /var/lib is empty, so that the machine's own group file and /var/lib stay untouched.
TEST_F(DebTest, PostinstMakesTheGroupAndFolderAndLeavesAnAdministratorsFolderAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a private /etc and /var/lib need root";
    }
    QTemporaryDir scratch;
    const QString control = scratch.filePath("control");
    ASSERT_EQ(run("dpkg-deb", {"-e", package_->deb(), control}).exitCode, 0);

    struct Case {
        const char* what;
        const char* before;  // shell run before the postinst
        const char* after;   // what `stat` then says of the data folder (and its file)
    };
    const std::vector<Case> cases = {
        {"new installation", ":",
         "root tavomi 2770 directory /var/lib/tavomi/attendance_manegement\n"},
        {"upgrade over a folder in use",
         "sh $control/postinst configure; chmod 2770 $data; echo x >$data/keeper.txt; "
         "chmod 640 $data/keeper.txt",
         "root tavomi 2770 directory /var/lib/tavomi/attendance_manegement\n"
         "root tavomi 640 regular file /var/lib/tavomi/attendance_manegement/keeper.txt\n"},
        {"a share mounted there", "mkdir -p $data; mount -t tmpfs -o mode=0750 share $data",
         "root root 750 directory /var/lib/tavomi/attendance_manegement\n"},
        {"a link to elsewhere", "mkdir -p /var/lib/tavomi; ln -s /srv/nowhere $data",
         "root root 777 symbolic link /var/lib/tavomi/attendance_manegement\n"},
    };
    const QString script = QStringLiteral(R"(
        scratch=$1 control=$2 data=/var/lib/tavomi/attendance_manegement
        mount -t tmpfs scratch "$scratch"
        mkdir "$scratch/upper" "$scratch/work"
        mount -t overlay etc -o "lowerdir=/etc,upperdir=$scratch/upper,workdir=$scratch/work" /etc
        mount -t tmpfs var-lib /var/lib
        eval "$3" >&2
        sh "$control/postinst" configure 2.8.0 >&2
        getent group tavomi | cut -d: -f1,3 >&2
        stat -c '%U %G %a %F %n' "$data" $(find "$data/" -mindepth 1 2>/dev/null)
        stat -c '%U %G %a %F %n' /var/lib/tavomi/spool
    )");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir mounts;
        const Ran ran = run("unshare", {"--mount", "--propagation", "private", "--", "sh", "-ec",
                                        script, "sh", mounts.path(), control, c.before});
        EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
        EXPECT_EQ(ran.out, QString::fromLatin1(c.after) +
                               "root tavomi 2770 directory /var/lib/tavomi/spool\n")
            << ran.err.toStdString();
        // A system group: its number below the first user's.
        bool isNumber = false;
        const int gid =
            ran.err.section(QStringLiteral("tavomi:"), 1).section(u'\n', 0, 0).toInt(&isNumber);
        EXPECT_TRUE(isNumber && gid > 0 && gid < 1000) << ran.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists("/var/lib/tavomi"));
}

// The README's installation, upgrade and removal, command by command, in a throw-away
// copy of this machine: an overlay over / in a private mount namespace, entered with
// chroot, so that nothing reaches this machine's own files. Each README command runs as
// written, its answers on standard input; between them the script prints what a
// administrator would look at.
TEST_F(DebTest, ReadmeInstallsUpgradesAndRemovesInAThrowAwayRoot) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "a throw-away root needs root";
    }
    // The folders a `make package` of an older and of this version left: the older one is
    // this package with a lower version number.
    QTemporaryDir work;
    const QString arch = package_->arch();
    const QString older = QStringLiteral(TAVOMI_VERSION "~older");
    const QString unpacked = work.filePath("unpacked");
    ASSERT_TRUE(QDir().mkpath(work.filePath("old/build")) &&
                QDir().mkpath(work.filePath("new/build")));
    ASSERT_EQ(run("dpkg-deb", {"-R", package_->deb(), unpacked}).exitCode, 0);
    ASSERT_EQ(
        run("sed", {"-i", "s/^Version: .*/Version: " + older + "/", unpacked + "/DEBIAN/control"})
            .exitCode,
        0);
    ASSERT_EQ(run("dpkg-deb", {"-b", unpacked,
                               work.filePath("old/build/tavomi_" + older + "_" + arch + ".deb")})
                  .exitCode,
              0);
    ASSERT_TRUE(QFile::copy(package_->deb(),
                            work.filePath("new/build/") + QFileInfo(package_->deb()).fileName()));

    struct Step {
        const char* readme;  // a command of the README, run as written
        const char* input;   // what the administrator types
        const char* after;   // shell that shows what it did
    };
    const std::vector<Step> steps = {
        {"sudo apt install ./build/tavomi_*.deb", "",
         "echo installed $(dpkg-query -W -f '${Version}' tavomi)"},
        {"sudo adduser --comment Reception reception", "secret\nsecret\n", ""},
        {"sudo adduser reception tavomi", "",
         "id -nG reception | grep -qw tavomi && echo member of tavomi"},
        {"cd /var/lib/tavomi/attendance_manegement", "", ""},
        {"sudo install -m 660 -g tavomi /usr/share/tavomi/templates/* .", "", ""},
        {"sudo install -m 660 -g tavomi /dev/null analysis_of_data.xlsm", "", "folder"},
        // In place of the editor: this school works on Saturday and Sunday mornings too.
        {"iconv -f CP932 -t UTF-8 ordinary_working_hours.txt > ~/week.txt", "",
         "sed -i 's/^\\(土曜日\\|日曜日\\),00:00,00:00,00:00/\\1,08:30,12:30,00:00/' ~/week.txt"},
        {"iconv -f UTF-8 -t CP932 ~/week.txt | sudo tee ordinary_working_hours.txt > /dev/null", "",
         "stat -c '%U %G %a %n' ordinary_working_hours.txt"},
        {"sudo -u reception install -D -m 644 /usr/share/tavomi/autostart/tavomi.desktop "
         "~reception/.config/autostart/tavomi.desktop",
         "", "stat -c '%U %a %n' ~reception/.config/autostart/tavomi.desktop"},
        {"sudo systemctl --global enable tavomi.service", "",
         "echo enabled $(readlink $wants/tavomi.service); "
         "XDG_RUNTIME_DIR=$(mktemp -d) systemd-analyze --user --man=no verify "
         "/usr/lib/systemd/user/tavomi.service 2>&1; start_as_reception"},
        {"sudo apt install ./build/tavomi_*.deb", "",
         "echo upgraded $(dpkg-query -W -f '${Version}' tavomi); tavomi --version; folder"},
        {"sudo systemctl --global disable tavomi.service", "",
         "test -e $wants/tavomi.service || echo disabled"},
        {"sudo apt remove tavomi", "",
         "test -e /usr/lib/tavomi/tavomi || echo removed; getent group tavomi | cut -d: -f1,4; "
         "folder; ls ~reception/.config/autostart"},
    };
    const QString readme = readText(package_->root() + "/usr/share/doc/tavomi/README.md");
    QString script = QStringLiteral(R"(
        export LC_ALL=C
        work=$1 display=$2 data=/var/lib/tavomi/attendance_manegement
        wants=/etc/systemd/user/graphical-session.target.wants
        readme() { printf '$ %s\n' "$1" >&2; eval "$1" >&2; }
        # The reception PCs' status folder comes with the clock's first run: not the package's.
        folder() { stat -c '%U %G %a %n' "$data" $(ls -d "$data"/* | grep -v '/tavomi-pcs$'); }
        # The session's start: the autostart entry's command, as that account.
        start_as_reception() {
            run=/tmp/reception-runtime
            mkdir -m 700 $run && chown reception $run
            sudo -u reception env DISPLAY=$display XDG_RUNTIME_DIR=$run \
                PCSCLITE_CSOCK_NAME=$run/no-pcscd.comm \
                $(sed -n 's/^Exec=//p' ~reception/.config/autostart/tavomi.desktop) >&2 2>&1 &
            i=0
            until xwininfo -display $display -name Form1 2>/dev/null | grep -q IsViewable; do
                i=$((i + 1)); [ $i -lt 300 ] || break; sleep 0.1
            done
            [ $i -lt 300 ] && echo shown
            echo today $(tail -n 1 $data/working_hours.txt | iconv -f CP932 -t UTF-8 | tr -d '\r')
            kill $!; wait $! || true
        }
        # The administrator's answer to apt's questions.
        echo 'APT::Get::Assume-Yes "true";' >/etc/apt/apt.conf.d/90throwaway-yes
        cd "$work/old"
    )");
    for (const Step& step : steps) {
        const QString command = QString::fromUtf8(step.readme);
        EXPECT_TRUE(readme.contains(command)) << "not in the README: " << step.readme;
        if (command == QStringLiteral("sudo apt install ./build/tavomi_*.deb") &&
            script.contains(QStringLiteral("readme 'sudo apt install"))) {
            script += QStringLiteral("cd \"$work/new\"\n");  // where the newer package was made
        }
        script += *step.input != '\0'
                      ? QStringLiteral("printf '%s' '%1' | ").arg(QString::fromUtf8(step.input))
                      : QString();
        script += QStringLiteral("readme '%1'\n%2\n").arg(command, QString::fromUtf8(step.after));
    }

    // Today's line of the working-hours file: the week as edited above.
    const QDate today = QDate::currentDate();
    const QString todaysHours = today.toString(QStringLiteral("yyyy/MM/dd")) +
                                (today.dayOfWeek() <= 5 ? QStringLiteral(",08:15,16:45,00:45")
                                                        : QStringLiteral(",08:30,12:30,00:00"));
    QString folder = QStringLiteral("root tavomi 2770 /var/lib/tavomi/attendance_manegement\n");
    QStringList names;
    for (std::string_view name : kRequiredFiles) {
        names << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    }
    names.sort();
    for (const QString& name : names) {
        folder += "root tavomi 660 /var/lib/tavomi/attendance_manegement/" + name + u'\n';
    }
    const QString expected = "installed " + older + "\n" + "member of tavomi\n" + folder +
                             "root tavomi 660 ordinary_working_hours.txt\n"
                             "reception 644 /home/reception/.config/autostart/tavomi.desktop\n"
                             "enabled /usr/lib/systemd/user/tavomi.service\n"
                             "shown\n"
                             "today " +
                             todaysHours +
                             "\n"
                             "upgraded " TAVOMI_VERSION
                             "\n"
                             "tavomi " TAVOMI_VERSION "\n" +
                             folder + "disabled\n" + "removed\n" + "tavomi:reception\n" + folder +
                             "tavomi.desktop\n";

    const VirtualDisplay display;
    ASSERT_FALSE(display.name().isEmpty()) << "Xvfb did not start";
    const QString enter = QStringLiteral(R"(
        scratch=$1 work=$2; shift 2
        mount -t tmpfs throwaway "$scratch"
        mkdir "$scratch/upper" "$scratch/work" "$scratch/root"
        mount -t overlay throwaway -o "lowerdir=/,upperdir=$scratch/upper,workdir=$scratch/work" \
            "$scratch/root"
        for d in dev proc sys; do mount --rbind /$d "$scratch/root/$d"; done
        mount -t tmpfs tmp "$scratch/root/tmp"
        mount -t tmpfs run "$scratch/root/run"
        mkdir -p "$scratch/root$work"
        mount --bind "$work" "$scratch/root$work"
        exec chroot "$scratch/root" sh -ec "$@"
    )");
    QTemporaryDir scratch;
    const Ran ran = run("unshare",
                        {"--mount", "--propagation", "private", "--", "sh", "-ec", enter, "sh",
                         scratch.path(), work.path(), script, "sh", work.path(), display.name()},
                        QProcessEnvironment::systemEnvironment(), {}, 600000);
    EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
    EXPECT_EQ(ran.out, expected) << ran.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists("/var/lib/tavomi"));
}

}  // namespace
}  // namespace tavomi
