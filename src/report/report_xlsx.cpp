#include "report/report_xlsx.h"

#include "files/data_folder.h"
#include "record/punch_line.h"
#include "report/board_report.h"
#include "report/report_text.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// A cell holds at most 32767 characters; a garbled line may be longer.
constexpr qsizetype kLongestCellText = 32000;
constexpr qsizetype kLongestSheetName = 31;

// Spreadsheets count days from 1899-12-30; a time is a fraction of a day.
double excelDate(const QDate& date) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(date));
}

double excelHours(int minutes) {
    return minutes / 1440.0;
}

// A time or a length as the sheets write it (8:15, 08:15, 25:30, 8:15:00), in minutes.
std::optional<int> minutesOfText(const QString& text) {
    static const QRegularExpression time(u"^(\\d{1,2}):(\\d{2})(?::\\d{2})?$"_s);
    const QRegularExpressionMatch match = time.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    return match.captured(1).toInt() * 60 + match.captured(2).toInt();
}

struct Formats {
    lxw_format* title;
    lxw_format* header;
    lxw_format* hours;
    lxw_format* date;
    lxw_format* share;
    lxw_format* text;
    // Each cap level's fill, on hours and on text.
    std::array<lxw_format*, 3> levelHours;
    std::array<lxw_format*, 3> levelText;
};

Formats makeFormats(lxw_workbook* book) {
    Formats f{};
    f.title = workbook_add_format(book);
    format_set_bold(f.title);
    format_set_font_size(f.title, 14);
    f.header = workbook_add_format(book);
    format_set_bold(f.header);
    format_set_text_wrap(f.header);
    format_set_bg_color(f.header, 0xE8E8E8);
    format_set_bottom(f.header, LXW_BORDER_THIN);
    f.hours = workbook_add_format(book);
    format_set_num_format(f.hours, "[h]:mm");
    f.date = workbook_add_format(book);
    format_set_num_format(f.date, "yyyy/m/d");
    f.share = workbook_add_format(book);
    format_set_num_format(f.share, "0.0%");
    f.text = workbook_add_format(book);
    format_set_num_format(f.text, "@");
    for (const CapLevelLook& look : capLevelLooks()) {
        const auto level = static_cast<std::size_t>(look.level);
        f.levelHours[level] = workbook_add_format(book);
        format_set_num_format(f.levelHours[level], "[h]:mm");
        format_set_bg_color(f.levelHours[level], look.rgb);
        f.levelText[level] = workbook_add_format(book);
        format_set_num_format(f.levelText[level], "@");
        format_set_bg_color(f.levelText[level], look.rgb);
    }
    return f;
}

// One worksheet's cells; the first failure is kept and ends the workbook.
class Sheet {
  public:
    Sheet(lxw_worksheet* sheet, const Formats& formats, lxw_error& error)
        : sheet_(sheet), f_(formats), error_(error) {}

    void text(int row, int column, const QString& value, lxw_format* format = nullptr) {
        if (value.isEmpty()) {
            return;
        }
        keep(worksheet_write_string(
            sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column),
            value.left(kLongestCellText).toUtf8().constData(), format ? format : f_.text));
    }
    void number(int row, int column, double value, lxw_format* format = nullptr) {
        keep(worksheet_write_number(sheet_, static_cast<lxw_row_t>(row),
                                    static_cast<lxw_col_t>(column), value, format));
    }
    void hours(int row, int column, int minutes, lxw_format* format = nullptr) {
        number(row, column, excelHours(minutes), format ? format : f_.hours);
    }
    void date(int row, int column, const QDate& date) {
        number(row, column, excelDate(date), f_.date);
    }
    void share(int row, int column, double share) { number(row, column, share, f_.share); }
    // A time or a length as a number of hours when it reads as one, else as text.
    void timeOrText(int row, int column, const QString& value) {
        if (const auto minutes = minutesOfText(value)) {
            hours(row, column, *minutes);
        } else {
            text(row, column, value);
        }
    }
    void title(const QString& value) { text(0, 0, value, f_.title); }
    // The header row, frozen with the first column below and beside it, and filterable.
    void header(int row, const QStringList& headings, int lastRow) {
        for (qsizetype c = 0; c < headings.size(); ++c) {
            text(row, static_cast<int>(c), headings[c], f_.header);
        }
        keep(worksheet_set_row(sheet_, static_cast<lxw_row_t>(row), 32, nullptr));
        if (lastRow > row) {
            keep(worksheet_autofilter(sheet_, static_cast<lxw_row_t>(row), 0,
                                      static_cast<lxw_row_t>(lastRow),
                                      static_cast<lxw_col_t>(headings.size() - 1)));
        }
    }
    const Formats& formats() const { return f_; }

    void freeze(int rows, int columns) {
        worksheet_freeze_panes(sheet_, static_cast<lxw_row_t>(rows),
                               static_cast<lxw_col_t>(columns));
    }
    void widths(std::initializer_list<double> widths) {
        int column = 0;
        for (const double width : widths) {
            keep(worksheet_set_column(sheet_, static_cast<lxw_col_t>(column),
                                      static_cast<lxw_col_t>(column), width, nullptr));
            ++column;
        }
    }

  private:
    void keep(lxw_error error) {
        if (error != LXW_NO_ERROR && error_ == LXW_NO_ERROR) {
            error_ = error;
        }
    }

    lxw_worksheet* sheet_;
    const Formats& f_;
    lxw_error& error_;
};

