#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "DesktopToDevice.h"
#include "DeviceCodes.h"
#include "DeviceLocator.h"
#include "TempRegister.h"
#include "app/DeviceService.h"
#include "data/Register.h"
#include "data/engine/SoundStates.h"
#include "data/register/RegisterCopy.h"

using namespace adofiltr;

namespace {

const QString kTarget = QStringLiteral("My Documents/data.cdb");

// Items with texts, numbers, nulls and blobs, enough of them to fill dozens
// of pages, and a row or two in every other table.
void fill(const TempRegister& reg, int items = 2000) {
    reg.exec(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO Items (\"desc\", caseID, length, notes, serial) SELECT 'Item ' || i, "
            "i % 3, i / 7.0, CASE WHEN i % 2 THEN NULL ELSE x'00ff10' END, "
            "hex(randomblob(40)) FROM n;"
            "INSERT INTO Cases (FName, FLocation) VALUES ('Lamp case', 'Bay 1'), ('Rack ''B''', "
            "NULL);"
            "INSERT INTO Lists (ListName) VALUES ('Show 1 pick');"
            "INSERT INTO ListData SELECT 1, id, \"desc\" FROM Items WHERE id <= 5;"
            "INSERT INTO Locations (\"desc\") VALUES ('Bay 1'), ('Käfig Ω');"
            "INSERT INTO TestHistory VALUES (1, 2, 2454837, '5/1/2009', 'PAT', 'Pass', 'ok');"
            "UPDATE Data SET lastid = %1, lastCase = 2, lastList = 1")
            .arg(items));
}

// Every row of a table in rowid order, each value with its storage class.
QStringList rowsOf(const QString& file, const QString& table) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    QStringList rows;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    const QByteArray sql = "SELECT * FROM \"" + table.toUtf8() + "\" ORDER BY rowid";
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
        rows << QStringLiteral("no table ") + table;
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        QStringList values;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const int type = sqlite3_column_type(stmt, c);
            const QByteArray bytes =
                type == SQLITE_FLOAT
                    ? QByteArray::number(sqlite3_column_double(stmt, c), 'g', 17)
                    : QByteArray(static_cast<const char*>(sqlite3_column_blob(stmt, c)),
                                 sqlite3_column_bytes(stmt, c));
            values << QString::number(type) + QLatin1Char(':') + QString::fromLatin1(bytes.toHex());
        }
        rows << values.join(QLatin1Char('|'));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows;
}

void compareTables(const QString& device, const QString& desktop, const QStringList& tables) {
    for (const QString& table : tables)
        QCOMPARE(rowsOf(device, table), rowsOf(desktop, table));
}

QByteArray hashOf(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QString scalarOf(const QString& file, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    QString value;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

// A small file system of its own, mounted where the test may (root); it
// fills up long before the disk does.
class SmallDevice {
public:
    explicit SmallDevice(int kib) {
        const QString size = QStringLiteral("size=%1k").arg(kib);
        mounted_ = QProcess::execute(QStringLiteral("mount"),
                                     {"-t", "tmpfs", "-o", size, "tmpfs", dir_.path()}) == 0;
    }
    ~SmallDevice() {
        if (mounted_)
            QProcess::execute(QStringLiteral("umount"), {dir_.path()});
    }
    bool mounted() const { return mounted_; }
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
};

void writeFile(const QString& path, qint64 size) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(size, 'x'));
}

QStringList filesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The program's side of DESKTOPTODEVICECHECKED: answers from the states its
// full check found sound, and counts what the copy asks and tells.
struct SoundAnswers {
    SoundStates sound;
    int asked = 0;
    int found = 0;  // the copy's own full checks that passed

    static Sqlite::FileState stateOf(const QuarvelFileState* state) {
        return {QString::fromUtf8(state->file), state->size,     state->modifiedMs, state->bornMs,
                state->changeCounter,           state->pageCount};
    }
    static std::int32_t knownSound(void* context, const QuarvelFileState* state) {
        auto* self = static_cast<SoundAnswers*>(context);
        ++self->asked;
        return self->sound.holds(stateOf(state)) ? 1 : 0;
    }
    static void foundSound(void* context, const QuarvelFileState* state) {
        auto* self = static_cast<SoundAnswers*>(context);
        ++self->found;
        self->sound.remember(stateOf(state));
    }
};

}  // namespace

