#include "report/report_pdf.h"

#include "record/vocabulary.h"
#include "report/board_report.h"
#include "report/report_text.h"
#include "report/text_table.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <numeric>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// Column widths in millimetres, in sheetHeader()'s order; they fill the A4 width
// between 12 mm margins.
constexpr std::array<double, 17> kColumnWidths = {6,  5, 18, 9, 9,  9,  9, 9, 8,
                                                  12, 9, 9,  9, 13, 15, 8, 29};
constexpr double kMargin = 12;
constexpr double kTableTop = 40;
constexpr double kRowHeight = 6.3;  // 32 rows: a heading and the longest month
constexpr double kTableBottom = kTableTop + 32 * kRowHeight;
constexpr double kPageWidth = 210 - 2 * kMargin;
// The principal's summary: name, days, 在校等時間, of it outside, scheduled hours, overtime,
// fiscal year, average, flags, days not counted; then how the totals are counted.
constexpr std::array<double, 10> kSummaryWidths = {24, 10, 15, 13, 15, 14, 15, 20, 28, 32};
constexpr std::size_t kSummaryOvertimeColumn = 5;
constexpr std::size_t kSummaryFlagsColumn = 8;
constexpr int kSummaryRowsPerPage = 28;
// The days not counted that a summary cell names; the teacher's own page has them all.
constexpr qsizetype kUncountedShown = 3;
// The board's page: the bands' table (job, number, each band's number and share, the
// average, the target), then each teacher's caps (boardTeacherHeader()).
constexpr std::array<double, 12> kBandWidths = {28, 12, 12, 14, 12, 14, 12, 14, 12, 14, 18, 24};
constexpr std::array<double, 12> kBoardTeacherWidths = {30, 22, 14, 12, 14, 12,
                                                        16, 12, 12, 18, 12, 12};
constexpr std::size_t kBandTargetColumn = 11;
constexpr std::size_t kBoardOvertimeColumn = 2;
constexpr double kPageBottom = 285;
constexpr int kGarbledRowsPerPage = 40;
constexpr double kSealBox = 20;
constexpr const char16_t* kLegend =
    u"業務: 業務区分の記号　手動: 手動で記録された区分　確認事項: 退勤・出勤・戻り・外出の"
    u"記録がない日、出勤が2回以上の日、勤務時間の出どころ　在校等時間・校外・控除・時間外の"
    u"数え方: 集計表の「集計のきまり」";

QString japaneseFontFamily() {
    // IPAGothic first: Noto maps some ideographs to the glyphs of Kangxi radicals, so its
    // text reads back from the PDF as radicals (⽉ for 月). In a Japanese locale fontconfig
    // names IPAGothic in Japanese, and the English name alone would miss it there.
    const QStringList families = QFontDatabase::families();
    for (const char16_t* family : {u"IPAGothic", u"IPAゴシック", u"Noto Sans CJK JP"}) {
        if (families.contains(QStringView(family))) {
            return QString::fromUtf16(family);
        }
    }
    return QString();
}

class SheetPainter {
  public:
    SheetPainter(QPainter& painter, double dotsPerMm, const QString& family)
        : painter_(painter), perMm_(dotsPerMm), family_(family) {}

