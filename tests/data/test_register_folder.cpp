#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "data/RegisterFolder.h"

// The start-up check that the register can be saved where it lives.
class TestRegisterFolder : public QObject {
    Q_OBJECT
private slots:
    void writableFolderAndRegisterPass() {
        QTemporaryDir dir;
        QVERIFY(RegisterFolder::writeProblem(dir.path()).isEmpty());
        QFile reg(dir.filePath(QStringLiteral("data.mdb")));
        QVERIFY(reg.open(QIODevice::WriteOnly));
        reg.close();
        QVERIFY(RegisterFolder::writeProblem(dir.path()).isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("data.mdb")});  // the probe is gone
    }

    void unwritableFolderIsNamedWithTheFix() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("gone"));
        for (const QString& folder : {missing, readOnlyFolder(dir)}) {
            const QString problem = RegisterFolder::writeProblem(folder);
            QVERIFY2(problem.contains(QDir::toNativeSeparators(folder)), qPrintable(problem));
            QVERIFY(problem.contains(QStringLiteral("adduser")));
        }
    }

    void readOnlyRegisterIsNamed() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("data.mdb"));
        QFile reg(path);
        QVERIFY(reg.open(QIODevice::WriteOnly));
        reg.close();
        QVERIFY(reg.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        if (QFileInfo(path).isWritable())
            QSKIP("this user writes read-only files (root); nothing to check");
        QVERIFY(RegisterFolder::writeProblem(dir.path()).contains(QDir::toNativeSeparators(path)));
    }

private:
    // A folder no one may create files in: a read-only one, or for root, who
    // writes everywhere else, the kernel's process folder.
    static QString readOnlyFolder(const QTemporaryDir& dir) {
        const QString folder = dir.filePath(QStringLiteral("read-only"));
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        if (QFileInfo(folder).isWritable())
            return QStringLiteral("/proc");
        return folder;
    }
};

QTEST_GUILESS_MAIN(TestRegisterFolder)
#include "test_register_folder.moc"
