#include "data/ChangeWatcher.h"

#include <QSet>
#include <QSocketNotifier>

#include "data/Register.h"
#include "data/engine/RegisterEngine.h"

ChangeWatcher::ChangeWatcher(Register& reg, QObject* parent)
    : QObject(parent), reg_(reg), changes_(reg) {
    connect(&timer_, &QTimer::timeout, this, &ChangeWatcher::look);
}

ChangeWatcher::~ChangeWatcher() = default;

void ChangeWatcher::start() {
    if (started_)
        return;
    started_ = true;
    // The signal first: a commit between the two is then read twice rather
    // than missed.
    const std::optional<qint64> newest = connectSignal() ? newestId() : std::nullopt;
    if (!newest) {
        retry();
        return;
    }
    lastId_ = *newest;
    reg_.forgetOwnBatches();
}

void ChangeWatcher::stop() {
    started_ = false;
    timer_.stop();
    notifier_.reset();
    signal_.reset();
}

// Asked without a word: a register that cannot be read now tells the user
// at the next operation that reads it.
std::optional<qint64> ChangeWatcher::newestId() {
    FailureReporter told = reg_.exchangeReporter([](const QString&) {});
    const std::optional<qint64> newest = changes_.lastId();
    reg_.exchangeReporter(std::move(told));
    return newest;
}

bool ChangeWatcher::connectSignal() {
    notifier_.reset();
    signal_ = reg_.watchChanges();
    if (!signal_)
        return false;
    const qintptr socket = signal_->socket();
    if (socket >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &ChangeWatcher::look);
        timer_.stop();
    } else {
        timer_.start(kLookMs);
    }
    return true;
}

// Until the register can be watched again: a stopped server, a file not
// there. The first look that succeeds tells the windows to read it all.
void ChangeWatcher::retry() {
    if (!wasLost_) {
        wasLost_ = true;
        emit lost();
    }
    notifier_.reset();
    signal_.reset();
    failedTries_ = 0;
    timer_.start(kRetryMs);
}

void ChangeWatcher::look() {
    if (!started_)
        return;
    if (!signal_) {
        const std::optional<qint64> newest = connectSignal() ? newestId() : std::nullopt;
        if (!newest) {
            notifier_.reset();
            signal_.reset();
            ++failedTries_;
            timer_.start(failedTries_ < kQuickRetries ? kRetryMs : kSlowRetryMs);
            return;
        }
        lastId_ = *newest;
        reg_.forgetOwnBatches();
        wasLost_ = false;
        emit resumed();
        // Notices that came with the LISTEN's answer raise no socket event.
        look();
        return;
    }
    switch (signal_->look()) {
        case ChangeSignal::Seen::Nothing:
            return;
        case ChangeSignal::Seen::Lost:
            retry();
            return;
        case ChangeSignal::Seen::Changes:
            readNewRows();
            return;
    }
}

void ChangeWatcher::readNewRows() {
    constexpr int kPage = 1000;
    QList<ChangeNote> notes;
    QSet<QPair<QString, qint64>> noted;
    bool more = true;
    for (int read = 0; more && read < kMostRows; read += kPage) {
        const std::optional<QList<ChangeRow>> rows = changes_.after(lastId_, kPage);
        if (!rows)
            return;  // tried again at the next signal
        for (const ChangeRow& row : *rows) {
            lastId_ = row.id;
            if (reg_.isOwnBatch(row.batch) || noted.contains({row.kind, row.recordId}))
                continue;
            noted.insert({row.kind, row.recordId});
            notes.append({row.kind, row.recordId, row.desk, row.user});
        }
        more = rows->size() == kPage;
    }
    if (more)  // more than kMostRows: the rest is skipped
        lastId_ = newestId().value_or(lastId_);
    reg_.forgetOwnBatches();
    if (!notes.isEmpty())
        emit changed(notes);
}

QString ChangeWatcher::recordKind(const ChangeNote& note) {
    if (note.kind == QLatin1String(ChangeKind::kLine) ||
        note.kind == QLatin1String(ChangeKind::kPlan))
        return QString::fromLatin1(ChangeKind::kList);
    return note.kind;
}

namespace {

QString recordName(const ChangeNote& note) {
    const QString kind = ChangeWatcher::recordKind(note);
    if (kind == QLatin1String(ChangeKind::kItem))
        return QStringLiteral("Item %1").arg(note.recordId);
    if (kind == QLatin1String(ChangeKind::kCase))
        return QStringLiteral("Case F%1").arg(note.recordId);
    if (kind == QLatin1String(ChangeKind::kList))
        return QStringLiteral("List %1").arg(note.recordId);
    if (kind == QLatin1String(ChangeKind::kLocation))
        return QStringLiteral("A location");
    return QStringLiteral("A test");
}

}  // namespace

QString ChangeWatcher::summary(const QList<ChangeNote>& notes) {
    if (notes.isEmpty())
        return {};
    const ChangeNote& first = notes.constFirst();
    const QString where =
        first.desk.isEmpty() ? QString() : QStringLiteral(" at %1").arg(first.desk);
    if (notes.size() == 1)
        return QStringLiteral("%1 changed%2").arg(recordName(first), where);
    return QStringLiteral("%1 and %2 more records changed%3")
        .arg(recordName(first))
        .arg(notes.size() - 1)
        .arg(where);
}
