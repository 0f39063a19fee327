#pragma once

#include <QString>

// Names of the per-user settings (section "Settings" of application "Quarvel").
namespace SettingsKeys {
inline const QString Printer = QStringLiteral("Printer");    // large-label printer
inline const QString SPrinter = QStringLiteral("SPrinter");  // small-label printer
inline const QString LPrinter = QStringLiteral("LPrinter");  // picking-list printer
inline const QString DescOnLarge = QStringLiteral("DescOnLarge");
inline const QString ItemNumOnLarge = QStringLiteral("ItemNumOnLarge");
inline const QString CaseNumOnLarge = QStringLiteral("CaseNumOnLarge");
// "Yes": case labels carry "F" before the number ("F12", in the barcode too),
// so that a scanned case label names the case; off, they carry the bare id.
inline const QString CaseLetterOnLabels = QStringLiteral("CaseLetterOnLabels");
// "Yes" once the printer chooser, opened at start, has said that no printer
// is installed: the start does not ask again until one is.
inline const QString NoPrinterShown = QStringLiteral("NoPrinterShown");
// Seconds a save waits for another program using the register before it
// says "in use".
inline const QString BusyWaitSeconds = QStringLiteral("BusyWaitSeconds");
inline const QString BackupsToKeep = QStringLiteral("BackupsToKeep");  // a whole number
// This user's register: a file's path or a PostgreSQL connection string;
// when empty, the administrator's choice (RegisterChoices).
inline const QString Register = QStringLiteral("Register");
// How many days ahead an item's next test counts as due soon.
inline const QString TestDueSoonDays = QStringLiteral("TestDueSoonDays");
}  // namespace SettingsKeys

// What the readers of a printer key take for a printer never stored. Each
// reader has its own default, and only the exact text counts.
namespace PrinterNotStored {
inline const QString forPrinting = QStringLiteral("none");  // matches no printer
inline const QString forSplash = QStringLiteral("NONE");    // "not chosen yet"
inline const QString forChooser = QStringLiteral("None");   // nothing to list first
}  // namespace PrinterNotStored

// The per-user settings store. Every value is text; a key never written reads
// as the default that the reader supplies. Values are read afresh at every use.
class Settings {
public:
    // An empty file name uses the platform's per-user store; tests pass an INI file.
    explicit Settings(QString iniFile = {});

    QString read(const QString& key, const QString& defaultValue) const;
    void write(const QString& key, const QString& value);

    // Label options: only the exact text "Yes" switches an option on.
    bool isOn(const QString& key) const;
    void writeOn(const QString& key, bool on);

    // BusyWaitSeconds in milliseconds: 10 s when not stored or not a whole
    // number of seconds from 0 to 600.
    int busyWaitMs() const;

    // TestDueSoonDays: 30 when not stored or not a whole number from 0 to 366.
    int testDueSoonDays() const;

private:
    QString iniFile_;
};