    void drawPage(const PeriodReport& report, const TeacherDays& teacher) {
        setFont(15, true);
        painter_.drawText(rect(kMargin, kMargin, 120, 10), Qt::AlignLeft | Qt::AlignVCenter,
                          u"勤務時間記録　"_s + monthTitle(report.period));
        setFont(12, false);
        painter_.drawText(rect(kMargin, kMargin + 13, 120, 9), Qt::AlignLeft | Qt::AlignVCenter,
                          u"氏名　"_s + teacher.name);
        drawSealBoxes({u"本人", u"校長"});
        drawTable(teacher);
        double y = kTableBottom + 2;
        if (totals) {
            setFont(8, false);
            const QRectF box = rect(kMargin, y, kPageWidth, 10);
            painter_.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                              totalsText(*totals));
            y += 11;
        }
        setFont(6.5, false);
        painter_.drawText(rect(kMargin, y, kPageWidth, 290 - y),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, legendText());
    }

    // The principal's page: one line per teacher, the `count` from `from` in `order` (the
    // largest overtime first); a teacher at a cap level has the overtime and the flags in
    // the level's colour, the flags with the level's mark.
    void drawSummaryPage(const PeriodReport& report, const std::vector<std::size_t>& order,
                         std::size_t from, std::size_t count) {
        setFont(15, true);
        painter_.drawText(rect(kMargin, kMargin, 130, 10), Qt::AlignLeft | Qt::AlignVCenter,
                          u"在校等時間と時間外の集計　"_s + monthTitle(report.period));
        setFont(8, false);
        painter_.drawText(rect(kMargin, kMargin + 12, 150, 10),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          u"上限: 時間外は月45時間・年360時間（年度は4月から）、"
                          u"月100時間未満、2～6か月の平均80時間以内（時間外の多い順）"_s);
        drawLegend(kTableTop - 5.5);
        drawSealBoxes({u"校長"});
        const QStringList heads = {
            u"氏名"_s,         u"出勤日数"_s,        u"在校等時間"_s, u"うち校外"_s,
            u"所定勤務時間"_s, u"時間外"_s,          u"年度累計"_s,   u"2～6か月平均の最大"_s,
            u"上限超過"_s,     u"時間に数えない日"_s};
        setFont(7, true);
        drawCells(kTableTop, heads, kSummaryWidths, true, false, QColor(), {}, 2 * kRowHeight);
        setFont(7, false);
        double y = kTableTop + 2 * kRowHeight;
        for (std::size_t i = from; i < from + count; ++i) {
            const TeacherTotals& totals = report.totals[order[i]];
            const QStringList row = totalsRow(totals);
            // totalsRow: name, days, present, outside, scheduled, overtime, year, average,
            // flags, ...
            const std::optional<CapLevel> level = gravestCapLevel(totals);
            drawCells(y,
                      {row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7],
                       markedCapFlags(totals), uncountedText(totals)},
                      kSummaryWidths, false, false,
                      level ? QColor::fromRgb(capLevelLook(*level).rgb) : QColor(),
                      {kSummaryOvertimeColumn, kSummaryFlagsColumn});
            y += kRowHeight;
        }
        y += 3;
        setFont(8, true);
        painter_.drawText(rect(kMargin, y, kPageWidth, 5), Qt::AlignLeft | Qt::AlignVCenter,
                          u"集計のきまり"_s);
        setFont(7, false);
        painter_.drawText(rect(kMargin, y + 5, kPageWidth, 290 - y - 5),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          countingRules().join(u'\n'));
    }

    // The board's report: the bands in all and by job, then each teacher against the year's
    // caps and the 30-hour target, the largest overtime first; `nextPage` starts a page when
    // the teachers run over one.
    template <typename NextPage>
    void drawBoardPages(const BoardReport& board, const NextPage& nextPage) {
        setFont(15, true);
        painter_.drawText(rect(kMargin, kMargin, 150, 10), Qt::AlignLeft | Qt::AlignVCenter,
                          u"教育委員会への報告　"_s + monthTitle(board.month));
        setFont(8, false);
        painter_.drawText(rect(kMargin, kMargin + 12, kPageWidth, 5),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          u"時間外在校等時間の区分ごとの人数と割合（この月に記録のある教職員、"
                          u"全体と職名ごと）"_s);
        double y = kMargin + 19;
        setFont(6.5, true);
        drawCells(y, boardBandHeader(), kBandWidths, true, false, QColor(), {}, 2 * kRowHeight);
        y += 2 * kRowHeight;
        setFont(7, false);
        const CapLevel bandLevels[] = {CapLevel::Over45, CapLevel::AverageOver80,
                                       CapLevel::Over100};
        std::vector<const BandCounts*> bands{&board.all};
        for (const BandCounts& job : board.byJob) {
            bands.push_back(&job);
        }
        for (const BandCounts* counts : bands) {
            const QStringList cells = boardBandRow(*counts);
            std::vector<std::pair<std::size_t, QColor>> fills;
            for (std::size_t b = 1; b < kOvertimeBands; ++b) {
                if (counts->teachers[b] > 0) {
                    const QColor colour = QColor::fromRgb(capLevelLook(bandLevels[b - 1]).rgb);
                    fills.emplace_back(2 + 2 * b, colour);
                    fills.emplace_back(3 + 2 * b, colour);
                }
            }
            if (!cells.value(kBandTargetColumn).isEmpty()) {
                fills.emplace_back(kBandTargetColumn,
                                   QColor::fromRgb(capLevelLook(CapLevel::Over45).rgb));
            }
            drawCellsFilled(y, cells, kBandWidths, fills);
            y += kRowHeight;
        }
        y += 4;
        setFont(8, true);
        painter_.drawText(
            rect(kMargin, y, kPageWidth, 5), Qt::AlignLeft | Qt::AlignVCenter,
            u"一人ひとりの上限と目標（時間外の多い順。「超過」の欄はその上限の色）"_s);
        y += 6;
        drawLegend(y);
        y += 6;

        std::vector<TeacherTotals> totals;
        for (const BoardTeacher& teacher : board.teachers) {
            totals.push_back(teacher.totals);
        }
        const auto drawHeading = [&] {
            setFont(6.5, true);
            drawCells(y, boardTeacherHeader(), kBoardTeacherWidths, true, false, QColor(), {},
                      2 * kRowHeight);
            y += 2 * kRowHeight;
            setFont(7, false);
        };
        drawHeading();
        for (const std::size_t t : byOvertimeLargestFirst(totals)) {
            if (y + kRowHeight > kPageBottom) {
                nextPage();
                y = kMargin;
                drawHeading();
            }
            const BoardTeacher& teacher = board.teachers[t];
            QStringList cells = boardTeacherRow(teacher);
            std::vector<std::pair<std::size_t, QColor>> fills;
            if (const auto level = gravestCapLevel(teacher.totals)) {
                cells[kBoardOvertimeColumn] += u' ' + capLevelLook(*level).mark;
                fills.emplace_back(kBoardOvertimeColumn, QColor::fromRgb(capLevelLook(*level).rgb));
            }
            const std::pair<std::size_t, CapLevel> overColumns[] = {{3, CapLevel::Over45},
                                                                    {5, CapLevel::Over45},
                                                                    {7, CapLevel::Over45},
                                                                    {8, CapLevel::Over100},
                                                                    {11, CapLevel::AverageOver80}};
            for (const auto& [column, level] : overColumns) {
                if (!cells.value(static_cast<qsizetype>(column)).isEmpty()) {
                    fills.emplace_back(column, QColor::fromRgb(capLevelLook(level).rgb));
                }
            }
            drawCellsFilled(y, cells, kBoardTeacherWidths, fills);
            y += kRowHeight;
        }
        if (!board.withoutRecords.isEmpty()) {
            if (y + 10 > kPageBottom) {
                nextPage();
                y = kMargin;
            }
            setFont(7, false);
            painter_.drawText(
                rect(kMargin, y + 2, kPageWidth, kPageBottom - y - 2),
                Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                u"この月の記録がなく数えていない人（%1人）: "_s.arg(board.withoutRecords.size()) +
                    board.withoutRecords.join(u"、"_s));
        }
    }

    void drawGarbledPage(const PeriodReport& report, std::size_t from, std::size_t count) {
        setFont(13, true);
        painter_.drawText(rect(kMargin, kMargin, kPageWidth, 10), Qt::AlignLeft | Qt::AlignVCenter,
                          u"記録として読めない行（%1行）　"_s.arg(report.garbled.size()) +
                              monthTitle(report.period));
        static constexpr std::array<double, 3> widths = {20, 24, kPageWidth - 44};
        setFont(7.5, true);
        drawCells(kMargin + 14, {u"行"_s, u"問題"_s, u"内容"_s}, widths, true);
        setFont(7, false);
        double y = kMargin + 14 + kRowHeight;
        for (std::size_t i = from; i < from + count; ++i) {
            const GarbledLine& line = report.garbled[i];
            drawCells(y,
                      {u"%1行目"_s.arg(line.line), lineProblemText(line.problem),
                       withControlPictures(line.text.left(120))},
                      widths, false);
            y += kRowHeight;
        }
    }

    const TeacherTotals* totals = nullptr;

  private:
    QRectF rect(double x, double y, double w, double h) const {
        return QRectF(x * perMm_, y * perMm_, w * perMm_, h * perMm_);
    }

    void setFont(double points, bool bold) {
        QFont font(family_);
        font.setPointSizeF(points);
        font.setBold(bold);
        painter_.setFont(font);
    }

    static QString legendText() {
        QStringList codes;
        for (const WorkCategory& category : kWorkCategories) {
            codes.append(QString::fromUtf16(category.caption));
        }
        return QString::fromUtf16(kLegend) + u"\n業務の記号: "_s + codes.join(u"　"_s);
    }

    // The levels' legend above the table: each colour with its mark and its name.
    void drawLegend(double y) {
        setFont(7.5, false);
        painter_.drawText(rect(kMargin, y, 10, 4.5), Qt::AlignLeft | Qt::AlignVCenter, u"凡例"_s);
        double x = kMargin + 10;
        for (const CapLevelLook& look : capLevelLooks()) {
            const QRectF swatch = rect(x, y, 5, 4.5);
            painter_.fillRect(swatch, QColor::fromRgb(look.rgb));
            painter_.drawRect(swatch);
            painter_.drawText(swatch, Qt::AlignCenter, look.mark);
            painter_.drawText(rect(x + 6, y, 40, 4.5), Qt::AlignLeft | Qt::AlignVCenter, look.name);
            x += 6 + 2.2 * look.name.size() + 5;
        }
    }

    // Days not counted, as many as a cell holds: "5日 出勤なし、20日 退勤なし ほか2日".
    static QString uncountedText(const TeacherTotals& totals) {
        const QStringList shown = totals.uncounted.mid(0, kUncountedShown);
        QString text = shown.join(u"、"_s);
        if (totals.uncounted.size() > shown.size()) {
            text += u" ほか%1日"_s.arg(totals.uncounted.size() - shown.size());
        }
        return text;
    }

    // Each cell of `fills` on its own colour.
    template <std::size_t N>
    void drawCellsFilled(double y, const QStringList& cells, const std::array<double, N>& widths,
                         const std::vector<std::pair<std::size_t, QColor>>& fills) {
        double x = kMargin;
        for (std::size_t c = 0; c < N; ++c) {
            for (const auto& [column, colour] : fills) {
                if (column == c) {
                    painter_.fillRect(rect(x, y, widths[c], kRowHeight), colour);
                }
            }
            x += widths[c];
        }
        drawCells(y, cells, widths, false);
    }

    // `fill`, when valid, colours the cells of `filled` alone.
    template <std::size_t N>
    void drawCells(double y, const QStringList& cells, const std::array<double, N>& widths,
                   bool heading, bool shaded = false, const QColor& fill = QColor(),
                   std::initializer_list<std::size_t> filled = {}, double height = kRowHeight) {
        double x = kMargin;
        for (std::size_t c = 0; c < N; ++c) {
            const QRectF cell = rect(x, y, widths[c], height);
            if (heading || shaded) {
                painter_.fillRect(cell, QColor(232, 232, 232));
            } else if (fill.isValid() &&
                       std::find(filled.begin(), filled.end(), c) != filled.end()) {
                painter_.fillRect(cell, fill);
            }
            painter_.drawRect(cell);
            const auto column = static_cast<qsizetype>(c);
            painter_.drawText(
                cell.adjusted(0.6 * perMm_, 0, -0.6 * perMm_, 0),
                (heading ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextWordWrap,
                column < cells.size() ? cells[column] : QString());
            x += widths[c];
        }
    }

    void drawSealBoxes(std::initializer_list<const char16_t*> labelList) {
        setFont(8, false);
        const double right = 210 - kMargin;
        const std::vector<const char16_t*> labels(labelList);
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const double x = right - (labels.size() - i) * (kSealBox + 2) + 2;
            painter_.drawRect(rect(x, kMargin, kSealBox, 5));
            painter_.drawText(rect(x, kMargin, kSealBox, 5), Qt::AlignCenter,
                              QString::fromUtf16(labels[i]));
            painter_.drawRect(rect(x, kMargin + 5, kSealBox, kSealBox));
        }
    }

    void drawRow(double y, const QStringList& cells, bool heading, bool shaded) {
        double x = kMargin;
        for (std::size_t c = 0; c < kColumnWidths.size(); ++c) {
            const QRectF cell = rect(x, y, kColumnWidths[c], kRowHeight);
            if (shaded) {
                painter_.fillRect(cell, QColor(232, 232, 232));
            }
            painter_.drawRect(cell);
            const QRectF inside = cell.adjusted(0.6 * perMm_, 0, -0.6 * perMm_, 0);
            const int align = (heading || c < 2 ? Qt::AlignHCenter : Qt::AlignLeft) |
                              Qt::AlignVCenter | Qt::TextWordWrap;
            const auto column = static_cast<qsizetype>(c);
            painter_.drawText(inside, align, column < cells.size() ? cells[column] : QString());
            x += kColumnWidths[c];
        }
    }

    void drawTable(const TeacherDays& teacher) {
        setFont(7.5, true);
        drawRow(kTableTop, sheetHeader(), true, true);
        setFont(7, false);
        double y = kTableTop + kRowHeight;
        for (const DaySummary& day : teacher.days) {
            drawRow(y, sheetRow(day), false, day.date.dayOfWeek() >= 6);
            y += kRowHeight;
        }
    }

    QPainter& painter_;
    double perMm_;
    QString family_;
};

}  // namespace

