// The register: opening it and running the stores' transactions, telling
// failures, reading only, damage and repair, making a register, its layout
// versions and its backups.

#include "data/Register.h"

#include <QDir>

#include "base/Progress.h"
#include "data/ChangeLogWriter.h"
#include "data/StoreSql.h"
#include "data/engine/RegisterEngine.h"
#include "data/engine/Schema.h"
#include "data/engine/SoundStates.h"
#include "data/engine/Sql.h"
#include "data/register/Backups.h"
#include "data/register/RegisterAccess.h"
#include "data/register/RegisterFolder.h"

using Sql::Connection;
using namespace StoreSql;

namespace {

// A register file that is not there to open is told as what it is: missing,
// or in a folder or behind access this user does not have.
QString absenceOf(const RegisterEngine& engine) {
    const QString absence = engine.absence();
    if (absence.isEmpty() || engine.location().isServer())
        return absence;
    const RegisterAccess::Finding found = RegisterAccess::ofFile(engine.location().text());
    return found.may == RegisterAccess::May::Nothing ? found.text() : absence;
}

}  // namespace

Register::Register(QString databasePath, FailureReporter reporter)
    : Register(RegisterLocation::file(databasePath), std::move(reporter)) {}

Register::Register(const RegisterLocation& location, FailureReporter reporter)
    : engine_(RegisterEngine::at(location)),
      reporter_(std::move(reporter)),
      soundStates_(std::make_shared<SoundStates>()) {}

Register::~Register() = default;

const RegisterLocation& Register::location() const {
    return engine_->location();
}

QString Register::storable(const QString& text) const {
    return engine_->storable(text);
}

void Register::report(const QString& what, const QString& ownText) {
    if (reporter_)
        reporter_(QStringLiteral("Quarvel could not %1.\n\n%2\n\n%3")
                      .arg(what, ownText, engine_->registerLine()));
}

void Register::report(const QString& what, const Sql::Failure& failure, const QString& missing,
                      Mode mode) {
    if (failure.problem == Sql::Problem::Own) {
        report(what, failure.text);
        return;
    }
    if (reporter_)
        reporter_(QStringLiteral("Quarvel could not %1.\n\n%2\n\n%3")
                      .arg(what,
                           engine_->explanation(failure, missing,
                                                mode == Mode::Write ? Sql::Transaction::Write
                                                                    : Sql::Transaction::Read),
                           engine_->engineWords(failure)));
}

FailureReporter Register::exchangeReporter(FailureReporter reporter) {
    return std::exchange(reporter_, std::move(reporter));
}

bool Register::run(const QString& what, Mode mode, const Body& body) {
    const QString absence = absenceOf(*engine_);
    if (!absence.isEmpty()) {
        if (mode != Mode::ReadQuietly)
            report(what, absence);
        return false;
    }
    if (mode == Mode::Write && !mayWrite()) {
        report(what, readOnly_ ? readOnly_->reason +
                                     QStringLiteral(" Quarvel opened it for reading only, so "
                                                    "nothing can be saved.")
                               : QStringLiteral("You stopped the wait for the check of the "
                                                "register, so nothing was saved. Try again to let "
                                                "the check finish first."));
        return false;
    }
    if (mode == Mode::Write)
        backUpOnceADay();
    std::optional<Sql::Failure> failure;
    QString missing;
    {
        std::unique_ptr<Connection> db = engine_->open(
            mode == Mode::Write ? Sql::Transaction::Write : Sql::Transaction::Read, busyWaitMs());
        bool ok = !db->failure();
        if (ok) {
            ok = body(*db) && db->commit();
            if (!ok)
                db->rollback();
        }
        if (!ok) {
            failure = db->failure().value_or(
                Sql::Failure::of(Sql::Problem::Own, QStringLiteral("Unknown error.")));
            // A statement that names a missing table or column fails with a
            // plain SQL error; say which part of the register is missing.
            if (db->isOpen() && failure->problem == Sql::Problem::Statement)
                missing = Schema::missingPart(*db);
        }
        engine_->release(std::move(db));
    }
    if (!failure)
        return true;
    // Told once, with what to do, after the connection is closed: the user
    // may have the register repaired there and then.
    if (failure->problem == Sql::Problem::Damaged && engine_->looksAfterFile() && !readOnly_)
        openReadOnly(damaged());
    else if (mode != Mode::ReadQuietly)
        report(what, *failure, missing, mode);
    return false;
}

