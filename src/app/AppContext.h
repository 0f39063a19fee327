#pragma once

#include <QString>
#include <memory>

#include "app/SharedFields.h"
#include "data/engine/RegisterLocation.h"
#include "data/rules/TestsDue.h"

class CaseStore;
class ChangeStore;
class ChangeWatcher;
class Clock;
class DeviceService;
class Dialogs;
class IdStore;
class ItemStore;
class ListStore;
class LocationStore;
class PrintService;
class PrinterCatalog;
class Register;
class ScanStore;
class Settings;
class TestRecordStore;
class TreeStore;

// What the program talks to outside itself. The running program uses the
// real ones (forProgram); tests put their own in.
struct Services {
    RegisterLocation location;  // the register: data.mdb, or a database on a server
    QString settingsFile;       // empty: the per-user settings store
    QString deviceLibrary;      // the device service, without its platform suffix
    std::shared_ptr<Dialogs> dialogs;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<PrinterCatalog> printers;
    QString userName;  // the computer user's name, kept with scan sessions and changes
    QString deskName;  // the computer's name, kept with every change

    // The register chosen for this run (RegisterChoices), the device library
    // in the program's folder, Qt's dialogs, the system clock and printers.
    static Services forProgram(const RegisterLocation& location);
    // The name of the user logged in to the computer (empty when unknown).
    static QString computerUserName();
    // The name of this computer on the network (QSysInfo's host name).
    static QString computerDeskName();
};

// Everything a window reaches beyond itself: the register and its stores,
// the settings, the shared fields, the dialogs seam, the clock and the
// printing service. The main window owns the one context of the run and
// hands it to every window.
class AppContext {
public:
    explicit AppContext(Services services);
    ~AppContext();
    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    // The register as a whole: reading only, damage, versions.
    Register& theRegister() { return *register_; }
    // The stores, one per area, each over the register.
    ItemStore& items();
    CaseStore& cases();
    IdStore& ids();
    ListStore& lists();
    LocationStore& locations();
    TestRecordStore& tests();
    TreeStore& tree();
    ScanStore& scans();
    // The change log: History, the Change Log window, Put back.
    ChangeStore& changes();
    // What other programs and desks change in the register, as they commit
    // it; the main window starts it once the register is up to date.
    ChangeWatcher& changeWatcher() { return *watcher_; }
    Settings& settings() { return *settings_; }
    SharedFields& fields() { return fields_; }
    Dialogs& dialogs() { return *services_.dialogs; }
    const Clock& clock() const { return *services_.clock; }
    PrintService& printing() { return *printing_; }
    const QString& userName() const { return services_.userName; }
    // This desk, as the change log names it.
    const QString& deskName() const { return services_.deskName; }
    const DeviceService& device() const { return *device_; }
    // Where the register is: its file, or its database on a server.
    const RegisterLocation& registerLocation() const { return services_.location; }
    // Today, and how far ahead a test counts as due soon (a setting).
    TestsDue::Window testWindow() const;

    // SQLite's full check of the register (indexes against their tables), on
    // a thread and a read-only connection of its own, once a day: started
    // after the main window is painted, and again each new day while the
    // program runs. Damage it finds opens the register for reading only,
    // told on this thread. Nothing while today's check has run or runs.
    // Until a full check has found the register file sound, a save waits for
    // the one under way (and starts one when none is): shown as a long job
    // once it takes a while, its Cancel refusing the save.
    void checkFullyOnceADay();
    // True while a full check runs (tests wait for its result).
    bool fullCheckRunning() const;

    // True while a window of that object name is on screen (the viewers are
    // shown only when they are not already open lower in the chain).
    static bool isWindowOpen(const QString& objectName);

private:
    void startFullCheck();

    Services services_;
    std::unique_ptr<Settings> settings_;  // before the register, which reads it
    std::unique_ptr<Register> register_;
    struct Stores;  // each over the register
    std::unique_ptr<Stores> stores_;
    std::unique_ptr<ChangeWatcher> watcher_;  // before the register goes
    std::unique_ptr<PrintService> printing_;
    std::unique_ptr<DeviceService> device_;
    SharedFields fields_;
    struct FullCheck;
    std::unique_ptr<FullCheck> fullCheck_;
};