QStringList principalHeader() {
    return {u"氏名"_s,
            u"職名"_s,
            u"出勤日数"_s,
            u"在校等時間"_s,
            u"うち校外"_s,
            u"所定勤務時間"_s,
            u"時間外"_s,
            u"年度累計時間外"_s,
            u"45時間超の月（年度）"_s,
            u"2～6か月平均の最大"_s,
            u"平均の月数"_s,
            u"上限超過"_s,
            u"時間に数えない日"_s,
            u"記録なしの日"_s};
}

// The principal's list, largest overtime first; a teacher at a cap level has the overtime
// and the flags in the level's colour, the flags beginning with the level's mark.
void writePrincipal(Sheet& sheet, const PeriodReport& report) {
    sheet.title(monthTitle(report.period) + u"　在校等時間と時間外（校長用）"_s);
    sheet.text(1, 0, capLevelLegend());
    const int top = 2;
    const int rows = static_cast<int>(report.totals.size());
    sheet.header(top, principalHeader(), top + rows);
    int row = top;
    for (const std::size_t i : byOvertimeLargestFirst(report.totals)) {
        const TeacherTotals& t = report.totals[i];
        const QStringList texts = totalsRow(t);
        const std::optional<CapLevel> level = gravestCapLevel(t);
        const auto fill = [&](const std::array<lxw_format*, 3>& formats) {
            return level ? formats[static_cast<std::size_t>(*level)] : nullptr;
        };
        ++row;
        sheet.text(row, 0, t.name);
        sheet.text(row, 1, report.jobs.value(t.name));
        sheet.number(row, 2, t.attendanceDays);
        sheet.hours(row, 3, t.present);
        sheet.hours(row, 4, t.outside);
        sheet.hours(row, 5, t.scheduled);
        sheet.hours(row, 6, t.overtime, fill(sheet.formats().levelHours));
        sheet.hours(row, 7, t.fiscalYearOvertime);
        sheet.number(row, 8, t.monthsOver45);
        if (t.highestAverageMonths > 0) {
            sheet.hours(row, 9, t.highestAverage);
            sheet.number(row, 10, t.highestAverageMonths);
        }
        sheet.text(row, 11, markedCapFlags(t), fill(sheet.formats().levelText));
        sheet.text(row, 12, texts[9]);
        sheet.text(row, 13, texts[10]);
    }
    sheet.freeze(top + 1, 1);
    sheet.widths({16, 10, 8, 10, 10, 10, 10, 10, 10, 10, 8, 30, 30, 30});
}

