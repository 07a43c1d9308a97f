#include "report/board_report.h"

#include <QHash>

#include <algorithm>
#include <numeric>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

// The jobs in the order boards list them; any other job follows in the order it is met.
const QStringList& usualJobs() {
    static const QStringList jobs = {
        u"校長"_s,   u"副校長"_s,   u"教頭"_s,       u"主幹教諭"_s, u"指導教諭"_s, u"教諭"_s,
        u"助教諭"_s, u"養護教諭"_s, u"養護助教諭"_s, u"栄養教諭"_s, u"講師"_s,     u"実習助手"_s,
    };
    return jobs;
}

bool hasRecords(const TeacherDays& teacher) {
    return std::any_of(teacher.days.begin(), teacher.days.end(),
                       [](const DaySummary& day) { return !day.events.empty(); });
}

QString overText(bool over) {
    return over ? u"超過"_s : QString();
}

}  // namespace

OvertimeBand overtimeBand(int minutes) {
    if (minutes > kSingleMonthLimitMinutes) {
        return OvertimeBand::Over100;
    }
    if (minutes > kAverageCapMinutes) {
        return OvertimeBand::Over80;
    }
    if (minutes > kMonthlyCapMinutes) {
        return OvertimeBand::Over45;
    }
    return OvertimeBand::UpTo45;
}

QString bandText(OvertimeBand band) {
    switch (band) {
        case OvertimeBand::UpTo45:
            return u"45時間以下"_s;
        case OvertimeBand::Over45:
            return u"45時間超80時間以下"_s;
        case OvertimeBand::Over80:
            return u"80時間超100時間以下"_s;
        case OvertimeBand::Over100:
            return u"100時間超"_s;
    }
    return {};
}

int BandCounts::total() const {
    int sum = 0;
    for (const int n : teachers) {
        sum += n;
    }
    return sum;
}

int BandCounts::averageOvertime() const {
    const int n = total();
    return n == 0 ? 0 : overtime / n;
}

BoardReport boardReport(const PeriodReport& report) {
    BoardReport board{report.period, {}, {}, {}, {}};
    board.all.job = kEveryJob;
    QHash<QString, std::size_t> jobRow;
    std::vector<BandCounts> jobs;
    for (std::size_t t = 0; t < report.totals.size() && t < report.teachers.size(); ++t) {
        const TeacherDays& days = report.teachers[t];
        if (!hasRecords(days)) {
            board.withoutRecords.append(days.name);
            continue;
        }
        const TeacherTotals& totals = report.totals[t];
        const QString job = report.jobs.value(days.name);
        board.teachers.push_back({job, totals});
        auto found = jobRow.constFind(job);
        if (found == jobRow.constEnd()) {
            found = jobRow.insert(job, jobs.size());
            jobs.push_back(BandCounts{job, {}, 0});
        }
        for (BandCounts* counts : {&board.all, &jobs[found.value()]}) {
            ++counts->teachers[static_cast<std::size_t>(overtimeBand(totals.overtime))];
            counts->overtime += totals.overtime;
        }
    }
    // The usual jobs first, then the others as met, then the teachers without a job.
    auto rank = [](const QString& job) {
        const qsizetype usual = usualJobs().indexOf(job);
        if (usual >= 0) {
            return usual;
        }
        return job.isEmpty() ? usualJobs().size() + 1 : usualJobs().size();
    };
    std::stable_sort(jobs.begin(), jobs.end(), [&](const BandCounts& a, const BandCounts& b) {
        return rank(a.job) < rank(b.job);
    });
    board.byJob = std::move(jobs);
    return board;
}

QString shareText(int count, int total) {
    if (total == 0) {
        return {};
    }
    return QString::number(100.0 * count / total, 'f', 1) + u'%';
}

QString jobText(const QString& job) {
    return job.isEmpty() ? u"（職名なし）"_s : job;
}

