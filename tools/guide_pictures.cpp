// Takes the user guide's pictures of the real windows: fills a sample
// register in a temporary folder, opens the windows on it and saves each as
// a PNG, and prints a large label into a PDF (tools/make-guide-pictures.sh
// renders it). Run under a display; the script starts a virtual one.
#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "cases/frmFlightView.h"
#include "data/Settings.h"
#include "data/Store.h"
#include "items/frmItemAddEdit.h"
#include "lists/frmListAddEdit.h"
#include "main/TreeModel.h"
#include "main/frmMain.h"
#include "printing/PrintService.h"
#include "printing/PrinterCatalog.h"
#include "printing/frmPrinter.h"
#include "resources/Fonts.h"
#include "resources/Pictures.h"

namespace {

const QString kLabelPrinter = QStringLiteral("Zebra GK420d");
const QString kSmallLabelPrinter = QStringLiteral("Brother QL-700");
const QString kListPrinter = QStringLiteral("Office laser");

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
};

const SampleItem kItems[] = {
    {"Cable drum 25m 16A", "Power", "Brennenstuhl", "1208", "BR-20817", 1, "Bay 1", 25},
    {"Par can 1000W", "Lighting", "Thomann", "PAR 64", "TH-64-0031", 2, "Bay 2", 0},
    {"Par can 1000W", "Lighting", "Thomann", "PAR 64", "TH-64-0032", 2, "Bay 2", 0},
    {"Chain hoist 1t", "Rigging", "CM Lodestar", "Model L", "LS-7731", 0, "Rack C3", 0},
    {"DMX splitter 8-way", "Lighting", "Swisson", "XSP-8R", "SW-11842", 2, "Bay 2", 0},
    {"Stage box 32/8", "Sound", "Klark Teknik", "DN32", "KT-3208-19", 1, "Bay 1", 0},
    {"Power distro 63A", "Power", "Ablesoft", "PD-63", "AB-5510", 1, "Bay 1", 0},
};

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
    set(ItemColumn::TestInterval, QStringLiteral("12 months"));
    set(ItemColumn::TestLast, QStringLiteral("2/9/2026"));
    set(ItemColumn::TestNext, QStringLiteral("2/9/2027"));
    set(ItemColumn::VisualInspectionResult, QStringLiteral("Pass"));
    if (QByteArray(s.category) == "Power")
        set(ItemColumn::TestPatResult, QStringLiteral("/srv/tests/pat/2026-09-02.pdf"));
    return w;
}

// A register such as a small hire company keeps; false when a step failed.
bool fillSampleRegister(Store& store, qint64* firstItem, qint64* lightingCase, qint64* list) {
    for (const char* place : {"Bay 1", "Bay 2", "Rack C3", "Loading dock"})
        store.addLocation(QString::fromUtf8(place));
    QList<qint64> cases = {0};
    for (const char* name : {"Power trunk", "Lighting case A"}) {
        CaseRecord c;
        c[CaseColumn::Name] = QString::fromUtf8(name);
        c[CaseColumn::Location] = QStringLiteral("Bay 1");
        c[CaseColumn::Bought] = QStringLiteral("3/2018");
        c[CaseColumn::Wheeled] = QStringLiteral("Yes");
        const auto id = store.insertCase(c);
        if (!id)
            return false;
        cases.append(*id);
    }
    QList<qint64> items;
    for (const SampleItem& s : kItems) {
        const auto id = store.insertItem(itemValues(s, cases[s.caseNumber]));
        if (!id)
            return false;
        items.append(*id);
    }
    const auto listId = store.insertList(QStringLiteral("Stage left, Saturday"));
    if (!listId)
        return false;
    for (int i : {0, 1, 3, 6})
        store.addListLine(*listId, items[i], QString::fromUtf8(kItems[i].desc));
    *firstItem = items.first();
    *lightingCase = cases[2];
    *list = *listId;
    return true;
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: quarvel-guide-pictures PICTURE-FOLDER LABEL-PDF\n");
        return 2;
    }
    Fonts::loadTahoma();
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir work;

    Services services;
    const QString databasePath = work.filePath(QStringLiteral("data.mdb"));
    services.location = RegisterLocation::file(databasePath);
    services.settingsFile = work.filePath(QStringLiteral("settings.ini"));
    services.printers = std::make_shared<PdfPrinters>(QString::fromLocal8Bit(argv[2]));
    QString error;
    if (!Store::createEmptyDatabase(databasePath, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    Settings settings(services.settingsFile);
    settings.write(SettingsKeys::Printer, kLabelPrinter);
    settings.write(SettingsKeys::SPrinter, kSmallLabelPrinter);
    settings.write(SettingsKeys::LPrinter, kListPrinter);
    settings.writeOn(SettingsKeys::DescOnLarge, true);

    qint64 item = 0, lightingCase = 0, list = 0;
    Store store(databasePath);
    if (!fillSampleRegister(store, &item, &lightingCase, &list))
        return 1;

    AppContext ctx(services);
    frmMain main(ctx);
    main.show();
    settle();
    selectInTree(main, QStringLiteral("I%1").arg(item));
    bool ok = save(main, out, "main-window.png");
    main.show();

    frmPrinter chooser(ctx, &main);
    ok &= save(chooser, out, "printer-chooser.png");

    ctx.fields().ItemToOpen = item;
    frmItemAddEdit editor(ctx, &main);
    ok &= save(editor, out, "item-editor.png");

    ctx.fields().CaseToOpen = lightingCase;
    frmFlightView caseViewer(ctx, &main);
    selectFirstLine(caseViewer, "List1");
    ok &= save(caseViewer, out, "case-viewer.png");

    ctx.fields().ListToOpen = list;
    frmListAddEdit listEditor(ctx, &main);
    selectFirstLine(listEditor, "List1");
    ok &= save(listEditor, out, "list-editor.png");

    ok &= ctx.printing().PrintLargeLabel(LabelKind::Item, item, Pictures::largeLogo());
    return ok ? 0 : 1;
}
