// Saves through the store in an endless loop until it is killed; the crash
// test runs it as a child. Usage: save_loop DATA_MDB SEED
// Prints "saving" once the store is set up.
#include <QCoreApplication>
#include <QRandomGenerator>
#include <cstdio>

#include "data/CaseStore.h"
#include "data/IdStore.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/LocationStore.h"
#include "data/Register.h"

namespace {

ItemWrite newItem(qint64 round, qint64 caseId) {
    ItemWrite values;
    for (auto& v : values)
        v = QString();
    values[int(ItemColumn::Desc)] = QStringLiteral("Item of round %1").arg(round);
    values[int(ItemColumn::CaseId)] = double(caseId);
    values[int(ItemColumn::Length)] = double(round % 30);
    return values;
}

class SaveLoop {
public:
    SaveLoop(const QString& path, quint32 seed)
        : reg_(path, [](const QString& m) { std::fprintf(stderr, "%s\n", qPrintable(m)); }),
          random_(seed) {}

    void saveOnce(qint64 round) {
        const Counters last = ids_.counters().value_or(Counters{});
        // Lines and updates need a list and an item to work on.
        const int kinds = last.lastId > 0 && last.lastList > 0 ? 6 : 3;
        switch (random_.bounded(kinds)) {
            case 0:
                items_.insert(newItem(round, someId(last.lastCase)));
                break;
            case 1:
                cases_.insert(CaseRecord{
                    {}, {QStringLiteral("Case %1").arg(round), {}, {}, {}, QStringLiteral("No")}});
                break;
            case 2:
                fillNewList(round, last.lastId);
                break;
            case 3:
                locations_.add(QStringLiteral("Shelf %1").arg(round));
                break;
            case 4:
                lists_.addLine(someId(last.lastList), someId(last.lastId),
                               QStringLiteral("Line %1").arg(round));
                break;
            default:
                items_.update(
                    someId(last.lastId),
                    {{int(ItemColumn::Notes), QStringLiteral("Noted %1").arg(round), QString()}},
                    true);
                break;
        }
    }

private:
    qint64 someId(qint64 last) { return last > 0 ? 1 + random_.bounded(last) : 0; }

    void fillNewList(qint64 round, qint64 lastItem) {
        const std::optional<qint64> list = lists_.insert(QStringLiteral("List %1").arg(round));
        for (int line = 0; list && lastItem > 0 && line < 3; ++line)
            lists_.addLine(*list, someId(lastItem), QStringLiteral("Line %1").arg(line));
    }

    Register reg_;
    ItemStore items_{reg_};
    CaseStore cases_{reg_};
    IdStore ids_{reg_};
    ListStore lists_{reg_};
    LocationStore locations_{reg_};
    QRandomGenerator random_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    SaveLoop loop(args[1], args[2].toUInt());
    std::fputs("saving\n", stdout);
    std::fflush(stdout);
    for (qint64 round = 1;; ++round)
        loop.saveOnce(round);
}
