#include "punch/punch_screen.h"

#include "card/card_poller.h"
#include "dialogs/confirm_box.h"
#include "dialogs/key_guard.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "dialogs/write_wait.h"
#include "punch/absence_screen.h"
#include "punch/reason_boxes.h"
#include "record/todays_records.h"
#include "record/vocabulary.h"
#include "spool/journal_writer.h"
#include "spool/record_spool.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <exception>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

using DrawTab = std::function<void(QPainter&, int tabIndex, const QRect& rect, bool active)>;

// The caption sits 4 px right of and below the tab's top-left corner.
constexpr int kTabTextInset = 4;

// Tabs painted entirely by the screen, so the selected one can be yellow.
class OwnerDrawnTabBar : public QTabBar {
  public:
    OwnerDrawnTabBar(DrawTab draw, QWidget* parent) : QTabBar(parent), draw_(std::move(draw)) {
        setDrawBase(false);
        setExpanding(false);
    }

  protected:
    QSize tabSizeHint(int index) const override {
        const QFontMetrics metrics(font());
        return {metrics.horizontalAdvance(tabText(index)) + 4 * kTabTextInset,
                metrics.height() + 3 * kTabTextInset};
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int i = 0; i < count(); ++i) {
            draw_(painter, i, tabRect(i), i == currentIndex());
        }
    }

  private:
    DrawTab draw_;
};

// QTabWidget only lets a subclass replace its tab bar.
class CategoryTabs : public QTabWidget {
  public:
    CategoryTabs(DrawTab draw, QWidget* parent) : QTabWidget(parent) {
        setTabBar(new OwnerDrawnTabBar(std::move(draw), this));
    }
};

// A tab page with the survey note kept at its lower right whatever its size.
class CategoryPage : public QWidget {
  public:
    explicit CategoryPage(QWidget* parent) : QWidget(parent) {
        look::fill(this, look::kInactiveCaptionGradient);
        note_ = new QLabel(QString::fromUtf16(kSurveyNote), this);
        look::setPixelSize(note_, 11);
        note_->adjustSize();
    }

  protected:
    void resizeEvent(QResizeEvent*) override {
        constexpr int kMargin = 6;
        note_->move(width() - note_->width() - kMargin, height() - note_->height() - kMargin);
    }

  private:
    QLabel* note_;
};

QPushButton* makeButton(const char16_t* caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf16(caption), parent);
    button->setObjectName(name);
    look::setPixelSize(button, 24);
    return button;
}

// Category boxes on the tab pages: rows and columns in pixels.
constexpr int kPageTop = 10;
constexpr int kBoxHeight = 28;
constexpr int kRowPitch = 34;
constexpr int kNotePitch = 24;
constexpr int kLeftColumn = 6;
constexpr int kRightColumn = 438;

// The buttons in the main panel: large in the middle in the main layout, small down the
// left edge in the detail layout, where the category tabs take the middle.
constexpr QRect kClockInLarge{301, 46, 395, 88};
constexpr QRect kClockOutLarge{301, 194, 395, 88};
constexpr QRect kDetailsLarge{301, 352, 395, 88};
constexpr QRect kClockInSmall{16, 24, 169, 57};
constexpr QRect kClockOutSmall{16, 102, 169, 57};
constexpr QRect kDetailsSmall{16, 376, 169, 57};
constexpr QRect kGoOutMain{758, 106, 169, 56};
constexpr QRect kReturnMain{758, 193, 169, 57};
constexpr QPoint kGoOutDetail{15, 202};
constexpr QPoint kReturnDetail{15, 280};
constexpr QRect kAbsenceButton{758, 313, 169, 56};

}  // namespace

PunchScreen::PunchScreen(const std::filesystem::path& appFolder, JournalWriter& writer, Clock clock,
                         CardPoller& poller, QWidget* parent)
    : QDialog(parent),
      appFolder_(appFolder),
      writer_(writer),
      clock_(std::move(clock)),
      poller_(poller) {
    buildWindow();
    look::centreOnScreen(*this);
    showMainLayout();
    new KeyGuard(this);
}

void PunchScreen::setScreens(AbsenceScreen* absenceScreen, ConfirmBox* confirmBox) {
    absenceScreen_ = absenceScreen;
    confirmBox_ = confirmBox;
    if (absenceScreen_ != nullptr) {
        // An absence written (or refused) ends this teacher's turn: this screen closes,
        // its card-removal wait included, while the absence screen is still up.
        connect(absenceScreen_, &AbsenceScreen::outcomeShown, this, [this] { close(); });
    }
}

void PunchScreen::setHolder(const QString& holderName) {
    holderName_ = holderName;
    headingLabel_->setText(holderName + u"さんの勤務時間管理です"_s);
    showTodaysRecords();
}

