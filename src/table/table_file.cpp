#include "table/table_file.h"

#include "common/file_system.h"
#include "table/data_source.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFileInfo>

namespace {

const QByteArray magic("WHGRD\r\n\x1a", 8);
constexpr quint32 version = 1;
constexpr QDataStream::Version streamVersion = QDataStream::Qt_6_0;
constexpr int headerSize = 8 + 4 + 8 + 20;
// The smallest a cell can take in the payload: an empty text, a format
// index and the edges.
constexpr qint64 minCellBytes = 4 + 4 + 1;
// What a table file may declare, and the largest file read at all: a
// spreadsheet's rows and columns, and a few million cells (a stock list of
// 100 000 items has 2.3 million). Beyond that a file is damaged or hostile,
// and believing it would exhaust the memory before a byte of it is checked.
constexpr qint32 maxRows = 1048576;
constexpr qint32 maxColumns = 16384;
constexpr qint64 maxCells = 8'000'000;
constexpr qint64 maxFileBytes = 256 * 1024 * 1024;

bool isPlausibleSize(qint64 rows, qint64 columns)
{
    return rows >= 0 && columns >= 0 && rows <= maxRows && columns <= maxColumns
        && rows * columns <= maxCells;
}

void writeFormat(QDataStream &out, const CellFormat &f)
{
    out << qint32(f.alignment) << quint32(f.textColor) << quint32(f.background) << f.fontName
        << qint32(f.fontSize) << qint32(f.style);
}

CellFormat readFormat(QDataStream &in)
{
    CellFormat f;
    qint32 alignment = 0, fontSize = 0, style = 0;
    quint32 text = 0, background = 0;
    in >> alignment >> text >> background >> f.fontName >> fontSize >> style;
    f.alignment = std::clamp(int(alignment), 1, 9);
    f.textColor = text & 0xFFFFFF;
    f.background = background & 0xFFFFFF;
    f.fontSize = std::max(int(fontSize), 1);
    f.style = style & 0xF;
    return f;
}

// Widths and heights run-length coded: most tables repeat one value.
void writeRuns(QDataStream &out, const std::vector<int> &values)
{
    std::vector<std::pair<qint32, qint32>> runs;
    for (const int v : values) {
        if (!runs.empty() && runs.back().second == v)
            ++runs.back().first;
        else
            runs.emplace_back(1, v);
    }
    out << qint32(runs.size());
    for (const auto &[count, value] : runs)
        out << count << value;
}

bool readRuns(QDataStream &in, std::vector<int> &values, int expected)
{
    qint32 runCount = 0;
    in >> runCount;
    if (runCount < 0 || runCount > expected)
        return false;
    values.clear();
    values.reserve(size_t(expected));
    for (int i = 0; i < runCount && in.status() == QDataStream::Ok; ++i) {
        qint32 count = 0, value = 0;
        in >> count >> value;
        if (count <= 0 || value < 0 || qint64(values.size()) + count > expected)
            return false;
        values.insert(values.end(), size_t(count), value);
    }
    return int(values.size()) == expected;
}

void writePageSetup(QDataStream &out, const PageSetup &p)
{
    for (const int v : {p.paperKind, p.orientation, p.leftMargin, p.topMargin, p.rightMargin,
             p.bottomMargin, p.pageNumberPosition, p.copies, p.reserved1, p.reserved2})
        out << qint32(v);
    out << p.text;
    for (const int v : {p.reserved3, p.reserved4, p.reserved5, p.printRange, p.firstPage,
             p.lastPage, p.options, p.scale})
        out << qint32(v);
}

PageSetup readPageSetup(QDataStream &in)
{
    PageSetup p;
    for (int *v : {&p.paperKind, &p.orientation, &p.leftMargin, &p.topMargin, &p.rightMargin,
             &p.bottomMargin, &p.pageNumberPosition, &p.copies, &p.reserved1, &p.reserved2}) {
        qint32 value = 0;
        in >> value;
        *v = value;
    }
    in >> p.text;
    for (int *v : {&p.reserved3, &p.reserved4, &p.reserved5, &p.printRange, &p.firstPage,
             &p.lastPage, &p.options, &p.scale}) {
        qint32 value = 0;
        in >> value;
        *v = value;
    }
    return p;
}

} // namespace

Status TableFile::save(const DataSource &t, const QString &path)
{
    // A file that could not be read back is not written.
    if (!isPlausibleSize(t.rows_, t.columns_))
        return Status::failure(
            QStringLiteral("表格过大（最多 %1 行、%2 列、%3 个单元格），无法保存")
                .arg(maxRows)
                .arg(maxColumns)
                .arg(maxCells));
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(streamVersion);
        out << qint32(t.rows_) << qint32(t.columns_) << qint32(t.headerRows_)
            << qint32(t.headerColumns_) << qint32(t.currentRow_);
        out << qint32(t.formats_.size());
        for (const CellFormat &f : t.formats_)
            writeFormat(out, f);
        out << quint32(t.defaultFormat_);
        writeRuns(out, t.columnWidths_);
        writeRuns(out, t.rowHeights_);
        for (const DataSource::Cell &c : t.cells_)
            out << t.textOf(c).toString() << quint32(c.format) << quint8(c.edges);
        out << qint32(t.merges_.size());
        for (const CellRange &m : t.merges_)
            out << qint32(m.row) << qint32(m.column) << qint32(m.rows) << qint32(m.columns);
        writePageSetup(out, t.pageSetup_);
    }
    QByteArray file;
    {
        QDataStream out(&file, QIODevice::WriteOnly);
        out.setVersion(streamVersion);
        out.writeRawData(magic.constData(), int(magic.size()));
        out << version << quint64(payload.size());
        const QByteArray digest = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
        out.writeRawData(digest.constData(), int(digest.size()));
    }
    file += payload;
    return FileSystem::writeFileAtomically(path, file);
}

