#pragma once

#include "common/status.h"

#include <QByteArray>
#include <QString>

#include <utility>

struct sqlite3;
struct sqlite3_stmt;

// Thin RAII wrappers over the SQLite C interface, for the record store only.
// Failures are told in Chinese sentences (SQLite's own are English).

// What an SQLite result code means to the user.
QString sqliteErrorText(int code);

class SqlStatement
{
public:
    SqlStatement() = default;
    SqlStatement(sqlite3_stmt *stmt)
        : stmt_(stmt)
    { }
    ~SqlStatement();
    SqlStatement(SqlStatement &&other) noexcept
        : stmt_(std::exchange(other.stmt_, nullptr))
    { }
    SqlStatement &operator=(SqlStatement &&other) noexcept;
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt *get() const { return stmt_; }

    void bindInt(int index, qint64 value);
    void bindDouble(int index, double value);
    void bindText(int index, const QString &text);
    void bindNull(int index);

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Steps until done; true when no error occurred.
    bool run();
    void reset();

    qint64 columnInt(int column) const;
    double columnDouble(int column) const;
    QString columnText(int column) const;
    bool columnIsNull(int column) const;

private:
    sqlite3_stmt *stmt_ = nullptr;
};

class SqlDatabase
{
public:
    SqlDatabase() = default;
    ~SqlDatabase();
    SqlDatabase(SqlDatabase &&other) noexcept
        : db_(std::exchange(other.db_, nullptr))
    { }
    SqlDatabase &operator=(SqlDatabase &&other) noexcept;
    SqlDatabase(const SqlDatabase &) = delete;
    SqlDatabase &operator=(const SqlDatabase &) = delete;

    // Opens an existing file (create = false) or creates a new one.
    Status open(const QString &path, bool create);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3 *get() const { return db_; }

    Status exec(const QString &sql);
    // Prepares a statement; an empty statement on error (see errorMessage()).
    SqlStatement prepare(const QString &sql);
    // Runs a one-value query; std::nullopt-like: `ok` false on error.
    qint64 queryInt(const QString &sql, bool *ok = nullptr);
    QString queryText(const QString &sql, bool *ok = nullptr);

    QString errorMessage() const;
    bool inTransaction() const;
    qint64 lastInsertId() const;

    // Applies and verifies the durability settings on the named schema
    // ("main" or an attached one): rollback journal, full sync.
    Status enforceDurability(const QString &schema);

private:
    sqlite3 *db_ = nullptr;
};

// A file name as an SQLite URI ("file:...?mode=rw"), so that ATTACH never
// creates a missing file.
QByteArray sqliteUri(const QString &path, const char *mode);
