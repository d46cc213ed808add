#include "CellText.h"
#include "NumberFormat.h"
#include "SheetBuilder.h"
#include "WorkbookSource.h"

#include <QDate>
#include <QFile>
#include <QHash>

#include <freexl.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstring>
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

/// One record of a workbook stream: its type, where its header begins and the length of its data.
struct Record
{
    quint16 type = 0;
    qsizetype at = 0;
    quint16 length = 0;

    qsizetype data() const { return at + 4; }
};

/// Hands visit the records of the workbook globals, up to their EOF or until visit returns false;
/// throws when a record runs past the end of the stream.
template <typename Visit>
void ForEachGlobalRecord(const QByteArray& stream, Visit visit)
{
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const Record record{Word(stream, at), at, Word(stream, at + 2)};
        if (record.data() + record.length > stream.size())
            throw std::runtime_error("a record runs past the end of the workbook stream");
        if (record.type == 0x000A || !visit(record)) // EOF
            return;
        at = record.data() + record.length;
    }
}

/// Hands visit the records of the sheet substream that begins at offset, without those of a chart
/// embedded in it, up to the sheet's own EOF; throws when the substream is not there or is cut short.
template <typename Visit>
void ForEachSheetRecord(const QByteArray& stream, qsizetype offset, Visit visit)
{
    constexpr quint16 Bof = 0x0809, Eof = 0x000A;
    if (offset < 0 || offset + 4 > stream.size() || Word(stream, offset) != Bof)
        throw std::runtime_error("a sheet's records are not where the workbook says");
    int depth = 0;
    for (qsizetype at = offset; at + 4 <= stream.size();) {
        const Record record{Word(stream, at), at, Word(stream, at + 2)};
        if (record.data() + record.length > stream.size())
            break;
        if (record.type == Bof)
            ++depth;
        else if (record.type == Eof && --depth == 0)
            return;
        else if (record.type != Eof && depth == 1)
            visit(record);
        at = record.data() + record.length;
    }
    throw std::runtime_error("a sheet's records are cut short");
}

/// The first formula cell of the substream that begins at offset; FreeXL reads every formula as empty.
/// Shared and array formulas still have one FORMULA record per cell, so those records alone tell.
std::optional<CellPlace> FirstFormula(const QByteArray& stream, qsizetype offset)
{
    std::optional<CellPlace> first;
    ForEachSheetRecord(stream, offset, [&](const Record& record) {
        if (record.type != 0x0006 || record.length < 4) // FORMULA
            return;
        const CellPlace place{Word(stream, record.data()), Word(stream, record.data() + 2)};
        if (!first || place.row < first->row || (place.row == first->row && place.column < first->column))
            first = place;
    });
    return first;
}

/// The sheets listed by the BOUNDSHEET records of the workbook globals, in workbook order.
QList<SheetFormulas> ListSheets(const QByteArray& stream)
{
    constexpr quint16 BoundSheet = 0x0085;
    if (stream.size() < 8 || Word(stream, 0) != 0x0809) // BOF
        throw std::runtime_error("the workbook stream does not begin with a BOF record");
    const bool biff8 = Word(stream, 2) >= 6 && Word(stream, 4) == 0x0600;

    QList<SheetFormulas> sheets;
    ForEachGlobalRecord(stream, [&](const Record& record) {
        if (record.type != BoundSheet || record.length < 8)
            return true;
        const qsizetype data = record.data();
        const qsizetype count = quint8(stream[data + 6]);
        QString name;
        if (!biff8) {
            name = QString::fromLatin1(stream.mid(data + 7, count));
        } else if (quint8(stream[data + 7]) & 0x01) {
            for (qsizetype i = 0; i < count && data + 8 + 2 * i + 1 < data + record.length; ++i)
                name.append(QChar(Word(stream, data + 8 + 2 * i)));
        } else {
            name = QString::fromLatin1(stream.mid(data + 8, count));
        }
        sheets.append({name, FirstFormula(stream, qsizetype(DoubleWord(stream, data)))});
        return true;
    });
    return sheets;
}

/// A string of the workbook stream that may run on into CONTINUE records: each continuation of its
/// characters begins with a byte telling whether they are one or two bytes wide.
class RecordReader
{
public:
    /// The record at offset and the CONTINUE records that follow it.
    RecordReader(const QByteArray& stream, qsizetype offset)
        : m_stream(stream)
    {
        m_end = offset;
        m_at = offset;
        nextPiece(offset);
    }

