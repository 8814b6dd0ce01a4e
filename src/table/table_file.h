#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QString>

class DataSource;

// The table file (.grd): one whole DataSource, written and read only by this
// program. Layout: the magic "WHGRD", a format version, the payload length
// and a checksum, then the payload as a QDataStream. A file that is damaged,
// truncated, of a newer version or not a table file is refused whole.
class TableFile
{
public:
    static Status save(const DataSource &table, const QString &path);
    static Status load(DataSource &table, const QString &path);

private:
    // The payload of the file at `path`, checked against its header: the
    // reason when it is not a table file, of a newer version or damaged.
    static Status readPayload(const QString &path, QByteArray &payload);
    // Reads a checked payload into a fresh table; false when it is damaged.
    static bool readTable(const QByteArray &payload, DataSource &t);
};
