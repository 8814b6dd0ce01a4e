#pragma once

#include "data/record_store.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include "support/qt_print.h"
#include "support/record_files.h"

// Helpers shared by the record store tests.

// A small layout with one field of every kind.
Layout mixedLayout();

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &bytes);

// Everything a test needs to tell whether a file was touched.
struct FileSnapshot
{
    QByteArray bytes;
    QDateTime modified;
    bool operator==(const FileSnapshot &) const = default;
};
FileSnapshot snapshot(const QString &path);

// Fills a stock file with n items named "item<i>" / "spec<i>".
void fillStock(RecordStore &store, int n);
