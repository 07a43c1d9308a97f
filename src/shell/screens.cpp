#include "shell/screens.h"

#include "dialogs/about_box.h"
#include "dialogs/confirm_box.h"
#include "dialogs/message_box.h"
#include "main_screen/main_screen.h"
#include "manual/manual_entry_screen.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"
#include "shell/start_up.h"
#include "spool/journal_writer.h"

namespace tavomi {

namespace {

// The five screens the main screen opens, children of it so they live as long as it does.
void buildOtherScreens(MainScreen& mainScreen, const std::filesystem::path& appFolder,
                       const Clock& clock, CardPoller& poller, JournalWriter& writer) {
    auto* punchScreen = new PunchScreen(appFolder, writer, clock, poller, &mainScreen);
    auto* manualEntry = new ManualEntryScreen(appFolder, writer, clock, &mainScreen);
    auto* aboutBox = new AboutBox(&mainScreen);
    auto* absenceScreen = new AbsenceScreen(appFolder, writer, clock, &mainScreen);
    auto* confirmBox = new ConfirmBox(&mainScreen);

    punchScreen->setScreens(absenceScreen, confirmBox);
    absenceScreen->setConfirmBox(confirmBox);
    manualEntry->setConfirmBox(confirmBox);
    mainScreen.setPunchScreen(
        [punchScreen](const QString& holderName) { punchScreen->openFor(holderName); });
    mainScreen.setManualEntry([manualEntry] { manualEntry->exec(); });
    mainScreen.setAboutBox([aboutBox] { aboutBox->exec(); });
}

void show(const StartUpMessage& message) {
    switch (message.kind) {
        case StartUpMessage::Kind::Plain:
            showPlainMessage(nullptr, message.text);
            break;
        case StartUpMessage::Kind::Error:
            reportError(nullptr, message.text);
            break;
    }
}

}  // namespace

std::unique_ptr<MainScreen> createScreens(const std::filesystem::path& appFolder,
                                          const Clock& clock, CardPoller& poller,
                                          JournalWriter& writer, StartChecks checks) {
    auto mainScreen = std::make_unique<MainScreen>(appFolder, poller);
    if (checks == StartChecks::Run) {
        const StartUpOutcome start = prepareStart(appFolder, clock().date());
        for (const StartUpMessage& message : start.messages) {
            show(message);
        }
        if (!start.dataFolderComplete) {
            return nullptr;
        }
        if (const auto held =
                holdRecordsOfAnotherFolder(appFolder, writer.spoolFolder(), clock())) {
            show(*held);
        }
    }
    MainScreen* screen = mainScreen.get();
    mainScreen->setOtherScreens([screen, appFolder, clock, &poller, &writer] {
        buildOtherScreens(*screen, appFolder, clock, poller, writer);
    });
    return mainScreen;
}

}  // namespace tavomi
