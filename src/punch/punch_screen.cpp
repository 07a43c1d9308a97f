// Unit2: the punch screen.
#include "punch/punch_screen.h"

#include "card/card_poller.h"
#include "dialogs/confirm_box.h"
#include "dialogs/message_box.h"
#include "dialogs/screen_look.h"
#include "punch/absence_screen.h"
#include "punch/reason_boxes.h"
#include "punch/vocabulary.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
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
class PageControl : public QTabWidget {
  public:
    PageControl(DrawTab draw, QWidget* parent) : QTabWidget(parent) {
        setTabBar(new OwnerDrawnTabBar(std::move(draw), this));
    }
};

// A tab page with the survey note kept at its lower right whatever its size.
class TabSheet : public QWidget {
  public:
    explicit TabSheet(QWidget* parent) : QWidget(parent) {
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

PunchScreen::PunchScreen(const std::filesystem::path& appFolder, Clock clock, CardPoller& poller,
                         QWidget* parent)
    : QDialog(parent), appFolder_(appFolder), clock_(std::move(clock)), poller_(poller) {
    buildWindow();
    FormCreate();
}

void PunchScreen::setScreens(AbsenceScreen* absenceScreen, ConfirmBox* confirmBox) {
    absenceScreen_ = absenceScreen;
    confirmBox_ = confirmBox;
}

void PunchScreen::buildWindow() {
    setObjectName("Form2");
    setWindowTitle("Form2");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(1004, 646);
    setFont(look::screenFont(12));
    look::fill(this, look::kSkyBlue);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    look::setPixelSize(Label1, 24);
    Label1->setGeometry(16, 10, 690, 40);

    Label3 = new QLabel(this);
    Label3->setObjectName("Label3");
    look::setPixelSize(Label3, 16);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label3->setGeometry(709, 18, 260, 28);

    Label4 = new QLabel(this);
    Label4->setObjectName("Label4");
    Label4->hide();

    buildPanel1();
    buildPanel2();

    Button1 = makeButton(u"何もしないで、閉じる", "Button1", this);
    Button1->setGeometry(302, 576, 400, 56);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);

    connect(Button1, &QPushButton::clicked, this, &PunchScreen::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &PunchScreen::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &PunchScreen::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &PunchScreen::Button4Click);
    connect(Button6, &QPushButton::clicked, this, &PunchScreen::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &PunchScreen::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &PunchScreen::Button8Click);
    connect(Timer1, &QTimer::timeout, this, &PunchScreen::Timer1Timer);
    Timer1Timer();  // no empty clock during the first second
    Timer1->start();
}

void PunchScreen::buildPanel1() {
    Panel1 = makePanel("Panel1", look::kActiveCaptionGradient, this);
    Panel1->setGeometry(16, 56, 953, 507);

    Button2 = makeButton(u"出勤", "Button2", Panel1);
    Button3 = makeButton(u"退勤", "Button3", Panel1);
    Button4 = makeButton(u"詳しく", "Button4", Panel1);
    {
        // Seven full-width characters of 24 px fill the small layout's 169 px
        // edge to edge; a little less spacing leaves the frame room.
        QFont font = Button4->font();
        font.setLetterSpacing(QFont::PercentageSpacing, 94);
        Button4->setFont(font);
    }
    Button6 = makeButton(u"外出", "Button6", Panel1);
    Button6->setGeometry(758, 106, 169, 56);
    Button7 = makeButton(u"戻り", "Button7", Panel1);
    Button7->setGeometry(758, 193, 169, 57);
    Button8 = makeButton(u"中抜け", "Button8", Panel1);
    Button8->setGeometry(758, 313, 169, 56);

    Panel7 = makePanel("Panel7", look::kCream, Panel1);
    Panel7->setGeometry(40, 161, 193, 186);
    auto* heading = new QLabel(QString::fromUtf16(u"特記事項など"), Panel7);
    look::setPixelSize(heading, 16);
    heading->setGeometry(10, 10, 173, 28);
    int y = 52;
    for (const SpecialNote& note : kSpecialNotes) {
        QCheckBox* box = addCheckBox(note.box, QString::fromUtf16(note.caption), Panel7);
        look::setPixelSize(box, 15);
        box->setGeometry(4, y, 186, 32);
        y += 42;
    }
}

void PunchScreen::buildPanel2() {
    Panel2 = makePanel("Panel2", look::kActiveCaptionGradient, this);
    Panel2->setGeometry(223, 56, 746, 507);

    PageControl1 = new PageControl(
        [this](QPainter& painter, int tabIndex, const QRect& rect, bool active) {
            PageControl1DrawTab(painter, tabIndex, rect, active);
        },
        Panel2);
    PageControl1->setObjectName("PageControl1");
    look::setPixelSize(PageControl1, 16);
    PageControl1->setGeometry(4, 6, 738, 406);

    std::array<QWidget*, 3> sheets{};
    for (int i = 0; i < 3; ++i) {
        sheets[i] = new TabSheet(PageControl1);
        sheets[i]->setObjectName(QStringLiteral("TabSheet%1").arg(i + 1));
        PageControl1->addTab(sheets[i], QString::fromUtf16(kCategoryPageCaptions[i]));
    }

    const int noteIndent = style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    std::array<int, 4> nextY = {kPageTop, kPageTop, kPageTop, kPageTop};  // page 1 has two
    for (const WorkCategory& category : kWorkCategories) {
        // Page 1: a to g on the left, h to k on the right; pages 2 and 3: one column.
        const bool right = category.page == 1 && QStringView(category.code) >= u"h";
        const int x = right ? kRightColumn : kLeftColumn;
        int& y = nextY[right ? 3 : category.page - 1];
        QWidget* sheet = sheets[category.page - 1];

        QCheckBox* box = addCheckBox(category.box, QString::fromUtf16(category.caption), sheet);
        box->setGeometry(x, y, box->sizeHint().width(), kBoxHeight);
        if (category.note != nullptr) {
            // The note lines up with the caption, on a line of its own below it.
            auto* note = new QLabel(QString::fromUtf16(category.note), sheet);
            note->setObjectName(QStringLiteral("CheckBox%1Note").arg(category.box));
            note->move(x + noteIndent, y + kBoxHeight);
            note->adjustSize();
            y += kNotePitch;
        }
        y += kRowPitch;
    }

    Panel6 = makePanel("Panel6", look::kCream, Panel2);
    Panel6->setGeometry(4, 418, 738, 80);
    look::setPixelSize(Panel6, 16);
    const ReasonBoxes reasons = addReasonBoxes(Panel6, kCardScreenReasonRow);
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        checkBoxes_.at(kReasons[i].box) = reasons[i];
    }
}

