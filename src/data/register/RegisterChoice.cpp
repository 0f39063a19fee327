#include "data/register/RegisterChoice.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include "data/register/RegisterFolder.h"

namespace RegisterChoices {

namespace {

// The first line of the file that is neither empty nor a comment; empty
// when there is no such file or line.
QString administratorsChoice(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            return line;
    }
    return {};
}

RegisterChoice chosen(const QString& text, const QString& folder, const QString& source) {
    RegisterChoice choice{RegisterLocation::fromText(text, folder), source, {}};
    const QString problem = choice.location.problem();
    if (!problem.isEmpty())
        choice.problem =
            problem + QStringLiteral("\n\n(The register was chosen by %1.)").arg(source);
    return choice;
}

}  // namespace

RegisterChoice choose(const QString& programFolder, const QString& commandLine,
                      const QString& userSetting) {
    if (!commandLine.trimmed().isEmpty())
        return chosen(commandLine, QDir::currentPath(), QStringLiteral("--register"));
    if (!userSetting.trimmed().isEmpty())
        return chosen(userSetting, programFolder, QStringLiteral("your setting Register"));
    const QString adminFile = QDir(programFolder).filePath(kAdministratorFile);
    const QString administrators = administratorsChoice(adminFile);
    if (!administrators.isEmpty())
        return chosen(administrators, programFolder,
                      QStringLiteral("the file %1").arg(QDir::toNativeSeparators(adminFile)));
    return {RegisterLocation::file(RegisterFolder::registerIn(programFolder)), {}, {}};
}

}  // namespace RegisterChoices
