#include "WorkbookGridWriter.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTime>

#include <xlsxwriter.h>

#include <locale.h>
#include <optional>

namespace {

constexpr int MaxSignificantDigits = 15;
/// A digit string this long is a mobile number or a code, not an amount.
constexpr int LongestNumberDigitString = 10;

/// True when the text is a decimal that reads back as the same text from a number cell: its
/// shortest form (optional "-", no "+", no leading or trailing zeros, no exponent, no grouping), at
/// most 15 significant digits, and not a digit string of 11 or more digits.
bool IsNumberText(QStringView text)
{
    const qsizetype start = text.startsWith(u'-') ? 1 : 0;
    qsizetype point = -1;
    QString digits;
    for (qsizetype i = start; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9')
            digits += QChar(c);
        else if (c == u'.' && point < 0)
            point = i;
        else
            return false;
    }
    const qsizetype wholeDigits = (point < 0 ? text.size() : point) - start;
    if (wholeDigits < 1 || (text[start] == u'0' && wholeDigits > 1))
        return false;
    if (point >= 0 && (point == text.size() - 1 || text.back() == u'0'))
        return false;
    if (text == u"-0")
        return false;
    if (start == 0 && point < 0 && digits.size() > LongestNumberDigitString)
        return false;
    qsizetype significant = digits.size();
    for (const QChar digit : digits) {
        if (digit != u'0')
            break;
        --significant;
    }
    return significant <= MaxSignificantDigits;
}

/// A date (dd/MM/yyyy or yyyy-MM-dd) with an optional time (H:mm or H:mm:ss after a blank or "T").
std::optional<lxw_datetime> DateOf(const QString& text, bool* withTime)
{
    static const QRegularExpression dayFirst(
        QStringLiteral(R"(^(\d\d)/(\d\d)/(\d{4})(?:[ T](\d{1,2}):(\d\d)(?::(\d\d))?)?$)"));
    static const QRegularExpression yearFirst(
        QStringLiteral(R"(^(\d{4})-(\d\d)-(\d\d)(?:[ T](\d{1,2}):(\d\d)(?::(\d\d))?)?$)"));
    const QString trimmed = text.trimmed();
    QRegularExpressionMatch match = dayFirst.match(trimmed);
    int day = 1;
    int month = 2;
    int year = 3;
    if (!match.hasMatch()) {
        match = yearFirst.match(trimmed);
        std::swap(day, year);
    }
    if (!match.hasMatch())
        return std::nullopt;
    const QDate date(match.captured(year).toInt(), match.captured(month).toInt(),
                     match.captured(day).toInt());
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(), match.captured(6).toInt());
    // Before 1900 a spreadsheet has no date cells.
    if (!date.isValid() || !time.isValid() || date.year() < 1900)
        return std::nullopt;
    *withTime = match.hasCaptured(4);
    return lxw_datetime{date.year(), date.month(),  date.day(),
                        time.hour(), time.minute(), double(time.second())};
}

/// Switches this thread to C numbers while it lives: libxlsxwriter prints the numbers of a sheet
/// written row by row with printf, which would otherwise take the user's decimal mark.
class CNumbers
{
public:
    CNumbers()
        : m_c(newlocale(LC_NUMERIC_MASK, "C", nullptr))
        , m_previous(m_c ? uselocale(m_c) : nullptr)
    {
    }
    ~CNumbers()
    {
        if (m_c) {
            uselocale(m_previous);
            freelocale(m_c);
        }
    }
    CNumbers(const CNumbers&) = delete;
    CNumbers& operator=(const CNumbers&) = delete;

private:
    locale_t m_c;
    locale_t m_previous;
};

QString WorkbookPath(const QString& fileName)
{
    return fileName.endsWith(QLatin1String(".xls"), Qt::CaseInsensitive) ? fileName + u'x' : fileName;
}

} // namespace

WorkbookExport ExportGridToWorkbookAs(const QString& fileName, const ExportGrid& grid)
{
    WorkbookExport result;
    result.path = WorkbookPath(fileName);
    if (fileName.isEmpty()) {
        result.error = QStringLiteral("no file name for the workbook");
        return result;
    }
    if (grid.rowCount() > LXW_ROW_MAX || grid.columnCount() > LXW_COL_MAX) {
        result.error =
            QStringLiteral("%1: the grid has more rows or columns than a worksheet holds").arg(result.path);
        return result;
    }

    // libxlsxwriter would say so on stderr as well.
    if (!QFileInfo(result.path).absoluteDir().exists()) {
        result.error = QStringLiteral("%1: no such folder").arg(result.path);
        return result;
    }

    const CNumbers numbers;
    // Rows are written in order, so the worksheet need not be held in memory however long the list.
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    const QByteArray encodedPath = QFile::encodeName(result.path);
    lxw_workbook* workbook = workbook_new_opt(encodedPath.constData(), &options);
    if (!workbook) {
        result.error = QStringLiteral("%1: the workbook cannot be made").arg(result.path);
        return result;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format* dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "dd/mm/yyyy");
    lxw_format* dateTimeFormat = workbook_add_format(workbook);
    format_set_num_format(dateTimeFormat, "dd/mm/yyyy hh:mm:ss");

    lxw_error error = LXW_NO_ERROR;
    for (int row = 0; row < grid.rowCount() && error == LXW_NO_ERROR; ++row) {
        const auto sheetRow = lxw_row_t(row);
        for (int column = 0; column < grid.columnCount() && error == LXW_NO_ERROR; ++column) {
            const QString text = grid.text(row, column);
            if (text.isEmpty())
                continue;
            const auto sheetColumn = lxw_col_t(column);
            bool withTime = false;
            std::optional<lxw_datetime> date;
            if (row >= grid.fixedRows && grid.columns[column].dataType == ExportColumn::DateType)
                date = DateOf(text, &withTime);
            if (date)
                error = worksheet_write_datetime(sheet, sheetRow, sheetColumn, &*date,
                                                 withTime ? dateTimeFormat : dateFormat);
            else if (row >= grid.fixedRows && IsNumberText(text))
                error = worksheet_write_number(sheet, sheetRow, sheetColumn, text.toDouble(), nullptr);
            else
                error =
                    worksheet_write_string(sheet, sheetRow, sheetColumn, text.toUtf8().constData(), nullptr);
        }
    }
    const lxw_error closed = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR) {
        QFile::remove(result.path);
        result.error = QStringLiteral("%1: %2").arg(result.path, QString::fromUtf8(lxw_strerror(error)));
    }
    return result;
}

WorkbookExport ExportGridToWorkbook(const QString& applicationFolder, const QString& fileName,
                                    const ExportGrid& grid)
{
    if (fileName.isEmpty())
        return ExportGridToWorkbookAs(QString(), grid);
    return ExportGridToWorkbookAs(QDir(applicationFolder).filePath(fileName), grid);
}
