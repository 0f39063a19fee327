#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A real, empty data.mdb in a temporary folder, with raw SQL access for
// setting up and checking rows in tests.
class TempRegister {
public:
    TempRegister();
    ~TempRegister();

    QString path() const;
    QString folder() const { return dir_.path(); }

    // Runs statements (";"-separated) directly; fails the test on error.
    void exec(const QString& sql) const;
    // The first column of the first row, or an invalid QVariant when none.
    QVariant scalar(const QString& sql) const;
    qint64 count(const QString& table) const;

    // Damage that SQLite's check finds and every read passes by: a page at
    // the end of the file that nothing uses.
    void addUnusedPage() const;
    // Overwrites the start of the named table's or index's first page: the
    // page becomes garbage to SQLite.
    void spoilPageOf(const QString& name) const;
    // Damage only SQLite's full check finds: the index ItemsByCase is
    // declared on desc, while its entries hold caseID (needs items).
    void spoilIndexOnly() const;
    // Makes this a register of the first program's layout: version 1,
    // without the TestHistory table.
    void toFirstVersion() const;
    // Makes this a register of version 2: without the scan tables.
    void toSecondVersion() const;
    // Makes this a register of version 3: without the lists' plans and the
    // indexes that came with them.
    void toThirdVersion() const;
    // Makes this a register of version 4: without the change log.
    void toFourthVersion() const;
    // Writes to `path` this register as a program killed in the middle of a
    // save leaves it: the file and its journal. (The save deleted every item
    // and set lastid to 0.)
    void copyWithCutOffSave(const QString& path) const;

private:
    QTemporaryDir dir_;
};

// Another program holding the register file while it lives. Reading: a
// save's statements go through, but its COMMIT waits for the reader and
// fails once the store's busy wait is over. Writing (in the middle of its
// COMMIT): every read and write waits for it.
class FileHeld {
public:
    enum class By { Reader, Writer };
    FileHeld(const QString& path, By by);
    ~FileHeld();
    FileHeld(const FileHeld&) = delete;
    FileHeld& operator=(const FileHeld&) = delete;

private:
    struct sqlite3* db_ = nullptr;
};

// Keeps a folder from being written while it lives, also for root (with
// the immutable flag); holds() is false where nothing can.
class UnwritableFolder {
public:
    explicit UnwritableFolder(QString folder);
    ~UnwritableFolder();
    bool holds() const { return holds_; }

private:
    QString folder_;
    bool immutable_ = false;
    bool holds_ = false;
};