int PunchScreen::openFor(const QString& holderName) {
    setHolder(holderName);
    return exec();
}

namespace {

// What the journal cannot give by then is left out: the screen never waits for it.
constexpr std::chrono::milliseconds kTodaysRecordsWait{300};

}  // namespace

void PunchScreen::showTodaysRecords() {
    const int turn = ++turn_;
    todayShown_ = false;
    todayWaiting_.clear();
    todayLabel_->clear();
    const bool journalReadFree = !readingJournal_->exchange(true);
    QPointer<PunchScreen> self(this);
    std::thread([self, turn, journalReadFree, reading = readingJournal_,
                 spoolFolder = writer_.spoolFolder(), appFolder = appFolder_] {
        QStringList waiting;
        try {
            for (const SpooledRecord& record : RecordSpool(spoolFolder).load().records) {
                waiting << record.line;
            }
        } catch (const std::exception&) {
            // The spool's own trouble is the main screen's to tell.
        }
        auto post = [self, turn](std::function<void(PunchScreen&)> act) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [self, act] {
                    if (self) {
                        act(*self);
                    }
                },
                Qt::QueuedConnection);
        };
        post([turn, waiting](PunchScreen& screen) {
            if (turn == screen.turn_) {
                screen.todayWaiting_ = waiting;
            }
        });
        if (!journalReadFree) {
            return;
        }
        std::optional<QStringList> journal = journalLastLines(appFolder);
        *reading = false;
        post([turn, journal](PunchScreen& screen) { screen.showTodaysRecordsText(turn, journal); });
    }).detach();
    QTimer::singleShot(kTodaysRecordsWait, this,
                       [this, turn] { showTodaysRecordsText(turn, std::nullopt); });
}

void PunchScreen::showTodaysRecordsText(int turn, const std::optional<QStringList>& journal) {
    if (turn != turn_ || todayShown_) {
        return;
    }
    todayShown_ = true;
    const OwnLines own{writer_.recentlyWritten(), todayWaiting_};
    todayLabel_->setText(todaysRecordsText(
        todaysRecordsOf(holderName_, clock_().date(), own, journal), journal.has_value()));
}

void PunchScreen::buildWindow() {
    setObjectName("punchScreen");
    setWindowTitle("Form2");
    setWindowFlags(look::kFixedDialogFlags);
    setFixedSize(1004, 646);
    setFont(look::screenFont(12));
    look::fill(this, look::kSkyBlue);

    headingLabel_ = look::named(new QLabel(this), "headingLabel");
    look::setPixelSize(headingLabel_, 24);
    headingLabel_->setGeometry(16, 2, 690, 34);

    todayLabel_ = look::named(new QLabel(this), "todayLabel");
    look::setPixelSize(todayLabel_, 15);
    todayLabel_->setTextFormat(Qt::PlainText);
    todayLabel_->setStyleSheet("color: #17406b;");
    todayLabel_->setGeometry(18, 34, 900, 22);

    clockLabel_ = look::named(new QLabel(this), "clockLabel");
    look::setPixelSize(clockLabel_, 16);
    clockLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    clockLabel_->setGeometry(709, 18, 260, 28);

    buildMainPanel();
    buildDetailPanel();

    closeButton_ = makeButton(u"何もしないで、閉じる", "closeButton", this);
    closeButton_->setGeometry(302, 576, 400, 56);

    clockTimer_ = look::named(new QTimer(this), "clockTimer");
    clockTimer_->setInterval(1000);

    connect(closeButton_, &QPushButton::clicked, this, &PunchScreen::onCloseClicked);
    connect(clockInButton_, &QPushButton::clicked, this, &PunchScreen::onClockInClicked);
    connect(clockOutButton_, &QPushButton::clicked, this, &PunchScreen::onClockOutClicked);
    connect(detailsButton_, &QPushButton::clicked, this, &PunchScreen::onDetailsClicked);
    connect(goOutButton_, &QPushButton::clicked, this, &PunchScreen::onGoOutClicked);
    connect(returnButton_, &QPushButton::clicked, this, &PunchScreen::onReturnClicked);
    connect(absenceButton_, &QPushButton::clicked, this, &PunchScreen::onAbsenceClicked);
    connect(clockTimer_, &QTimer::timeout, this, &PunchScreen::showTime);
    showTime();  // no empty clock during the first second
    clockTimer_->start();
}