    bool atEnd() const { return m_at >= m_end && !continues(); }
    quint8 byte()
    {
        ensure(1);
        return quint8(m_stream[m_at++]);
    }
    quint16 word()
    {
        const quint16 low = byte();
        return quint16(low | byte() << 8);
    }
    quint32 doubleWord()
    {
        const quint32 low = word();
        return low | quint32(word()) << 16;
    }
    void skip(qint64 count)
    {
        while (count > 0) {
            ensure(1);
            const qint64 step = std::min<qint64>(count, m_end - m_at);
            m_at += step;
            count -= step;
        }
    }
    /// An XLUnicodeString's characters, after its count and flags have been read.
    QString characters(qsizetype count, bool wide)
    {
        QString text;
        text.reserve(count);
        while (count > 0) {
            if (m_at >= m_end) {
                if (!continues())
                    throw std::runtime_error("a string runs past the end of its record");
                nextPiece(m_end);
                wide = byte() & 0x01;
            }
            const qsizetype available = (m_end - m_at) / (wide ? 2 : 1);
            const qsizetype take = std::min(count, std::max<qsizetype>(available, 1));
            for (qsizetype i = 0; i < take; ++i)
                text.append(wide ? QChar(word()) : QChar(char16_t(byte())));
            count -= take;
        }
        return text;
    }
    /// An XLUnicodeRichExtendedString (a shared string, a cell's text): its count, flags, characters and
    /// the formatting runs and phonetic data that follow them.
    QString richString(bool countIsByte = false)
    {
        const qsizetype count = countIsByte ? byte() : word();
        const quint8 flags = byte();
        const quint16 runs = flags & 0x08 ? word() : 0;
        const quint32 phonetic = flags & 0x04 ? doubleWord() : 0;
        QString text = characters(count, flags & 0x01);
        skip(qint64(runs) * 4 + phonetic);
        return text;
    }

private:
    bool continues() const { return m_end + 4 <= m_stream.size() && Word(m_stream, m_end) == 0x003C; }
    void ensure(qsizetype count)
    {
        if (m_at + count <= m_end)
            return;
        if (m_at == m_end && continues()) {
            nextPiece(m_end);
            return;
        }
        throw std::runtime_error("a record is cut short");
    }
    void nextPiece(qsizetype header)
    {
        if (header + 4 > m_stream.size())
            throw std::runtime_error("a record runs past the end of the workbook stream");
        const qsizetype length = Word(m_stream, header + 2);
        m_at = header + 4;
        m_end = m_at + length;
        if (m_end > m_stream.size())
            throw std::runtime_error("a record runs past the end of the workbook stream");
    }

    const QByteArray& m_stream;
    qsizetype m_at = 0;
    qsizetype m_end = 0;
};

