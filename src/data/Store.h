#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "data/DueReader.h"
#include "data/FailureReporter.h"
#include "data/TextPool.h"
#include "data/TreeData.h"
#include "data/engine/RegisterLocation.h"
#include "data/engine/Schema.h"
#include "data/register/RegisterRepair.h"
#include "data/rules/Records.h"
#include "data/rules/ScanRules.h"
#include "data/transfer/TransferRecords.h"

namespace Sql {
class Connection;
class Statement;
struct Failure;
struct WaitingSeam;
}  // namespace Sql
class Progress;
class RegisterEngine;
class SoundStates;
struct RecordTableSql;

// Why a register is open for reading only.
enum class ReadOnlyCause {
    Damaged,       // SQLite finds faults in the file (only a file can be)
    NewerVersion,  // a newer Quarvel wrote it, in a layout this one does not know
    Unwritable,    // this user may not write the register file, or in its folder
};

// Why the register is open for reading only, in words: the reason in one
// sentence and what the user can do about it.
struct ReadOnlyReason {
    ReadOnlyCause cause;
    QString reason;
    QString advice;
};

// How the user is told, once, that the register is now open for reading
// only; message is the whole text to show.
using ReadOnlyNotice = std::function<void(const ReadOnlyReason& why, const QString& message)>;

// The one place that knows the tables of the register and holds every
// statement the program runs, the same on both engines: the SQLite file
// data.mdb and a database on a PostgreSQL server (RegisterEngine holds what
// differs). Each operation runs its statements with bound values in one
// transaction. On a file it opens its own connection and closes it again,
// so nothing stays open between window events, and a write takes the
// file's write lock at once; on a server one connection is kept between
// operations, and a write locks the rows it checks before it changes them.
// Either way, a register in use by another program or desk is waited for
// (the busy wait) instead of refused.
//
// When an operation fails (missing or unreadable file, not a database, a
// server out of reach or gone in the middle, in use, read-only, disk full, a
// missing table or column, a failed statement) nothing partial is stored,
// the failure reporter is told in plain words what failed and what to do,
// and the method returns an empty optional, false or Failed.
//
// The statements live in Store.cpp and, by area, in the Store*.cpp files
// beside it (StoreLife: damage, repair, versions, backups; StoreTests: tests
// due; StoreTransfer: CSV import and export; StoreScans: scan sessions).
class Store {
public:
    template <class T>
    using Rows = std::optional<QList<T>>;

    // The register file at databasePath.
    explicit Store(QString databasePath, FailureReporter reporter = {});
    explicit Store(const RegisterLocation& location, FailureReporter reporter = {});
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const RegisterLocation& location() const;
    // The text as this register's engine stores it; compare texts in this form.
    QString storable(const QString& text) const;

    // Writes a new register: the six tables and the Data row with all
    // counters 0, in the current layout. Refuses to overwrite an existing file.
    static bool createEmptyDatabase(const QString& path, QString* error);
    // The same in a file or in an empty database on a server; refuses a
    // file that exists and a database that holds a register.
    static bool createEmpty(const RegisterLocation& location, QString* error);
    // Whether the register holds no record at all, as createEmpty makes it:
    // every table of its layout empty and the counters 0. It is only looked
    // into: a file is opened for reading only, its schema not trusted.
    // Nullopt, with the reason, when that cannot be told: nothing there, no
    // complete register, a layout newer than this program's, a failed read.
    static std::optional<bool> holdsNoRecord(const RegisterLocation& location, QString* problem);

    // How long an operation waits for another program using the register
    // before it says "in use", asked afresh for each operation; 10 s
    // unless set.
    void setBusyWait(std::function<int()> milliseconds) { busyWaitMs_ = std::move(milliseconds); }
    // How the user sees that the register's server keeps an operation
    // waiting, and may stop it (StoreSetup shows a window with Cancel). An
    // operation stopped so fails, and nothing of it is stored.
    void setServerWaiting(const Sql::WaitingSeam& seam);

    // --- Reading only ----------------------------------------------------
    // From now on the register is only read: the user is told once why
    // (through the notice, else the failure reporter), every write is
    // refused with a message that names the reason, and reads go on.
    void openReadOnly(const ReadOnlyReason& why);
    // Nothing while the register may be written.
    const std::optional<ReadOnlyReason>& readOnly() const { return readOnly_; }
    void setReadOnlyNotice(ReadOnlyNotice notice) { notice_ = std::move(notice); }

