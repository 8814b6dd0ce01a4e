#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A settings file with the semantics of the Windows private-profile functions.
//
// Reading: section and key are matched without regard to ASCII case; the value is
// trimmed of surrounding blanks and of one pair of surrounding quotes (' or ");
// the default is returned when the file, the section or the key is missing.
// Files starting with a UTF-8 byte-order mark are read as UTF-8, all others as
// GB18030 (a superset of GBK).
//
// Settings files are small: one that is not a regular file (a FIFO, a link to
// a device) or larger than maxBytes is neither read (every key gives its
// default) nor rewritten (writing fails with the reason).
//
// Writing: every other line of the file stays as it was; the file and the
// section are created when missing; the file is replaced atomically and written
// in GB18030 (or UTF-8 with its mark, when it was read that way).
class IniFile
{
public:
    static constexpr qint64 maxBytes = 1024 * 1024;

    struct Setting
    {
        QString section, key, value;
    };

    // The keys of the file as one reading found them: a window that needs many
    // keys reads the file once, however large it is.
    class Contents
    {
    public:
        QString read(
            const QString &section, const QString &key, const QString &defaultValue = {}) const;

    private:
        friend class IniFile;
        QList<Setting> settings_; // in file order, values as read back
    };

    explicit IniFile(QString path);

    const QString &path() const { return path_; }

    Contents load() const;
    // What load() and write() do with the file's bytes, for files not on disk.
    static Contents parse(const QByteArray &bytes);
    static QByteArray withSettings(const QByteArray &bytes, const QList<Setting> &settings);
    QString read(
        const QString &section, const QString &key, const QString &defaultValue = {}) const;
    Status write(const QString &section, const QString &key, const QString &value);
    // Several keys in one replacement of the file; nothing is written when one
    // of them cannot be stored.
    Status write(const QList<Setting> &settings);

private:
    QString path_;
};