void writeBoard(Sheet& sheet, const PeriodReport& report) {
    const BoardReport board = boardReport(report);
    sheet.title(monthTitle(report.period) + u"　時間外在校等時間の状況（教育委員会への報告）"_s);
    int row = 2;
    sheet.header(row, boardBandHeader(), 0);
    std::vector<const BandCounts*> counts{&board.all};
    for (const BandCounts& job : board.byJob) {
        counts.push_back(&job);
    }
    for (const BandCounts* c : counts) {
        ++row;
        sheet.text(row, 0, jobText(c->job));
        sheet.number(row, 1, c->total());
        for (std::size_t b = 0; b < kOvertimeBands; ++b) {
            const int column = 2 + 2 * static_cast<int>(b);
            sheet.number(row, column, c->teachers[b]);
            if (c->total() > 0) {
                sheet.share(row, column + 1, static_cast<double>(c->teachers[b]) / c->total());
            }
        }
        sheet.hours(row, 10, c->averageOvertime());
        sheet.text(row, 11, boardBandRow(*c).back());
    }
    row += 2;
    const QStringList header = boardTeacherHeader();
    sheet.header(row, header, 0);
    for (const BoardTeacher& teacher : board.teachers) {
        ++row;
        const TeacherTotals& t = teacher.totals;
        const QStringList texts = boardTeacherRow(teacher);
        sheet.text(row, 0, t.name);
        sheet.text(row, 1, texts[1]);
        sheet.hours(row, 2, t.overtime);
        sheet.text(row, 3, texts[3]);
        sheet.number(row, 4, t.monthsOver45);
        sheet.text(row, 5, texts[5]);
        sheet.hours(row, 6, t.fiscalYearOvertime);
        sheet.text(row, 7, texts[7]);
        sheet.text(row, 8, texts[8]);
        if (t.highestAverageMonths > 0) {
            sheet.hours(row, 9, t.highestAverage);
            sheet.number(row, 10, t.highestAverageMonths);
        }
        sheet.text(row, 11, texts[11]);
    }
    if (!board.withoutRecords.isEmpty()) {
        row += 2;
        sheet.text(row, 0, u"この月の記録がない人（数えていません）"_s);
        sheet.text(row, 1, board.withoutRecords.join(u"、"_s));
    }
    sheet.widths({16, 10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 12});
}

QString journalLines(const DaySummary& day) {
    QStringList lines;
    for (const PunchEvent& event : day.events) {
        lines.append(QString::number(event.line));
    }
    return lines.join(u"、"_s);
}

void writeChecks(Sheet& sheet, const PeriodReport& report) {
    sheet.title(monthTitle(report.period) + u"　確認事項"_s);
    const QString journal = QString::fromLatin1(kJournalFile.data(), kJournalFile.size());
    int row = 2;
    sheet.header(row, {u"氏名"_s, u"日付"_s, u"曜"_s, u"確認事項"_s, u"ファイル"_s, u"行"_s}, 0);
    for (const TeacherDays& teacher : report.teachers) {
        for (const DaySummary& day : teacher.days) {
            for (const DayException exception : day.exceptions) {
                ++row;
                sheet.text(row, 0, teacher.name);
                sheet.date(row, 1, day.date);
                sheet.text(row, 2, weekdayText(day.date));
                sheet.text(row, 3, exceptionText(exception, day));
                if (!day.events.empty()) {
                    sheet.text(row, 4, journal);
                    // One line as a number; several as a list.
                    if (day.events.size() == 1) {
                        sheet.number(row, 5, static_cast<double>(day.events.front().line));
                    } else {
                        sheet.text(row, 5, journalLines(day));
                    }
                }
            }
        }
    }
    for (const QString& check : report.scheduleChecks) {
        ++row;
        sheet.text(row, 3, check);
    }
    for (const GarbledLine& line : report.garbled) {
        ++row;
        sheet.text(row, 3, lineProblemText(line.problem) + u"："_s + line.text);
        sheet.text(row, 4, journal);
        sheet.number(row, 5, static_cast<double>(line.line));
    }
    sheet.widths({16, 11, 4, 60, 12, 10});
}

void writeTeacher(Sheet& sheet, const TeacherDays& teacher, const TeacherTotals* totals,
                  const ReportPeriod& period) {
    sheet.title(teacher.name + u"　"_s + monthTitle(period));
    QStringList header = csvHeader();
    header.removeFirst();  // the name is the sheet's
    const int top = 2;
    sheet.header(top, header, 0);
    int row = top;
    for (const DaySummary& day : teacher.days) {
        ++row;
        const QStringList cells = csvRow(teacher.name, day);
        sheet.date(row, 0, day.date);
        sheet.text(row, 1, cells[2]);
        // The scheduled hours, the times and the day's hours (columns 3 to 14 of the CSV).
        for (qsizetype c = 3; c <= 14; ++c) {
            sheet.timeOrText(row, static_cast<int>(c - 1), cells[c]);
        }
        for (qsizetype c = 15; c < cells.size(); ++c) {
            sheet.text(row, static_cast<int>(c - 1), cells[c]);
        }
    }
    if (totals != nullptr) {
        row += 2;
        sheet.text(row, 0, u"合計"_s);
        sheet.hours(row, 10, totals->present);
        sheet.hours(row, 11, totals->outside);
        sheet.hours(row, 13, totals->overtime);
        ++row;
        sheet.text(row, 0, totalsText(*totals));
    }
    sheet.freeze(top + 1, 2);
    sheet.widths({11, 4, 8, 8, 7, 7, 7, 7, 7, 7, 10, 7, 7, 8, 14, 14, 10, 40});
}

}  // namespace