    // --- Damage ----------------------------------------------------------
    enum class Health { Sound, Damaged, Unknown };
    // SQLite's quick check of the whole register file. A damaged register is
    // opened for reading only, as it is when any statement later finds
    // damage. Unknown, and nothing said, when the check cannot run (the
    // reads tell why). A server keeps its own data sound: Sound. The first
    // write of a run (an upgrade's backup and steps, a save, an import) runs
    // this check first when nothing has yet found the file sound, or the
    // full check when told to (checkFullyBeforeWrites), so a damaged
    // register is never written on any path.
    Health checkForDamage();
    // SQLite's full check of the register file, which also compares every
    // index with its table (damage the quick check passes by). It reads on a
    // connection of its own and touches no Store, so it may run on a thread
    // of its own; `stop` ends it early (Unknown). A server: Sound. A file
    // found sound leaves the state it was found in with `sound`, when given.
    static Health fullCheck(const RegisterLocation& location, int busyWaitMs,
                            const std::function<bool()>& stop = {}, SoundStates* sound = nullptr);
    // The states of register files that full checks of this run (this
    // store's upgrade, and those its owner runs) found sound; the device
    // copy of a file in such a state need not check it again.
    const std::shared_ptr<SoundStates>& soundStates() const { return soundStates_; }
    enum class Check { Quick, Full };
    // What a check found (a full check on another thread among them), taken
    // on the store's own thread: damage opens the register for reading only;
    // Sound spares the first write its check (the quick one only, where
    // writes wait for the full check).
    void takeDamageCheck(Health found, Check which);
    // Writes to a file wait for the full check, not the quick one: until a
    // full check of this run has found the file sound, each write first asks
    // `fullCheck` for its finding (it runs the check, or waits for the one
    // under way). Nullopt when the user stopped the wait: the write is then
    // refused and nothing is stored. Unknown lets the write go on, as the
    // quick check's does, and the next write asks again.
    using FullCheckFirst = std::function<std::optional<Health>()>;
    void checkFullyBeforeWrites(FullCheckFirst fullCheck) {
        fullCheckFirst_ = std::move(fullCheck);
    }
    // Whether the register may be written: runs the damage check first when
    // nothing has found the file sound yet in this run. False when the
    // register is open for reading only (the user was told why) or the user
    // stopped the wait for the full check.
    bool mayWrite();
    // Mends a damaged register file into a new file that takes its place
    // (see RegisterRepair); once repaired it may be written again. Cancelled
    // through `progress`, nothing is changed.
    RegisterRepair::Outcome repairDamaged(Progress* progress = nullptr);
    // --- Layout versions and backups -------------------------------------
    // Run once when the program starts. A register of an older layout is
    // checked for damage (a damaged one is only read, never upgraded), then
    // backed up (a file; a server's administrator keeps its backups), then
    // brought to the last version of `steps` in one transaction; a register
    // of a newer layout is only read. False when the register cannot be
    // worked with (the user was told).
    bool upgradeIfOlder(std::span<const Schema::Step> steps = Schema::upgradeSteps());

    // How the register file is backed up once a day, before the first save.
    struct BackupPolicy {
        std::function<QDateTime()> now;
        std::function<int()> keep;  // how many backups to keep
        FailureReporter warn;       // a failed backup is told here; work goes on
        // How a backup's progress is shown (none: not shown, never cancelled).
        std::function<std::unique_ptr<Progress>()> progress;
    };
    void setBackupPolicy(BackupPolicy policy) { backups_ = std::move(policy); }

    // --- Main tree -------------------------------------------------------
    // The tree, and the items' test statuses counted on the window's today.
    // `room`: a tree no longer shown, read into so that its memory, which the
    // system has already given, is used again (nothing of it is kept).
    std::optional<TreeData> readTree(const TestsDue::Window& window, TreeData room = {});

    // --- Tests due -------------------------------------------------------
    // Every item that is not in date, and the counts of all items; with
    // dueBy also every item in date that is due by then.
    std::optional<DueList> testsDue(const TestsDue::Window& window,
                                    std::optional<TestsDue::Day> dueBy = std::nullopt);
    // How many of the flight case's items have each status.
    std::optional<TestsDue::Counts> caseTests(qint64 caseId, const TestsDue::Window& window);
    // The flight case's own row (none when it is not stored), its items (id,
    // desc by id) and their counts, in one read.
    struct CaseItems {
        QList<CaseRecord> cases;
        IdTextRows items;
        TestsDue::Counts tests;
    };
    std::optional<CaseItems> itemsInCaseWithTests(qint64 caseId, const TestsDue::Window& window);
    // When one item's next test is due; nullopt when the item is gone (said
    // nothing) or the read failed (the user was told).
    std::optional<TestsDue::Due> itemDue(qint64 id, const TestsDue::Window& window);
    // Adds the test to the item's history and moves its last test date to
    // the test's date and its next one to that date plus the item's
    // interval (empty when the interval cannot be read), in one transaction.
    // A test older than the item's last test date is kept in the history
    // but moves no date back.
    RecordTestResult recordTest(qint64 itemId, const TestRecord& test);
    // The item's tests, newest first.
    std::optional<QList<TestRecord>> testHistory(qint64 itemId);
    // The ids of deleted items whose tests are kept, ascending: no other
    // item is ever given one of them.
    std::optional<std::vector<qint64>> deletedItemsWithTests();

