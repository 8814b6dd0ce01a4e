#pragma once

#include "data/record_store.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

// A record file of mixedLayout() in a folder of its own, open as "t".
class MixedFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("t.zrb"));
        ASSERT_TRUE(RecordStore::create(path, mixedLayout()));
        ASSERT_TRUE(store.open(path, QStringLiteral("t"))) << store.lastError().toStdString();
    }

    QTemporaryDir dir;
    QString path;
    RecordStore store;
};
