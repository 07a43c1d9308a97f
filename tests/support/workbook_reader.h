#pragma once
// Reads an .xlsx back through Debian's python3-openpyxl, as a spreadsheet would see it, so
// that tests check the workbook's cells rather than its bytes.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

namespace tavomi::test {

using namespace Qt::StringLiterals;

// A workbook as openpyxl reads it: each sheet's rows ("rows"), each cell as [kind, value,
// number format] with kind s (text), n (number), t (hours as minutes) or d (a date, ISO), or
// null; and each cell's solid fill as RRGGBB, or null ("fills").
inline const char* const kReadWorkbook = R"py(
import datetime, json, sys
import openpyxl
book = openpyxl.load_workbook(sys.argv[1])
def cell(c):
    v, f = c.value, c.number_format
    if v is None:
        return None
    if f == "[h]:mm":
        if isinstance(v, datetime.timedelta):
            m = v.total_seconds() / 60
        elif isinstance(v, datetime.datetime):
            m = (v - datetime.datetime(1899, 12, 30)).total_seconds() / 60
        elif isinstance(v, datetime.time):
            m = v.hour * 60 + v.minute
        else:
            m = v * 1440
        return ["t", round(m), f]
    if isinstance(v, datetime.datetime):
        return ["d", v.date().isoformat(), f]
    if isinstance(v, str):
        return ["s", v, f]
    return ["n", v, f]
def fill(c):
    if c.fill is None or c.fill.fill_type != "solid":
        return None
    return c.fill.fgColor.rgb[-6:]
out = {"sheets": book.sheetnames, "rows": {}, "fills": {}}
for ws in book.worksheets:
    out["rows"][ws.title] = [[cell(c) for c in row] for row in ws.iter_rows()]
    out["fills"][ws.title] = [[fill(c) for c in row] for row in ws.iter_rows()]
json.dump(out, sys.stdout, ensure_ascii=False)
)py";

inline QJsonObject readWorkbook(const QString& file) {
    QProcess python;
    // Debian's Python, which python3-openpyxl is installed for, whatever else is on the PATH.
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kReadWorkbook), file});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl could not read " << file.toStdString() << ": "
                      << python.readAllStandardError().toStdString();
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// Row `row`, column `column` of a sheet (both from 0) as [kind, value]: the number format
// is checked where it matters.
inline QString cellOf(const QJsonObject& book, const QString& sheet, int row, int column) {
    const QJsonArray rows = book[u"rows"_s].toObject()[sheet].toArray();
    const QJsonValue cell = rows.at(row).toArray().at(column);
    if (!cell.isArray()) {
        return u"-"_s;
    }
    const QJsonArray c = cell.toArray();
    const QJsonValue value = c.at(1);
    return c.at(0).toString() + u' ' +
           (value.isString() ? value.toString() : QString::number(value.toDouble()));
}

// The fill of a cell as RRGGBB, or "-".
inline QString fillOf(const QJsonObject& book, const QString& sheet, int row, int column) {
    const QJsonValue fill =
        book[u"fills"_s].toObject()[sheet].toArray().at(row).toArray().at(column);
    return fill.isString() ? fill.toString() : u"-"_s;
}

}  // namespace tavomi::test
