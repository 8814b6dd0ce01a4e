#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstring>

// A disk that fails the folder sync after SQLite's commit point, as a failing
// disk or a full network share gives it. A booking of the stock file changes
// both data.zrb and data.edt, so SQLite commits it through a super-journal:
// deleting that file is the commit point, and the folder is synced right
// after. This shim sits in front of the platform's file system for every
// connection of the process; when armed, the super-journal is really deleted
// and the sync of its folder is reported failed, exactly what SQLite's own
// file system layer returns when that fsync fails. The booking is then on the
// disk while COMMIT reports an I/O error. Armed before the commit point, the
// super-journal cannot be deleted at all: the booking is rolled back.
class FolderSyncFault
{
public:
    enum When { AfterCommitPoint, BeforeCommitPoint };

    // Installs the shim as the default file system (once per process).
    static void install()
    {
        static bool installed = false;
        if (installed)
            return;
        installed = true;
        real() = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs shim = *real();
        shim.zName = "folder-sync-fault";
        shim.xDelete = &deleteFile;
        sqlite3_vfs_register(&shim, 1);
    }
    // From now on, every commit point fails as `when` says.
    static void arm(When when = AfterCommitPoint)
    {
        before() = when == BeforeCommitPoint;
        armed() = true;
    }
    static void disarm() { armed() = false; }
    static int failures() { return count().load(); }

    // Armed for the life of the object.
    struct Armed
    {
        explicit Armed(When when = AfterCommitPoint)
        {
            install();
            arm(when);
        }
        ~Armed() { disarm(); }
    };

private:
    static sqlite3_vfs *&real()
    {
        static sqlite3_vfs *vfs = nullptr;
        return vfs;
    }
    static std::atomic<bool> &armed()
    {
        static std::atomic<bool> flag {false};
        return flag;
    }
    static std::atomic<bool> &before()
    {
        static std::atomic<bool> flag {false};
        return flag;
    }
    static std::atomic<int> &count()
    {
        static std::atomic<int> n {0};
        return n;
    }
    static int deleteFile(sqlite3_vfs *, const char *name, int syncFolder)
    {
        const bool superJournal = armed() && std::strstr(name, "-mj");
        if (superJournal && before()) {
            ++count();
            return SQLITE_IOERR_DELETE;
        }
        const int rc = real()->xDelete(real(), name, syncFolder);
        if (rc != SQLITE_OK || !superJournal)
            return rc;
        ++count();
        return SQLITE_IOERR_DIR_FSYNC;
    }
};
