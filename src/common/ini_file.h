#pragma once

#include "common/status.h"

#include <QString>

// A settings file with the semantics of the Windows private-profile functions.
//
// Reading: section and key are matched without regard to ASCII case; the value is
// trimmed of surrounding blanks and of one pair of surrounding quotes (' or ");
// the default is returned when the file, the section or the key is missing.
// Files starting with a UTF-8 byte-order mark are read as UTF-8, all others as
// GB18030 (a superset of GBK).
//
// Writing: every other line of the file stays as it was; the file and the
// section are created when missing; the file is replaced atomically and written
// in GB18030 (or UTF-8 with its mark, when it was read that way).
class IniFile
{
public:
    explicit IniFile(QString path);

    const QString &path() const { return path_; }

    QString read(
        const QString &section, const QString &key, const QString &defaultValue = {}) const;
    Status write(const QString &section, const QString &key, const QString &value);

private:
    QString path_;
};
