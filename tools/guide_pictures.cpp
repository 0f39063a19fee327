// Takes the user guide's pictures of the real windows: fills a sample
// register in a temporary folder, opens the windows on it and saves each as
// a PNG, and prints a large label and a test worksheet into PDF files
// (tools/make-guide-pictures.sh renders them). Today is a fixed day, so the
// same program draws the same pictures on any day. Run under a display; the
// script starts a virtual one.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPageLayout>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "availability/frmAvailability.h"
#include "cases/frmFlightView.h"
#include "common/Clock.h"
#include "common/Dialogs.h"
#include "data/CaseStore.h"
#include "data/ItemStore.h"
#include "data/ListStore.h"
#include "data/LocationStore.h"
#include "data/Register.h"
#include "data/Settings.h"
#include "data/TestRecordStore.h"
#include "data/transfer/ItemImport.h"
#include "history/ChangeTable.h"
#include "history/frmChangeLog.h"
#include "history/frmHistory.h"
#include "items/frmItemAddEdit.h"
#include "items/frmItemImport.h"
#include "items/frmRecordTest.h"
#include "items/frmTestsDue.h"
#include "lists/frmListAddEdit.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"
#include "printers/frmPrinter.h"
#include "printing/PrintService.h"
#include "printing/PrinterCatalog.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"
#include "scan/frmScan.h"

namespace {

const QString kLabelPrinter = QStringLiteral("Zebra GK420d");
const QString kSmallLabelPrinter = QStringLiteral("Brother QL-700");
const QString kListPrinter = QStringLiteral("Office laser");

// The day every picture is taken on: some items are overdue by then, some
// due soon.
const QDate kToday(2027, 1, 14);

class FixedClock : public Clock {
public:
    QDate today() const override { return kToday; }
    QDateTime now() const override { return QDateTime(kToday, QTime(9, 30)); }
};

// No window may wait for an answer here: a message is printed and answered
// No, and a file asked for is the one named beforehand.
class PictureDialogs : public Dialogs {
public:
    QString fileToSave;
    Answer message(QWidget*, const QString& text, Icon, Buttons buttons) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }
    QString inputBox(QWidget*, const QString&, const QString&) override { return {}; }
    QString openFileName(QWidget*, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&) override { return fileToSave; }
    // A number that may be an item's label or a case's is the item.
    int choose(QWidget*, const QString& text, const QStringList&) override {
        std::fprintf(stderr, "choice: %s\n", qPrintable(text));
        return 0;
    }
};

// Three printers that print into PDF files: the label printer on a page of
// the large label's size, so the rendered page is the label itself.
class PdfPrinters : public PrinterCatalog {
public:
    explicit PdfPrinters(QString pdfFile) : pdfFile_(std::move(pdfFile)) {}
    QStringList deviceNames() const override {
        return {kLabelPrinter, kSmallLabelPrinter, kListPrinter};
    }
    QString defaultDeviceName() const override { return kListPrinter; }
    bool prepare(QPrinter& printer, const QString& deviceName) override {
        if (!deviceNames().contains(deviceName))
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfFile_);
        printer.setFullPage(false);
        printer.setPageSize(QPageSize(QSizeF(62, 46), QPageSize::Millimeter));
        printer.setPageMargins(QMarginsF(), QPageLayout::Millimeter);
        return true;
    }

private:
    QString pdfFile_;
};

struct SampleItem {
    const char* desc;
    const char* category;
    const char* manufacturer;
    const char* model;
    const char* serial;
    int caseNumber;  // index into the cases, 0: in no case
    const char* location;
    int length;
    const char* interval;
    const char* lastTest;
    const char* nextTest;
};

// On kToday: in date, due soon, overdue, failed (recorded below), never
// tested, unreadable, due soon, and one that needs no test.
const SampleItem kItems[] = {
    {"Cable drum 25m 16A", "Power", "Brennenstuhl", "1208", "BR-20817", 1, "Bay 1", 25, "12 months",
     "2/9/2026", "2/9/2027"},
    {"Par can 1000W", "Lighting", "Thomann", "PAR 64", "TH-64-0031", 2, "Bay 2", 0, "12 months",
     "20/1/2026", ""},
    {"Par can 1000W", "Lighting", "Thomann", "PAR 64", "TH-64-0032", 2, "Bay 2", 0, "12 months",
     "3/12/2025", "3/12/2026"},
    {"Chain hoist 1t", "Rigging", "CM Lodestar", "Model L", "LS-7731", 0, "Rack C3", 0, "6 months",
     "", ""},
    {"DMX splitter 8-way", "Lighting", "Swisson", "XSP-8R", "SW-11842", 2, "Bay 2", 0, "", "", ""},
    {"Stage box 32/8", "Sound", "Klark Teknik", "DN32", "KT-3208-19", 1, "Bay 1", 0, "12 months",
     "", "Feb 2027"},
    {"Power distro 63A", "Power", "Ablesoft", "PD-63", "AB-5510", 1, "Bay 1", 0, "12 months",
     "5/2/2026", ""},
    {"Foam insert", "Cases", "Ablesoft", "FI-2", "", 2, "Bay 2", 0, "n/a", "", ""},
};
constexpr int kChainHoist = 3;   // index into kItems: its tests are recorded
constexpr int kOverdueItem = 2;  // the item a test is recorded for in the picture

