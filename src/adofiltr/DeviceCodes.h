#ifndef QUARVEL_DEVICE_CODES_H
#define QUARVEL_DEVICE_CODES_H

/* What DESKTOPTODEVICE in the adofiltr library returns. The numbers are the
 * Windows error numbers of the nearest meaning, so a caller may also show the
 * system's own message for them; all fit in a signed 16-bit integer. Plain C,
 * so that any caller can include it. */

#include <stdint.h>

enum QuarvelDeviceCode {
    DEVICE_OK = 0,
    DEVICE_DESKTOP_MISSING = 2,    /* ERROR_FILE_NOT_FOUND: no desktop database at that path */
    DEVICE_FOLDER_UNAVAILABLE = 3, /* ERROR_PATH_NOT_FOUND: a file stands where a device
                                      folder has to be, or the folder went away during
                                      the copy */
    DEVICE_ACCESS_DENIED = 5,      /* ERROR_ACCESS_DENIED: the device folder or file cannot
                                      be written */
    DEVICE_NOT_A_DATABASE = 13,    /* ERROR_INVALID_DATA: the desktop file is not an SQLite
                                      register with every table and column of one */
    DEVICE_NOT_FOUND = 21,         /* ERROR_NOT_READY: no device attached, or it went away
                                      during the copy */
    DEVICE_FAILED = 31,            /* ERROR_GEN_FAILURE: any other failure */
    DEVICE_IN_USE = 32,            /* ERROR_SHARING_VIOLATION: the desktop database stays
                                      locked by another program or holds a cut-off save
                                      that cannot be rolled back there; or another download
                                      is writing the same device file */
    DEVICE_TARGET_EXISTS = 80,     /* ERROR_FILE_EXISTS: the device file exists and overwrite
                                      is off */
    DEVICE_UNKNOWN_TABLE = 87,     /* ERROR_INVALID_PARAMETER: the table list names a table
                                      the register does not have */
    DEVICE_FULL = 112,             /* ERROR_DISK_FULL: no room on the device for the new
                                      file beside the old one */
    DEVICE_PATH_OUTSIDE = 161,     /* ERROR_BAD_PATHNAME: the device path leaves the device
                                      (a "..", a drive letter, a UNC path, or a folder or
                                      file on the way that is a link to elsewhere) */
    DEVICE_MORE_THAN_ONE = 548,    /* ERROR_DEVICE_ALREADY_ATTACHED: several devices are
                                      attached and none was chosen */
    DEVICE_DESKTOP_DAMAGED = 1392, /* ERROR_FILE_CORRUPT: the desktop database fails
                                      SQLite's integrity check */
    DEVICE_CANCELLED = 1223        /* ERROR_CANCELLED: the caller's carryOn stopped the copy;
                                      the device keeps what it had */
};

/* The library's one entry, for resolving it by name ("DESKTOPTODEVICE"):
 *   desktopDbPath  the register file (data.mdb), local 8-bit encoding
 *   tableList      "" for every table, else names out of Items, Cases, Lists,
 *                  ListData, Locations, Data (any letter case) separated by
 *                  commas, semicolons or blanks
 *   synchronise    accepted and ignored: the device always gets a full copy
 *   overwrite      nonzero replaces an existing device file
 *   deviceDbPath   the file on the device, relative to the device root with
 *                  "\" or "/" between folders; NULL or "" means
 *                  "\My Documents\data.cdb"
 * The device file is built beside the target as "<name>.partial" and
 * renamed over it once complete, so the target is the old file or the whole
 * new one; the device file always keeps a rollback journal.
 * Returns DEVICE_OK or one of the codes above. */
typedef int32_t (*DesktopToDeviceFunction)(const char* desktopDbPath, const char* tableList,
                                           int32_t synchronise, int32_t overwrite,
                                           const char* deviceDbPath);

/* The same copy with the caller told how far it has come, for resolving by
 * name ("DESKTOPTODEVICEWATCHED"); a library without it is called through
 * DESKTOPTODEVICE. carryOn(context, steps) is asked, on the calling thread,
 * after every step of the copy (a run of pages, or a table; how many there
 * will be is not known beforehand); 0 stops the copy, which leaves the device
 * as it was and returns DEVICE_CANCELLED. */
typedef int32_t (*DeviceCarryOnFunction)(void* context, int64_t steps);
typedef int32_t (*DesktopToDeviceWatchedFunction)(const char* desktopDbPath, const char* tableList,
                                                  int32_t synchronise, int32_t overwrite,
                                                  const char* deviceDbPath,
                                                  DeviceCarryOnFunction carryOn, void* context);

/* One state of the desktop database file, as the copy read it under its
 * read lock: SQLite adds one to the file's change counter with every write it
 * commits to a file kept with a rollback journal, so these name one content
 * of the file. */
typedef struct QuarvelFileState {
    const char* file;       /* the file's absolute path, links resolved, UTF-8 */
    int64_t size;           /* in bytes */
    int64_t modifiedMs;     /* last written, ms since 1970 */
    int64_t bornMs;         /* made, ms since 1970; -1 where not kept */
    uint32_t changeCounter; /* SQLite's file change counter (header offset 24) */
    uint32_t pageCount;     /* pages in the file (header offset 28) */
} QuarvelFileState;

/* The watched copy that also uses what the caller knows of the desktop file,
 * for resolving by name ("DESKTOPTODEVICECHECKED"); a library without it is
 * called through DESKTOPTODEVICEWATCHED. Once the whole desktop file's bytes
 * are copied, knownSound(context, state) is asked whether SQLite's full
 * check (integrity_check) already found the file in exactly that state
 * sound: nonzero spares the device file a second full check, and it is only
 * checked to be all of that state's bytes. Otherwise the device file is
 * checked in full, and foundSound(context, state) is told the state when the
 * check finds it sound. A copy of some tables, or of a file kept with a
 * write-ahead log, asks nothing and is always checked in full. carryOn is
 * as for DESKTOPTODEVICEWATCHED; any of the three may be NULL. All are called
 * on the calling thread; state is valid during the call only. */
typedef int32_t (*DeviceKnownSoundFunction)(void* context, const QuarvelFileState* state);
typedef void (*DeviceFoundSoundFunction)(void* context, const QuarvelFileState* state);
typedef int32_t (*DesktopToDeviceCheckedFunction)(
    const char* desktopDbPath, const char* tableList, int32_t synchronise, int32_t overwrite,
    const char* deviceDbPath, DeviceCarryOnFunction carryOn, DeviceKnownSoundFunction knownSound,
    DeviceFoundSoundFunction foundSound, void* context);

#endif
