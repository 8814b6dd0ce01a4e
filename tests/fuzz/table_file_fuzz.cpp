// libFuzzer target for the table file reader (.grd). Inputs that start like a
// table file are read as whole files; all others are taken as a payload and
// given a true header and checksum, so that the fuzzer reaches the payload's
// parser behind the checksum. Every input must be read or refused: no crash, no
// allocation the file does not pay for.

#include "table/data_source.h"
#include "table/table_file.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QIODevice>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray magic("WHGRD\r\n\x1a", 8);
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (!bytes.startsWith(magic.left(5))) {
        const QByteArray payload = bytes;
        bytes.clear();
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out.writeRawData(magic.constData(), int(magic.size()));
        out << quint32(1) << quint64(payload.size());
        const QByteArray digest = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
        out.writeRawData(digest.constData(), int(digest.size()));
        bytes += payload;
    }
    DataSource table;
    // Read or refused, both are fine; only how it ends counts.
    (void)TableFile::read(table, bytes, QStringLiteral("fuzz.grd"));
    return 0;
}
