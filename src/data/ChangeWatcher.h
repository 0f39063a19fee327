#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

#include "data/ChangeStore.h"

class ChangeSignal;
class QSocketNotifier;
class Register;

// A record another program or desk changed, as the change log names it.
struct ChangeNote {
    QString kind;  // ChangeKind: "item", "case", "list", "line", "plan", ...
    qint64 recordId = 0;
    QString desk;
    QString user;
};

// Tells the windows what other programs and desks commit to the register,
// so that they show it without Refresh. On a server it hears the notices
// the writers send with each commit, on a listening connection of its own;
// on a file it asks SQLite's data_version about once a second. Either way
// it then reads the change log's rows after the last one it saw, and
// leaves out this register's own batches (the windows that made them know).
class ChangeWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int kLookMs = 1000;   // how often a file is looked at
    static constexpr int kRetryMs = 1000;  // how often a lost server is tried again
    // After that many tries in vain, it is tried only this often: each try
    // of a server host that does not answer holds the window until the
    // connect gives up.
    static constexpr int kQuickRetries = 10;
    static constexpr int kSlowRetryMs = 30000;
    // More rows than this at once (an import elsewhere) are not all read:
    // the windows refresh everything for them anyway.
    static constexpr int kMostRows = 5000;

    explicit ChangeWatcher(Register& reg, QObject* parent = nullptr);
    ~ChangeWatcher() override;

    // Watches from the newest change now on. Quiet when the register cannot
    // be watched (it is tried again, as after a lost connection).
    void start();
    void stop();
    // Listening to the server, or looking at the file.
    bool watching() const { return signal_ != nullptr; }

    // "Item 45 changed at DESK-B": the notes in a few words, for a status line.
    static QString summary(const QList<ChangeNote>& notes);
    // The list a line's or a plan's change belongs to is the list changed.
    static QString recordKind(const ChangeNote& note);

signals:
    // Records other programs changed, each once, oldest first.
    void changed(const QList<ChangeNote>& notes);
    // The server's connection broke: changes are not seen until resumed().
    void lost();
    // Listening again after lost(): anything may have changed meanwhile.
    void resumed();

private:
    void look();
    bool connectSignal();
    void retry();
    void readNewRows();
    std::optional<qint64> newestId();

    Register& reg_;
    ChangeStore changes_;
    std::unique_ptr<ChangeSignal> signal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer timer_;
    qint64 lastId_ = 0;
    bool started_ = false;
    bool wasLost_ = false;
    int failedTries_ = 0;  // since the server was lost
};