QString sheetNameFor(const QString& name, QStringList& taken) {
    QString base;
    for (const QChar c : name) {
        if (c.unicode() >= 0x20 && !QStringView(u"[]:*?/\\").contains(c)) {
            base += c;
        }
    }
    // An apostrophe may not begin or end a sheet's name.
    while (base.startsWith(u'\'')) {
        base.remove(0, 1);
    }
    while (base.endsWith(u'\'')) {
        base.chop(1);
    }
    base = base.trimmed();
    if (base.isEmpty()) {
        base = u"氏名なし"_s;
    }
    auto cut = [](const QString& text, qsizetype length) {
        QString cutText = text.left(length);
        if (!cutText.isEmpty() && cutText.back().isHighSurrogate()) {
            cutText.chop(1);
        }
        return cutText;
    };
    auto isTaken = [&taken](const QString& candidate) {
        return std::any_of(taken.begin(), taken.end(), [&](const QString& other) {
            return other.compare(candidate, Qt::CaseInsensitive) == 0;
        });
    };
    QString candidate = cut(base, kLongestSheetName);
    for (int n = 2; isTaken(candidate); ++n) {
        const QString suffix = u"(%1)"_s.arg(n);
        candidate = cut(base, kLongestSheetName - suffix.size()) + suffix;
    }
    taken.append(candidate);
    return candidate;
}

QString writeMonthWorkbook(const PeriodReport& report, const QString& file) {
    if (QFileInfo(file).isDir()) {
        return u"%1 is a folder"_s.arg(file);
    }
    // The workbook is made aside and then put in place whole, as the CSV is.
    QTemporaryDir aside;
    if (!aside.isValid()) {
        return aside.errorString();
    }
    const QByteArray tmpdir = QFile::encodeName(aside.path());
    const QByteArray made = QFile::encodeName(aside.filePath(u"month.xlsx"_s));
    lxw_workbook_options options{0, const_cast<char*>(tmpdir.constData()), 0};
    lxw_workbook* book = workbook_new_opt(made.constData(), &options);
    if (book == nullptr) {
        return u"cannot make a workbook"_s;
    }
    const Formats formats = makeFormats(book);
    lxw_error error = LXW_NO_ERROR;
    QStringList taken;
    auto addSheet = [&](const QString& name) {
        const QString sheetName = sheetNameFor(name, taken);
        lxw_worksheet* worksheet = workbook_add_worksheet(book, sheetName.toUtf8().constData());
        if (worksheet == nullptr && error == LXW_NO_ERROR) {
            error = LXW_ERROR_MEMORY_MALLOC_FAILED;
        }
        return worksheet;
    };
    auto write = [&](const QString& name, const auto& fill) {
        if (lxw_worksheet* worksheet = addSheet(name)) {
            Sheet sheet(worksheet, formats, error);
            fill(sheet);
        }
    };
    write(u"校長"_s, [&](Sheet& sheet) { writePrincipal(sheet, report); });
    write(u"教育委員会"_s, [&](Sheet& sheet) { writeBoard(sheet, report); });
    write(u"確認事項"_s, [&](Sheet& sheet) { writeChecks(sheet, report); });
    for (std::size_t t = 0; t < report.teachers.size() && error == LXW_NO_ERROR; ++t) {
        const TeacherDays& teacher = report.teachers[t];
        write(teacher.name, [&](Sheet& sheet) {
            writeTeacher(sheet, teacher, t < report.totals.size() ? &report.totals[t] : nullptr,
                         report.period);
        });
    }
    // Closing frees the workbook whether or not it is written.
    const lxw_error closed = workbook_close(book);
    if (error == LXW_NO_ERROR) {
        error = closed;
    }
    if (error != LXW_NO_ERROR) {
        return QString::fromUtf8(lxw_strerror(error));
    }
    QFile workbook(aside.filePath(u"month.xlsx"_s));
    if (!workbook.open(QIODevice::ReadOnly)) {
        return workbook.errorString();
    }
    const QByteArray bytes = workbook.readAll();
    workbook.close();
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        return out.errorString();
    }
    return {};
}

}  // namespace tavomi