bool Register::write(const QString& what, const QString& operation, const LoggedBody& body) {
    ChangeLogWriter log(author_, changeTime(), operation);
    const bool ok = run(what, Mode::Write, [&](Connection& db) {
        if (!body(db, log))
            return false;
        // A register of an older layout (written before its upgrade) has no log.
        if (!keepsLog_) {
            const std::optional<int> version = Schema::versionOf(db);
            if (!version)
                return false;
            keepsLog_ = *version >= kFirstLoggedVersion;
        }
        return !*keepsLog_ || log.flush(db);
    });
    // Only a committed batch: a file may give a rolled-back batch's id to
    // another program's next one.
    if (ok && log.batchId() != 0)
        ownBatches_.insert(log.batchId());
    return ok;
}

std::unique_ptr<ChangeSignal> Register::watchChanges() {
    return engine_->watchChanges(busyWaitMs());
}

QDateTime Register::changeTime() const {
    return (backups_.now ? backups_.now() : QDateTime::currentDateTime()).toUTC();
}

void Register::setServerWaiting(const Sql::WaitingSeam& seam) {
    engine_->setWaiting(seam);
}

int Register::busyWaitMs() const {
    return busyWaitMs_ ? busyWaitMs_() : kDefaultBusyWaitMs;
}

void Register::openReadOnly(const ReadOnlyReason& why) {
    readOnly_ = why;
    const QString message =
        why.reason +
        QStringLiteral(
            " Quarvel opens it for reading only: you can look things up, but nothing "
            "you change can be saved.\n\n") +
        why.advice + QStringLiteral("\n\n") + engine_->registerLine();
    if (notice_)
        notice_(why, message);
    else if (reporter_)
        reporter_(message);
}

ReadOnlyReason Register::damaged() const {
    return {ReadOnlyCause::Damaged,
            QStringLiteral("The register is damaged: SQLite's check finds faults in it."),
            QStringLiteral("Restore data.mdb from a backup, or let Quarvel try to repair it: it "
                           "copies what it can still read into a new register that takes the "
                           "place of data.mdb, and keeps the damaged file beside it.")};
}

namespace {

Register::Health healthOf(std::optional<bool> sound) {
    if (!sound)
        return Register::Health::Unknown;
    return *sound ? Register::Health::Sound : Register::Health::Damaged;
}

}  // namespace

Register::Health Register::checkForDamage() {
    const Health health = healthOf(engine_->quickCheck(busyWaitMs()));
    takeDamageCheck(health, Check::Quick);
    return health;
}

Register::Health Register::fullCheck(const RegisterLocation& location, int busyWaitMs,
                                     const std::function<bool()>& stop, SoundStates* sound) {
    return healthOf(RegisterEngine::at(location)->fullCheck(busyWaitMs, stop, sound));
}

void Register::takeDamageCheck(Health found, Check which) {
    if (found != Health::Unknown)
        damageChecked_ = true;
    if (found == Health::Sound && which == Check::Full)
        fullySound_ = true;
    if (found == Health::Damaged && !readOnly_)
        openReadOnly(damaged());
}

