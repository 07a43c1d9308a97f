// The reception PCs' status files: their names, their text, and the folder as the office
// reads it.
#include "files/pc_status.h"

#include "files/data_folder.h"
#include "support/data_folder_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

PcStatus sampleStatus() {
    return {u"reception-1"_s,
            u"2.8.24"_s,
            QDateTime(QDate(2026, 12, 10), QTime(7, 52)),
            3,
            QDateTime(QDate(2026, 12, 10), QTime(7, 40, 5)),
            QDateTime(QDate(2026, 12, 9), QTime(17, 5))};
}

TEST(PcStatusTest, EveryPcNameGivesItsOwnFileInsideTheFolder) {
    const std::pair<QString, std::string> cases[] = {
        {u"reception-1"_s, "reception-1.txt"},
        {u"pc.school.local"_s, "pc.school.local.txt"},
        {u"a/b"_s, "a%2Fb.txt"},
        {u"a%2Fb"_s, "a%252Fb.txt"},  // not the same file as a/b's
        {u"."_s, "%2E.txt"},
        {u".."_s, "%2E..txt"},
        {u"受付"_s, "%E5%8F%97%E4%BB%98.txt"},
        {u"x\ny"_s, "x%0Ay.txt"},
        {u"a b"_s, "a%20b.txt"},
        {QString(), "%.txt"},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(pcStatusFileName(name), file);
        EXPECT_EQ(std::filesystem::path(file).filename().string(), file);
    }
}

TEST(PcStatusTest, AStatusReadsBackAndNoCutOfItReadsAsOne) {
    const QByteArray text = pcStatusText(sampleStatus());
    const PcStatusRead whole = readPcStatusText(text);
    ASSERT_TRUE(whole.status.has_value());
    EXPECT_EQ(*whole.status, sampleStatus());
    for (qsizetype cut = 0; cut < text.size(); ++cut) {
        SCOPED_TRACE(text.left(cut).toStdString());
        const PcStatusRead read = readPcStatusText(text.left(cut));
        EXPECT_FALSE(read.status.has_value());
        EXPECT_EQ(read.problem, PcStatusProblem::Incomplete);
    }

    PcStatus none = sampleStatus();
    none.waiting = 0;
    none.waitingSince = {};
    none.cardListTakenAt = {};
    none.pcName = u"受付\n2"_s;  // a line break never reaches the file
    const PcStatusRead read = readPcStatusText(pcStatusText(none));
    ASSERT_TRUE(read.status.has_value());
    EXPECT_EQ(read.status->pcName, u"受付?2"_s);
    EXPECT_FALSE(read.status->waitingSince.isValid());
    EXPECT_FALSE(read.status->cardListTakenAt.isValid());
}

TEST(PcStatusTest, ForeignAndDamagedFilesGiveNoStatus) {
    const QByteArray good = pcStatusText(sampleStatus());
    QByteArray withUnknownKey = good;
    withUnknownKey.insert(withUnknownKey.indexOf("end\n"), "disk-free=12G\n");
    QByteArray crlf = good;
    crlf.replace("\n", "\r\n");
    const struct {
        const char* what;
        QByteArray bytes;
        PcStatusProblem problem;
    } cases[] = {
        {"a later key is skipped", withUnknownKey, PcStatusProblem::None},
        {"a note someone left", "remember to restart PC 2\n", PcStatusProblem::NotAStatusFile},
        {"far too long", good + QByteArray(5000, 'x'), PcStatusProblem::NotAStatusFile},
        {"a count that is no number", QByteArray(good).replace("waiting=3", "waiting=three"),
         PcStatusProblem::Incomplete},
        {"a negative count", QByteArray(good).replace("waiting=3", "waiting=-1"),
         PcStatusProblem::Incomplete},
        {"a time that is no time",
         QByteArray(good).replace("reached=2026-12-10", "reached=yesterday"),
         PcStatusProblem::Incomplete},
        {"no name", QByteArray(good).replace("pc=reception-1\n", ""), PcStatusProblem::Incomplete},
        {"a line without a key", QByteArray(good).replace("version=", "version"),
         PcStatusProblem::Incomplete},
        {"line ends changed by an editor", crlf, PcStatusProblem::Incomplete},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PcStatusRead read = readPcStatusText(c.bytes);
        EXPECT_EQ(read.problem, c.problem);
        EXPECT_EQ(read.status.has_value(), c.problem == PcStatusProblem::None);
    }
}

TEST(PcStatusTest, TheOfficeReadsEveryPcsFileAndSkipsWhatIsNoStatusFile) {
    test::DataFolder folder;
    EXPECT_TRUE(readPcStatuses(folder.appFolder()).empty());  // no PC has written yet

    PcStatus second = sampleStatus();
    second.pcName = u"reception-2"_s;
    writePcStatus(folder.appFolder(), second);
    writePcStatus(folder.appFolder(), sampleStatus());
    const std::filesystem::path pcs = folder.appFolder() / kDataFolderName / kPcStatusFolder;
    struct stat st {};
    ASSERT_EQ(::stat(pcs.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 02775u);
    ASSERT_EQ(::stat((pcs / "reception-1.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);

    std::ofstream(pcs / "reception-3.txt.new") << "a replacement under way";
    std::ofstream(pcs / "readme.md") << "not a PC";
    std::ofstream(pcs / "torn.txt") << pcStatusText(sampleStatus()).left(40).toStdString();
    std::filesystem::create_directory(pcs / "folder.txt");

    const std::vector<PcStatusFile> files = readPcStatuses(folder.appFolder());
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].fileName, "folder.txt");
    EXPECT_EQ(files[0].read.problem, PcStatusProblem::Unreadable);
    EXPECT_TRUE(files[0].error.has_value());
    EXPECT_EQ(files[1].fileName, "reception-1.txt");
    EXPECT_EQ(files[1].read.status, sampleStatus());
    EXPECT_EQ(files[2].read.status, second);
    EXPECT_EQ(files[3].fileName, "torn.txt");
    EXPECT_EQ(files[3].read.problem, PcStatusProblem::Incomplete);

    // The start-up's check of the seven files does not see the folder.
    EXPECT_TRUE(missingDataFiles(folder.appFolder()).empty());
}

}  // namespace
}  // namespace tavomi
