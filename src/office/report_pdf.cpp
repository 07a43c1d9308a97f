#include "office/report_pdf.h"

#include "office/report_text.h"

#include <QFontDatabase>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <array>
#include <numeric>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// Column widths in millimetres, in sheetHeader()'s order; they fill the A4 width
// between 12 mm margins.
constexpr std::array<double, 13> kColumnWidths = {7, 7, 20, 10, 12, 12, 14, 14, 10, 18, 20, 14, 28};
constexpr double kMargin = 12;
constexpr double kTableTop = 40;
constexpr double kRowHeight = 7.5;  // 32 rows: a heading and the longest month
constexpr double kSealBox = 20;
constexpr const char16_t* kLegend =
    u"業務: 業務区分の記号　手動: 手動で記録された区分　確認事項: 退勤・出勤・戻り・外出の"
    u"記録がない日、出勤が2回以上の日";

QString japaneseFontFamily() {
    // Noto has nearly every CP932 character; IPAGothic covers the few it lacks.
    const QStringList families = QFontDatabase::families();
    for (const char* family : {"Noto Sans CJK JP", "IPAGothic"}) {
        if (families.contains(QLatin1String(family))) {
            return QLatin1String(family);
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
        drawSealBoxes();
        drawTable(teacher);
        setFont(7, false);
        painter_.drawText(rect(kMargin, kTableTop + 33 * kRowHeight, 186, 5),
                          Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf16(kLegend));
    }

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

    void drawSealBoxes() {
        setFont(8, false);
        const double right = 210 - kMargin;
        const std::array<const char16_t*, 2> labels = {u"本人", u"校長"};
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

QString writeMonthPdf(const PeriodReport& report, const QString& file) {
    static_assert(std::accumulate(kColumnWidths.begin(), kColumnWidths.end(), 0.0) ==
                  210 - 2 * kMargin);
    if (report.teachers.empty()) {
        return QStringLiteral("nobody to report (no cardholder and no record)");
    }
    const QString family = japaneseFontFamily();
    if (family.isEmpty()) {
        return QStringLiteral("no Japanese font (install fonts-noto-cjk)");
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
            return QStringLiteral("cannot start the PDF");
        }
        SheetPainter sheet(painter, writer.resolution() / 25.4, family);
        for (std::size_t i = 0; i < report.teachers.size(); ++i) {
            if (i > 0) {
                writer.newPage();
            }
            sheet.drawPage(report, report.teachers[i]);
        }
        painter.end();
    }
    if (!out.commit()) {
        return out.errorString();
    }
    return QString();
}

}  // namespace tavomi
