#include "shell/screens.h"

#include "card/main_screen.h"
#include "dialogs/about_box.h"
#include "dialogs/confirm_box.h"
#include "manual/manual_screen.h"
#include "punch/absence_screen.h"
#include "punch/punch_screen.h"

#include <QLabel>

namespace tavomi {

std::unique_ptr<TForm1> createScreens(const std::filesystem::path& appFolder, const Clock& clock,
                                      CardPoller& poller) {
    auto form1 = std::make_unique<TForm1>(appFolder, poller);
    if (!form1->FormCreate(clock().date())) {
        return nullptr;
    }
    auto* form2 = new TForm2(appFolder, clock, poller, form1.get());
    auto* form6 = new TForm6(appFolder, clock, form1.get());
    auto* about = new Tabout(form1.get());
    auto* form12 = new TForm12(appFolder, clock, form1.get());
    auto* form13 = new TForm13(form1.get());

    form2->setScreens(form12, form13);
    form12->setScreens(form2, form13);
    form6->setConfirmBox(form13);
    form1->setPunchScreen([form2](const QString& who) { showPunchScreen(*form2, who); });
    form1->setManualEntry([form6] { form6->exec(); });
    form1->setAboutBox([about] { about->exec(); });
    return form1;
}

void showPunchScreen(TForm2& punchScreen, const QString& who) {
    punchScreen.Label4->setText(who);
    punchScreen.Label1->setText(who + QString::fromUtf16(u"さんの勤務時間管理です"));
    punchScreen.exec();
}

}  // namespace tavomi
