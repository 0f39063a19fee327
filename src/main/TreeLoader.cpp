#include "main/TreeLoader.h"

#include <thread>
#include <utility>

#include "data/Register.h"
#include "data/TreeStore.h"

struct TreeLoader::Job {
    std::uint64_t generation = 0;
    std::thread thread;
    std::optional<TreeData> tree;   // written by the thread, taken once it is joined
    std::unique_ptr<Register> reg;  // handed back the same way
};

TreeLoader::TreeLoader(RegisterLocation location, std::function<int()> busyWaitMs, QObject* parent)
    : QObject(parent), location_(std::move(location)), busyWaitMs_(std::move(busyWaitMs)) {}

TreeLoader::~TreeLoader() {
    if (job_ && job_->thread.joinable())
        job_->thread.join();
    if (retiring_.joinable())
        retiring_.join();
}

void TreeLoader::retire(TreeData tree) {
    if (tree.itemIds.empty() && tree.caseIds.empty() && tree.listIds.empty())
        return;
    std::swap(room_, tree);
    if (tree.itemIds.empty() && tree.caseIds.empty() && tree.listIds.empty())
        return;
    if (retiring_.joinable())
        retiring_.join();
    retiring_ = std::thread([old = std::move(tree)]() mutable { TreeData freed = std::move(old); });
}

void TreeLoader::start(const TestsDue::Window& window) {
    pending_ = true;
    if (job_) {
        next_ = window;  // what the running read finds may already be out of date
        return;
    }
    next_ = window;
    launch();
}

void TreeLoader::launch() {
    const TestsDue::Window window = *next_;
    next_.reset();
    job_ = std::make_unique<Job>();
    job_->generation = ++generation_;
    Job* job = job_.get();
    const int waitMs = busyWaitMs_ ? busyWaitMs_() : 0;
    job->thread = std::thread([this, job, location = location_, window, waitMs,
                               room = std::exchange(room_, TreeData{}),
                               reg = std::move(register_)]() mutable {
        // Says nothing: a failed read is read again where failures are told.
        if (!reg)
            reg = std::make_unique<Register>(location);
        reg->setBusyWait(waitMs > 0 ? std::function<int()>([waitMs] { return waitMs; })
                                    : std::function<int()>());
        job->tree = TreeStore(*reg).read(window, std::move(room));
        job->reg = std::move(reg);
        QMetaObject::invokeMethod(
            this, [this, generation = job->generation] { finished(generation); },
            Qt::QueuedConnection);
    });
}

void TreeLoader::finished(std::uint64_t generation) {
    // wait() has taken this read already.
    if (!job_ || job_->generation != generation)
        return;
    wait();
}

void TreeLoader::wait() {
    while (job_) {
        job_->thread.join();
        std::optional<TreeData> tree = std::move(job_->tree);
        register_ = std::move(job_->reg);
        job_.reset();
        if (next_) {
            launch();
            continue;
        }
        pending_ = false;
        emit read(std::move(tree));
    }
}
