#include "Export.h"

#include "FileReplace.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <xlsxwriter.h>

#include <stdexcept>

namespace frame::exporting {

namespace {

// How often the progress is reported, in rows.
constexpr long ProgressStep = 500;

// Excel's limit on the characters of one cell.
constexpr qsizetype MaxCellText = 32767;

std::runtime_error failure(const QString& text) {
    return std::runtime_error(text.toStdString());
}

QString textOf(const engine::Value& v) {
    return QString::fromStdString(v.toText());
}

// Visits every row that is not deleted, in recordset order, telling the
// progress as it goes.
template <typename RowFn>
void forEachRow(const engine::Recordset& rs, const Progress& progress, RowFn&& row) {
    if (rs.State() == 0) return;
    const long count = rs.RecordCount();
    const int fields = static_cast<int>(rs.fieldInfo().size());
    std::vector<engine::Value> values(static_cast<std::size_t>(fields));
    for (long r = 0; r < count; ++r) {
        if (progress && r % ProgressStep == 0 && !progress(r, count)) throw Cancelled{};
        if (rs.rowDeleted(r)) continue;
        for (int c = 0; c < fields; ++c)
            values[static_cast<std::size_t>(c)] = rs.valueAt(r, c);
        row(values);
    }
    if (progress && !progress(count, count)) throw Cancelled{};
}

QString csvField(const QString& text) {
    const bool quote = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"')) ||
                       text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) ||
                       (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()));
    if (!quote) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size() ||
        !f.flush())
        throw failure(QStringLiteral("无法写入文件“") + path + QStringLiteral("”：") +
                      f.errorString());
    f.close();
}

QByteArray csvBytes(const engine::Recordset& rs, const Progress& progress) {
    QString out;
    QStringList header;
    for (const engine::FieldInfo& f : rs.fieldInfo())
        header << csvField(QString::fromStdString(f.name));
    out += header.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    forEachRow(rs, progress, [&](const std::vector<engine::Value>& values) {
        for (std::size_t c = 0; c < values.size(); ++c) {
            if (c) out += QLatin1Char(',');
            out += csvField(textOf(values[c]));
        }
        out += QStringLiteral("\r\n");
    });
    // The byte-order mark tells spreadsheet programs the text is UTF-8.
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

// A date value as Excel's date parts; false when Excel cannot hold it (before
// 1900, apart from Jet's day zero that stands for a time of day).
bool excelDate(const std::string& canonical, lxw_datetime& dt, bool& hasDate, bool& hasTime) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    if (std::sscanf(canonical.c_str(), "%d-%d-%d %d:%d:%lf", &y, &mo, &d, &h, &mi, &s) < 3)
        return false;
    hasTime = h != 0 || mi != 0 || s != 0;
    hasDate = true;
    if (y == 1899 && mo == 12 && d == 30) {
        hasDate = false;
        y = mo = d = 0; // a time of day only
    } else if (y < 1900) {
        return false;
    }
    dt = lxw_datetime{y, mo, d, h, mi, s};
    return true;
}

