#pragma once

#include <QDate>
#include <QMarginsF>
#include <QPageSize>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "ScriptedDialogs.h"
#include "TempRegister.h"
#include "app/AppContext.h"
#include "common/Clock.h"
#include "printing/PrinterCatalog.h"

class FixedClock : public Clock {
public:
    QDate date = QDate(2009, 1, 5);
    QTime time = QTime(9, 30);
    QDate today() const override { return date; }
    QDateTime now() const override { return QDateTime(date, time); }
};

// A printer list of the test's own making. Whatever is printed on one of its
// printers goes into a PDF file of its own (one per job), at the resolution,
// page size and smallest margins set here.
class FakePrinterCatalog : public PrinterCatalog {
public:
    QStringList names;
    QString defaultName;

    int resolution = 300;  // the printer's dots per inch
    QPageSize pageSize = QPageSize(QPageSize::A4);
    QMarginsF minimumMargins;  // in points
    QStringList failing;       // printers that cannot print

    struct Job {
        QString printer;
        QString pdfFile;
    };
    QList<Job> jobs;  // in order of printing

    QString folder() const { return dir_.path(); }

    QStringList deviceNames() const override { return names; }
    QString defaultDeviceName() const override { return defaultName; }
    bool prepare(QPrinter& printer, const QString& deviceName) override;

private:
    QTemporaryDir dir_;
};

// The program as a test runs it: a temporary register, a settings file of
// its own, scripted dialogs, a fixed clock, a made-up printer list, and the
// context every window gets, the main window too (made on first use).
class TestApp {
public:
    TempRegister reg;
    std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
    std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>();
    std::shared_ptr<FakePrinterCatalog> printers = std::make_shared<FakePrinterCatalog>();
    QString deviceLibrary;  // the device service to load; none by default
    // A connection string: the windows work on that register on a server
    // instead of reg.
    QString serverRegister;

    TestApp();
    ~TestApp();

    QString settingsFile() const;
    Services services() const;
    AppContext& ctx();
    SharedFields& fields() { return ctx().fields(); }

private:
    std::unique_ptr<AppContext> ctx_;
};
