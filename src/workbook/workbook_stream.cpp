#include "workbook/workbook_stream.h"

#include <QBuffer>
#include <QDataStream>
#include <QHash>
#include <QIODevice>

#include <optional>
#include <utility>

namespace {

constexpr quint32 streamStart = 0x57424B33; // "WBK3"
constexpr quint32 streamEnd = 0x454E4431; // "END1"
// A text reference: 0 is the empty text, n the n-th text sent, and this
// marker a new text that follows at once and takes the next number.
constexpr quint32 newText = 0xFFFFFFFF;
// Texts up to this length are also known again by value: numbers and short
// words repeat down a column. Longer ones only by their storage, so the
// writer never hashes a long text per cell.
constexpr qsizetype byValueLength = 64;

void writeText(QDataStream &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out << quint32(utf8.size());
    out.writeRawData(utf8.constData(), int(utf8.size()));
}

class TextWriter
{
public:
    explicit TextWriter(QDataStream &out)
        : out_(out)
    { }

    void write(const QString &text)
    {
        if (text.isEmpty()) {
            out_ << quint32(0);
            return;
        }
        const std::pair<const void *, qsizetype> storage {text.constData(), text.size()};
        if (const auto known = byStorage_.constFind(storage); known != byStorage_.cend()) {
            out_ << *known;
            return;
        }
        const bool short_ = text.size() <= byValueLength;
        if (short_) {
            if (const auto known = byValue_.constFind(text); known != byValue_.cend()) {
                out_ << *known;
                return;
            }
        }
        out_ << newText;
        writeText(out_, text);
        // The cells hold their texts until the stream is written, so the
        // storage stays theirs meanwhile.
        byStorage_.insert(storage, ++count_);
        if (short_)
            byValue_.insert(text, count_);
    }

private:
    QDataStream &out_;
    QHash<std::pair<const void *, qsizetype>, quint32> byStorage_;
    QHash<QString, quint32> byValue_;
    quint32 count_ = 0;
};

class Decoder
{
public:
    explicit Decoder(const QByteArray &bytes)
        : bytes_(bytes)
        , in_(bytes)
    { }

    std::optional<quint32> number()
    {
        quint32 value = 0;
        in_ >> value;
        if (in_.status() != QDataStream::Ok)
            return std::nullopt;
        return value;
    }
    std::optional<quint8> flags()
    {
        quint8 value = 0;
        in_ >> value;
        if (in_.status() != QDataStream::Ok || value > 1)
            return std::nullopt;
        return value;
    }
    std::optional<quint32> number(quint32 min, quint32 max)
    {
        const auto value = number();
        if (!value || *value < min || *value > max)
            return std::nullopt;
        return value;
    }
    std::optional<QString> text()
    {
        const auto length = number();
        if (!length || *length > WorkbookStream::maxTextBytes || *length > remaining())
            return std::nullopt;
        QByteArray utf8(qsizetype(*length), Qt::Uninitialized);
        if (in_.readRawData(utf8.data(), int(*length)) != int(*length))
            return std::nullopt;
        return QString::fromUtf8(utf8);
    }
    // A text by reference: one sent before is shared, not copied.
    std::optional<QString> textReference()
    {
        const auto reference = number();
        if (!reference)
            return std::nullopt;
        if (*reference == 0)
            return QString();
        if (*reference == newText) {
            auto sent = text();
            if (sent)
                texts_.append(*sent);
            return sent;
        }
        if (*reference > quint32(texts_.size()))
            return std::nullopt;
        return texts_[qsizetype(*reference) - 1];
    }
    bool atEnd() const { return in_.atEnd(); }

private:
    qint64 remaining() const { return bytes_.size() - in_.device()->pos(); }

    const QByteArray &bytes_;
    QDataStream in_;
    QList<QString> texts_;
};

std::optional<WorkbookSheet> decodeSheet(Decoder &in, qint64 &totalCells)
{
    const auto name = in.text();
    const auto cells = in.number(0, Workbook::maxCells);
    if (!name || !cells || (totalCells += *cells) > Workbook::maxCells)
        return std::nullopt;
    WorkbookSheet sheet(*name);
    for (quint32 c = 0; c < *cells; ++c) {
        const auto row = in.number(1, WorkbookSheet::maxRows);
        const auto column = in.number(1, WorkbookSheet::maxColumns);
        const auto cut = in.flags();
        const auto value = in.textReference();
        const auto formula = in.textReference();
        // The child cuts every cell text to a cell's length: a longer one is
        // no text it sent.
        if (!row || !column || !cut || !value || !formula || value->size() > Workbook::maxTextLength
            || formula->size() > Workbook::maxTextLength)
            return std::nullopt;
        sheet.setCell(int(*row), int(*column), {*value, *formula, *cut == 1});
    }
    return sheet;
}

std::optional<WorkbookResult> decodeStrict(const QByteArray &bytes)
{
    Decoder in(bytes);
    if (in.number() != streamStart)
        return std::nullopt;
    const auto ok = in.number(0, 1);
    if (!ok)
        return std::nullopt;
    WorkbookResult result;
    if (*ok == 0) {
        const auto message = in.text();
        if (!message)
            return std::nullopt;
        result.status = Status::failure(*message);
    } else {
        const auto sheets = in.number(1, Workbook::maxSheets);
        const auto active = sheets ? in.number(0, *sheets - 1) : std::nullopt;
        if (!active)
            return std::nullopt;
        result.workbook.activeSheet = int(*active);
        qint64 totalCells = 0;
        for (quint32 s = 0; s < *sheets; ++s) {
            auto sheet = decodeSheet(in, totalCells);
            if (!sheet)
                return std::nullopt;
            result.workbook.sheets.append(std::move(*sheet));
        }
    }
    if (in.number() != streamEnd || !in.atEnd())
        return std::nullopt;
    return result;
}

} // namespace

namespace WorkbookStream {

bool write(QIODevice &device, const WorkbookResult &result)
{
    QDataStream out(&device);
    out << streamStart << quint32(result.status.ok() ? 1 : 0);
    if (!result.status.ok()) {
        writeText(out, result.status.message());
    } else {
        const Workbook &workbook = result.workbook;
        out << quint32(workbook.sheets.size()) << quint32(workbook.activeSheet);
        TextWriter texts(out);
        for (const WorkbookSheet &sheet : workbook.sheets) {
            writeText(out, sheet.name());
            out << quint32(sheet.cellCount());
            sheet.forEachCell([&](int row, int column, const WorkbookCell &cell) {
                out << quint32(row) << quint32(column) << quint8(cell.cut ? 1 : 0);
                texts.write(cell.value);
                texts.write(cell.formula);
            });
        }
    }
    out << streamEnd;
    return out.status() == QDataStream::Ok;
}

QByteArray encode(const WorkbookResult &result)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    (void)write(buffer, result); // a buffer in memory takes every write
    return bytes;
}

WorkbookResult decode(const QByteArray &bytes)
{
    if (auto result = decodeStrict(bytes))
        return std::move(*result);
    return WorkbookResult::failure(QStringLiteral("读取程序返回的数据无效"));
}

} // namespace WorkbookStream
