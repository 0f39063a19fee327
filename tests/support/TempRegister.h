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

private:
    QTemporaryDir dir_;
};
