// The built program against the real pcscd of the PC/SC rig, with virtual cards.
#include "files/data_folder.h"
#include "shell/program_folder.h"
#include "support/cardholders.h"
#include "support/pcsc_rig.h"
#include "support/wait.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace tavomi {
namespace {

using test::waitUntil;

using test::kHanako;
using test::kHanakoCard;

class AppRigTest : public ::testing::Test {
  protected:
    AppRigTest() {
        test::usePcscRig();  // this process's environment now leads to the rig's pcscd
        appFolder.data.writeLines(kCardholderListFile, test::cardholderListWithHanako());
    }

    // What the probe has printed so far.
    QString printed(QProcess& probe) {
        output_ += QString::fromUtf8(probe.readAllStandardOutput());
        return output_;
    }

    test::ProgramFolder appFolder;

  private:
    QString output_;
};

// An unknown card on the second reader is reported again after each OK while it
// lies there; a registered card opens the punch screen with its holder's name.
TEST_F(AppRigTest, CardsOnTheReadersReachThePunchScreen) {
    const QByteArray hoursBefore = appFolder.data.readBytes(kWorkingHoursFile);
    QProcess& probe = appFolder.start("tavomi_probe");
    // Today's working hours are made at start: it has started.
    ASSERT_TRUE(waitUntil(
        [&] { return appFolder.data.readBytes(kWorkingHoursFile) != hoursBefore; }, 15000))
        << probe.readAllStandardError().toStdString();

    const QString notRegistered =
        u"BOX\tTavomi\tこのカードは登録されていません　カードの登録を行ってください\n"_s;
    {
        test::VirtualCard unknown(1, "FEDCBA9876543210");
        ASSERT_TRUE(waitUntil([&] { return printed(probe).count(notRegistered) >= 2; }, 15000))
            << printed(probe).toStdString();
    }

    const QString handedOver =
        QStringLiteral("BOX\tForm2\t") + kHanako + u"さんの勤務時間管理です\n"_s;
    test::VirtualCard hanako(0, kHanakoCard.toStdString());
    EXPECT_TRUE(waitUntil([&] { return printed(probe).contains(handedOver); }, 15000))
        << printed(probe).toStdString();
    probe.kill();
    probe.waitForFinished(5000);
}

}  // namespace
}  // namespace tavomi