const std::array<CapLevelLook, 3>& capLevelLooks() {
    static const std::array<CapLevelLook, 3> looks = {{
        {CapLevel::Over45, u"▲"_s, u"月45時間超"_s, 0xFFE699},
        {CapLevel::AverageOver80, u"◆"_s, u"2～6か月平均80時間超"_s, 0xF8B26A},
        {CapLevel::Over100, u"●"_s, u"月100時間以上"_s, 0xF28080},
    }};
    return looks;
}

const CapLevelLook& capLevelLook(CapLevel level) {
    return capLevelLooks()[static_cast<std::size_t>(level)];
}

std::vector<CapLevel> capLevels(const TeacherTotals& totals) {
    std::vector<CapLevel> levels;
    if (totals.over45()) {
        levels.push_back(CapLevel::Over45);
    }
    if (totals.over80()) {
        levels.push_back(CapLevel::AverageOver80);
    }
    if (totals.over100()) {
        levels.push_back(CapLevel::Over100);
    }
    return levels;
}

std::optional<CapLevel> gravestCapLevel(const TeacherTotals& totals) {
    const std::vector<CapLevel> levels = capLevels(totals);
    return levels.empty() ? std::nullopt : std::optional(levels.back());
}

QString markedCapFlags(const TeacherTotals& totals) {
    QStringList flags;
    const std::vector<CapLevel> levels = capLevels(totals);
    for (auto level = levels.rbegin(); level != levels.rend(); ++level) {
        const CapLevelLook& look = capLevelLook(*level);
        flags.append(look.mark + u' ' + look.name);
    }
    if (totals.over360()) {
        flags.append(u"年360時間超"_s);
    }
    return flags.join(u' ');
}

QString capLevelLegend() {
    QStringList parts;
    for (const CapLevelLook& look : capLevelLooks()) {
        parts.append(look.mark + u' ' + look.name);
    }
    return u"凡例: "_s + parts.join(u"　"_s);
}

std::vector<std::size_t> byOvertimeLargestFirst(const std::vector<TeacherTotals>& totals) {
    std::vector<std::size_t> order(totals.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&totals](std::size_t a, std::size_t b) {
        return totals[a].overtime > totals[b].overtime;
    });
    return order;
}

QStringList boardBandHeader() {
    QStringList header{u"職名"_s, u"人数"_s};
    for (std::size_t b = 0; b < kOvertimeBands; ++b) {
        const QString band = bandText(static_cast<OvertimeBand>(b));
        header << band << band + u" 割合"_s;
    }
    return header << u"平均時間外"_s << u"目標（月30時間）"_s;
}

QStringList boardBandRow(const BandCounts& counts) {
    QStringList row{jobText(counts.job), QString::number(counts.total())};
    for (std::size_t b = 0; b < kOvertimeBands; ++b) {
        row << QString::number(counts.teachers[b]) << shareText(counts.teachers[b], counts.total());
    }
    const int average = counts.averageOvertime();
    return row << hoursText(average) << overText(average > kMonthlyTargetMinutes);
}

QStringList boardTeacherHeader() {
    return {u"氏名"_s,
            u"職名"_s,
            u"時間外"_s,
            u"月30時間目標"_s,
            u"45時間超の月（年度）"_s,
            u"年6か月まで"_s,
            u"年度累計時間外"_s,
            u"年360時間"_s,
            u"年720時間"_s,
            u"2～6か月平均の最大"_s,
            u"平均の月数"_s,
            u"平均80時間"_s};
}

QStringList boardTeacherRow(const BoardTeacher& teacher) {
    const TeacherTotals& t = teacher.totals;
    const bool averaged = t.highestAverageMonths > 0;
    return {t.name,
            jobText(teacher.job),
            hoursText(t.overtime),
            overText(t.overtime > kMonthlyTargetMinutes),
            u"%1か月"_s.arg(t.monthsOver45),
            overText(t.tooManyMonthsOver45()),
            hoursText(t.fiscalYearOvertime),
            overText(t.over360()),
            overText(t.over720()),
            averaged ? hoursText(t.highestAverage) : QString(),
            averaged ? u"%1か月"_s.arg(t.highestAverageMonths) : QString(),
            overText(t.over80())};
}

}  // namespace tavomi
