#include "shell/screens.h"

#include "dialogs/about_box.h"
#include "dialogs/confirm_box.h"
#include "main_screen/main_screen.h"
#include "manual/manual_entry_screen.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"

#include <QLabel>

namespace tavomi {

std::unique_ptr<MainScreen> createScreens(const std::filesystem::path& appFolder,
                                          const Clock& clock, CardPoller& poller) {
    auto mainScreen = std::make_unique<MainScreen>(appFolder, poller);
    if (!mainScreen->startUp(clock().date())) {
        return nullptr;
    }
    auto* punchScreen = new PunchScreen(appFolder, clock, poller, mainScreen.get());
    auto* manualEntry = new ManualEntryScreen(appFolder, clock, mainScreen.get());
    auto* aboutBox = new AboutBox(mainScreen.get());
    auto* absenceScreen = new AbsenceScreen(appFolder, clock, mainScreen.get());
    auto* confirmBox = new ConfirmBox(mainScreen.get());

    punchScreen->setScreens(absenceScreen, confirmBox);
    absenceScreen->setScreens(punchScreen, confirmBox);
    manualEntry->setConfirmBox(confirmBox);
    mainScreen->setPunchScreen(
        [punchScreen](const QString& holderName) { showPunchScreen(*punchScreen, holderName); });
    mainScreen->setManualEntry([manualEntry] { manualEntry->exec(); });
    mainScreen->setAboutBox([aboutBox] { aboutBox->exec(); });
    return mainScreen;
}

void showPunchScreen(PunchScreen& punchScreen, const QString& who) {
    punchScreen.Label4->setText(who);
    punchScreen.Label1->setText(who + QString::fromUtf16(u"さんの勤務時間管理です"));
    punchScreen.exec();
}

}  // namespace tavomi