    // --- New ids ---------------------------------------------------------
    // The id the next record of that table gets: one above its counter and
    // above every id the table ever had (for items, also every id the test
    // records name, so a deleted item's tests never pass to a new one). Save gives the same id
    // unless another program saved a record in between.
    std::optional<qint64> predictedId(RecordTable table);
    std::optional<Counters> counters();

    // --- Items -----------------------------------------------------------
    Rows<ItemRecord> itemsWithId(qint64 id);
    std::optional<bool> itemExists(qint64 id);
    std::optional<IdTextRows> allItems();                            // id, desc by id
    std::optional<IdTextRows> itemsInCase(qint64 caseId);            // by id
    std::optional<IdTextRows> itemsInCaseByCategory(qint64 caseId);  // by category, then id
    // Raises lastid and adds the row in one transaction; returns the new id.
    std::optional<qint64> insertItem(const ItemWrite& values);
    // Writes the changed columns only. Without overwrite, a changed column
    // that was also changed elsewhere since the editor loaded it writes
    // nothing and gives ChangedElsewhere. Columns left null are stored as
    // empty text (0 for the number columns), as Save always did.
    SaveResult updateItem(qint64 id, const QList<ColumnChange>& changes, bool overwrite);
    // Puts the item into the case (0: into no case), changing nothing else.
    PutInCaseResult setItemCase(qint64 itemId, qint64 caseId);
    bool deleteItem(qint64 id);

    // --- Cases -----------------------------------------------------------
    std::optional<IdTextRows> allCases();  // id, FName by id
    Rows<CaseRecord> casesWithId(qint64 id);
    std::optional<bool> caseExists(qint64 id);
    std::optional<qint64> insertCase(const CaseRecord& values);
    SaveResult updateCase(qint64 id, const QList<ColumnChange>& changes, bool overwrite);

    // --- Lists -----------------------------------------------------------
    Rows<ListRecord> listsWithId(qint64 id);
    std::optional<bool> listExists(qint64 id);
    std::optional<IdTextRows> listLines(qint64 listId);  // itemid, itemdesc by itemid
    // Adds the line unless the list is gone or already holds the item.
    AddLineResult addListLine(qint64 listId, qint64 itemId, const QString& itemDesc);
    bool removeListLine(qint64 listId, qint64 itemId);
    std::optional<qint64> insertList(const QString& name);
    SaveResult updateList(qint64 id, const QString& name, const QString& loadedName,
                          bool overwrite);

    // --- Locations -------------------------------------------------------
    // Row ids and names in stored order.
    std::optional<IdTextRows> locations();
    // Adds the name unless an equal name (letter case aside, in any script)
    // is already there; gives the new row's id.
    AddLocationResult addLocation(const QString& name, qint64* rowId = nullptr);
    // Deletes exactly that row, and only while it still holds that name.
    bool deleteLocation(qint64 rowId, const QString& name);

    // --- CSV import and export -------------------------------------------
    // Every id the table holds, in ascending order.
    std::optional<std::vector<qint64>> itemIds();
    std::optional<std::vector<qint64>> caseIds();
    // Adds what the plan holds in one transaction: the flight cases (named
    // "F" and their id) and locations it lacks, then every item the plan
    // hands over, under its own id or a new one above every id given; the
    // counters are raised past the highest id added. All or nothing: when a
    // step fails, nothing is added. A cancel through `progress` adds nothing
    // either, and is the caller's to tell (progress->cancelled()).
    std::optional<ImportCounts> importItems(const ItemImportPlan& plan,
                                            Progress* progress = nullptr);