ItemWrite itemValues(const SampleItem& s, qint64 caseId) {
    ItemWrite w;
    const auto set = [&w](ItemColumn c, const QVariant& v) { w[static_cast<int>(c)] = v; };
    for (QVariant& v : w)
        v = QString();
    set(ItemColumn::Desc, QString::fromUtf8(s.desc));
    set(ItemColumn::Category, QString::fromUtf8(s.category));
    set(ItemColumn::Manufacturer, QString::fromUtf8(s.manufacturer));
    set(ItemColumn::Model, QString::fromUtf8(s.model));
    set(ItemColumn::Serial, QString::fromUtf8(s.serial));
    set(ItemColumn::WarehouseLoc, QString::fromUtf8(s.location));
    set(ItemColumn::CaseId, caseId);
    set(ItemColumn::Length, s.length);
    set(ItemColumn::Dom, QStringLiteral("14/3/2019"));
    set(ItemColumn::TestInterval, QString::fromUtf8(s.interval));
    set(ItemColumn::TestLast, QString::fromUtf8(s.lastTest));
    set(ItemColumn::TestNext, QString::fromUtf8(s.nextTest));
    set(ItemColumn::VisualInspectionResult, QStringLiteral("Pass"));
    if (QByteArray(s.category) == "Power")
        set(ItemColumn::TestPatResult, QStringLiteral("/srv/tests/pat/2026-09-02.pdf"));
    return w;
}

// The chain hoist passed its inspection in the summer and failed it now.
bool recordChainHoistTests(TestRecordStore& tests, qint64 hoist) {
    const TestRecord passed{QDate(2026, 7, 1), QStringLiteral("LOLER"), true, QString()};
    const TestRecord failed{QDate(2027, 1, 12), QStringLiteral("LOLER"), false,
                            QStringLiteral("Brake slips under load")};
    return tests.record(hoist, passed) == RecordTestResult::Recorded &&
           tests.record(hoist, failed) == RecordTestResult::Recorded;
}

struct SampleIds {
    qint64 firstItem = 0;
    qint64 overdueItem = 0;
    qint64 lightingCase = 0;
    qint64 list = 0;
};

// A register such as a small hire company keeps; false when a step failed.
bool fillSampleRegister(Register& reg, SampleIds* ids) {
    TestRecordStore tests(reg);
    for (const char* place : {"Bay 1", "Bay 2", "Rack C3", "Loading dock"})
        LocationStore(reg).add(QString::fromUtf8(place));
    QList<qint64> cases = {0};
    for (const char* name : {"Power trunk", "Lighting case A"}) {
        CaseRecord c;
        c[CaseColumn::Name] = QString::fromUtf8(name);
        c[CaseColumn::Location] = QStringLiteral("Bay 1");
        c[CaseColumn::Bought] = QStringLiteral("3/2018");
        c[CaseColumn::Wheeled] = QStringLiteral("Yes");
        const auto id = CaseStore(reg).insert(c);
        if (!id)
            return false;
        cases.append(*id);
    }
    QList<qint64> items;
    for (const SampleItem& s : kItems) {
        const auto id = ItemStore(reg).insert(itemValues(s, cases[s.caseNumber]));
        if (!id)
            return false;
        items.append(*id);
    }
    const auto listId = ListStore(reg).insert(QStringLiteral("Stage left, Saturday"));
    if (!listId || !recordChainHoistTests(tests, items[kChainHoist]))
        return false;
    for (int i : {0, 1, 3, 6})
        ListStore(reg).addLine(*listId, items[i], QString::fromUtf8(kItems[i].desc));
    // A festival that has one of the par cans over the same weekend.
    const auto festival = ListStore(reg).insert(QStringLiteral("Festival, weekend"));
    if (!festival)
        return false;
    ListStore(reg).addLine(*festival, items[1], QString::fromUtf8(kItems[1].desc));
    const ListPlan festivalPlan{QDate(2027, 2, 19), QDate(2027, 2, 22), ListState::Confirmed};
    const ListPlan stagePlan{QDate(2027, 2, 20), QDate(2027, 2, 21), ListState::Confirmed};
    if (ListStore(reg).setPlan(*festival, festivalPlan, true) != SetPlanResult::Saved ||
        ListStore(reg).setPlan(*listId, stagePlan, true) != SetPlanResult::Saved)
        return false;
    ids->firstItem = items.first();
    ids->overdueItem = items[kOverdueItem];
    ids->lightingCase = cases[2];
    ids->list = *listId;
    return true;
}

