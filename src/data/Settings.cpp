#include "data/Settings.h"

#include "data/rules/TestsDue.h"

#include <QSettings>
#include <memory>

namespace {
const QString kApplication = QStringLiteral("Quarvel");
const QString kSection = QStringLiteral("Settings");
}  // namespace

Settings::Settings(QString iniFile) : iniFile_(std::move(iniFile)) {}

static std::unique_ptr<QSettings> openStore(const QString& iniFile) {
    auto store = iniFile.isEmpty() ? std::make_unique<QSettings>(kApplication, kApplication)
                                   : std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    store->beginGroup(kSection);
    return store;
}

QString Settings::read(const QString& key, const QString& defaultValue) const {
    return openStore(iniFile_)->value(key, defaultValue).toString();
}

void Settings::write(const QString& key, const QString& value) {
    auto store = openStore(iniFile_);
    store->setValue(key, value);
    store->sync();
}

bool Settings::isOn(const QString& key) const {
    return read(key, QStringLiteral("No")) == QLatin1String("Yes");
}

void Settings::writeOn(const QString& key, bool on) {
    write(key, on ? QStringLiteral("Yes") : QStringLiteral("No"));
}

int Settings::busyWaitMs() const {
    constexpr int kDefaultSeconds = 10;
    constexpr int kLongestSeconds = 600;
    bool isNumber = false;
    const int seconds = read(SettingsKeys::BusyWaitSeconds, QString()).trimmed().toInt(&isNumber);
    const bool usable = isNumber && seconds >= 0 && seconds <= kLongestSeconds;
    return (usable ? seconds : kDefaultSeconds) * 1000;
}

int Settings::testDueSoonDays() const {
    constexpr int kLongestDays = 366;
    bool isNumber = false;
    const int days = read(SettingsKeys::TestDueSoonDays, QString()).trimmed().toInt(&isNumber);
    return isNumber && days >= 0 && days <= kLongestDays ? days : TestsDue::kDefaultSoonDays;
}