// Unknown lets the write go on: its own statements meet what kept the check
// from running, and say so. A server keeps its own data sound.
bool Register::mayWrite() {
    if (readOnly_)
        return false;
    if (fullCheckFirst_ && engine_->looksAfterFile()) {
        if (!fullySound_) {
            const std::optional<Health> found = fullCheckFirst_();
            if (!found)
                return false;
            takeDamageCheck(*found, Check::Full);
        }
    } else if (!damageChecked_) {
        checkForDamage();
    }
    return !readOnly_;
}

RegisterRepair::Outcome Register::repairDamaged(Progress* progress) {
    if (!engine_->looksAfterFile())
        return {false, {}, QStringLiteral("only a register file can be repaired by Quarvel")};
    const RegisterRepair::Outcome outcome = RegisterRepair::repair(location().text(), progress);
    if (outcome.repaired && readOnly_ && readOnly_->cause == ReadOnlyCause::Damaged)
        readOnly_.reset();
    return outcome;
}

bool Register::createEmptyDatabase(const QString& path, QString* error) {
    return createEmpty(RegisterLocation::file(path), error);
}

bool Register::createEmpty(const RegisterLocation& location, QString* error) {
    if (!location.problem().isEmpty()) {
        if (error)
            *error = location.problem();
        return false;
    }
    return RegisterEngine::at(location)->create(kDefaultBusyWaitMs, error);
}

namespace {

// The version of the register's layout when this program knows all of it
// and the register holds its every table; else nullopt, with the reason in
// `why` unless a read failed (the connection keeps that failure).
std::optional<int> wholeKnownLayout(Connection& db, QString* why) {
    const std::optional<int> version = Schema::versionOf(db);
    if (!version)
        return std::nullopt;
    if (*version == 0) {
        *why = QStringLiteral("it is not a Quarvel register");
    } else if (*version > Schema::kCurrentVersion) {
        *why = QStringLiteral(
                   "a newer Quarvel wrote it (register version %1), which may keep "
                   "records in tables this one does not know")
                   .arg(*version);
    } else if (const QString missing = Schema::missingPart(db); !missing.isEmpty()) {
        *why = QStringLiteral("it is not a complete Quarvel register: %1").arg(missing);
    } else {
        return version;
    }
    return std::nullopt;
}

// The counters as a new register has them: one row, all three 0.
constexpr const char* kCountersAtZeroSql =
    R"(SELECT COUNT(*), COUNT(CASE WHEN "lastid" = 0 AND "lastCase" = 0 AND "lastList" = 0
       THEN 1 END) FROM "Data")";

// Nullopt when a read fails (the connection keeps the failure).
std::optional<bool> noRecordIn(Connection& db, int version, bool onServer) {
    for (const Schema::Table& table : Schema::tablesOf(version, onServer)) {
        if (qstrcmp(table.name, "Data") == 0)
            continue;
        const QByteArray anyRow = QByteArray(R"(SELECT 1 FROM ")") + table.name + R"(" LIMIT 1)";
        const std::optional<bool> found = findsRow(db, anyRow.constData(), {});
        if (!found)
            return std::nullopt;
        if (*found)
            return false;
    }
    Sql::Statement counters(db, kCountersAtZeroSql);
    if (!counters.step())
        return std::nullopt;
    return counters.integer(0) == 1 && counters.integer(1) == 1;
}

}  // namespace

std::optional<bool> Register::holdsNoRecord(const RegisterLocation& location, QString* problem) {
    if (!location.problem().isEmpty()) {
        *problem = location.problem();
        return std::nullopt;
    }
    const std::unique_ptr<RegisterEngine> engine = RegisterEngine::at(location);
    std::unique_ptr<Connection> db = engine->openToInspect(kDefaultBusyWaitMs);
    std::optional<bool> empty;
    QString why;
    if (!db->failure()) {
        if (const std::optional<int> version = wholeKnownLayout(*db, &why))
            empty = noRecordIn(*db, *version, location.isServer());
    }
    const Sql::Failure failure = db->failure().value_or(
        Sql::Failure::of(Sql::Problem::Own, QStringLiteral("Unknown error.")));
    // A server that refuses the sign-in is said as the program says it everywhere.
    if (!empty && why.isEmpty() && failure.problem == Sql::Problem::Unreachable)
        why = RegisterAccess::refusedBy(*engine, failure).line();
    if (!empty && why.isEmpty())
        why = QStringLiteral("it could not be read %1").arg(engine->engineWords(failure));
    if (db->isOpen())
        db->rollback();
    engine->release(std::move(db));
    if (!empty)
        *problem = why;
    return empty;
}