// A spreadsheet of new stock with a mistake in it: a case that does not
// exist.
const char kImportFile[] =
    "Description,Category,Serial,Warehouse Location,Flight Case,Last Test Date,Test Interval\n"
    "Cable drum 50m 32A,Power,BR-31102,Bay 1,F1,12/3/2026,12 months\n"
    "LED wash 19x15W,Lighting,RB-LW-0932,Bay 2,F2,4/11/2026,12 months\n"
    "Truss 3m,Rigging,PR-3M-114,Loading dock,F7,1/8/2026,12 months\n"
    "Foam insert,Cases,,Bay 2,F2,,n/a\n";

// Written into the current folder and opened by its bare name, so the
// window shows no temporary folder's name.
std::optional<ItemImport::ImportFile> sampleImportFile() {
    const QString name = QStringLiteral("new-stock.csv");
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(kImportFile) < 0)
        return std::nullopt;
    file.close();
    QString error;
    auto opened = ItemImport::ImportFile::open(name, &error);
    if (!opened)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return opened;
}

void settle(int ms = 300) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool save(QWidget& window, const QDir& dir, const char* name) {
    window.show();
    settle();
    const bool ok = window.grab().save(dir.filePath(QLatin1String(name)));
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", name);
    window.hide();
    return ok;
}

void selectInTree(frmMain& main, const QString& key) {
    auto* tree = main.findChild<QTreeView*>(QStringLiteral("TreeView1"));
    tree->expandAll();
    tree->setCurrentIndex(main.treeModel()->indexOfKey(key));
    main.TreeView1_Click();
}

void selectFirstLine(QWidget& window, const char* listName) {
    if (auto* list = window.findChild<QAbstractItemView*>(QLatin1String(listName)))
        list->setCurrentIndex(list->model()->index(0, 0));
}

// The windows about tests: the list of what is due, recording a test, and
// the worksheet saved as a PDF by its button.
bool saveTestPictures(AppContext& ctx, PictureDialogs& dialogs, QWidget& main, const QDir& out,
                      const QString& worksheetPdf, qint64 overdueItem) {
    frmTestsDue testsDue(ctx, &main);
    selectFirstLine(testsDue, "List1");
    bool ok = save(testsDue, out, "tests-due.png");
    dialogs.fileToSave = worksheetPdf;
    testsDue.cmdPdf->click();
    ok &= QFile::exists(worksheetPdf);

    frmRecordTest record(ctx, overdueItem, &main);
    ok &= save(record, out, "record-test.png");

    const auto file = sampleImportFile();
    if (!file)
        return false;
    frmItemImport import(ctx, *file, &main);
    import.cmdCheck->click();
    return ok & save(import, out, "item-import.png");
}

// A stocktake of Bay 1, finished: a few scans and the summary.
bool saveScanPicture(AppContext& ctx, QWidget& main, const QDir& out, const SampleIds& ids) {
    frmScan scan(ctx, &main);
    scan.cboWhere->setCurrentText(QStringLiteral("Bay 1"));
    scan.cmdStart->click();
    for (const QString& code : {QString::number(ids.firstItem), QString::number(ids.overdueItem),
                                QString::number(ids.firstItem), QStringLiteral("999")}) {
        scan.txtScan->setText(code);
        scan.txtScan_Enter();
    }
    scan.cmdFinish->click();
    return save(scan, out, "scan.png");
}

// The Availability window over the next four weeks: the Saturday list and
// a festival list that takes two of its items from the day it is back.
bool saveAvailabilityPicture(AppContext& ctx, QWidget& main, const QDir& out,
                             const SampleIds& ids) {
    ListStore& lists = ctx.lists();
    const auto festival = lists.insert(QStringLiteral("Festival"));
    if (!festival)
        return false;
    const auto lines = lists.lines(ids.list);
    for (std::size_t i = 0; lines && i < lines->size(); i += 2)
        lists.addLine(*festival, lines->ids[i], lines->texts.text(i));
    const ListPlan saturday{QDate(2027, 1, 16), QDate(2027, 1, 18), ListState::Confirmed};
    const ListPlan festivalPlan{QDate(2027, 1, 18), QDate(2027, 1, 24), ListState::Confirmed};
    if (lists.setPlan(ids.list, saturday, true) != SetPlanResult::Saved ||
        lists.setPlan(*festival, festivalPlan, true) != SetPlanResult::Saved)
        return false;
    frmAvailability availability(ctx, &main);
    return save(availability, out, "availability.png");
}

