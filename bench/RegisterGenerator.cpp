#include "RegisterGenerator.h"

#include <sqlite3.h>

#include <QDate>
#include <QFile>
#include <algorithm>
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "data/Register.h"

namespace {

const std::array<const char*, 16> kKinds = {
    "Par can 64",       "Moving head spot", "LED batten",       "Profile spot 750",
    "DMX cable 5m",     "Power cable 16A",  "Socapex loom 20m", "Truss 2m box",
    "Speaker top 12in", "Subwoofer 18in",   "Amplifier rack",   "Radio mic receiver",
    "Lighting desk",    "Smoke machine",    "Chain hoist 1t",   "Stage deck 8x4"};
const std::array<const char*, 8> kCategories = {"Lighting", "Sound", "Cable",   "Rigging",
                                                "Staging",  "Power", "Effects", "Video"};
const std::array<const char*, 8> kMakers = {"Brackenlow", "Ardent", "Halden", "Norcross",
                                            "Velmar",     "Ostrum", "Pellow", "Quint"};
const std::array<const char*, 6> kBays = {"Bay 1",  "Bay 2",  "Bay 3",
                                          "Cage A", "Cage B", "Mezzanine"};
const std::array<const char*, 6> kCaseKinds = {"Cable trunk", "Lamp case",  "Rack case",
                                               "Mic case",    "Hoist case", "Spares case"};

// The description of item `id`: the same for every caller, so a list line can
// copy it without the generator keeping a million texts.
std::string itemDesc(std::int64_t id) {
    const auto kind = static_cast<std::size_t>((id * 2654435761u) % kKinds.size());
    return std::string(kKinds[kind]) + " #" + std::to_string(id);
}

std::string dateText(std::mt19937_64& random) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", int(random() % 28 + 1),
                  int(random() % 12 + 1), int(random() % 15 + 2000));
    return text;
}

template <class Array>
const char* pick(const Array& values, std::mt19937_64& random) {
    return values[random() % values.size()];
}