    // The names of an export's columns, in order (its header).
    static QStringList exportColumns(ExportKind kind);
    // Hands each row of the export to onRow in order (items by id, list
    // lines by item), every column as stored: texts as their bytes, an empty
    // text as kEmptyText, no value (NULL) as an empty view, numbers plain
    // (whole ones exactly, others in the fewest digits that read back the
    // same); `id` names the case or the list. Reads in one go, keeping no row.
    using ExportRowHandler = std::function<bool(std::span<const std::string_view> values)>;
    bool exportRows(ExportKind kind, qint64 id, const ExportRowHandler& onRow);

    // --- Scan sessions (StoreScans.cpp) ----------------------------------
    // Stores a new open session (its id is taken here); gives its id.
    std::optional<qint64> startScanSession(const ScanRules::Session& session);
    // Sessions never finished (the program ended in the middle), oldest first.
    std::optional<QList<ScanRules::Session>> unfinishedScanSessions();
    std::optional<ScanRules::Session> scanSession(qint64 id);
    bool finishScanSession(qint64 id, const QDateTime& when);
    // Reads what the register knows of the code, answers the scan and stores
    // it, in one short transaction. A refused code is answered, not stored;
    // so is a bare number to be asked about (ScanRules::Reading::Ask). A
    // case packed or checked in stores a scan of each of its items on the
    // list. `answered` gets the answer before it is committed, so that what
    // is stored has always been told.
    using ScanAnswered = std::function<void(const ScanRules::Answer&)>;
    std::optional<ScanRules::Answer> recordScan(const ScanRules::Session& session,
                                                const ScanRules::Code& code, const QDateTime& when,
                                                const TestsDue::Window& window,
                                                const ScanAnswered& answered = {});
    // The session's scans in the order they were stored, from every desk;
    // with afterId, only those stored after that scan.
    std::optional<QList<ScanRules::Record>> scanRecords(qint64 sessionId, qint64 afterId = 0);
    // What the session expects to see: at its location, on its list, or
    // packed in the list's last pack session.
    std::optional<QList<ScanRules::Expected>> scanExpected(const ScanRules::Session& session);
    // Sets the location of every item and case the session found misplaced;
    // items in a case stay with their case. Gives how many moved.
    std::optional<int> moveMisplaced(qint64 sessionId, const QString& location);
    // "Last seen: 9/12/2026, Bay 1 (stocktake)", or empty when never scanned.
    std::optional<QString> lastSeen(qint64 itemId);
    // The id of the first list of that name; 0 when none has it.
    std::optional<qint64> listNamed(const QString& name);

private:
    // ReadQuietly: a read whose failure the next read will tell the user.
    enum class Mode { Read, Write, ReadQuietly };
    using Body = std::function<bool(Sql::Connection& db)>;
    using RowReader = std::function<void(const Sql::Statement& row)>;

    // Opens a connection and runs body in one transaction, rolled back when
    // body fails. Reports a failure described by `what` ("read the items").
    bool run(const QString& what, Mode mode, const Body& body);
    // Runs one reading statement and hands every row to readRow.
    bool readRows(const QString& what, const char* sql, const QVariantList& values,
                  const RowReader& readRow);
    // The rows of sql (id, text), counted by countSql first; both take values.
    std::optional<IdTextRows> idTexts(const QString& what, const char* countSql, const char* sql,
                                      const QVariantList& values = {});
    std::optional<bool> exists(const QString& what, const char* sql, const QVariantList& values);
    std::optional<qint64> insertWithNewId(const QString& what, RecordTable table, const char* sql,
                                          const QVariantList& values);
    SaveResult updateColumns(const QString& what, const RecordTableSql& table, qint64 id,
                             const QList<ColumnChange>& changes, bool overwrite);
    // Tells the user that `what` failed: the program's own words, or the
    // engine's failure explained.
    void report(const QString& what, const QString& ownText);
    void report(const QString& what, const Sql::Failure& failure, const QString& missing,
                Mode mode);
    ReadOnlyReason damaged() const;
    void backUpOnceADay();
    bool backUp(const QDateTime& when, const QString& occasion);
    int busyWaitMs() const;

    std::unique_ptr<RegisterEngine> engine_;
    FailureReporter reporter_;
    std::optional<ReadOnlyReason> readOnly_;
    ReadOnlyNotice notice_;
    std::function<int()> busyWaitMs_;
    BackupPolicy backups_;
    QDate lastBackupDay_;         // the day the last backup was taken or tried
    bool damageChecked_ = false;  // this run's quick or full check has found the file sound
    bool fullySound_ = false;     // this run's full check has found the file sound
    FullCheckFirst fullCheckFirst_;
    std::shared_ptr<SoundStates> soundStates_;
};