// The History of the festival list (made under the fixed clock) after the
// first item's two saves, and the Change Log of the fixed day: the sample
// register's own rows carry the day the pictures are taken.
bool saveHistoryPictures(AppContext& ctx, QWidget& main, const QDir& out, const SampleIds& ids) {
    ItemStore& items = ctx.items();
    if (items.update(ids.firstItem, {{int(ItemColumn::WarehouseLoc), QStringLiteral("Bay 2"), {}}},
                     true) != SaveResult::Saved ||
        items.update(ids.firstItem,
                     {{int(ItemColumn::Notes), QStringLiteral("New lamp fitted"), {}}},
                     true) != SaveResult::Saved)
        return false;
    frmHistory history(ctx, QLatin1String(ChangeKind::kList), ids.list + 1, &main);
    history.lstChanges->setCurrentItem(history.lstChanges->topLevelItem(0));
    bool ok = save(history, out, "history.png");
    frmChangeLog log(ctx, &main);
    log.dtpFrom->setDate(kToday);
    log.lstChanges->setCurrentItem(log.lstChanges->topLevelItem(0));
    ok &= save(log, out, "change-log.png");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: quarvel-guide-pictures PICTURE-FOLDER PDF-FOLDER\n"
                     "Writes the windows' pictures into PICTURE-FOLDER and label.pdf and\n"
                     "worksheet.pdf into PDF-FOLDER.\n");
        return 2;
    }
    Fonts::loadTahoma();
    // Named from where the program was started, before it moves into its
    // temporary folder.
    const QDir out(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    const QDir pdfs(QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath());
    QTemporaryDir work;
    QDir::setCurrent(work.path());

    auto dialogs = std::make_shared<PictureDialogs>();
    Services services;
    const QString databasePath = work.filePath(QStringLiteral("data.mdb"));
    services.location = RegisterLocation::file(databasePath);
    services.settingsFile = work.filePath(QStringLiteral("settings.ini"));
    services.printers =
        std::make_shared<PdfPrinters>(pdfs.absoluteFilePath(QStringLiteral("label.pdf")));
    services.clock = std::make_shared<FixedClock>();
    services.dialogs = dialogs;
    services.userName = QStringLiteral("sam");
    services.deskName = QStringLiteral("STORES-1");
    QString error;
    if (!Register::createEmptyDatabase(databasePath, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Settings settings(services.settingsFile);
    settings.write(SettingsKeys::Printer, kLabelPrinter);
    settings.write(SettingsKeys::SPrinter, kSmallLabelPrinter);
    settings.write(SettingsKeys::LPrinter, kListPrinter);
    settings.writeOn(SettingsKeys::DescOnLarge, true);

    SampleIds ids;
    {
        // Its changes are logged by the guide's user and desk, at the fixed
        // day's time, so the pictures of the log are the same on every run.
        Register reg(databasePath);
        reg.setAuthor({services.userName, services.deskName});
        Register::BackupPolicy logTime;
        logTime.now = [clock = services.clock] { return clock->now(); };
        reg.setBackupPolicy(logTime);
        if (!fillSampleRegister(reg, &ids))
            return 1;
    }

    AppContext ctx(services);
    frmMain main(ctx);
    main.show();
    settle();
    selectInTree(main, QStringLiteral("I%1").arg(ids.firstItem));
    bool ok = save(main, out, "main-window.png");
    main.show();

    frmPrinter chooser(ctx, &main);
    ok &= save(chooser, out, "printer-chooser.png");

    ctx.fields().ItemToOpen = ids.firstItem;
    frmItemAddEdit editor(ctx, &main);
    ok &= save(editor, out, "item-editor.png");

    ctx.fields().CaseToOpen = ids.lightingCase;
    frmFlightView caseViewer(ctx, &main);
    selectFirstLine(caseViewer, "List1");
    ok &= save(caseViewer, out, "case-viewer.png");

    ctx.fields().ListToOpen = ids.list;
    frmListAddEdit listEditor(ctx, &main);
    selectFirstLine(listEditor, "List1");
    ok &= save(listEditor, out, "list-editor.png");

    ok &= saveScanPicture(ctx, main, out, ids);
    ok &= saveAvailabilityPicture(ctx, main, out, ids);
    ok &= saveHistoryPictures(ctx, main, out, ids);
    ok &= saveTestPictures(ctx, *dialogs, main, out,
                           pdfs.absoluteFilePath(QStringLiteral("worksheet.pdf")), ids.overdueItem);
    ok &= ctx.printing().PrintLargeLabel(LabelKind::Item, ids.firstItem, Pictures::largeLogo());
    return ok ? 0 : 1;
}
