#include "shell/screens.h"

#include "dialogs/about_box.h"
#include "dialogs/confirm_box.h"
#include "main_screen/main_screen.h"
#include "manual/manual_entry_screen.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"

namespace tavomi {

namespace {

// The five screens the main screen opens, children of it so they live as long as it does.
void buildOtherScreens(MainScreen& mainScreen, const std::filesystem::path& appFolder,
                       const Clock& clock, CardPoller& poller) {
    auto* punchScreen = new PunchScreen(appFolder, clock, poller, &mainScreen);
    auto* manualEntry = new ManualEntryScreen(appFolder, clock, &mainScreen);
    auto* aboutBox = new AboutBox(&mainScreen);
    auto* absenceScreen = new AbsenceScreen(appFolder, clock, &mainScreen);
    auto* confirmBox = new ConfirmBox(&mainScreen);

    punchScreen->setScreens(absenceScreen, confirmBox);
    absenceScreen->setConfirmBox(confirmBox);
    manualEntry->setConfirmBox(confirmBox);
    mainScreen.setPunchScreen(
        [punchScreen](const QString& holderName) { punchScreen->openFor(holderName); });
    mainScreen.setManualEntry([manualEntry] { manualEntry->exec(); });
    mainScreen.setAboutBox([aboutBox] { aboutBox->exec(); });
}

}  // namespace

std::unique_ptr<MainScreen> createScreens(const std::filesystem::path& appFolder,
                                          const Clock& clock, CardPoller& poller) {
    auto mainScreen = std::make_unique<MainScreen>(appFolder, poller);
    if (!mainScreen->startUp(clock().date())) {
        return nullptr;
    }
    MainScreen* screen = mainScreen.get();
    mainScreen->setOtherScreens([screen, appFolder, clock, &poller] {
        buildOtherScreens(*screen, appFolder, clock, poller);
    });
    return mainScreen;
}

}  // namespace tavomi
