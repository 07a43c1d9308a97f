#include "punch/punch_screen.h"

#include "card/card_poller.h"
#include "dialogs/confirm_box.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "punch/absence_screen.h"
#include "punch/key_guard.h"
#include "punch/reason_boxes.h"
#include "punch/vocabulary.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <exception>
#include <functional>
#include <utility>
#include <vector>

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

QFrame* makePanel(const char* name, const QColor& colour, QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    look::fill(panel, colour);
    return panel;
}

// Category boxes on the tab pages: rows and columns in pixels.
constexpr int kPageTop = 10;
constexpr int kBoxHeight = 28;
constexpr int kRowPitch = 34;
constexpr int kNotePitch = 24;
constexpr int kLeftColumn = 6;
constexpr int kRightColumn = 438;

}  // namespace

PunchScreen::PunchScreen(const std::filesystem::path& appFolder, JournalLock& journalLock,
                         Clock clock, CardPoller& poller, QWidget* parent)
    : QDialog(parent),
      appFolder_(appFolder),
      journalLock_(journalLock),
      clock_(std::move(clock)),
      poller_(poller) {
    buildWindow();
    startInMainLayout();
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
    headingLabel_->setText(holderName + QString::fromUtf16(u"さんの勤務時間管理です"));
}

int PunchScreen::openFor(const QString& holderName) {
    setHolder(holderName);
    return exec();
}

void PunchScreen::buildWindow() {
    setObjectName("punchScreen");
    setWindowTitle("Form2");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(1004, 646);
    setFont(look::screenFont(12));
    look::fill(this, look::kSkyBlue);

    headingLabel_ = look::named(new QLabel(this), "headingLabel");
    look::setPixelSize(headingLabel_, 24);
    headingLabel_->setGeometry(16, 10, 690, 40);

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
    connect(detailsButton_, &QPushButton::clicked, this, &PunchScreen::showDetailLayout);
    connect(goOutButton_, &QPushButton::clicked, this, &PunchScreen::onGoOutClicked);
    connect(returnButton_, &QPushButton::clicked, this, &PunchScreen::onReturnClicked);
    connect(absenceButton_, &QPushButton::clicked, this, &PunchScreen::onAbsenceClicked);
    connect(clockTimer_, &QTimer::timeout, this, &PunchScreen::showTime);
    showTime();  // no empty clock during the first second
    clockTimer_->start();
}

void PunchScreen::buildMainPanel() {
    mainPanel_ = makePanel("mainPanel", look::kActiveCaptionGradient, this);
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
    goOutButton_->setGeometry(758, 106, 169, 56);
    returnButton_ = makeButton(u"戻り", "returnButton", mainPanel_);
    returnButton_->setGeometry(758, 193, 169, 57);
    absenceButton_ = makeButton(u"中抜け", "absenceButton", mainPanel_);
    absenceButton_->setGeometry(758, 313, 169, 56);

    specialNotePanel_ = makePanel("specialNotePanel", look::kCream, mainPanel_);
    specialNotePanel_->setGeometry(40, 161, 193, 186);
    auto* heading = new QLabel(QString::fromUtf16(u"特記事項など"), specialNotePanel_);
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
    detailPanel_ = makePanel("detailPanel", look::kActiveCaptionGradient, this);
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

    reasonPanel_ = makePanel("reasonPanel", look::kCream, detailPanel_);
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

void PunchScreen::startInMainLayout() {
    look::centreOnScreen(*this);
    detailPanel_->hide();
    useLargeButtons();
    specialNotePanel_->show();
    goOutButton_->move(758, 106);
    returnButton_->move(758, 193);
    box(33)->setChecked(false);
}

void PunchScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        useLargeButtons();
        // Never where the previous teacher left it: Space on opening records 出勤.
        clockInButton_->setFocus();
    }
}

void PunchScreen::useLargeButtons() {
    clockInButton_->setGeometry(301, 46, 395, 88);
    clockOutButton_->setGeometry(301, 194, 395, 88);
    detailsButton_->setGeometry(301, 352, 395, 88);
}

void PunchScreen::useSmallButtons() {
    clockInButton_->setGeometry(16, 24, 169, 57);
    clockOutButton_->setGeometry(16, 102, 169, 57);
    detailsButton_->setGeometry(16, 376, 169, 57);
}

void PunchScreen::returnToMainLayout() {
    specialNotePanel_->show();
    goOutButton_->move(758, 106);
    returnButton_->move(758, 193);
    for (const SpecialNote& note : kSpecialNotes) {
        box(note.box)->setChecked(false);
        box(note.feeds)->setChecked(false);
    }
}

// Opens the detail layout with every box unticked but those the special notes feed;
// pressed again ("チェックを外す") it does the same, which clears the ticks.
void PunchScreen::showDetailLayout() {
    useSmallButtons();
    detailPanel_->show();
    specialNotePanel_->hide();
    goOutButton_->move(15, 202);
    returnButton_->move(15, 280);
    untick(1, 32);
    detailsButton_->setText(QString::fromUtf16(u"チェックを外す"));
    carryOverSpecialNotes([this](int number) { return isTicked(number); },
                          [this](int number) { box(number)->setChecked(true); });
    untick(33, 35);
    categoryTabs_->setCurrentIndex(0);
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
        message = outcomeMessage(writeRecordLockingFirst(appFolder_, record.line(), journalLock_),
                                 punchMessage(kind, holderName_, now),
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
    showDetailLayout();
    detailPanel_->hide();
    detailsButton_->setText(QString::fromUtf16(u"詳細"));
    returnToMainLayout();
    close();
}

void PunchScreen::onCloseClicked() {
    showConfirmation(QString::fromUtf16(kRemoveCardMessage));
    detailPanel_->hide();
    waitForCardRemoval();
    detailsButton_->setText(QString::fromUtf16(u"詳細"));
    returnToMainLayout();
    close();
}

void PunchScreen::done(int result) {
    if (closing_) {
        return;  // already closing: the card-removal wait is still up
    }
    if (isVisible()) {
        closing_ = true;
        waitForCardAndReset();
        closing_ = false;
    }
    QDialog::done(result);
}

void PunchScreen::waitForCardAndReset() {
    detailPanel_->hide();
    waitForCardRemoval();
    detailsButton_->setText(QString::fromUtf16(u"詳細"));
    returnToMainLayout();
    untick(1, 35);
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
