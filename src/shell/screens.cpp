#include "shell/screens.h"

#include "dialogs/about_box.h"
#include "dialogs/confirm_box.h"
#include "main_screen/main_screen.h"
#include "manual/manual_entry_screen.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"

namespace tavomi {

std::unique_ptr<MainScreen> createScreens(const std::filesystem::path& appFolder,
                                          const Clock& clock, CardPoller& poller) {
    auto form1 = std::make_unique<MainScreen>(appFolder, poller);
    if (!form1->FormCreate(clock().date())) {
        return nullptr;
    }
    auto* form2 = new PunchScreen(appFolder, clock, poller, form1.get());
    auto* form6 = new ManualEntryScreen(appFolder, clock, form1.get());
    auto* about = new AboutBox(form1.get());
    auto* form12 = new AbsenceScreen(appFolder, clock, form1.get());
    auto* form13 = new ConfirmBox(form1.get());

    form2->setScreens(form12, form13);
    form12->setConfirmBox(form13);
    form6->setConfirmBox(form13);
    form1->setPunchScreen([form2](const QString& who) { form2->openFor(who); });
    form1->setManualEntry([form6] { form6->exec(); });
    form1->setAboutBox([about] { about->exec(); });
    return form1;
}

}  // namespace tavomi
