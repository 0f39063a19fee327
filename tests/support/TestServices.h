#pragma once

#include <QDate>
#include <QStringList>
#include <memory>

#include "ScriptedDialogs.h"
#include "TempRegister.h"
#include "common/AppContext.h"
#include "common/Clock.h"
#include "printing/PrinterCatalog.h"

class FixedClock : public Clock {
public:
    QDate date = QDate(2009, 1, 5);
    QDate today() const override { return date; }
};

// A printer list of the test's own making.
class FakePrinterCatalog : public PrinterCatalog {
public:
    QStringList names;
    QString defaultName;
    QStringList deviceNames() const override { return names; }
    QString defaultDeviceName() const override { return defaultName; }
};

// The program's services pointed at a temporary register, a settings file of
// its own, scripted dialogs, a fixed clock and a made-up printer list.
struct TestServices {
    TempRegister reg;
    std::shared_ptr<ScriptedDialogs> dialogs = std::make_shared<ScriptedDialogs>();
    std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>();
    std::shared_ptr<FakePrinterCatalog> printers = std::make_shared<FakePrinterCatalog>();

    QString settingsFile() const;
    Services services() const;
};