void PunchScreen::buildMainPanel() {
    mainPanel_ = look::raisedPanel("mainPanel", look::kActiveCaptionGradient, this);
    mainPanel_->setGeometry(16, 56, 953, 507);

    clockInButton_ = makeButton(u"出勤", "clockInButton", mainPanel_);
    clockOutButton_ = makeButton(u"退勤", "clockOutButton", mainPanel_);
    detailsButton_ = makeButton(u"詳しく", "detailsButton", mainPanel_);
    {
        // Seven full-width characters of 24 px fill the small layout's 169 px
        // edge to edge; a little less spacing leaves the frame room.
        QFont font = detailsButton_->font();
        font.setLetterSpacing(QFont::PercentageSpacing, 94);
        detailsButton_->setFont(font);
    }
    goOutButton_ = makeButton(u"外出", "goOutButton", mainPanel_);
    goOutButton_->setGeometry(kGoOutMain);
    returnButton_ = makeButton(u"戻り", "returnButton", mainPanel_);
    returnButton_->setGeometry(kReturnMain);
    absenceButton_ = makeButton(u"中抜け", "absenceButton", mainPanel_);
    absenceButton_->setGeometry(kAbsenceButton);

    specialNotePanel_ = look::raisedPanel("specialNotePanel", look::kCream, mainPanel_);
    specialNotePanel_->setGeometry(40, 161, 193, 186);
    auto* heading = new QLabel(u"特記事項など"_s, specialNotePanel_);
    look::setPixelSize(heading, 16);
    heading->setGeometry(10, 10, 173, 28);
    int y = 52;
    for (const SpecialNote& note : kSpecialNotes) {
        QCheckBox* noteBox = addBox(note.box, QStringLiteral("specialNoteBox%1").arg(note.box),
                                    QString::fromUtf16(note.caption), specialNotePanel_);
        look::setPixelSize(noteBox, 15);
        noteBox->setGeometry(4, y, 186, 32);
        y += 42;
    }
}

void PunchScreen::buildDetailPanel() {
    detailPanel_ = look::raisedPanel("detailPanel", look::kActiveCaptionGradient, this);
    detailPanel_->setGeometry(223, 56, 746, 507);

    categoryTabs_ =
        new CategoryTabs([this](QPainter& painter, int tabIndex, const QRect& rect,
                                bool active) { drawCategoryTab(painter, tabIndex, rect, active); },
                         detailPanel_);
    categoryTabs_->setObjectName("categoryTabs");
    look::setPixelSize(categoryTabs_, 16);
    categoryTabs_->setGeometry(4, 6, 738, 406);

    std::array<QWidget*, 3> pages{};
    for (int i = 0; i < 3; ++i) {
        pages[i] = new CategoryPage(categoryTabs_);
        pages[i]->setObjectName(QStringLiteral("categoryPage%1").arg(i + 1));
        categoryTabs_->addTab(pages[i], QString::fromUtf16(kCategoryPageCaptions[i]));
    }

    const int noteIndent = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    std::array<int, 4> nextY = {kPageTop, kPageTop, kPageTop, kPageTop};  // page 1 has two
    for (const WorkCategory& category : kWorkCategories) {
        // Page 1: a to g on the left, h to k on the right; pages 2 and 3: one column.
        const bool right = category.page == 1 && QStringView(category.code) >= u"h";
        const int x = right ? kRightColumn : kLeftColumn;
        int& y = nextY[right ? 3 : category.page - 1];
        QWidget* page = pages[category.page - 1];

        const QString name = QStringLiteral("categoryBox%1").arg(category.box);
        QCheckBox* categoryBox =
            addBox(category.box, name, QString::fromUtf16(category.caption), page);
        categoryBox->setGeometry(x, y, categoryBox->sizeHint().width(), kBoxHeight);
        if (category.note != nullptr) {
            // The note lines up with the caption, on a line of its own below it.
            auto* note = new QLabel(QString::fromUtf16(category.note), page);
            note->setObjectName(name + QStringLiteral("Note"));
            note->move(x + noteIndent, y + kBoxHeight);
            note->adjustSize();
            y += kNotePitch;
        }
        y += kRowPitch;
    }

    reasonPanel_ = look::raisedPanel("reasonPanel", look::kCream, detailPanel_);
    reasonPanel_->setGeometry(4, 418, 738, 80);
    look::setPixelSize(reasonPanel_, 16);
    const ReasonBoxes reasons = addReasonBoxes(reasonPanel_, kCardScreenReasonRow);
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        boxes_.at(kReasons[i].box) = reasons[i];
    }
}

QCheckBox* PunchScreen::addBox(int number, const QString& name, const QString& caption,
                               QWidget* parent) {
    auto* newBox = new QCheckBox(caption, parent);
    newBox->setObjectName(name);
    boxes_.at(number) = newBox;
    return newBox;
}

bool PunchScreen::isTicked(int number) const {
    return box(number)->isChecked();
}

void PunchScreen::untick(int first, int last) {
    for (int n = first; n <= last; ++n) {
        box(n)->setChecked(false);
    }
}

void PunchScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        // Never where the previous teacher left it: Space on opening records 出勤.
        clockInButton_->setFocus();
    }
}