QCheckBox* PunchScreen::addCheckBox(int number, const QString& caption, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QStringLiteral("CheckBox%1").arg(number));
    checkBoxes_.at(number) = box;
    return box;
}

bool PunchScreen::isTicked(int number) const {
    return CheckBox(number)->isChecked();
}

void PunchScreen::untick(int first, int last) {
    for (int n = first; n <= last; ++n) {
        CheckBox(n)->setChecked(false);
    }
}

void PunchScreen::FormCreate() {
    look::centreOnScreen(*this);
    Panel2->hide();
    flag2 = 0;
    dekai_button();
    Panel7->show();
    Button6->move(758, 106);
    Button7->move(758, 193);
    CheckBox(33)->setChecked(false);
}

void PunchScreen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        FormShow();
    }
}

void PunchScreen::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();  // a focused button has already taken its own Enter
        return;
    }
    QDialog::keyPressEvent(event);  // Esc still closes, through done()
}

void PunchScreen::FormShow() {
    dekai_button();
}

void PunchScreen::dekai_button() {
    Button2->setGeometry(301, 46, 395, 88);
    Button3->setGeometry(301, 194, 395, 88);
    Button4->setGeometry(301, 352, 395, 88);
}

void PunchScreen::motono_button() {
    Button2->setGeometry(16, 24, 169, 57);
    Button3->setGeometry(16, 102, 169, 57);
    Button4->setGeometry(16, 376, 169, 57);
}

void PunchScreen::check_modosu() {
    Panel7->show();
    Button6->move(758, 106);
    Button7->move(758, 193);
    for (const SpecialNote& note : kSpecialNotes) {
        CheckBox(note.box)->setChecked(false);
        CheckBox(note.feeds)->setChecked(false);
    }
}

