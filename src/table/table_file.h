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
    // The same from a file's bytes; `name` is the file name the messages give.
    static Status read(DataSource &table, const QByteArray &bytes, const QString &name);

private:
    // Fills `table` only when the whole payload could be read.
    static bool readPayload(DataSource &table, const QByteArray &payload);
};
