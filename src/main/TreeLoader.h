#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "data/TreeData.h"
#include "data/engine/RegisterLocation.h"
#include "data/rules/TestsDue.h"

// Reads the main tree on a thread of its own, so that the window paints and
// answers while a large register is read. The thread has a Store of its own
// (its own connection: a file is opened per operation, a server connection
// is never shared between threads). The tree comes back on the window's
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
    // Frees a tree the window no longer shows on a thread of its own: giving
    // a large tree's memory back costs about as much as reading it did.
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
    std::thread retiring_;                  // freeing the tree last replaced, if it still runs
    std::uint64_t generation_ = 0;
    bool pending_ = false;
};
