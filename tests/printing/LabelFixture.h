#pragma once

#include <QStringList>
#include <memory>

#include "TestApp.h"
#include "app/AppContext.h"
#include "data/Settings.h"
#include "printing/PrintService.h"

// The program's printing over a register, settings and printers of the
// test's own; every printed job ends up as a PDF file.
struct PrintingFixture {
    TestApp ts;
    AppContext* ctx = nullptr;

    explicit PrintingFixture(const QStringList& printers = {QStringLiteral("Label Printer"),
                                                            QStringLiteral("Small Labels"),
                                                            QStringLiteral("Office Laser")},
                             const QString& defaultPrinter = QStringLiteral("Office Laser")) {
        ts.printers->names = printers;
        ts.printers->defaultName = defaultPrinter;
        ctx = &ts.ctx();
    }

    FakePrinterCatalog& printers() { return *ts.printers; }
    PrintService& printing() { return ctx->printing(); }
    void set(const QString& key, const QString& value) { ctx->settings().write(key, value); }

    int jobCount() const { return ts.printers->jobs.size(); }
    QString lastPrinter() const {
        return ts.printers->jobs.isEmpty() ? QString() : ts.printers->jobs.last().printer;
    }
    QString lastPdf() const {
        return ts.printers->jobs.isEmpty() ? QString() : ts.printers->jobs.last().pdfFile;
    }
};