class Db {
public:
    explicit Db(const QString& path) {
        const QByteArray file = path.toUtf8();
        ok_ = sqlite3_open_v2(file.constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    bool ok() const { return ok_; }
    bool exec(const char* sql) {
        ok_ = ok_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
        return ok_;
    }
    sqlite3_stmt* prepare(const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        ok_ = ok_ && sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) == SQLITE_OK;
        return stmt;
    }
    // Runs a prepared insert once with the values bound so far.
    void insert(sqlite3_stmt* stmt) {
        ok_ = ok_ && sqlite3_step(stmt) == SQLITE_DONE;
        sqlite3_reset(stmt);
    }
    QString error() const { return QString::fromUtf8(sqlite3_errmsg(db_)); }

private:
    sqlite3* db_ = nullptr;
    bool ok_ = false;
};

void bindText(sqlite3_stmt* stmt, int column, const std::string& text) {
    sqlite3_bind_text(stmt, column, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void bindText(sqlite3_stmt* stmt, int column, const char* text) {
    sqlite3_bind_text(stmt, column, text, -1, SQLITE_STATIC);
}

void addItems(Db& db, const RegisterShape& shape, std::mt19937_64& random, RegisterCounts& counts) {
    sqlite3_stmt* stmt = db.prepare(
        "INSERT INTO Items (\"desc\", category, manufacturer, model, dom, testinterval, testlast, "
        "testnext, testpatresult, testpressureresult, visualinspectionresult, "
        "lolerinspectionresult, calibrationcert, caseID, warehouseloc, notes, length, serial) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    // Half of the items sit in cases when every case holds itemsPerCase.
    const double inCase =
        shape.items == 0
            ? 0.0
            : std::min(1.0, double(shape.cases * shape.itemsPerCase) / double(shape.items));
    std::bernoulli_distribution packed(inCase);
    // Every stride-th item goes into the big case, the last one.
    const std::int64_t bigCaseStride =
        shape.cases > 0 && shape.bigCaseItems > 0
            ? std::max<std::int64_t>(1, shape.items / shape.bigCaseItems)
            : 0;
    for (std::int64_t id = 1; id <= shape.items && db.ok(); ++id) {
        const bool packedAtRandom = shape.cases > 0 && packed(random);
        std::int64_t caseId = packedAtRandom ? std::int64_t(random() % shape.cases) + 1 : 0;
        if (bigCaseStride > 0 && id % bigCaseStride == 0 &&
            id / bigCaseStride <= shape.bigCaseItems)
            caseId = shape.cases;
        counts.itemsInCases += caseId > 0 ? 1 : 0;
        bindText(stmt, 1, itemDesc(id));
        bindText(stmt, 2, pick(kCategories, random));
        bindText(stmt, 3, pick(kMakers, random));
        bindText(stmt, 4, "Mk " + std::to_string(random() % 9 + 1));
        bindText(stmt, 5, dateText(random));
        bindText(stmt, 6, "12");
        bindText(stmt, 7, dateText(random));
        bindText(stmt, 8, dateText(random));
        bindText(stmt, 9, random() % 10 ? "Pass" : "Fail");
        bindText(stmt, 10, "");
        bindText(stmt, 11, "Pass");
        bindText(stmt, 12, random() % 4 ? "" : "Pass");
        bindText(stmt, 13, "");
        sqlite3_bind_int64(stmt, 14, caseId);
        bindText(stmt, 15, pick(kBays, random));
        bindText(stmt, 16, random() % 5 ? "" : "Check fixings before use");
        sqlite3_bind_double(stmt, 17, double(random() % 200) / 10.0);
        bindText(stmt, 18, "SN" + std::to_string(100000 + random() % 900000));
        db.insert(stmt);
    }
    sqlite3_finalize(stmt);
    counts.items = shape.items;
}

void addCases(Db& db, const RegisterShape& shape, std::mt19937_64& random, RegisterCounts& counts) {
    sqlite3_stmt* stmt = db.prepare(
        "INSERT INTO Cases (FName, FLocation, FBought, FNotes, FWheeled) VALUES (?, ?, ?, ?, ?)");
    for (std::int64_t id = 1; id <= shape.cases && db.ok(); ++id) {
        bindText(stmt, 1, std::string(pick(kCaseKinds, random)) + " " + std::to_string(id));
        bindText(stmt, 2, pick(kBays, random));
        bindText(stmt, 3, dateText(random));
        bindText(stmt, 4, "");
        bindText(stmt, 5, random() % 2 ? "Yes" : "No");
        db.insert(stmt);
    }
    sqlite3_finalize(stmt);
    counts.cases = shape.cases;
}

// Lines go in as a user adds them: list by list, items in no particular order.
void addLists(Db& db, const RegisterShape& shape, std::mt19937_64& random, RegisterCounts& counts) {
    sqlite3_stmt* list = db.prepare("INSERT INTO Lists (ListName) VALUES (?)");
    sqlite3_stmt* line =
        db.prepare("INSERT INTO ListData (listid, itemid, itemdesc) VALUES (?, ?, ?)");
    for (std::int64_t id = 1; id <= shape.lists && db.ok(); ++id) {
        bindText(list, 1, "Show " + std::to_string(id) + " pick");
        db.insert(list);
        const bool big = id == shape.lists && shape.bigListLines > 0;
        const std::int64_t lines =
            std::min(big ? shape.bigListLines : shape.linesPerList, shape.items);
        // Jobs book from a pool of a tenth of the items, so some overlap.
        const std::int64_t pool =
            id <= shape.datedLists ? std::max<std::int64_t>(lines, shape.items / 10) : shape.items;
        std::unordered_set<std::int64_t> onList;
        while (std::int64_t(onList.size()) < lines && db.ok()) {
            const std::int64_t item = std::int64_t(random() % pool) + 1;
            if (!onList.insert(item).second)
                continue;
            sqlite3_bind_int64(line, 1, id);
            sqlite3_bind_int64(line, 2, item);
            bindText(line, 3, itemDesc(item));
            db.insert(line);
        }
        counts.listLines += lines;
    }
    sqlite3_finalize(list);
    sqlite3_finalize(line);
    counts.lists = shape.lists;
}

// The plans of the first datedLists lists: out on a day of 2027, back 2 to
// 10 days later; nine in ten Confirmed, then Out and Draft.
void addPlans(Db& db, const RegisterShape& shape, std::mt19937_64& random) {
    sqlite3_stmt* plan = db.prepare(
        "INSERT INTO ListPlans (listid, outdate, returndate, state) VALUES (?, ?, ?, ?)");
    const QDate first(2027, 1, 1);
    for (std::int64_t id = 1; id <= std::min(shape.datedLists, shape.lists) && db.ok(); ++id) {
        const QDate out = first.addDays(qint64(random() % 365));
        const QDate back = out.addDays(qint64(random() % 9 + 2));
        const int kind = int(random() % 20);
        sqlite3_bind_int64(plan, 1, id);
        bindText(plan, 2, out.toString(Qt::ISODate).toStdString());
        bindText(plan, 3, back.toString(Qt::ISODate).toStdString());
        bindText(plan, 4, kind < 18 ? "Confirmed" : kind == 18 ? "Out" : "Draft");
        db.insert(plan);
    }
    sqlite3_finalize(plan);
}

// The bays the items are in, then racks along numbered aisles.
void addLocations(Db& db, const RegisterShape& shape) {
    sqlite3_stmt* stmt = db.prepare("INSERT INTO Locations (\"desc\") VALUES (?)");
    for (std::int64_t n = 0; n < shape.locations && db.ok(); ++n) {
        const auto bays = static_cast<std::int64_t>(kBays.size());
        if (n < bays)
            bindText(stmt, 1, kBays[static_cast<std::size_t>(n)]);
        else
            bindText(stmt, 1,
                     "Aisle " + std::to_string((n - bays) / 20 + 1) + " rack " +
                         std::to_string((n - bays) % 20 + 1));
        db.insert(stmt);
    }
    sqlite3_finalize(stmt);
}

// The counters follow the ids handed out, as the program's own inserts keep them.
void setCounters(Db& db, const RegisterShape& shape) {
    sqlite3_stmt* stmt = db.prepare("UPDATE Data SET lastid = ?, lastCase = ?, lastList = ?");
    sqlite3_bind_int64(stmt, 1, shape.items);
    sqlite3_bind_int64(stmt, 2, shape.cases);
    sqlite3_bind_int64(stmt, 3, shape.lists);
    db.insert(stmt);
    sqlite3_finalize(stmt);
}

}  // namespace

RegisterShape registerShape(const QString& name) {
    const RegisterShape shapes[] = {
        {QStringLiteral("empty"), 0, 1, 25, 1, 0, 0, 0, 0},
        {QStringLiteral("1k"), 1000, 20, 25, 20, 25, 200, 200, 20},
        {QStringLiteral("100k"), 100000, 2000, 25, 2000, 25, 5000, 5000, 200},
        {QStringLiteral("1M"), 1000000, 20000, 25, 5000, 40, 5000, 5000, 1000}};
    for (const RegisterShape& shape : shapes) {
        if (shape.name == name)
            return shape;
    }
    if (name == QLatin1String("1M-dated")) {
        RegisterShape dated = registerShape(QStringLiteral("1M"));
        dated.name = name;
        dated.datedLists = dated.lists;
        return dated;
    }
    return {};
}

bool generateRegister(const QString& path, const RegisterShape& shape, RegisterCounts* counts,
                      QString* error) {
    if (!Register::createEmptyDatabase(path, error))
        return false;
    RegisterCounts made;
    std::mt19937_64 random(20090105);
    bool ok = false;
    {
        Db db(path);
        db.exec("PRAGMA synchronous = OFF");
        db.exec("BEGIN");
        addItems(db, shape, random, made);
        addCases(db, shape, random, made);
        addLists(db, shape, random, made);
        addPlans(db, shape, random);
        addLocations(db, shape);
        setCounters(db, shape);
        db.exec("COMMIT");
        ok = db.ok();
        if (!ok && error)
            *error = db.error();
    }
    if (!ok) {
        QFile::remove(path);
        return false;
    }
    if (counts)
        *counts = made;
    return true;
}
