#include "CellText.h"
#include "WorkbookSource.h"

#include <QDate>
#include <QFile>

#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <mutex>
#include <optional>

namespace {

/// A cell's place on its sheet, counted from 0 as the file counts it.
struct CellPlace
{
    int row = 0;
    int column = 0;
};

QString A1Name(CellPlace place)
{
    QString letters;
    for (int column = place.column + 1; column > 0; column = (column - 1) / 26)
        letters.prepend(QLatin1Char(char('A' + (column - 1) % 26)));
    return letters + QString::number(place.row + 1);
}

quint16 Word(const QByteArray& bytes, qsizetype at)
{
    return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8);
}

quint32 DoubleWord(const QByteArray& bytes, qsizetype at)
{
    return quint32(Word(bytes, at)) | quint32(Word(bytes, at + 2)) << 16;
}

/// The workbook stream of the file's compound document; throws a plain message when there is none.
QByteArray WorkbookStream(const QString& path)
{
    static std::once_flag gsfReady;
    std::call_once(gsfReady, gsf_init);

    GError* error = nullptr;
    GsfInput* file = gsf_input_stdio_new(QFile::encodeName(path).constData(), &error);
    if (!file) {
        const QString reason = QString::fromUtf8(error ? error->message : "cannot be opened");
        g_clear_error(&error);
        throw std::runtime_error(reason.toStdString());
    }
    GsfInfile* document = gsf_infile_msole_new(file, &error);
    g_object_unref(file);
    if (!document) {
        const QString reason = QString::fromUtf8(error ? error->message : "not a compound document");
        g_clear_error(&error);
        throw std::runtime_error(reason.toStdString());
    }
    GsfInput* stream = gsf_infile_child_by_name(document, "Workbook");
    if (!stream)
        stream = gsf_infile_child_by_name(document, "Book");
    g_object_unref(document);
    if (!stream)
        throw std::runtime_error("no workbook stream");

    QByteArray bytes(qsizetype(gsf_input_size(stream)), '\0');
    const bool read = bytes.isEmpty() ||
                      gsf_input_read(stream, size_t(bytes.size()), reinterpret_cast<guint8*>(bytes.data()));
    g_object_unref(stream);
    if (!read)
        throw std::runtime_error("the workbook stream is cut short");
    return bytes;
}

/// One sheet as listed in the workbook's globals: its name and the first formula cell of its substream.
struct SheetFormulas
{
    QString name;
    std::optional<CellPlace> firstFormula;
};

/// The first formula cell of the substream that begins at offset; FreeXL reads every formula as empty.
/// Shared and array formulas still have one FORMULA record per cell, so those records alone tell.
std::optional<CellPlace> FirstFormula(const QByteArray& stream, qsizetype offset)
{
    constexpr quint16 Formula = 0x0006, Eof = 0x000A, Bof = 0x0809;
    if (offset < 0 || offset + 4 > stream.size() || Word(stream, offset) != Bof)
        throw std::runtime_error("a sheet's records are not where the workbook says");
    std::optional<CellPlace> first;
    int depth = 0;
    for (qsizetype at = offset; at + 4 <= stream.size();) {
        const quint16 type = Word(stream, at);
        const quint16 length = Word(stream, at + 2);
        const qsizetype data = at + 4;
        if (data + length > stream.size())
            break;
        if (type == Bof) {
            ++depth;
        } else if (type == Eof) {
            if (--depth == 0)
                return first;
        } else if (type == Formula && depth == 1 && length >= 4) {
            const CellPlace place{Word(stream, data), Word(stream, data + 2)};
            if (!first || place.row < first->row || (place.row == first->row && place.column < first->column))
                first = place;
        }
        at = data + length;
    }
    throw std::runtime_error("a sheet's records are cut short");
}

/// The sheets listed by the BOUNDSHEET records of the workbook globals, in workbook order.
QList<SheetFormulas> ListSheets(const QByteArray& stream)
{
    constexpr quint16 BoundSheet = 0x0085, Eof = 0x000A, Bof = 0x0809;
    if (stream.size() < 8 || Word(stream, 0) != Bof)
        throw std::runtime_error("the workbook stream does not begin with a BOF record");
    const bool biff8 = Word(stream, 2) >= 6 && Word(stream, 4) == 0x0600;

    QList<SheetFormulas> sheets;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 type = Word(stream, at);
        const quint16 length = Word(stream, at + 2);
        const qsizetype data = at + 4;
        if (data + length > stream.size())
            throw std::runtime_error("a record runs past the end of the workbook stream");
        if (type == Eof)
            break;
        if (type == BoundSheet && length >= 8) {
            const qsizetype count = quint8(stream[data + 6]);
            QString name;
            if (!biff8) {
                name = QString::fromLatin1(stream.mid(data + 7, count));
            } else if (quint8(stream[data + 7]) & 0x01) {
                for (qsizetype i = 0; i < count && data + 8 + 2 * i + 1 < data + length; ++i)
                    name.append(QChar(Word(stream, data + 8 + 2 * i)));
            } else {
                name = QString::fromLatin1(stream.mid(data + 8, count));
            }
            sheets.append({name, FirstFormula(stream, qsizetype(DoubleWord(stream, data)))});
        }
        at = data + length;
    }
    return sheets;
}

QString FreexlFailure(int code)
{
    switch (code) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("no such file");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("not enough memory to read it");
    default:
        return QStringLiteral("damaged or not an Excel workbook (FreeXL error %1)").arg(code);
    }
}

