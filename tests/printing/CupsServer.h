#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A CUPS server of the test's own (cups/cups-harness.sh): cupsd on a Unix
// socket in a temporary folder with cups-pdf queues whose PDF files land in
// that folder. Clients of this process find it through CUPS_SERVER.
class CupsServer {
public:
    CupsServer();
    ~CupsServer();

    // Why the server cannot run here (not root, packages missing), or empty.
    static QString unavailableReason();

    // Starts the server with these queues; the first is the default.
    bool start(const QStringList& queues);
    void stop();
    QString error() const { return error_; }

    // Runs a CUPS command-line tool against this server; its output.
    QString tool(const QString& program, const QStringList& arguments,
                 int* exitCode = nullptr) const;
    // Waits until no job is pending or printing; false on timeout.
    bool waitUntilIdle(int timeoutMs = 60000) const;
    // The PDF files a queue has written, and forgetting them.
    QStringList pdfFiles(const QString& queue) const;
    void clearOutput() const;

private:
    QTemporaryDir dir_;
    bool running_ = false;
    QString error_;
};
