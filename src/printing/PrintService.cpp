#include "printing/PrintService.h"

#include "common/Dialogs.h"
#include "data/Settings.h"
#include "data/Store.h"
#include "printing/PrinterCatalog.h"

PrintService::PrintService(Settings& settings, Store& store, Dialogs& dialogs,
                           std::shared_ptr<PrinterCatalog> printers)
    : settings_(settings), store_(store), dialogs_(dialogs), printers_(std::move(printers)) {}

PrintService::~PrintService() = default;

QStringList PrintService::installedPrinters() const {
    return printers_->deviceNames();
}

QString PrintService::currentPrinter() const {
    return current_.isEmpty() ? printers_->defaultDeviceName() : current_;
}

void PrintService::SelectLabelPrinter(const QString& key) {
    const QString wanted = settings_.read(key, QStringLiteral("none"));
    for (const QString& name : printers_->deviceNames()) {
        if (name == wanted)
            current_ = name;
    }
}

// The label and list routines arrive with the printing work.
bool PrintService::PrintLargeLabel(LabelKind, qint64, const QPixmap&) {
    SelectLabelPrinter(QStringLiteral("Printer"));
    return false;
}

bool PrintService::PrintSmallLabel(qint64, const QPixmap&) {
    SelectLabelPrinter(QStringLiteral("SPrinter"));
    return false;
}

bool PrintService::PrintPickingList(const QString&, const QStringList&) {
    SelectLabelPrinter(QStringLiteral("LPrinter"));
    return false;
}