Status TableFile::load(DataSource &table, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    if (!QFileInfo::exists(path))
        return Status::failure(QStringLiteral("无法打开表格文件 %1").arg(name));
    QByteArray bytes;
    if (const Status s = FileSystem::readRegularFile(path, maxFileBytes, &bytes); !s)
        return Status::failure(QStringLiteral("无法打开表格文件 %1：%2").arg(name, s.message()));
    return read(table, bytes, name);
}

Status TableFile::read(DataSource &table, const QByteArray &bytes, const QString &name)
{
    const Status foreign = Status::failure(QStringLiteral("%1 不是本程序的表格文件").arg(name));
    const Status damaged = Status::failure(QStringLiteral("表格文件 %1 已损坏").arg(name));
    if (bytes.size() < headerSize || !bytes.startsWith(magic))
        return foreign;

    QDataStream head(bytes);
    head.setVersion(streamVersion);
    head.skipRawData(int(magic.size()));
    quint32 fileVersion = 0;
    quint64 length = 0;
    head >> fileVersion >> length;
    if (fileVersion != version)
        return Status::failure(QStringLiteral("表格文件 %1 由更新版本的程序写成").arg(name));
    const QByteArray digest = bytes.mid(8 + 4 + 8, 20);
    // A view, not a copy: the file may be a few hundred megabytes.
    const QByteArray payload
        = QByteArray::fromRawData(bytes.constData() + headerSize, bytes.size() - headerSize);
    if (quint64(payload.size()) != length
        || QCryptographicHash::hash(payload, QCryptographicHash::Sha1) != digest
        || !readPayload(table, payload))
        return damaged;
    emit table.layoutReset();
    return Status::success();
}

bool TableFile::readPayload(DataSource &table, const QByteArray &payload)
{
    // Read into a fresh table: the one shown stays as it was until all is read.
    DataSource t;
    QDataStream in(payload);
    in.setVersion(streamVersion);
    qint32 rows = 0, columns = 0, headerRows = 0, headerColumns = 0, currentRow = 0;
    in >> rows >> columns >> headerRows >> headerColumns >> currentRow;
    // Every count is checked before anything is allocated for it: a table of
    // no rows and 2^31 columns still needs no cell bytes.
    if (in.status() != QDataStream::Ok || !isPlausibleSize(rows, columns)
        || qint64(rows) * columns * minCellBytes > payload.size())
        return false;
    qint32 formatCount = 0;
    in >> formatCount;
    if (formatCount < 1 || qint64(formatCount) * 24 > payload.size())
        return false;
    t.formats_.clear();
    for (int i = 0; i < formatCount && in.status() == QDataStream::Ok; ++i)
        t.formats_.push_back(readFormat(in));
    quint32 defaultFormat = 0;
    in >> defaultFormat;
    if (defaultFormat >= quint32(formatCount) || !readRuns(in, t.columnWidths_, columns)
        || !readRuns(in, t.rowHeights_, rows))
        return false;
    t.cells_.resize(size_t(rows) * size_t(columns));
    QString text;
    for (DataSource::Cell &c : t.cells_) {
        quint32 format = 0;
        quint8 edges = 0;
        in >> text >> format >> edges;
        t.storeText(c, text);
        if (format >= quint32(formatCount) || in.status() != QDataStream::Ok)
            return false;
        c.format = format;
        c.edges = edges & BorderOutline;
    }
    qint32 mergeCount = 0;
    in >> mergeCount;
    if (mergeCount < 0 || qint64(mergeCount) * 16 > payload.size())
        return false;
    const CellRange whole {1, 1, rows, columns};
    for (int i = 0; i < mergeCount && in.status() == QDataStream::Ok; ++i) {
        qint32 r = 0, c = 0, rs = 0, cs = 0;
        in >> r >> c >> rs >> cs;
        const CellRange m {r, c, rs, cs};
        if (rs < 1 || cs < 1 || rs > rows || cs > columns || !whole.contains(r, c)
            || !whole.contains(m.lastRow(), m.lastColumn()))
            return false;
        t.merges_.append(m);
    }
    t.pageSetup_ = readPageSetup(in);
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return false;

    table.changedWhole();
    table.rows_ = rows;
    table.columns_ = columns;
    table.headerRows_ = std::clamp(int(headerRows), 0, int(rows));
    table.headerColumns_ = std::clamp(int(headerColumns), 0, int(columns));
    table.currentRow_ = std::clamp(int(currentRow), 1, std::max(int(rows), 1));
    table.cells_ = std::move(t.cells_);
    table.texts_ = std::move(t.texts_);
    table.unusedUnits_ = t.unusedUnits_;
    table.formats_ = std::move(t.formats_);
    table.defaultFormat_ = defaultFormat;
    table.columnWidths_ = std::move(t.columnWidths_);
    table.rowHeights_ = std::move(t.rowHeights_);
    table.merges_ = std::move(t.merges_);
    table.pageSetup_ = t.pageSetup_;
    return true;
}
