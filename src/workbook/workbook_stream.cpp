#include "workbook/workbook_stream.h"

#include <QDataStream>
#include <QIODevice>

#include <optional>

namespace {

constexpr quint32 streamStart = 0x57424B31; // "WBK1"
constexpr quint32 streamEnd = 0x454E4431; // "END1"

void writeText(QDataStream &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    out << quint32(utf8.size());
    out.writeRawData(utf8.constData(), int(utf8.size()));
}

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
    bool atEnd() const { return in_.atEnd(); }

private:
    qint64 remaining() const { return bytes_.size() - in_.device()->pos(); }

    const QByteArray &bytes_;
    QDataStream in_;
};

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
            const auto name = in.text();
            const auto cells = in.number(0, Workbook::maxCells);
            if (!name || !cells || (totalCells += *cells) > Workbook::maxCells)
                return std::nullopt;
            WorkbookSheet sheet(*name);
            for (quint32 c = 0; c < *cells; ++c) {
                const auto row = in.number(1, WorkbookSheet::maxRows);
                const auto column = in.number(1, WorkbookSheet::maxColumns);
                const auto value = in.text();
                const auto formula = in.text();
                if (!row || !column || !value || !formula)
                    return std::nullopt;
                sheet.setCell(int(*row), int(*column), {*value, *formula});
            }
            result.workbook.sheets.append(std::move(sheet));
        }
    }
    if (in.number() != streamEnd || !in.atEnd())
        return std::nullopt;
    return result;
}

} // namespace

namespace WorkbookStream {

QByteArray encode(const WorkbookResult &result)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << streamStart << quint32(result.status.ok() ? 1 : 0);
    if (!result.status.ok()) {
        writeText(out, result.status.message());
    } else {
        const Workbook &workbook = result.workbook;
        out << quint32(workbook.sheets.size()) << quint32(workbook.activeSheet);
        for (const WorkbookSheet &sheet : workbook.sheets) {
            writeText(out, sheet.name());
            out << quint32(sheet.cellCount());
            sheet.forEachCell([&out](int row, int column, const WorkbookCell &cell) {
                out << quint32(row) << quint32(column);
                writeText(out, cell.value);
                writeText(out, cell.formula);
            });
        }
    }
    out << streamEnd;
    return bytes;
}

WorkbookResult decode(const QByteArray &bytes)
{
    if (auto result = decodeStrict(bytes))
        return std::move(*result);
    return WorkbookResult::failure(QStringLiteral("读取程序返回的数据无效"));
}

} // namespace WorkbookStream