class TestDeviceDownload : public QObject {
    Q_OBJECT
    QLibrary library_{QStringLiteral(ADOFILTR_PATH)};
    DesktopToDeviceFunction entry_ = nullptr;
    std::optional<QTemporaryDir> device_;

    int download(const QString& desktop, const char* tables = "", bool overwrite = false,
                 const char* devicePath = "\\My Documents\\data.cdb") {
        return entry_(QFile::encodeName(desktop).constData(), tables, 1, overwrite, devicePath);
    }
    QString onDevice(const QString& path = kTarget) const { return device_->filePath(path); }

private slots:
    void initTestCase() {
        entry_ = reinterpret_cast<DesktopToDeviceFunction>(library_.resolve("DESKTOPTODEVICE"));
        QVERIFY2(entry_, qPrintable(library_.errorString()));
    }
    void init() {
        device_.emplace();
        qputenv("QUARVEL_DEVICE_ROOT", device_->path().toLocal8Bit());
    }

    void copiesEveryTableAndLeavesTheDesktopAlone() {
        TempRegister reg;
        fill(reg);
        const QByteArray before = hashOf(reg.path());
        // The program may be half-way through a change; the device gets the last committed state.
        sqlite3* program = nullptr;
        sqlite3_open(reg.path().toUtf8().constData(), &program);
        sqlite3_exec(program, "BEGIN; DELETE FROM Items", nullptr, nullptr, nullptr);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        sqlite3_exec(program, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(program);
        compareTables(onDevice(), reg.path(), registerTables());
        QCOMPARE(hashOf(reg.path()), before);
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget});
    }

    void copiesOnlyTheTablesListed() {
        TempRegister reg;
        fill(reg, 10);
        const QString desktop = reg.folder() + QStringLiteral("/Dé ?#%20.mdb");  // URI characters
        QVERIFY(QFile::copy(reg.path(), desktop));
        QCOMPARE(download(desktop, "lists; LISTDATA  items", false, "Sync/Reg/x.cdb"), DEVICE_OK);
        const QString copy = onDevice(QStringLiteral("Sync/Reg/x.cdb"));
        compareTables(copy, desktop, {"Items", "Lists", "ListData"});
        QCOMPARE(rowsOf(copy, QStringLiteral("Cases")), QStringList{"no table Cases"});
    }

    // A register of the first layout lacks TestHistory by right: it is
    // copied as it is, also when the list names that table.
    void aFirstVersionRegisterIsCopiedAsItIs() {
        TempRegister reg;
        fill(reg, 10);
        reg.toFirstVersion();
        const QStringList firstTables = registerTables().mid(0, registerTables().size() - 1);
        for (const char* tables : {"", "items testhistory"}) {
            QCOMPARE(download(reg.path(), tables, true), DEVICE_OK);
            compareTables(onDevice(), reg.path(), *tables ? QStringList{"Items"} : firstTables);
            QCOMPARE(rowsOf(onDevice(), QStringLiteral("TestHistory")),
                     QStringList{"no table TestHistory"});
        }
    }

    // A register of version 3 (before the lists' plans) copies to the
    // device as it is, as one of today's layout does: the device gets the
    // same tables.
    void aThirdVersionRegisterIsCopiedAsItIs() {
        TempRegister reg;
        fill(reg, 10);
        reg.toThirdVersion();
        QCOMPARE(download(reg.path()), DEVICE_OK);
        compareTables(onDevice(), reg.path(), registerTables());
        QCOMPARE(rowsOf(onDevice(), QStringLiteral("ListPlans")),
                 QStringList{"no table ListPlans"});
    }

    void refuses_data() {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QByteArray>("tables");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QString>("root");
        QTest::addColumn<int>("code");
        const QByteArray all, target("\\My Documents\\data.cdb");
        QTest::newRow("no desktop")
            << "missing" << all << target << "" << int(DEVICE_DESKTOP_MISSING);
        QTest::newRow("not sqlite") << "text" << all << target << "" << int(DEVICE_NOT_A_DATABASE);
        // What the program itself would refuse is refused by the copy too.
        QTest::newRow("missing column")
            << "no column" << all << target << "" << int(DEVICE_NOT_A_DATABASE);
        QTest::newRow("view for a table")
            << "view" << all << target << "" << int(DEVICE_NOT_A_DATABASE);
        QTest::newRow("damaged") << "damaged" << all << target << "" << int(DEVICE_DESKTOP_DAMAGED);
        QTest::newRow("unknown table") << "register" << QByteArray("Items,Widgets") << target << ""
                                       << int(DEVICE_UNKNOWN_TABLE);
        const char* outside[] = {
            "\\My Documents\\..\\..\\data.cdb", "..\\data.cdb",    "a/.. /x", "C:\\data.cdb",
            "\\\\server\\share\\data.cdb",      "\\My Documents\\"};
        for (const char* path : outside)
            QTest::newRow(path) << "register" << all << QByteArray(path) << ""
                                << int(DEVICE_PATH_OUTSIDE);
        QTest::newRow("no device")
            << "register" << all << target << "missing" << int(DEVICE_NOT_FOUND);
        QTest::newRow("file for a folder")
            << "register" << all << target << "blocked" << int(DEVICE_FOLDER_UNAVAILABLE);
    }
    void refuses() {
        QFETCH(QString, desktop);
        QFETCH(QByteArray, tables);
        QFETCH(QByteArray, path);
        QFETCH(QString, root);
        QFETCH(int, code);
        TempRegister reg;
        if (desktop == QLatin1String("missing"))
            QFile::remove(reg.path());
        if (desktop == QLatin1String("text")) {
            QFile file(reg.path());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        }
        if (desktop == QLatin1String("no column"))
            reg.exec(QStringLiteral("ALTER TABLE Items DROP COLUMN serial"));
        if (desktop == QLatin1String("view"))
            reg.exec(
                QStringLiteral("DROP TABLE Lists; CREATE VIEW Lists AS SELECT 1 AS id, "
                               "'x' AS ListName"));
        if (desktop == QLatin1String("damaged")) {
            // The index says it holds caseID, but holds desc: every read
            // still works, the integrity check finds the fault.
            fill(reg, 50);
            reg.exec(QStringLiteral(
                "PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = 'CREATE INDEX "
                "\"ItemsByCase\" ON \"Items\" (\"desc\")' WHERE name = 'ItemsByCase'"));
        }
        if (root == QLatin1String("missing"))
            qputenv("QUARVEL_DEVICE_ROOT", onDevice(QStringLiteral("gone")).toLocal8Bit());
        if (root == QLatin1String("blocked"))
            QFile(onDevice(QStringLiteral("My Documents"))).open(QIODevice::WriteOnly);
        QCOMPARE(download(reg.path(), tables.constData(), true, path.constData()), code);
        const QStringList left = filesBelow(device_->path());
        QCOMPARE(left,
                 root == QLatin1String("blocked") ? QStringList{"My Documents"} : QStringList{});
    }

    void overwriteDecidesWhetherTheTargetIsReplaced() {
        TempRegister reg;
        fill(reg, 10);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        const QStringList old = rowsOf(onDevice(), QStringLiteral("Items"));
        reg.exec(QStringLiteral("INSERT INTO Items (\"desc\") VALUES ('Smoke machine')"));
        QCOMPARE(download(reg.path(), "", false), DEVICE_TARGET_EXISTS);
        QCOMPARE(rowsOf(onDevice(), QStringLiteral("Items")), old);
        QCOMPARE(download(reg.path(), "", true), DEVICE_OK);
        compareTables(onDevice(), reg.path(), registerTables());
    }

    // The copy reads the register through SQLite's own open file: a lock
    // this program holds on it (here a reader's) outlives the download, and
    // another program still may not write meanwhile.
    void aLockHeldMeanwhileOutlivesTheDownload() {
        TempRegister reg;
        fill(reg, 10);
        sqlite3* reader = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(reg.path()), &reader), SQLITE_OK);
        QCOMPARE(
            sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM Items", nullptr, nullptr, nullptr),
            SQLITE_OK);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        // Another program: SQLite's locks are the operating system's, per process.
        QProcess writer;
        writer.start(QStringLiteral("sqlite3"),
                     {reg.path(), QStringLiteral("INSERT INTO Items (\"desc\") VALUES ('x')")});
        const bool ran = writer.waitForFinished(20000);
        sqlite3_close(reader);
        if (!ran && writer.error() == QProcess::FailedToStart)
            QSKIP("no sqlite3 shell");
        QVERIFY2(writer.exitCode() != 0, "another program wrote while the lock was held");
        QVERIFY(writer.readAllStandardError().contains("locked"));
    }

    void readOnlyFolderIsAccessDenied() {
        TempRegister reg;
        const QString folder = onDevice(QStringLiteral("My Documents"));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (QFileInfo(folder).isWritable())
            QSKIP("this user may write to read-only folders (root)");
        const int code = download(reg.path());
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(code, DEVICE_ACCESS_DENIED);
        QCOMPARE(filesBelow(device_->path()), QStringList{});
    }

    void findsTheOneAttachedDevice() {
        qunsetenv("QUARVEL_DEVICE_ROOT");
        QTemporaryDir places;
        const QDir dir(places.path());
        for (const char* mount : {"media/stick", "gvfs/mtp:host=Phone", "gvfs/smb-share:server=s"})
            dir.mkpath(QString::fromLatin1(mount));
        const MountPlace media{dir.filePath(QStringLiteral("media")), {}};
        const MountPlace gvfs{dir.filePath(QStringLiteral("gvfs")), QStringLiteral("mtp:host=")};
        QCOMPARE(chooseDeviceRoot(findDeviceMounts({})).code, DEVICE_NOT_FOUND);
        QCOMPARE(chooseDeviceRoot(findDeviceMounts({media, gvfs})).code, DEVICE_MORE_THAN_ONE);
        const QStringList phone = findDeviceMounts({gvfs});
        QCOMPARE(chooseDeviceRoot(phone).path, dir.filePath(QStringLiteral("gvfs/mtp:host=Phone")));
        TempRegister reg;
        QCOMPARE(desktopToDevice(reg.path(), {}, false, {}, phone), DEVICE_OK);
        QVERIFY(QFileInfo::exists(phone.first() + QLatin1Char('/') + kTarget));
    }

    void failedCopyLeavesTheTargetAsItWas_data() {
        QTest::addColumn<QStringList>("tables");
        QTest::newRow("whole file") << QStringList{};
        QTest::newRow("some tables") << QStringList{"Cases", "Items"};
    }
    void failedCopyLeavesTheTargetAsItWas() {
        QFETCH(QStringList, tables);
        TempRegister reg;
        fill(reg);
        const QByteArray desktop = hashOf(reg.path());
        const CopyJob job{reg.path(), tables, onDevice().toStdU16String(), true, {}};
        int steps = 0;
        CopyHooks failing;
        failing.pagesPerStep = 4;
        failing.carryOn = [&] { return ++steps < 2; };
        QCOMPARE(copyRegister(job, failing), DEVICE_FAILED);
        QCOMPARE(filesBelow(device_->path()), QStringList{});
        QCOMPARE(hashOf(reg.path()), desktop);

        QCOMPARE(copyRegister(job), DEVICE_OK);
        const QByteArray old = hashOf(onDevice());
        reg.exec(QStringLiteral("DELETE FROM Items WHERE id > 5"));
        steps = 0;
        QCOMPARE(copyRegister(job, failing), DEVICE_FAILED);
        QCOMPARE(hashOf(onDevice()), old);
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget});
    }

    // Stopped through the watched entry: cancelled, the device as it was.
    void aCancelledCopyLeavesTheDeviceAsItWas() {
        const auto watched = reinterpret_cast<DesktopToDeviceWatchedFunction>(
            library_.resolve("DESKTOPTODEVICEWATCHED"));
        QVERIFY(watched);
        TempRegister reg;
        fill(reg);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        const QByteArray old = hashOf(onDevice());
        reg.exec(QStringLiteral("DELETE FROM Items WHERE id > 5"));
        std::int64_t asked = 0;
        const DeviceCarryOnFunction cancelAtOnce = [](void* context, std::int64_t steps) {
            *static_cast<std::int64_t*>(context) = steps;
            return std::int32_t(0);
        };
        QCOMPARE(watched(QFile::encodeName(reg.path()).constData(), "", 1, 1,
                         "\\My Documents\\data.cdb", cancelAtOnce, &asked),
                 DEVICE_CANCELLED);
        QCOMPARE(asked, std::int64_t(1));
        QCOMPARE(hashOf(onDevice()), old);
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget});
    }

    // The program's full check found the register sound: a download of it
    // in that state does not read it all again, while a register changed
    // since (a save, damage, another file put in its place) is checked in
    // full, refused when damaged, and its state remembered when sound.
    void aStateFoundSoundIsNotCheckedAgain_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("checks");
        QTest::newRow("none") << "none" << int(DEVICE_OK) << 0;
        QTest::newRow("saved") << "saved" << int(DEVICE_OK) << 1;
        QTest::newRow("index damaged") << "index damaged" << int(DEVICE_DESKTOP_DAMAGED) << 0;
        QTest::newRow("replaced") << "replaced" << int(DEVICE_OK) << 1;
    }
    void aStateFoundSoundIsNotCheckedAgain() {
        QFETCH(QString, change);
        QFETCH(int, code);
        QFETCH(int, checks);
        const auto checked = reinterpret_cast<DesktopToDeviceCheckedFunction>(
            library_.resolve("DESKTOPTODEVICECHECKED"));
        QVERIFY(checked);
        TempRegister reg;
        fill(reg, 300);
        const QString other = reg.folder() + QStringLiteral("/other.mdb");
        QVERIFY(QFile::copy(reg.path(), other));
        reg.exec(QStringLiteral("UPDATE Items SET notes = 'checked' WHERE id = 3"));
        SoundAnswers answers;
        QCOMPARE(Register::fullCheck(RegisterLocation::file(reg.path()), 2000, {}, &answers.sound),
                 Register::Health::Sound);
        if (change == QLatin1String("saved"))
            reg.exec(QStringLiteral("UPDATE Items SET notes = 'changed' WHERE id = 3"));
        if (change == QLatin1String("index damaged"))
            reg.spoilIndexOnly();
        if (change == QLatin1String("replaced")) {
            // Saved as often as the register, the same size, last written at
            // the same moment: only the file's birth tells it apart.
            if (!QFileInfo(reg.path()).birthTime().isValid())
                QSKIP("this file system keeps no time a file was made");
            sqlite3* db = nullptr;
            sqlite3_open(other.toUtf8().constData(), &db);
            QCOMPARE(sqlite3_exec(db, "UPDATE Items SET notes = 'other' WHERE id = 3", nullptr,
                                  nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
            const QDateTime written = QFileInfo(reg.path()).lastModified();
            QVERIFY(QFile::remove(reg.path()) && QFile::rename(other, reg.path()));
            QFile moved(reg.path());
            QVERIFY(moved.open(QIODevice::ReadWrite) &&
                    moved.setFileTime(written, QFileDevice::FileModificationTime));
        }
        const QByteArray desktop = QFile::encodeName(reg.path());
        const auto download = [&] {
            return checked(desktop.constData(), "", 0, 1, "\\My Documents\\data.cdb", nullptr,
                           &SoundAnswers::knownSound, &SoundAnswers::foundSound, &answers);
        };
        QCOMPARE(download(), code);
        QCOMPARE(answers.asked, 1);
        QCOMPARE(answers.found, checks);
        if (code != DEVICE_OK) {
            QCOMPARE(filesBelow(device_->path()), QStringList{});
            return;
        }
        QCOMPARE(hashOf(onDevice()), hashOf(reg.path()));
        // What the download's own check found sound needs no second check.
        QCOMPARE(download(), DEVICE_OK);
        QCOMPARE(answers.found, checks);
    }

    // The download takes the program's word for a state: it does not read
    // the file again, so even damage that only the full check finds passes
    // when vouched for. The program vouches only for what its check passed.
    void theServiceTakesTheProgramsWord() {
        TempRegister reg;
        fill(reg, 300);
        reg.spoilIndexOnly();
        auto sound = std::make_shared<SoundStates>();
        DeviceService service(QStringLiteral(ADOFILTR_PATH), sound);
        const auto download = [&] {
            return service.desktopToDevice(QFile::encodeName(reg.path()), {}, 0, 1,
                                           "\\My Documents\\data.cdb");
        };
        QCOMPARE(download().result, DEVICE_DESKTOP_DAMAGED);
        QCOMPARE(Register::fullCheck(RegisterLocation::file(reg.path()), 2000, {}, sound.get()),
                 Register::Health::Damaged);
        QCOMPARE(download().result, DEVICE_DESKTOP_DAMAGED);
        Sqlite::Connection db(reg.path(), Sqlite::Open::ReadOnly);
        QVERIFY(db.begin(Sql::Transaction::Read));
        const std::optional<Sqlite::FileState> state = db.fileState();
        QVERIFY(state);
        db.rollback();
        sound->remember(*state);
        const DeviceService::Call call = download();
        QVERIFY2(call.returned, qPrintable(call.failure));
        QCOMPARE(call.result, DEVICE_OK);
    }

    // A folder of the device path, or the file itself, that is a link out of
    // the device: refused, and nothing written where the link leads.
    void linksOutOfTheDeviceAreRefused_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("My Documents") << "My Documents" << QByteArray("\\My Documents\\data.cdb");
        QTest::newRow("inside the path") << "Sync/Reg" << QByteArray("Sync/Reg/Deep/x.cdb");
        QTest::newRow("the file") << "My Documents/data.cdb"
                                  << QByteArray("\\My Documents\\data.cdb");
    }
    void linksOutOfTheDeviceAreRefused() {
        QFETCH(QString, link);
        QFETCH(QByteArray, path);
        TempRegister reg;
        QTemporaryDir outside;
        const QString elsewhere = outside.filePath(QStringLiteral("elsewhere"));
        const bool isFile = link.endsWith(QLatin1String(".cdb"));
        if (isFile)
            writeFile(elsewhere, 10);
        else
            QDir().mkpath(elsewhere);
        QDir().mkpath(QFileInfo(onDevice(link)).path());
        QVERIFY(QFile::link(elsewhere, onDevice(link)));
        const QStringList before = filesBelow(outside.path());
        QCOMPARE(download(reg.path(), "", true, path.constData()), DEVICE_PATH_OUTSIDE);
        QCOMPARE(filesBelow(outside.path()), before);
        if (isFile)
            QCOMPARE(QFileInfo(elsewhere).size(), qint64(10));
        QVERIFY(!QFileInfo::exists(outside.filePath(QStringLiteral("elsewhere/Deep"))));
    }

    // A link from one folder of the device to another stays on the device.
    void aLinkWithinTheDeviceIsFollowed() {
        TempRegister reg;
        QDir().mkpath(onDevice(QStringLiteral("Storage/Docs")));
        QVERIFY(QFile::link(onDevice(QStringLiteral("Storage/Docs")),
                            onDevice(QStringLiteral("My Documents"))));
        QCOMPARE(download(reg.path()), DEVICE_OK);
        QVERIFY(QFileInfo::exists(onDevice(QStringLiteral("Storage/Docs/data.cdb"))));
    }

    // What killed copies left, under the fixed name and under the random
    // names of earlier versions, goes; other files stay.
    void leftoversOfEarlierCopiesAreRemoved() {
        TempRegister reg;
        QDir().mkpath(onDevice(QStringLiteral("My Documents")));
        const QStringList leftovers = {"data.cdb.partial", "data.cdb.partial-journal",
                                       ".data.cdb.1juquj3b9573n.tmp",
                                       ".data.cdb.1juquj3b9573n.tmp-journal", ".data.cdb.x7.tmp"};
        for (const QString& name : leftovers)
            writeFile(onDevice(QStringLiteral("My Documents/") + name), 5000);
        writeFile(onDevice(QStringLiteral("My Documents/.notes.txt.tmp")), 1);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        QCOMPARE(filesBelow(device_->path()),
                 QStringList({"My Documents/.notes.txt.tmp", kTarget}));
        QCOMPARE(scalarOf(onDevice(), "PRAGMA integrity_check"), QStringLiteral("ok"));
    }

    // The handheld reads the file where it may not write: the device file
    // keeps a rollback journal even when the desktop uses a write-ahead log,
    // and holds what the log holds.
    void aWriteAheadLogRegisterGivesARollbackDeviceFile() {
        TempRegister reg;
        fill(reg, 300);
        sqlite3* program = nullptr;
        sqlite3_open(reg.path().toUtf8().constData(), &program);
        sqlite3_exec(program,
                     "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0;"
                     "UPDATE Items SET \"desc\" = 'in the log' WHERE id = 7",
                     nullptr, nullptr, nullptr);
        QVERIFY(QFileInfo(reg.path() + QStringLiteral("-wal")).size() > 0);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        sqlite3_close(program);
        QFile copy(onDevice());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.read(20).mid(18, 2), QByteArray("\x01\x01", 2));  // no write-ahead log
        copy.close();
        QCOMPARE(scalarOf(onDevice(), "PRAGMA journal_mode"), QStringLiteral("delete"));
        QCOMPARE(scalarOf(onDevice(), "SELECT \"desc\" FROM Items WHERE id = 7"),
                 QStringLiteral("in the log"));
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget});
    }

    // A save cut off by a crash left its journal: rolled back as the program
    // would, then copied; the device gets the last committed state. Where the
    // folder may not be written, it cannot be rolled back: in use.
    void aCutOffSaveOnTheDesktopIsRolledBackFirst() {
        TempRegister reg;
        fill(reg, 300);
        QTemporaryDir crashed;
        const QString desktop = crashed.filePath(QStringLiteral("data.mdb"));
        reg.copyWithCutOffSave(desktop);
        {
            UnwritableFolder locked(crashed.path());
            if (locked.holds())
                QCOMPARE(download(desktop), DEVICE_IN_USE);
        }
        QCOMPARE(filesBelow(device_->path()), QStringList{});
        QCOMPARE(download(desktop), DEVICE_OK);
        QCOMPARE(rowsOf(onDevice(), QStringLiteral("Items")).size(), 300);
        QCOMPARE(scalarOf(onDevice(), "SELECT lastid FROM Data"), QStringLiteral("300"));
        QVERIFY(!QFileInfo::exists(desktop + QStringLiteral("-journal")));
    }

    // No room for the new file beside the old one: said before writing, the
    // old file kept. Also without a small file system, by making the device
    // look full.
    void aDeviceWithoutRoomForBothIsFullBeforeWriting() {
        TempRegister reg;
        fill(reg);
        QCOMPARE(download(reg.path()), DEVICE_OK);
        const QByteArray old = hashOf(onDevice());
        bool wrote = false;
        CopyHooks full;
        full.freeSpace = [](const std::filesystem::path&) { return std::uintmax_t(4096); };
        full.beforeWriting = [&] { wrote = true; };
        QCOMPARE(desktopToDevice(reg.path(), {}, true, {}, {}, full), DEVICE_FULL);
        QVERIFY(!wrote);
        QCOMPARE(hashOf(onDevice()), old);
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget});
    }

    // A real full device: the old file fills half of it, so the new one
    // fits only once the old one is gone; then a device that fills up while
    // the copy is written. Both give 112, keep the old file and leave nothing.
    void aFullDeviceIs112() {
        SmallDevice small(1024);
        if (!small.mounted())
            QSKIP("mounting a small file system needs root; the test above covers the check");
        qputenv("QUARVEL_DEVICE_ROOT", small.path().toLocal8Bit());
        TempRegister reg;
        fill(reg, 1200);
        reg.exec(QStringLiteral("UPDATE Items SET notes = hex(randomblob(200))"));
        const qint64 size = QFileInfo(reg.path()).size();
        QVERIFY2(size > 400 * 1024 && size < 900 * 1024, qPrintable(QString::number(size)));
        const QString target = small.path() + QStringLiteral("/") + kTarget;
        QCOMPARE(download(reg.path()), DEVICE_OK);
        const QByteArray old = hashOf(target);
        reg.exec(QStringLiteral("UPDATE Items SET notes = 'changed'"));
        QCOMPARE(download(reg.path(), "", true), DEVICE_FULL);
        QCOMPARE(hashOf(target), old);
        QCOMPARE(filesBelow(small.path()), QStringList{kTarget});

        QFile::remove(target);
        CopyHooks fillUp;
        fillUp.beforeWriting = [&] {
            writeFile(small.path() + QStringLiteral("/filler"), 1024 * 1024 - size / 2);
        };
        QCOMPARE(desktopToDevice(reg.path(), {}, true, {}, {}, fillUp), DEVICE_FULL);
        QCOMPARE(filesBelow(small.path()), QStringList{"filler"});
        // A copy of some tables, which SQLite writes.
        writeFile(small.path() + QStringLiteral("/filler"), 1024 * 1024 - 100 * 1024);
        QCOMPARE(desktopToDevice(reg.path(), "Items", true, {}, {}, {}), DEVICE_FULL);
        QCOMPARE(filesBelow(small.path()), QStringList{"filler"});
    }

    // The device pulled out during the copy: not found, or its folder gone.
    void aDeviceThatGoesAwayIsNotFound() {
        TempRegister reg;
        fill(reg, 100);
        QTemporaryDir away;
        CopyHooks pulled;
        pulled.carryOn = [&] {
            return QDir().rename(device_->path(), away.filePath(QStringLiteral("gone")));
        };
        QCOMPARE(desktopToDevice(reg.path(), {}, true, {}, {}, pulled), DEVICE_NOT_FOUND);
        // Plugged in again, the device still holds what the copy had written;
        // the next copy removes it.
        QVERIFY(QDir().rename(away.filePath(QStringLiteral("gone")), device_->path()));
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget + QStringLiteral(".partial")});
        CopyHooks folderGone;
        folderGone.carryOn = [&] {
            return QDir(onDevice(QStringLiteral("My Documents"))).removeRecursively();
        };
        QCOMPARE(desktopToDevice(reg.path(), {}, true, {}, {}, folderGone),
                 DEVICE_FOLDER_UNAVAILABLE);
        QCOMPARE(desktopToDevice(reg.path(), {}, true, {}, {}), DEVICE_OK);
        QCOMPARE(filesBelow(device_->path()), QStringList{kTarget});
    }

    // Two downloads to one device file would share its partial file: the
    // second waits for the first and then gives up.
    void aSecondCopyToTheSameFileWaits() {
        TempRegister reg;
        int second = -1;
        CopyHooks during;
        during.beforeWriting = [&] { second = desktopToDevice(reg.path(), {}, true, {}, {}); };
        QCOMPARE(desktopToDevice(reg.path(), {}, true, {}, {}, during), DEVICE_OK);
        QCOMPARE(second, DEVICE_IN_USE);
    }
};

QTEST_GUILESS_MAIN(TestDeviceDownload)
#include "test_device_download.moc"