// --- Layout versions and backups ---------------------------------------------

bool Register::upgradeIfOlder(std::span<const Schema::Step> steps) {
    const int wanted = steps.empty() ? Schema::kCurrentVersion : steps.back().version;
    std::optional<int> found;
    if (!run(QStringLiteral("read the register's version"), Mode::ReadQuietly, [&](Connection& db) {
            found = Schema::versionOf(db);
            return found.has_value();
        }))
        return false;
    if (*found == 0 || *found == wanted)
        return true;  // not a register (its reads will say so), or up to date
    if (*found > wanted) {
        openReadOnly(
            {ReadOnlyCause::NewerVersion,
             QStringLiteral("The register was written by a newer version of Quarvel: it has "
                            "register version %1, and this Quarvel knows register versions up "
                            "to %2.")
                 .arg(*found)
                 .arg(wanted),
             QStringLiteral("Install the newer Quarvel to work with it; until then it stays "
                            "as it is.")});
        return false;
    }
    // A damaged register keeps its layout: no backup of it pushes out a sound
    // one, and no step writes to it. An upgrade comes once, so it is worth
    // the full check, which also finds damage confined to an index.
    if (!readOnly_)
        takeDamageCheck(fullCheck(location(), busyWaitMs(), {}, soundStates_.get()), Check::Full);
    if (!mayWrite())
        return false;
    if (backups_.now && engine_->looksAfterFile())
        backUp(backups_.now(), QStringLiteral("before its upgrade"));
    keepsLog_.reset();  // asked again after the upgrade
    return run(QStringLiteral("upgrade the register from version %1 to %2").arg(*found).arg(wanted),
               Mode::Write, [&](Connection& db) {
                   // Another desk may have upgraded it since.
                   if (!Schema::lockVersion(db))
                       return false;
                   const auto now = Schema::versionOf(db);
                   return now && (*now >= wanted || Schema::upgrade(db, *now, steps));
               });
}

void Register::backUpOnceADay() {
    if (!backups_.now || !engine_->looksAfterFile())
        return;
    const QDateTime now = backups_.now();
    if (lastBackupDay_ == now.date())
        return;
    lastBackupDay_ = now.date();
    if (!Backups::takenOn(location().text(), now.date()))
        backUp(now, QStringLiteral("before the first save of the day"));
}

bool Register::backUp(const QDateTime& when, const QString& occasion) {
    const int keep = backups_.keep ? backups_.keep() : Backups::kDefaultToKeep;
    const QString& path = location().text();
    const std::unique_ptr<Progress> progress = backups_.progress ? backups_.progress() : nullptr;
    const Backups::Result backup = Backups::take(path, when, keep, progress.get());
    if (backup.cancelled && backups_.warn) {
        backups_.warn(QStringLiteral("You cancelled the backup of the register %1 %2: no backup "
                                     "was taken. Your work goes on and is saved as usual.")
                          .arg(QDir::toNativeSeparators(path), occasion));
    } else if (!backup.ok && backups_.warn) {
        backups_.warn(QStringLiteral("Quarvel could not back up the register %1 %2: %3.\n\n"
                                     "Your work goes on and is saved as usual. To have "
                                     "backups again, make sure the folder %4 can be written.")
                          .arg(QDir::toNativeSeparators(path), occasion, backup.error,
                               QDir::toNativeSeparators(RegisterFolder::backupFolder(path))));
    }
    return backup.ok;
}
