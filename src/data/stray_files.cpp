#include "data/stray_files.h"

#include "common/file_system.h"
#include "data/sqlite_file.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace StrayFiles {
namespace {

const QString journalSuffix = QStringLiteral("-journal");

bool isRecordFileName(const QString &name)
{
    return name.endsWith(QStringLiteral(".zrb"), Qt::CaseInsensitive)
        || name.endsWith(QStringLiteral(".edt"), Qt::CaseInsensitive);
}

// A journal SQLite would roll back: it begins with the journal's magic bytes.
// An emptied or zeroed one (the end of a transaction that was cut off while
// finishing) holds nothing to roll back.
bool isHotJournal(const QString &path)
{
    static const QByteArray magic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(magic.size()) == magic;
}

// Opening a record file and reading its schema is what makes SQLite roll back
// its hot journal.
void rollBackThroughSqlite(const QString &recordFile)
{
    SqlDatabase db;
    if (db.open(recordFile, false))
        db.queryInt(QStringLiteral("SELECT count(*) FROM sqlite_master"));
}

Status removeJournals(const QDir &dir, bool *journalsLeft)
{
    *journalsLeft = false;
    for (const QString &name : dir.entryList({QStringLiteral("*") + journalSuffix}, QDir::Files)) {
        const QString recordName = name.chopped(journalSuffix.size());
        if (!isRecordFileName(recordName))
            continue;
        const QString journal = dir.filePath(name);
        const QString recordFile = dir.filePath(recordName);
        const bool recordFileThere = QFile::exists(recordFile);
        if (recordFileThere && isHotJournal(journal))
            rollBackThroughSqlite(recordFile);
        if (!QFile::exists(journal))
            continue;
        if (recordFileThere && isHotJournal(journal)) {
            *journalsLeft = true;
            continue;
        }
        if (Status s = FileSystem::removeIfExists(journal); !s)
            return s;
    }
    return Status::success();
}

} // namespace

Status removeFrom(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        return Status::success();
    bool journalsLeft = false;
    if (Status s = removeJournals(dir, &journalsLeft); !s)
        return s;

    static const QRegularExpression superJournal(QStringLiteral("^(.+)-mj[0-9A-F]{6}9[0-9A-F]{2}$"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression temporary(QStringLiteral("^.+\\.[0-9a-f]{12}\\.tmp$"));
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch super = superJournal.match(name);
        const bool stray
            = (super.hasMatch() && isRecordFileName(super.captured(1)) && !journalsLeft)
            || temporary.match(name).hasMatch();
        if (!stray)
            continue;
        if (Status s = FileSystem::removeIfExists(dir.filePath(name)); !s)
            return s;
    }
    return Status::success();
}

} // namespace StrayFiles
