// The package's layout: the program folder, which no user may write, holds
// only a link data.mdb to the register in the folder the group shares.
// SQLite must write its journal beside the real file, where the group may
// write and where a journal left by a cut-off save is found again, never
// beside the link.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "data/Register.h"
#include "data/engine/Sqlite.h"
#include "data/register/RegisterFolder.h"

class TestRegisterLink : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString program_;   // like /usr/lib/quarvel
    QString link_;      // its data.mdb
    QString register_;  // like /var/lib/quarvel/data.mdb

private slots:
    void initTestCase() {
        const QDir root(dir_.path());
        QVERIFY(root.mkpath(QStringLiteral("program")) && root.mkpath(QStringLiteral("shared")));
        program_ = root.filePath(QStringLiteral("program"));
        link_ = root.filePath(QStringLiteral("program/data.mdb"));
        register_ = QFileInfo(root.filePath(QStringLiteral("shared"))).canonicalFilePath() +
                    QStringLiteral("/data.mdb");
        QString error;
        QVERIFY2(Register::createEmptyDatabase(register_, &error), qPrintable(error));
        QVERIFY(QFile::link(register_, link_));
        QVERIFY(QFile::setPermissions(
            program_, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup));
    }

    void cleanupTestCase() {
        QFile::setPermissions(program_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void journalLandsBesideTheRealFile_data() {
        QTest::addColumn<QString>("opened");
        QTest::newRow("through the link") << link_;
        QTest::newRow("as the program finds it") << RegisterFolder::registerIn(program_);
    }
    void journalLandsBesideTheRealFile() {
        QFETCH(QString, opened);
        Sqlite::Connection db(opened, Sqlite::Open::Existing, 1000);
        QVERIFY(db.isOpen());
        // A save under way: its journal is on disk until it ends.
        QVERIFY(db.exec("BEGIN IMMEDIATE"));
        QVERIFY(db.exec("UPDATE Data SET lastid = lastid + 1"));
        QVERIFY(QFileInfo::exists(register_ + QStringLiteral("-journal")));
        QVERIFY(!QFileInfo::exists(link_ + QStringLiteral("-journal")));
        QVERIFY(db.exec("ROLLBACK"));
        QVERIFY(!QFileInfo::exists(register_ + QStringLiteral("-journal")));
    }
};

QTEST_GUILESS_MAIN(TestRegisterLink)
#include "test_register_link.moc"
