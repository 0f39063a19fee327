#include "CupsServer.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

namespace {
const QString kHarness = QStringLiteral(QUARVEL_CUPS_HARNESS);
}

CupsServer::CupsServer() : dir_(QDir::tempPath() + QStringLiteral("/quarvel-cups-XXXXXX")) {}

CupsServer::~CupsServer() {
    stop();
}

QString CupsServer::unavailableReason() {
    if (geteuid() != 0)
        return QStringLiteral("the CUPS printing tests need root (cups-pdf runs its jobs as root)");
    for (const char* file :
         {"/usr/sbin/cupsd", "/usr/lib/cups/backend/cups-pdf", "/usr/bin/lpstat"}) {
        if (!QFileInfo::exists(QLatin1String(file)))
            return QStringLiteral(
                       "%1 is missing (packages cups, cups-client, printer-driver-cups-pdf)")
                .arg(QLatin1String(file));
    }
    return {};
}

bool CupsServer::start(const QStringList& queues) {
    QProcess harness;
    harness.start(QStringLiteral("bash"),
                  QStringList{kHarness, QStringLiteral("start"), dir_.path(),
                              QString::number(QCoreApplication::applicationPid())} +
                      queues);
    if (!harness.waitForFinished(60000) || harness.exitCode() != 0) {
        error_ = QString::fromUtf8(harness.readAllStandardError());
        return false;
    }
    running_ = true;
    const QString socket = QString::fromUtf8(harness.readAllStandardOutput()).trimmed();
    qputenv("CUPS_SERVER", socket.toUtf8());
    // Only this server's own default counts: no user or environment defaults.
    qunsetenv("PRINTER");
    qunsetenv("LPDEST");
    qputenv("HOME", dir_.path().toUtf8());
    return true;
}

void CupsServer::stop() {
    if (!running_)
        return;
    running_ = false;
    QProcess::execute(QStringLiteral("bash"), {kHarness, QStringLiteral("stop"), dir_.path()});
}

QString CupsServer::tool(const QString& program, const QStringList& arguments,
                         int* exitCode) const {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitCode();
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool CupsServer::waitUntilIdle(int timeoutMs) const {
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        int exitCode = 0;
        if (tool(QStringLiteral("lpstat"), {QStringLiteral("-o")}, &exitCode).trimmed().isEmpty() &&
            exitCode == 0)
            return true;
        QThread::msleep(100);
    }
    return false;
}

QStringList CupsServer::pdfFiles(const QString& queue) const {
    QDir out(dir_.filePath(QStringLiteral("out/") + queue));
    QStringList files;
    for (const QString& name :
         out.entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Time | QDir::Reversed))
        files.append(out.filePath(name));
    return files;
}

void CupsServer::clearOutput() const {
    QDir out(dir_.filePath(QStringLiteral("out")));
    for (const QString& queue : out.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir folder(out.filePath(queue));
        for (const QString& name : folder.entryList(QDir::Files))
            folder.remove(name);
    }
}