QString writeMonthPdf(const PeriodReport& report, const QString& file, int* pages) {
    static_assert(std::accumulate(kColumnWidths.begin(), kColumnWidths.end(), 0.0) ==
                  210 - 2 * kMargin);
    static_assert(std::accumulate(kSummaryWidths.begin(), kSummaryWidths.end(), 0.0) == kPageWidth);
    static_assert(std::accumulate(kBandWidths.begin(), kBandWidths.end(), 0.0) == kPageWidth);
    static_assert(std::accumulate(kBoardTeacherWidths.begin(), kBoardTeacherWidths.end(), 0.0) ==
                  kPageWidth);
    if (report.teachers.empty()) {
        return QCoreApplication::translate("tavomi-report",
                                           "nobody to report (no cardholder and no record)");
    }
    const QString family = japaneseFontFamily();
    if (family.isEmpty()) {
        return QCoreApplication::translate("tavomi-report",
                                           "no Japanese font (install fonts-noto-cjk)");
    }
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        return out.errorString();
    }
    {
        QPdfWriter writer(&out);
        writer.setTitle(u"勤務時間記録　"_s + monthTitle(report.period));
        writer.setCreator(QStringLiteral("Tavomi"));
        writer.setResolution(300);
        writer.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        QPainter painter;
        if (!painter.begin(&writer)) {
            out.cancelWriting();
            return QCoreApplication::translate("tavomi-report", "cannot start the PDF");
        }
        SheetPainter sheet(painter, writer.resolution() / 25.4, family);
        int pageCount = 0;
        auto nextPage = [&] {
            if (pageCount++ > 0) {
                writer.newPage();
            }
        };
        const std::vector<std::size_t> order = byOvertimeLargestFirst(report.totals);
        for (std::size_t i = 0; i < report.totals.size(); i += kSummaryRowsPerPage) {
            nextPage();
            sheet.drawSummaryPage(
                report, order, i,
                std::min<std::size_t>(kSummaryRowsPerPage, report.totals.size() - i));
        }
        nextPage();
        sheet.drawBoardPages(boardReport(report), nextPage);
        for (std::size_t i = 0; i < report.teachers.size(); ++i) {
            nextPage();
            sheet.totals = i < report.totals.size() ? &report.totals[i] : nullptr;
            sheet.drawPage(report, report.teachers[i]);
        }
        for (std::size_t i = 0; i < report.garbled.size(); i += kGarbledRowsPerPage) {
            nextPage();
            sheet.drawGarbledPage(
                report, i, std::min<std::size_t>(kGarbledRowsPerPage, report.garbled.size() - i));
        }
        painter.end();
        if (pages != nullptr) {
            *pages = pageCount;
        }
    }
    if (!out.commit()) {
        return out.errorString();
    }
    return QString();
}

}  // namespace tavomi
