#include <sqlite3.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLibrary>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "DesktopToDevice.h"
#include "DeviceCodes.h"
#include "DeviceLocator.h"
#include "data/RegisterCopy.h"
#include "TempRegister.h"

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

QStringList filesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

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
        const CopyJob job{reg.path(), tables, onDevice().toStdU16String(), true};
        int steps = 0;
        const CopyHooks failing{4, [&] { return ++steps < 2; }};
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
};

QTEST_GUILESS_MAIN(TestDeviceDownload)
#include "test_device_download.moc"
