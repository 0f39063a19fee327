#include "cli/TerminalProgress.h"

#include <QTextStream>

#include "data/register/FilePlatform.h"

namespace {
constexpr qint64 kShowAfterMs = 500;
constexpr qint64 kUpdateEveryMs = 100;
}  // namespace

TerminalProgress::TerminalProgress(QTextStream& err, QString what)
    : err_(err), what_(std::move(what)) {
    started_.start();
}

TerminalProgress::~TerminalProgress() {
    if (lastShown_ >= 0) {
        err_ << "\n";
        err_.flush();
    }
}

std::unique_ptr<Progress> TerminalProgress::forJob(QTextStream& err, const QString& what) {
    if (!FilePlatform::standardErrorIsTerminal())
        return nullptr;
    return std::make_unique<TerminalProgress>(err, what);
}

bool TerminalProgress::report(std::int64_t done, std::int64_t total) {
    const qint64 now = started_.elapsed();
    if (now < kShowAfterMs || (lastShown_ >= 0 && now - lastShown_ < kUpdateEveryMs))
        return true;
    lastShown_ = now;
    err_ << "\r" << what_ << "…";
    // Nothing counted at all (a wait for a server): the words alone.
    if (done > 0 || total > 0)
        err_ << " " << done;
    if (total > 0)
        err_ << " of " << total << " (" << done * 100 / total << " %)";
    err_.flush();
    return true;
}
