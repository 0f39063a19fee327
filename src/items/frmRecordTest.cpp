#include "items/frmRecordTest.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/Clock.h"
#include "common/Dialogs.h"
#include "common/WindowStyle.h"
#include "data/ItemStore.h"
#include "data/TestRecordStore.h"
#include "data/rules/TextRules.h"

using WindowStyle::place;

namespace {
const char* const kKinds[] = {"PAT", "Pressure", "Visual", "LOLER", "Calibration", "Other"};
}  // namespace

frmRecordTest::frmRecordTest(AppContext& ctx, qint64 itemId, QWidget* parent)
    : QDialog(parent), ctx_(ctx), itemId_(itemId) {
    setObjectName(QStringLiteral("frmRecordTest"));
    WindowStyle::setUpWindow(this, QStringLiteral("Record Test"), 6600, 4200);
    buildControls();
    const auto item = ctx_.items().withId(itemId_);
    if (!item || item->isEmpty()) {
        if (item)
            ctx_.dialogs().inform(this, QStringLiteral("Item %1 no longer exists: it was deleted "
                                                       "since the list was read.")
                                            .arg(itemId_));
        WindowStyle::closeOnceShown(this);
        return;
    }
    Label1->setText(
        QStringLiteral("Item %1 - %2").arg(itemId_).arg(item->first()[ItemColumn::Desc]));
}

QLabel* frmRecordTest::addCaption(const QString& text, int top, QWidget* buddy) {
    auto* caption = new QLabel(text, this);
    caption->setBuddy(buddy);
    place(caption, 120, top, 1680, 405);
    place(buddy, 1800, top, 4680, 405);
    buddy->setAccessibleName(QString(text).remove(u'&').remove(u':'));
    return caption;
}

void frmRecordTest::buildControls() {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(WindowStyle::tahoma(12, true));
    place(Label1, 120, 120, 6360, 405);

    dtpDate = new QDateEdit(ctx_.clock().today(), this);
    dtpDate->setObjectName(QStringLiteral("dtpDate"));
    dtpDate->setDisplayFormat(QStringLiteral("d/M/yyyy"));
    dtpDate->setCalendarPopup(true);
    addCaption(QStringLiteral("&Date:"), 720, dtpDate);

    cboKind = new QComboBox(this);
    cboKind->setObjectName(QStringLiteral("cboKind"));
    for (const char* kind : kKinds)
        cboKind->addItem(QLatin1String(kind));
    addCaption(QStringLiteral("&Kind:"), 1245, cboKind);

    cboResult = new QComboBox(this);
    cboResult->setObjectName(QStringLiteral("cboResult"));
    cboResult->addItems({QStringLiteral("Pass"), QStringLiteral("Fail")});
    addCaption(QStringLiteral("&Result:"), 1770, cboResult);

    txtNote = new QLineEdit(this);
    txtNote->setObjectName(QStringLiteral("txtNote"));
    addCaption(QStringLiteral("&Note:"), 2295, txtNote);

    cmdSave =
        WindowStyle::addButton(this, "cmdSave", QStringLiteral("Save"), 4080, 3000, 1095, 975);
    cmdClose =
        WindowStyle::addButton(this, "cmdClose", QStringLiteral("Close"), 5385, 3000, 1095, 975);
    connect(cmdSave, &QPushButton::clicked, this, &frmRecordTest::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmRecordTest::cmdClose_Click);
    WindowStyle::makeCancelButton(this, cmdClose);
    WindowStyle::setTabOrder({dtpDate, cboKind, cboResult, txtNote, cmdSave, cmdClose});
}

void frmRecordTest::cmdSave_Click() {
    const QDate date = dtpDate->date();
    if (date > ctx_.clock().today()) {
        ctx_.dialogs().inform(this,
                              QStringLiteral("A test cannot be recorded before it is done: the "
                                             "date %1 is after today. Choose the day of the test.")
                                  .arg(TextRules::dateText(date)),
                              Dialogs::Icon::Warning);
        return;
    }
    const TestRecord test{date, cboKind->currentText(),
                          cboResult->currentText() == QLatin1String("Pass"), txtNote->text()};
    switch (ctx_.tests().record(itemId_, test)) {
        case RecordTestResult::Recorded:
            accept();
            return;
        case RecordTestResult::ItemGone:
            ctx_.dialogs().inform(
                this, QStringLiteral("Item %1 no longer exists: it was deleted since this window "
                                     "opened. Nothing was recorded.")
                          .arg(itemId_));
            QDialog::reject();
            return;
        case RecordTestResult::Failed:
            return;  // the store has told the user; the window stays for another try
    }
}

void frmRecordTest::cmdClose_Click() {
    QDialog::reject();
}
