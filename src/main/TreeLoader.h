#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "data/TreeData.h"
#include "data/engine/RegisterLocation.h"
#include "data/rules/TestsDue.h"

class Register;

// Reads the main tree on a thread of its own, so that the window paints and
// answers while a large register is read. The thread has a Register of its
// own (its own connection: a file is opened per operation, a server
// connection is never used by two threads at once). The Register is handed
// from one read
// to the next, so that a refresh on a server reuses its session instead of
// signing in again. The tree comes back on the window's
// thread through `read`. A read asked for while one runs is run after it,
// and only the last one's tree is handed over: a save during a read is
// never shown as undone.
class TreeLoader : public QObject {
    Q_OBJECT
public:
    TreeLoader(RegisterLocation location, std::function<int()> busyWaitMs,
               QObject* parent = nullptr);
    ~TreeLoader() override;

    // Starts reading the tree as it is now, counting tests on window's today.
    void start(const TestsDue::Window& window);
    // True from start() until `read` has been emitted for the last start.
    bool reading() const { return pending_; }
    // Blocks until the last read has come back and `read` has been emitted;
    // at once when nothing is being read. For a user who wants the tree now.
    void wait();
    // Takes a tree the window no longer shows. The next read is read into
    // its memory: a large tree's fresh memory costs the system more to give
    // than the rows cost to read, and giving it back about as much. A tree
    // already kept for that is freed on a thread of its own.
    void retire(TreeData tree);

signals:
    // The tree, or none when the read failed (the loader says nothing; the
    // window reads again where failures are told).
    void read(std::optional<TreeData> tree);

private:
    struct Job;
    void launch();
    void finished(std::uint64_t generation);

    RegisterLocation location_;
    std::function<int()> busyWaitMs_;
    std::unique_ptr<Job> job_;              // the read running, if any
    std::optional<TestsDue::Window> next_;  // a read asked for while one ran
    std::unique_ptr<Register> register_;    // the reads' Register, between reads
    TreeData room_;                         // the tree retired last, for the next read
    std::thread retiring_;                  // freeing the tree last replaced, if it still runs
    std::uint64_t generation_ = 0;
    bool pending_ = false;
};
