#pragma once

#include <QElapsedTimer>
#include <QString>
#include <memory>

#include "base/Progress.h"

class QTextStream;

// A long job's progress on standard error while that is a terminal: one
// line, rewritten in place at most ten times a second once the job has run
// for half a second, and ended when the job is. There is no Cancel here:
// Ctrl+C stops the program, and the register keeps nothing the job had not
// committed.
class TerminalProgress : public Progress {
public:
    TerminalProgress(QTextStream& err, QString what);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // A progress line for the job, or none when standard error is not a
    // terminal (a log file or a pipe gets no such lines).
    static std::unique_ptr<Progress> forJob(QTextStream& err, const QString& what);

    bool report(std::int64_t done, std::int64_t total) override;
    bool cancelled() const override { return false; }

private:
    QTextStream& err_;
    QString what_;
    QElapsedTimer started_;
    qint64 lastShown_ = -1;  // ms since the start; -1: nothing shown yet
};