double RkValue(quint32 rk)
{
    double value = 0;
    if (rk & 0x02) {
        value = double(qint32(rk) >> 2);
    } else {
        const quint64 bits = quint64(rk & 0xFFFFFFFC) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return rk & 0x01 ? value / 100 : value;
}

double DoubleAt(const QByteArray& bytes, qsizetype at)
{
    const quint64 bits = quint64(DoubleWord(bytes, at)) | quint64(DoubleWord(bytes, at + 4)) << 32;
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString ErrorText(quint8 code)
{
    switch (code) {
    case 0x00:
        return QStringLiteral("#NULL!");
    case 0x07:
        return QStringLiteral("#DIV/0!");
    case 0x0F:
        return QStringLiteral("#VALUE!");
    case 0x17:
        return QStringLiteral("#REF!");
    case 0x1D:
        return QStringLiteral("#NAME?");
    case 0x24:
        return QStringLiteral("#NUM!");
    default:
        return QStringLiteral("#N/A");
    }
}

/// The globals of an Excel 97 (BIFF8) workbook stream: its worksheets, shared strings, number formats
/// and date system.
struct Biff8Globals
{
    struct Sheet
    {
        QString name;
        qsizetype offset = 0;
    };
    QList<Sheet> sheets;
    QStringList strings;
    QHash<int, QString> formats; // by format index, as FORMAT records give them
    QList<int> xfFormats;        // the format index of every XF record, in order
    bool date1904 = false;
    bool encrypted = false;
};

bool IsBiff8(const QByteArray& stream)
{
    return stream.size() >= 8 && Word(stream, 0) == 0x0809 && Word(stream, 4) == 0x0600;
}

Biff8Globals ReadGlobals(const QByteArray& stream)
{
    constexpr quint16 FilePass = 0x002F, DateMode = 0x0022, Format = 0x041E, Xf = 0x00E0, Sst = 0x00FC,
                      BoundSheet = 0x0085;
    Biff8Globals globals;
    ForEachGlobalRecord(stream, [&](const Record& record) {
        const quint16 type = record.type;
        const quint16 length = record.length;
        const qsizetype data = record.data();
        const qsizetype at = record.at;
        if (type == FilePass) {
            globals.encrypted = true;
            return false;
        }
        if (type == DateMode && length >= 2) {
            globals.date1904 = Word(stream, data) != 0;
        } else if (type == Format && length >= 5) {
            RecordReader reader(stream, at);
            const int index = reader.word();
            globals.formats.insert(index, reader.richString());
        } else if (type == Xf && length >= 4) {
            globals.xfFormats.append(Word(stream, data + 2));
        } else if (type == Sst && length >= 8) {
            RecordReader reader(stream, at);
            reader.doubleWord();
            const quint32 unique = reader.doubleWord();
            // The count is the file's word; the strings themselves must be there to be kept.
            globals.strings.reserve(qsizetype(std::min<quint32>(unique, quint32(stream.size() / 3))));
            for (quint32 i = 0; i < unique && !reader.atEnd(); ++i)
                globals.strings.append(reader.richString());
        } else if (type == BoundSheet && length >= 8) {
            RecordReader reader(stream, at);
            const qsizetype offset = reader.doubleWord();
            reader.byte(); // visibility: hidden sheets are read as well
            const quint8 kind = reader.byte();
            const QString name = reader.richString(true);
            if (kind == 0x00) // a worksheet; charts and macro sheets hold no cells to read
                globals.sheets.append({name, offset});
        }
        return true;
    });
    return globals;
}

/// One cell of a BIFF8 sheet: its value and the index of its XF record (its format).
struct Biff8Cell
{
    enum class Kind { Number, Text, Literal };
    int row = 0;
    int column = 0;
    Kind kind = Kind::Literal;
    double number = 0;
    QString text;
    int xf = 0;
};

/// The cells of the sheet substream that begins at offset, formulas by the value the file keeps.
QList<Biff8Cell> ReadCells(const QByteArray& stream, qsizetype offset, const QStringList& strings)
{
    constexpr quint16 Number = 0x0203, Rk = 0x027E, MulRk = 0x00BD, LabelSst = 0x00FD, Label = 0x0204,
                      RString = 0x00D6, BoolErr = 0x0205, Formula = 0x0006, String = 0x0207;
    QList<Biff8Cell> cells;
    qsizetype pendingString = -1; // a formula's text value comes in the STRING record after it
    ForEachSheetRecord(stream, offset, [&](const Record& record) {
        const quint16 type = record.type;
        const quint16 length = record.length;
        const qsizetype data = record.data();
        const qsizetype at = record.at;
        const auto cell = [&](Biff8Cell::Kind kind) {
            Biff8Cell read;
            read.row = Word(stream, data);
            read.column = Word(stream, data + 2);
            read.xf = Word(stream, data + 4);
            read.kind = kind;
            return read;
        };
        if (type == Number && length >= 14) {
            Biff8Cell read = cell(Biff8Cell::Kind::Number);
            read.number = DoubleAt(stream, data + 6);
            cells.append(read);
        } else if (type == Rk && length >= 10) {
            Biff8Cell read = cell(Biff8Cell::Kind::Number);
            read.number = RkValue(DoubleWord(stream, data + 6));
            cells.append(read);
        } else if (type == MulRk && length >= 6) {
            const int row = Word(stream, data);
            const int first = Word(stream, data + 2);
            for (qsizetype item = data + 4, column = first; item + 6 <= data + length - 2;
                 item += 6, ++column) {
                Biff8Cell read;
                read.row = row;
                read.column = int(column);
                read.kind = Biff8Cell::Kind::Number;
                read.xf = Word(stream, item);
                read.number = RkValue(DoubleWord(stream, item + 2));
                cells.append(read);
            }
        } else if (type == LabelSst && length >= 10) {
            Biff8Cell read = cell(Biff8Cell::Kind::Text);
            const quint32 index = DoubleWord(stream, data + 6);
            if (index >= quint32(strings.size()))
                throw std::runtime_error("a cell names a shared string the workbook does not hold");
            read.text = strings[index];
            cells.append(read);
        } else if ((type == Label || type == RString) && length >= 9) {
            Biff8Cell read = cell(Biff8Cell::Kind::Text);
            RecordReader reader(stream, at);
            reader.skip(6);
            read.text = reader.richString();
            cells.append(read);
        } else if (type == BoolErr && length >= 8) {
            Biff8Cell read = cell(Biff8Cell::Kind::Literal);
            const quint8 value = quint8(stream[data + 6]);
            read.text = stream[data + 7] ? ErrorText(value)
                                         : (value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
            cells.append(read);
        } else if (type == Formula && length >= 20) {
            Biff8Cell read = cell(Biff8Cell::Kind::Number);
            if (Word(stream, data + 12) != 0xFFFF) {
                read.number = DoubleAt(stream, data + 6);
            } else {
                const quint8 kind = quint8(stream[data + 6]);
                const quint8 value = quint8(stream[data + 8]);
                read.kind = kind == 0 ? Biff8Cell::Kind::Text : Biff8Cell::Kind::Literal;
                if (kind == 1)
                    read.text = value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                else if (kind == 2)
                    read.text = ErrorText(value);
                if (kind == 0)
                    pendingString = cells.size();
            }
            cells.append(read);
        } else if (type == String && pendingString >= 0) {
            RecordReader reader(stream, at);
            cells[pendingString].text = reader.richString();
            pendingString = -1;
        }
    });
    return cells;
}

/// An Excel 97 (BIFF8) workbook read from its own records: every cell by the value the file keeps
/// (formulas too), shown in its number format.
class Biff8Workbook final : public WorkbookSource
{
public:
    Biff8Workbook(QString path, QByteArray stream, Biff8Globals globals)
        : m_path(std::move(path))
        , m_stream(std::move(stream))
        , m_globals(std::move(globals))
    {
    }

    QStringList sheetNames() const override
    {
        QStringList names;
        for (const Biff8Globals::Sheet& sheet : m_globals.sheets)
            names << sheet.name;
        return names;
    }

    Worksheet sheet(int index) const override
    {
        if (index < 0 || index >= m_globals.sheets.size())
            throw WorkbookError(QStringLiteral("%1: no sheet number %2").arg(m_path).arg(index + 1),
                                WorkbookError::Kind::NoSuchSheet);
        const Biff8Globals::Sheet& sheet = m_globals.sheets[index];
        QList<Biff8Cell> cells;
        try {
            cells = ReadCells(m_stream, sheet.offset, m_globals.strings);
        } catch (const std::runtime_error& error) {
            throw WorkbookError(QStringLiteral("%1: damaged Excel workbook, the sheet %2 cannot be read (%3)")
                                    .arg(m_path, sheet.name, QString::fromStdString(error.what())));
        }
        SheetBuilder builder(m_path, sheet.name);
        int row = -1;
        for (const Biff8Cell& cell : std::as_const(cells)) {
            const qint32 text = builder.addText(Shown(cell, sheet.name));
            if (text < 0)
                continue;
            if (cell.row != row) {
                row = cell.row;
                builder.beginRow(row + 1);
            }
            builder.addCell(cell.column + 1, text);
        }
        return builder.finish();
    }

private:
    /// The format code of an XF record: a built-in format by its number, else the workbook's own.
    QString FormatCode(int xf) const
    {
        const int index = m_globals.xfFormats.value(xf, 0);
        const QString builtIn = index < 164 ? BuiltInNumberFormat(index) : QString();
        return builtIn.isEmpty() ? m_globals.formats.value(index, QStringLiteral("General")) : builtIn;
    }

    QString Shown(const Biff8Cell& cell, const QString& sheet) const
    {
        switch (cell.kind) {
        case Biff8Cell::Kind::Literal:
            return cell.text;
        case Biff8Cell::Kind::Text: {
            const QString code = FormatCode(cell.xf);
            return code.contains(u'@') ? FormatText(cell.text, code).value_or(cell.text) : cell.text;
        }
        case Biff8Cell::Kind::Number:
            break;
        }
        const QString code = FormatCode(cell.xf);
        if (const std::optional<QString> text = FormatNumber(cell.number, code, m_globals.date1904))
            return *text;
        throw WorkbookError(
            QStringLiteral(
                "the sheet %1 of %2 shows the cell %3 in a number format that is not read (\"%4\"): "
                "give the cell another format and save the workbook again")
                .arg(sheet, m_path, A1Name({cell.row, cell.column}), code),
            WorkbookError::Kind::FormatNotRead);
    }

    QString m_path;
    QByteArray m_stream;
    Biff8Globals m_globals;
};

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

/// An Excel 95 or older (BIFF5 and before) workbook read through FreeXL, which gives every cell but
/// formulas; the formula cells are found in the file's own records so that a sheet holding one is
/// converted or refused, never read empty.
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
    QByteArray stream;
    try {
        stream = WorkbookStream(path);
    } catch (const std::runtime_error& error) {
        throw WorkbookError(QStringLiteral("%1: damaged or not an Excel workbook (%2)")
                                .arg(path, QString::fromStdString(error.what())));
    }
    if (IsBiff8(stream)) {
        Biff8Globals globals;
        try {
            globals = ReadGlobals(stream);
        } catch (const std::runtime_error& error) {
            throw WorkbookError(QStringLiteral("%1: damaged Excel workbook (%2)")
                                    .arg(path, QString::fromStdString(error.what())));
        }
        if (globals.encrypted)
            throw WorkbookError(QStringLiteral("%1: the workbook is protected by a password").arg(path));
        return std::make_unique<Biff8Workbook>(path, std::move(stream), std::move(globals));
    }

    // Excel 95 and older keep their texts in a code page of their own: FreeXL reads those.
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