void PunchScreen::showMainLayout() {
    detailPanel_->hide();
    specialNotePanel_->show();
    clockInButton_->setGeometry(kClockInLarge);
    clockOutButton_->setGeometry(kClockOutLarge);
    detailsButton_->setGeometry(kDetailsLarge);
    goOutButton_->setGeometry(kGoOutMain);
    returnButton_->setGeometry(kReturnMain);
}

void PunchScreen::showDetailLayout() {
    clockInButton_->setGeometry(kClockInSmall);
    clockOutButton_->setGeometry(kClockOutSmall);
    detailsButton_->setGeometry(kDetailsSmall);
    detailPanel_->show();
    specialNotePanel_->hide();
    goOutButton_->move(kGoOutDetail);
    returnButton_->move(kReturnDetail);
    detailsButton_->setText(u"チェックを外す"_s);
    categoryTabs_->setCurrentIndex(0);
}

// Opens the detail layout with every box unticked but those the special notes feed;
// pressed again ("チェックを外す") it does the same, which clears the ticks.
void PunchScreen::onDetailsClicked() {
    showDetailLayout();
    untick(kFirstCategoryBox, kLastReasonBox);
    carryOverSpecialNotes([this](int number) { return isTicked(number); },
                          [this](int number) { box(number)->setChecked(true); });
    untick(kFirstSpecialNoteBox, kLastSpecialNoteBox);
}

void PunchScreen::endTurn() {
    untick(kFirstCategoryBox, kLastSpecialNoteBox);
    showMainLayout();
    // The caption is 詳しく only until the first turn ends.
    detailsButton_->setText(u"詳細"_s);
}

void PunchScreen::recordPunch(RecordKind kind) {
    // Boxes ticked by the carry-over, unticked again if the record cannot be written.
    std::vector<int> carried;
    QString message;
    try {
        const QDateTime now = clock_();  // one reading for the message and the record
        if (punchKindValues(kind).carriesOver) {
            carryOverSpecialNotes([this](int number) { return isTicked(number); },
                                  [&](int number) {
                                      if (!isTicked(number)) {
                                          box(number)->setChecked(true);
                                          carried.push_back(number);
                                      }
                                  });
        }
        const PunchRecord record =
            punchRecord(kind, holderName_, now, [this](int number) { return isTicked(number); });
        const WriteResult result =
            writeFromScreen(writer_, {record.line(), WriteOrder::LockingFirst, {}, now}, this);
        if (result.error) {
            std::rethrow_exception(result.error);
        }
        message = outcomeMessage(result.kind, punchMessage(kind, holderName_, now),
                                 QString::fromUtf16(kPunchBusyMessage),
                                 QString::fromUtf16(kCardJournalMissingMessage));
        carried.clear();
    } catch (const std::exception& error) {
        // The screen stays as it was, so the teacher can simply press again.
        for (int number : carried) {
            box(number)->setChecked(false);
        }
        reportError(this, error);
        return;
    }
    showConfirmation(message);
    waitForCardRemoval();
    endTurn();
    close();
}

void PunchScreen::onCloseClicked() {
    showConfirmation(QString::fromUtf16(kRemoveCardMessage));
    showMainLayout();
    waitForCardRemoval();
    endTurn();
    close();
}

void PunchScreen::done(int result) {
    if (closing_) {
        return;  // already closing: the card-removal wait is still up
    }
    if (isVisible()) {
        closing_ = true;
        showMainLayout();
        waitForCardRemoval();
        endTurn();
        closing_ = false;
    }
    QDialog::done(result);
}

void PunchScreen::waitForCardRemoval() {
    while (askForCardIfPresent()) {
    }
}

bool PunchScreen::askForCardIfPresent() {
    const PollResult poll = poller_.poll();
    if (!poll.cardId.has_value()) {
        return false;
    }
    // Any card of the accepted kind counts, not only the holder's.
    showConfirmation(QString::fromUtf16(kRemoveCardMessage));
    return true;
}

void PunchScreen::showConfirmation(const QString& message) {
    if (confirmBox_ != nullptr) {
        confirmBox_->showMessage(message);
    }
}

void PunchScreen::onAbsenceClicked() {
    if (absenceScreen_ != nullptr) {
        absenceScreen_->openFor(holderName_);
    }
}

void PunchScreen::showTime() {
    clockLabel_->setText(clock_().toString(QStringLiteral("yyyy/MM/dd H:mm:ss")));
}

void PunchScreen::drawCategoryTab(QPainter& painter, int tabIndex, const QRect& rect, bool active) {
    painter.fillRect(rect, active ? look::kSelectedTab : look::kActiveCaptionGradient);
    painter.setFont(categoryTabs_->font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textArea = rect.adjusted(kTabTextInset, kTabTextInset, 0, 0);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop, categoryTabs_->tabText(tabIndex));
}

}  // namespace tavomi