void writeXlsx(const engine::Recordset& rs, const QString& path, const Progress& progress) {
    const long rows = exportRowCount(rs);
    if (rows > MaxXlsxRows)
        throw failure(QStringLiteral("结果共有 ") + QString::number(rows) +
                      QStringLiteral(" 条记录，超出了Excel工作表的行数上限（") +
                      QString::number(MaxXlsxRows) + QStringLiteral(" 行）。请导出为CSV文件。"));

    const QByteArray file = QFile::encodeName(path);
    // Rows are written in order, so the workbook keeps only the current row
    // in memory, however large the result.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(file.constData(), &options);
    if (!book) throw failure(QStringLiteral("无法创建Excel文件“") + path + QStringLiteral("”。"));
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* dateTime = workbook_add_format(book);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
    lxw_format* dateOnly = workbook_add_format(book);
    format_set_num_format(dateOnly, "yyyy-mm-dd");
    lxw_format* timeOnly = workbook_add_format(book);
    format_set_num_format(timeOnly, "hh:mm:ss");
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "#,##0.00##");

    auto writeText = [&](lxw_row_t r, lxw_col_t c, const QString& text, lxw_format* f) {
        const QByteArray utf8 = text.left(MaxCellText).toUtf8();
        if (worksheet_write_string(sheet, r, c, utf8.constData(), f) != LXW_NO_ERROR)
            worksheet_write_string(sheet, r, c, text.left(MaxCellText / 2).toUtf8().constData(), f);
    };

    lxw_col_t column = 0;
    for (const engine::FieldInfo& f : rs.fieldInfo())
        writeText(0, column++, QString::fromStdString(f.name), bold);

    lxw_row_t row = 1;
    try {
        forEachRow(rs, progress, [&](const std::vector<engine::Value>& values) {
            for (std::size_t i = 0; i < values.size(); ++i) {
                const engine::Value& v = values[i];
                const auto c = static_cast<lxw_col_t>(i);
                using K = engine::Value::Kind;
                switch (v.kind()) {
                case K::Empty:
                case K::Null:
                    break;
                case K::Boolean:
                    worksheet_write_boolean(sheet, row, c, v.toBool() ? 1 : 0, nullptr);
                    break;
                case K::Integer:
                case K::Double:
                    worksheet_write_number(sheet, row, c, v.toDouble(), nullptr);
                    break;
                case K::Currency:
                    worksheet_write_number(sheet, row, c, v.toDouble(), money);
                    break;
                case K::Date: {
                    lxw_datetime dt{};
                    bool hasDate = false, hasTime = false;
                    if (excelDate(v.text(), dt, hasDate, hasTime))
                        worksheet_write_datetime(sheet, row, c, &dt,
                                                 !hasDate  ? timeOnly
                                                 : hasTime ? dateTime
                                                           : dateOnly);
                    else
                        writeText(row, c, textOf(v), nullptr);
                    break;
                }
                case K::Text:
                case K::Bytes:
                    writeText(row, c, textOf(v), nullptr);
                    break;
                }
            }
            ++row;
        });
    } catch (...) {
        workbook_close(book);
        throw;
    }
    const lxw_error closed = workbook_close(book);
    if (closed != LXW_NO_ERROR)
        throw failure(QStringLiteral("无法写入Excel文件“") + path + QStringLiteral("”：") +
                      QString::fromUtf8(lxw_strerror(closed)));
}

} // namespace

long exportRowCount(const engine::Recordset& rs) {
    if (rs.State() == 0) return 0;
    long n = 0;
    const long count = rs.RecordCount();
    for (long r = 0; r < count; ++r)
        if (!rs.rowDeleted(r)) ++n;
    return n;
}

QString tabText(const engine::Recordset& rs) {
    QString out;
    forEachRow(rs, {}, [&](const std::vector<engine::Value>& values) {
        for (const engine::Value& v : values)
            out += QLatin1Char('\t') + textOf(v);
        out += QStringLiteral("\r\n");
    });
    return out;
}

Format formatFor(const QString& fileName) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("csv")) return Format::Csv;
    if (suffix == QLatin1String("xlsx")) return Format::Xlsx;
    return Format::TabText;
}

void writeFile(const engine::Recordset& rs, const QString& path, Format format,
               const Progress& progress) {
    if (rs.State() == 0) throw failure(QStringLiteral("当前没有可以导出的数据。"));
    const std::string target = QFile::encodeName(path).toStdString();
    const std::string temp = freshSibling(target, ".part");
    const QString tempPath = QFile::decodeName(QByteArray::fromStdString(temp));
    try {
        switch (format) {
        case Format::Csv:
            writeBytes(tempPath, csvBytes(rs, progress));
            break;
        case Format::Xlsx:
            writeXlsx(rs, tempPath, progress);
            break;
        case Format::TabText: {
            QString text;
            forEachRow(rs, progress, [&](const std::vector<engine::Value>& values) {
                for (const engine::Value& v : values)
                    text += QLatin1Char('\t') + textOf(v);
                text += QStringLiteral("\r\n");
            });
            writeBytes(tempPath, text.toLocal8Bit());
            break;
        }
        }
        std::string why;
        if (!replaceFile(temp, target, &why))
            throw failure(QStringLiteral("无法写入文件“") + path + QStringLiteral("”：") +
                          QString::fromStdString(why));
    } catch (...) {
        removeQuietly(temp);
        throw;
    }
}

} // namespace frame::exporting