void PunchScreen::Button4Click() {
    motono_button();
    Panel2->show();
    Panel7->hide();
    Button6->move(15, 202);
    Button7->move(15, 280);
    untick(1, 32);
    Button4->setText(QString::fromUtf16(u"チェックを外す"));
    carryOverSpecialNotes([this](int box) { return isTicked(box); },
                          [this](int box) { CheckBox(box)->setChecked(true); });
    untick(33, 35);
    PageControl1->setCurrentIndex(0);
}

void PunchScreen::recordPunch(PunchKind kind) {
    // Boxes ticked by the carry-over, unticked again if the record cannot be written.
    std::vector<int> carried;
    try {
        const QDateTime dt = clock_();  // one reading for the message and the record
        const QString who = Label4->text();
        QString str = punchMessage(kind, who, dt);
        if (punchKindValues(kind).carriesOver) {
            carryOverSpecialNotes([this](int box) { return isTicked(box); },
                                  [&](int box) {
                                      if (!isTicked(box)) {
                                          CheckBox(box)->setChecked(true);
                                          carried.push_back(box);
                                      }
                                  });
        }
        const PunchRecord str2 =
            punchRecord(kind, who, dt, [this](int box) { return isTicked(box); });
        str = outcomeMessage(writeRecordLockingFirst(appFolder_, str2.line()), str,
                             QString::fromUtf16(kPunchBusyMessage),
                             QString::fromUtf16(kCardJournalMissingMessage));
        carried.clear();
        str_message = str;
    } catch (const std::exception& error) {
        // The screen stays as it was, so the teacher can simply press again.
        for (int box : carried) {
            CheckBox(box)->setChecked(false);
        }
        reportError(this, error);
        return;
    }
    Button9Click();
    waitForCardRemoval();
    Button4Click();
    Panel2->hide();
    Button4->setText(QString::fromUtf16(u"詳細"));
    check_modosu();
    close();
}

void PunchScreen::Button1Click() {
    str_message = QString::fromUtf16(kRemoveCardMessage);
    Button9Click();
    Panel2->hide();
    waitForCardRemoval();
    Button4->setText(QString::fromUtf16(u"詳細"));
    check_modosu();
    close();
}

void PunchScreen::done(int result) {
    if (closing_) {
        return;  // already closing: the card-removal wait is still up
    }
    if (isVisible()) {
        closing_ = true;
        FormClose();
        closing_ = false;
    }
    QDialog::done(result);
}

void PunchScreen::FormClose() {
    Panel2->hide();
    waitForCardRemoval();
    Button4->setText(QString::fromUtf16(u"詳細"));
    check_modosu();
    untick(1, 35);
}

void PunchScreen::waitForCardRemoval() {
    do {
        Button5Click();
    } while (flag2 == 1);
}

void PunchScreen::Button5Click() {
    flag2 = 0;
    const PollResult result = poller_.poll();
    flag1 = result.readerListObtained ? 1 : 0;
    Edit2 = QString::fromStdString(result.lastReaderTried);
    if (result.cardId.has_value()) {
        // Any card of the accepted kind counts, not only the holder's.
        Edit3 = *result.cardId;
        flag2 = 1;
        str_message = QString::fromUtf16(kRemoveCardMessage);
        Button9Click();
    }
}

void PunchScreen::Button9Click() {
    if (confirmBox_ != nullptr) {
        confirmBox_->showMessage(str_message);
    }
}

void PunchScreen::Button8Click() {
    if (absenceScreen_ != nullptr) {
        absenceScreen_->exec();
    }
}

void PunchScreen::Timer1Timer() {
    Label3->setText(clock_().toString(QStringLiteral("yyyy/MM/dd H:mm:ss")));
}

void PunchScreen::PageControl1DrawTab(QPainter& painter, int tabIndex, const QRect& rect,
                                      bool active) {
    painter.fillRect(rect, active ? look::kSelectedTab : look::kActiveCaptionGradient);
    painter.setFont(PageControl1->font());
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textArea = rect.adjusted(kTabTextInset, kTabTextInset, 0, 0);
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignTop, PageControl1->tabText(tabIndex));
}

}  // namespace tavomi
