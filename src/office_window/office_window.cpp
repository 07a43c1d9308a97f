#include "office_window/office_window.h"

#include "dialogs/screen_look.h"
#include "office_window/board_page.h"
#include "office_window/calendar_page.h"
#include "office_window/card_page.h"
#include "office_window/month_page.h"
#include "office_window/presence_page.h"

#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace tavomi {

OfficeWindow::OfficeWindow(const std::filesystem::path& appFolder, Clock clock, CardPoller& poller,
                           QWidget* parent)
    : QWidget(parent) {
    setWindowTitle(u"Tavomi 事務"_s);
    auto* pages = look::named(new QTabWidget(this), "pages");
    pages->addTab(look::named(new PresencePage(appFolder, clock, pages), "presencePage"),
                  u"今日の在校状況"_s);
    pages->addTab(look::named(new MonthPage(appFolder, clock, pages), "monthPage"),
                  u"月の勤務表"_s);
    pages->addTab(look::named(new BoardPage(appFolder, clock, pages), "boardPage"),
                  u"教育委員会への報告"_s);
    pages->addTab(look::named(new CardPage(appFolder, poller, pages), "cardPage"), u"カード登録"_s);
    pages->addTab(look::named(new CalendarPage(appFolder, clock, pages), "calendarPage"),
                  u"学校の暦"_s);
    (new QVBoxLayout(this))->addWidget(pages);
    resize(1100, 700);
}

}  // namespace tavomi
