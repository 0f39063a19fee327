#include "cli/ScanCommand.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

#include "cli/TransferCommands.h"
#include "data/ListStore.h"
#include "data/Register.h"
#include "data/ScanStore.h"
#include "data/Settings.h"

namespace ScanCommand {

namespace {

using ScanRules::Kind;

struct Choice {
    Kind kind;
    QString value;
};

// The one session option given; nullopt (and why on err) otherwise.
std::optional<Choice> sessionChoice(const CommandLine& line, QTextStream& err) {
    std::optional<Choice> choice;
    const std::pair<const char*, Kind> options[] = {
        {"stocktake", Kind::Stocktake}, {"pack", Kind::Pack}, {"check-in", Kind::CheckIn}};
    for (const auto& [name, kind] : options) {
        const QString option = QLatin1String(name);
        if (!line.has(option))
            continue;
        if (choice) {
            err << "quarvel: --scan takes one of --stocktake, --pack and --check-in.\n";
            return std::nullopt;
        }
        choice = Choice{kind, line.value(option).trimmed()};
    }
    if (!choice || choice->value.isEmpty()) {
        err << "quarvel: --scan FILE needs --stocktake LOCATION, --pack LIST or --check-in LIST.\n";
        return std::nullopt;
    }
    return choice;
}

// The list named by number ("3", "L3") or by name; 0 when none is.
qint64 listOf(ListStore& lists, const QString& value) {
    const ScanRules::Code code = ScanRules::parse(value);
    if (code.type == ScanRules::Code::Type::Item || code.type == ScanRules::Code::Type::List)
        return lists.exists(code.id).value_or(false) ? code.id : 0;
    return lists.named(value).value_or(0);
}

}  // namespace

int run(const CommandLine& line, const RegisterLocation& where, const QString& settingsFile,
        const QString& userName, QTextStream& out, QTextStream& err) {
    const auto choice = sessionChoice(line, err);
    if (!choice)
        return 2;
    const QString path = line.value(QStringLiteral("scan"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        err << "quarvel: " << path << " cannot be read: " << file.errorString() << "\n";
        return 1;
    }
    const QStringList codes = ScanRules::codesInFile(QString::fromUtf8(file.readAll()));

    const Settings settings(settingsFile);
    const auto reg = TransferCommands::openRegister(where, settings, err);
    ListStore lists(*reg);
    ScanStore scans(*reg);
    ScanRules::Session session{0, choice->kind, {}, 0, QDateTime::currentDateTime(), {}, userName};
    if (choice->kind == Kind::Stocktake) {
        session.location = choice->value;
    } else if ((session.listId = listOf(lists, choice->value)) == 0) {
        err << "quarvel: there is no list " << choice->value << ".\n";
        return 1;
    }
    const auto id = scans.startSession(session);
    if (!id)
        return 1;
    session.id = *id;
    const TestsDue::Window window{QDate::currentDate(), settings.testDueSoonDays()};
    // Each answer is printed, and out of the program, before it is stored:
    // a run stopped at any moment has stored nothing it did not print.
    QStringList refused;
    for (const QString& scanned : codes) {
        const ScanRules::Code code = ScanRules::parse(scanned);
        QString line;
        const auto answer = scans.record(session, code, QDateTime::currentDateTime(), window,
                                         [&](const ScanRules::Answer& a) {
                                             line = ScanRules::answerLine(scanned, code, a);
                                             out << line << "\n";
                                             out.flush();
                                         });
        if (!answer) {
            // The store said why; the scans before are kept.
            if (!line.isEmpty())
                err << "quarvel: the last answer printed was not stored.\n";
            return 1;
        }
        // A bare number that may be an item or a case counts as not scanned.
        if (answer->verdict == ScanRules::Verdict::Refused ||
            answer->verdict == ScanRules::Verdict::ItemOrCase)
            refused << line;
    }
    const auto records = scans.records(session.id);
    const auto expected = scans.expected(session);
    if (!records || !expected || !scans.finishSession(session.id, QDateTime::currentDateTime()))
        return 1;
    out << "\n"
        << ScanRules::summaryText(session.kind,
                                  ScanRules::summarise(session.kind, *records, *expected, refused))
        << "\n";
    out.flush();
    return 0;
}

}  // namespace ScanCommand
