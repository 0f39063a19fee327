#include "data/register/RegisterAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "data/engine/RegisterEngine.h"
#include "data/register/FilePlatform.h"

namespace RegisterAccess {

namespace {

using FilePlatform::Presence;

// Links followed before the register is taken to lead nowhere useful.
constexpr int kMostLinks = 8;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

enum class Need { Open, Read, Write };

// Asked of whoever may change the access, when the group does not give it.
QString askForAccess(Need need) {
    return QStringLiteral(
               "To fix it, ask your administrator to give you %1 there. Where Quarvel was "
               "installed from its package, that means adding you to the group \"quarvel\" "
               "(sudo adduser YOUR-USER-NAME quarvel) and logging out and in again.")
        .arg(need == Need::Write ? QStringLiteral("write access") : QStringLiteral("access"));
}

// The group of `path` when its members have what this user lacks: he joins
// it (or, added since he logged in, logs in again).
QString advice(const QString& path, Need need) {
    const FilePlatform::GroupAccess group = FilePlatform::groupAccessOf(path);
    const bool folder = QFileInfo(path).isDir();
    const bool grants = need == Need::Open   ? group.search
                        : need == Need::Read ? group.read && (!folder || group.search)
                                             : group.write && (!folder || group.search);
    if (group.name.isEmpty() || !grants || group.inSession)
        return askForAccess(need);
    if (group.member)
        return QStringLiteral(
                   "You were added to the group %1 after you logged in: log out and in again, "
                   "then start Quarvel again.")
            .arg(group.name);
    QString user = FilePlatform::userName();
    if (user.isEmpty())
        user = QStringLiteral("YOUR-USER-NAME");
    return QStringLiteral(
               "To work with it, ask your administrator to add you to the group %1 (sudo "
               "adduser %2 %1), then log out and in again.")
        .arg(group.name, user);
}

// Tried by writing, since permission bits alone miss read-only media and
// access lists.
bool canCreateFileIn(const QString& folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quarvel-write-check-XXXXXX")));
    return probe.open();
}

// The deepest folder above `path` that this user sees: the one he may not open.
QString closedFolderAbove(const QString& path) {
    QString folder = QFileInfo(path).absolutePath();
    while (FilePlatform::presenceOf(folder) == Presence::Hidden && !QDir(folder).isRoot())
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

Finding closedFolder(const QString& path) {
    const QString folder = closedFolderAbove(path);
    return {May::Nothing,
            QStringLiteral("You may not open the folder %1, which holds Quarvel's register %2, "
                           "so Quarvel cannot read the register.")
                .arg(shown(folder), shown(path)),
            advice(folder, Need::Open)};
}

Finding missing(const QString& path, const QString& linkedFrom, const Upgrade& upgrade) {
    if (!upgrade.to.isEmpty() && path == QDir::cleanPath(upgrade.to) &&
        FilePlatform::presenceOf(upgrade.from) != Presence::Missing)
        return {May::Nothing,
                QStringLiteral("The register %1 is not there yet: the upgrade of Quarvel left "
                               "the register of the earlier version where it was, %2.")
                    .arg(shown(path), shown(upgrade.from)),
                QStringLiteral("Nothing is lost. To finish the move, ask your administrator to "
                               "run: sudo dpkg-reconfigure quarvel (it moves the register once "
                               "nothing unsafe is left in %1, and says what is in the way).")
                    .arg(shown(QFileInfo(upgrade.from).absolutePath()))};
    const QString where = linkedFrom.isEmpty()
                              ? QString()
                              : QStringLiteral(", where the link %1 leads").arg(shown(linkedFrom));
    return {May::Nothing,
            QStringLiteral("The register does not exist: there is no file %1%2.")
                .arg(shown(path), where),
            QStringLiteral("Put the register back there, or restore it from a backup."), true};
}

Finding folderUnwritable(const QString& folder, const QString& path) {
    return {May::OnlyRead,
            QStringLiteral("You may not write in the folder %1, which holds Quarvel's register "
                           "%2: Quarvel writes a journal there while it saves.")
                .arg(shown(folder), shown(path)),
            advice(folder, Need::Write)};
}

Finding fileUnwritable(const QString& path) {
    return {May::OnlyRead,
            QStringLiteral("You may not write to Quarvel's register %1.").arg(shown(path)),
            advice(path, Need::Write)};
}

}  // namespace

QString Finding::text() const {
    return reason.isEmpty() ? QString() : reason + QStringLiteral("\n\n") + advice;
}

QString Finding::line() const {
    return text().simplified();
}

Upgrade packageUpgrade() {
#if defined(QUARVEL_EARLIER_REGISTER) && defined(QUARVEL_PACKAGE_REGISTER)
    return {QStringLiteral(QUARVEL_EARLIER_REGISTER), QStringLiteral(QUARVEL_PACKAGE_REGISTER)};
#else
    return {};
#endif
}

Finding ofFile(const QString& registerPath, const Upgrade& upgrade) {
    QString path = QDir::cleanPath(QFileInfo(registerPath).absoluteFilePath());
    QString linkedFrom;
    for (int links = 0;; ++links) {
        const Presence presence = FilePlatform::presenceOf(path);
        if (presence == Presence::Hidden)
            return closedFolder(path);
        if (presence == Presence::Missing)
            return missing(path, linkedFrom, upgrade);
        const QFileInfo entry(path);
        if (!entry.isSymLink())
            break;
        if (links == kMostLinks)
            return {May::Nothing,
                    QStringLiteral("%1 leads through more links than Quarvel follows.")
                        .arg(shown(registerPath)),
                    QStringLiteral("Let it lead to the register file itself.")};
        if (linkedFrom.isEmpty())
            linkedFrom = path;
        path = QDir::cleanPath(entry.symLinkTarget());
    }
    const QFileInfo file(path);
    if (file.isDir())
        return {May::Nothing, QStringLiteral("%1 is a folder, not a register.").arg(shown(path)),
                QStringLiteral("Choose the register file (data.mdb) in it.")};
    if (!file.isReadable())
        return {May::Nothing,
                QStringLiteral("You may not read Quarvel's register %1, so Quarvel cannot show "
                               "anything of it.")
                    .arg(shown(path)),
                advice(path, Need::Read)};
    if (!file.isWritable())
        return fileUnwritable(path);
    if (!canCreateFileIn(file.absolutePath()))
        return folderUnwritable(file.absolutePath(), path);
    return {};
}

Finding ofFolder(const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("data.mdb"));
    if (!canCreateFileIn(folder))
        return folderUnwritable(folder, path);
    const QFileInfo file(path);
    if (file.exists() && !file.isWritable())
        return fileUnwritable(path);
    return {};
}

Finding ofServer(const RegisterLocation& location, int busyWaitMs) {
    const std::unique_ptr<RegisterEngine> engine = RegisterEngine::at(location);
    std::unique_ptr<Sql::Connection> db = engine->open(Sql::Transaction::Read, busyWaitMs);
    if (const std::optional<Sql::Failure> failure = db->failure())
        return refusedBy(*engine, *failure);
    db->rollback();
    engine->release(std::move(db));
    return {};
}

Finding refusedBy(const RegisterEngine& engine, const Sql::Failure& failure) {
    return {May::Nothing, engine.explanation(failure, {}, Sql::Transaction::Read),
            engine.engineWords(failure)};
}

Finding of(const RegisterLocation& location, int busyWaitMs) {
    return location.isServer() ? ofServer(location, busyWaitMs) : ofFile(location.text());
}

}  // namespace RegisterAccess
