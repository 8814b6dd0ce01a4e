#include "data/sqlite_file.h"

#include <QDir>

#include <sqlite3.h>

QString sqliteErrorText(int code)
{
    switch (code & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("文件正被另一个程序或窗口使用，请稍后再试");
    case SQLITE_FULL:
        return QStringLiteral("磁盘空间不足");
    case SQLITE_IOERR:
        return QStringLiteral("磁盘读写错误");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("文件已损坏");
    case SQLITE_READONLY:
        return QStringLiteral("文件只读，无法写入");
    case SQLITE_CANTOPEN:
        return QStringLiteral("文件无法打开");
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("没有权限");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("写入的数据不符合文件的约束");
    case SQLITE_NOMEM:
        return QStringLiteral("内存不足");
    case SQLITE_INTERRUPT:
    case SQLITE_ABORT:
        return QStringLiteral("操作被中止");
    default:
        return QStringLiteral("数据文件操作出错（代码 %1）").arg(code);
    }
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(stmt_);
}

SqlStatement &SqlStatement::operator=(SqlStatement &&other) noexcept
{
    if (this != &other) {
        sqlite3_finalize(stmt_);
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

void SqlStatement::bindInt(int index, qint64 value)
{
    sqlite3_bind_int64(stmt_, index, value);
}

void SqlStatement::bindDouble(int index, double value)
{
    sqlite3_bind_double(stmt_, index, value);
}

void SqlStatement::bindText(int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(stmt_, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void SqlStatement::bindNull(int index)
{
    sqlite3_bind_null(stmt_, index);
}

int SqlStatement::step()
{
    return sqlite3_step(stmt_);
}

bool SqlStatement::run()
{
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) { }
    const bool ok = rc == SQLITE_DONE;
    sqlite3_reset(stmt_);
    return ok;
}

void SqlStatement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

qint64 SqlStatement::columnInt(int column) const
{
    return sqlite3_column_int64(stmt_, column);
}

double SqlStatement::columnDouble(int column) const
{
    return sqlite3_column_double(stmt_, column);
}

QString SqlStatement::columnText(int column) const
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt_, column));
}

bool SqlStatement::columnIsNull(int column) const
{
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

SqlDatabase::~SqlDatabase()
{
    close();
}

SqlDatabase &SqlDatabase::operator=(SqlDatabase &&other) noexcept
{
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
    }
    return *this;
}

Status SqlDatabase::open(const QString &path, bool create)
{
    close();
    const QByteArray name = QDir::toNativeSeparators(path).toUtf8();
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(name.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const int code = db ? sqlite3_extended_errcode(db) : rc;
        sqlite3_close(db);
        return Status::failure(QStringLiteral("无法打开 %1：%2")
                                   .arg(QDir::toNativeSeparators(path), sqliteErrorText(code)));
    }
    db_ = db;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 2000);
    return Status::success();
}

void SqlDatabase::close()
{
    if (db_) {
        // Statements are owned by their holders and finalized before this.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

Status SqlDatabase::exec(const QString &sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        return Status::failure(sqliteErrorText(sqlite3_extended_errcode(db_)));
    return Status::success();
}

SqlStatement SqlDatabase::prepare(const QString &sql)
{
    sqlite3_stmt *stmt = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v3(
            db_, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return {};
    }
    return SqlStatement(stmt);
}

qint64 SqlDatabase::queryInt(const QString &sql, bool *ok)
{
    SqlStatement stmt = prepare(sql);
    const bool row = stmt && stmt.step() == SQLITE_ROW;
    if (ok)
        *ok = row;
    return row ? stmt.columnInt(0) : 0;
}

QString SqlDatabase::queryText(const QString &sql, bool *ok)
{
    SqlStatement stmt = prepare(sql);
    const bool row = stmt && stmt.step() == SQLITE_ROW;
    if (ok)
        *ok = row;
    return row ? stmt.columnText(0) : QString();
}

QString SqlDatabase::errorMessage() const
{
    return db_ ? sqliteErrorText(sqlite3_extended_errcode(db_))
               : QStringLiteral("数据文件没有打开");
}

bool SqlDatabase::inTransaction() const
{
    return db_ && !sqlite3_get_autocommit(db_);
}

qint64 SqlDatabase::lastInsertId() const
{
    return sqlite3_last_insert_rowid(db_);
}

Status SqlDatabase::enforceDurability(const QString &schema)
{
    bool ok = false;
    const QString mode
        = queryText(QStringLiteral("PRAGMA %1.journal_mode=DELETE").arg(schema), &ok).toLower();
    if (!ok || mode != QLatin1String("delete"))
        return Status::failure(
            QStringLiteral("无法启用回滚日志（日志模式为 %1），文件可能在别处被改过").arg(mode));
    Status s = exec(QStringLiteral("PRAGMA %1.synchronous=FULL").arg(schema));
    if (!s)
        return s;
    if (queryInt(QStringLiteral("PRAGMA %1.synchronous").arg(schema)) != 2)
        return Status::failure(QStringLiteral("无法启用完全同步写入"));
    return Status::success();
}

QByteArray sqliteUri(const QString &path, const char *mode)
{
    // Forward slashes work on every platform; a Windows drive path needs a
    // leading slash in a URI ("file:/C:/...").
    QString p = QDir::fromNativeSeparators(path);
    if (p.size() >= 2 && p.at(1) == u':')
        p.prepend(u'/');
    QByteArray uri = "file:";
    for (const char c : p.toUtf8()) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '%' || c == '?' || c == '#' || u < 0x20)
            uri += '%' + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            uri += c;
    }
    uri += "?mode=";
    uri += mode;
    return uri;
}
