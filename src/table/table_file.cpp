#include "table/table_file.h"

#include "common/file_system.h"
#include "table/data_source.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>

namespace {

const QByteArray magic("WHGRD\r\n\x1a", 8);
constexpr quint32 version = 1;
constexpr QDataStream::Version streamVersion = QDataStream::Qt_6_0;
constexpr int headerSize = 8 + 4 + 8 + 20;
// The smallest a cell can take in the payload: an empty text, a format
// index and the edges.
constexpr qint64 minCellBytes = 4 + 4 + 1;

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("无法打开表格文件 %1").arg(name));
    const QByteArray bytes = file.readAll();
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
    const QByteArray payload = bytes.mid(headerSize);
    if (quint64(payload.size()) != length
        || QCryptographicHash::hash(payload, QCryptographicHash::Sha1) != digest)
        return damaged;

    // Read into a fresh table: the one shown stays as it was until all is read.
    DataSource t;
    QDataStream in(payload);
    in.setVersion(streamVersion);
    qint32 rows = 0, columns = 0, headerRows = 0, headerColumns = 0, currentRow = 0;
    in >> rows >> columns >> headerRows >> headerColumns >> currentRow;
    if (in.status() != QDataStream::Ok || rows < 0 || columns < 0
        || qint64(rows) * columns * minCellBytes > payload.size())
        return damaged;
    qint32 formatCount = 0;
    in >> formatCount;
    if (formatCount < 1 || qint64(formatCount) * 24 > payload.size())
        return damaged;
    t.formats_.clear();
    for (int i = 0; i < formatCount && in.status() == QDataStream::Ok; ++i)
        t.formats_.push_back(readFormat(in));
    quint32 defaultFormat = 0;
    in >> defaultFormat;
    if (defaultFormat >= quint32(formatCount) || !readRuns(in, t.columnWidths_, columns)
        || !readRuns(in, t.rowHeights_, rows))
        return damaged;
    t.cells_.resize(size_t(rows) * size_t(columns));
    QString text;
    for (DataSource::Cell &c : t.cells_) {
        quint32 format = 0;
        quint8 edges = 0;
        in >> text >> format >> edges;
        t.storeText(c, text);
        if (format >= quint32(formatCount) || in.status() != QDataStream::Ok)
            return damaged;
        c.format = format;
        c.edges = edges & BorderOutline;
    }
    qint32 mergeCount = 0;
    in >> mergeCount;
    if (mergeCount < 0 || qint64(mergeCount) * 16 > payload.size())
        return damaged;
    const CellRange whole {1, 1, rows, columns};
    for (int i = 0; i < mergeCount && in.status() == QDataStream::Ok; ++i) {
        qint32 r = 0, c = 0, rs = 0, cs = 0;
        in >> r >> c >> rs >> cs;
        const CellRange m {r, c, rs, cs};
        if (rs < 1 || cs < 1 || !whole.contains(r, c)
            || !whole.contains(m.lastRow(), m.lastColumn()))
            return damaged;
        t.merges_.append(m);
    }
    t.pageSetup_ = readPageSetup(in);
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return damaged;

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
    emit table.layoutReset();
    return Status::success();
}
