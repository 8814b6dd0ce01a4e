#pragma once

#include "common/status.h"

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
};