/// An Excel 97 (BIFF) workbook read through FreeXL, which gives every cell but formulas; the formula
/// cells are found in the file's own records so that a sheet holding one is refused, never read empty.
class XlsWorkbook final : public WorkbookSource
{
public:
    XlsWorkbook(QString path, const void* handle)
        : m_path(std::move(path))
        , m_handle(handle)
    {
    }
    ~XlsWorkbook() override { freexl_close(m_handle); }
    XlsWorkbook(const XlsWorkbook&) = delete;
    XlsWorkbook& operator=(const XlsWorkbook&) = delete;

    void load()
    {
        unsigned int info = 0;
        if (freexl_get_info(m_handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
            info == FREEXL_BIFF_OBFUSCATED)
            throw WorkbookError(QStringLiteral("%1: the workbook is protected by a password").arg(m_path));
        if (freexl_get_info(m_handle, FREEXL_BIFF_SHEET_COUNT, &info) != FREEXL_OK)
            throw WorkbookError(QStringLiteral("%1: %2").arg(m_path, FreexlFailure(FREEXL_INVALID_HANDLE)));
        for (unsigned short index = 0; index < info; ++index) {
            const char* name = nullptr;
            const int result = freexl_get_worksheet_name(m_handle, index, &name);
            if (result != FREEXL_OK)
                throw WorkbookError(QStringLiteral("%1: %2").arg(m_path, FreexlFailure(result)));
            m_names.append(QString::fromUtf8(name));
        }

        QList<SheetFormulas> listed;
        try {
            listed = ListSheets(WorkbookStream(m_path));
        } catch (const std::runtime_error& error) {
            throw WorkbookError(QStringLiteral("%1: damaged Excel workbook (%2)")
                                    .arg(m_path, QString::fromStdString(error.what())));
        }
        // FreeXL lists worksheets only; a chart sheet among the BOUNDSHEET records would shift the
        // numbers, so the names decide where they can.
        for (qsizetype index = 0; index < m_names.size(); ++index) {
            auto byName = std::find_if(listed.cbegin(), listed.cend(), [&](const SheetFormulas& sheet) {
                return sheet.name == m_names[index];
            });
            if (byName != listed.cend())
                m_firstFormula.append(byName->firstFormula);
            else
                m_firstFormula.append(index < listed.size() ? listed[index].firstFormula : std::nullopt);
        }
    }

    QStringList sheetNames() const override { return m_names; }

    Worksheet sheet(int index) const override
    {
        if (index < 0 || index >= m_names.size())
            throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                                WorkbookError::Kind::NoSuchSheet);
        const QString& name = m_names[index];
        if (const std::optional<CellPlace> formula = m_firstFormula.value(index))
            throw WorkbookError(
                QStringLiteral("the sheet %1 of %2 holds formulas whose values cannot be read from "
                               "an Excel 97 file (the first is %3): save it as .xlsx and read that")
                    .arg(name, m_path, A1Name(*formula)),
                WorkbookError::Kind::FormulaWithoutValue);

        unsigned int rowCount = 0;
        unsigned short columnCount = 0;
        int result = freexl_select_active_worksheet(m_handle, static_cast<unsigned short>(index));
        if (result == FREEXL_OK)
            result = freexl_worksheet_dimensions(m_handle, &rowCount, &columnCount);
        if (result != FREEXL_OK)
            throw WorkbookError(QStringLiteral("%1: the sheet %2 cannot be read: %3")
                                    .arg(m_path, name, FreexlFailure(result)));

        QList<QStringList> rows;
        rows.reserve(rowCount);
        for (unsigned int row = 0; row < rowCount; ++row) {
            QStringList cells;
            cells.reserve(columnCount);
            for (unsigned short column = 0; column < columnCount; ++column) {
                FreeXL_CellValue value{};
                result = freexl_get_cell_value(m_handle, row, column, &value);
                if (result != FREEXL_OK)
                    throw WorkbookError(
                        QStringLiteral("%1: the cell %2 of the sheet %3 cannot be read: %4")
                            .arg(m_path, A1Name({int(row), column}), name, FreexlFailure(result)));
                cells.append(Text(value));
            }
            rows.append(std::move(cells));
        }
        return Worksheet(name, std::move(rows));
    }

private:
    static QString Text(const FreeXL_CellValue& value)
    {
        switch (value.type) {
        case FREEXL_CELL_INT:
            return NumberCellText(value.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return NumberCellText(value.value.double_value);
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME: {
            // "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS"; the time of day is not shown.
            const QString text = QString::fromUtf8(value.value.text_value);
            const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
            return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : text;
        }
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_TIME:
            return QString::fromUtf8(value.value.text_value);
        default:
            return {};
        }
    }

    QString m_path;
    const void* m_handle;
    QStringList m_names;
    QList<std::optional<CellPlace>> m_firstFormula;
};

} // namespace

std::unique_ptr<WorkbookSource> OpenXlsWorkbook(const QString& path)
{
    const void* handle = nullptr;
    const int result = freexl_open(QFile::encodeName(path).constData(), &handle);
    if (result != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        throw WorkbookError(QStringLiteral("%1: %2").arg(path, FreexlFailure(result)));
    }
    auto workbook = std::make_unique<XlsWorkbook>(path, handle);
    workbook->load();
    return workbook;
}
