#pragma once

#include <sqlite3.h>

#include <atomic>
#include <cstring>

// A disk that fails the folder sync after SQLite's commit point, as a failing
// disk or a full network share gives it. The commit point is the deletion of
// a journal: the rollback journal of a commit that writes one file (a
// booking of the stock file, data.zrb), the super-journal of one that writes
// both files of a pair. This shim sits in front of the platform's file system for every
// connection of the process; when armed, the journal is really deleted and
// the sync of its folder is reported failed, exactly what SQLite's own file
// system layer returns when that fsync fails. The change is then on the disk
// while COMMIT reports an I/O error. Armed before the commit point, the
// journal cannot be deleted at all: the change is rolled back.
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
    // The next `times` commit points fail as `when` says: once, as a disk
    // that fails now and then; more, as one that keeps failing.
    static void arm(When when = AfterCommitPoint, int times = 1)
    {
        before() = when == BeforeCommitPoint;
        armed() = times;
    }
    static void disarm() { armed() = 0; }
    static int failures() { return count().load(); }

    // Armed for the life of the object.
    struct Armed
    {
        explicit Armed(When when = AfterCommitPoint, int times = 1)
        {
            install();
            arm(when, times);
        }
        ~Armed() { disarm(); }
    };

private:
    static sqlite3_vfs *&real()
    {
        static sqlite3_vfs *vfs = nullptr;
        return vfs;
    }
    static std::atomic<int> &armed()
    {
        static std::atomic<int> left {0};
        return left;
    }
    static bool takeFault()
    {
        int left = armed().load();
        while (left > 0 && !armed().compare_exchange_weak(left, left - 1)) { }
        return left > 0;
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
        // The faults of an arming hit the next commit points of the stock file
        // (or of any pair's two-file commit).
        constexpr const char stockJournal[] = "data.zrb-journal";
        const size_t length = std::strlen(name);
        const size_t suffix = sizeof stockJournal - 1;
        const bool journal
            = length >= suffix && std::strcmp(name + length - suffix, stockJournal) == 0;
        const bool commitPoint = (journal || std::strstr(name, "-mj")) && takeFault();
        if (commitPoint && before()) {
            ++count();
            return SQLITE_IOERR_DELETE;
        }
        const int rc = real()->xDelete(real(), name, syncFolder);
        if (rc != SQLITE_OK || !commitPoint)
            return rc;
        ++count();
        return SQLITE_IOERR_DIR_FSYNC;
    }
};
