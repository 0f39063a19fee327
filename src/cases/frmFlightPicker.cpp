#include "cases/frmFlightPicker.h"

#include <QPushButton>

#include "common/WindowStyle.h"
#include "data/CaseStore.h"
#include "data/rules/TextRules.h"

frmFlightPicker::frmFlightPicker(AppContext& ctx, QWidget* parent)
    : PickerWindow(ctx,
                   {"frmFlightPicker", QStringLiteral("Flight Case Picker"), 7230, 7965,
                    QStringLiteral("Please Select the Flight Case from the List Below."),
                    RecordList::Lines::IdAndText, QStringLiteral("Flight cases"), 6330},
                   parent) {
    pickOnDoubleClick();
    WindowStyle::setTabOrder({List1, Command2, Command3});
    Form_Load();
}

void frmFlightPicker::Form_Load() {
    ThisCase = 0;
    IdTextRows lines;
    lines.append(0, "No Flight Case (Default)");
    // On a failed read the store has told the user; "no case" stays choosable.
    if (const auto cases = ctx_.cases().all()) {
        lines.ids.reserve(cases->size() + 1);
        for (std::size_t i = 0; i < cases->size(); ++i)
            lines.append(cases->ids[i], cases->texts.view(i));
    }
    List1->setRows(std::move(lines));
}

void frmFlightPicker::lineChosen(const std::optional<QString>& line) {
    ThisCase = line ? TextRules::IdFromListLine(*line) : 0;
}

void frmFlightPicker::handOverChoice() {
    ctx_.fields().CaseToPick = ThisCase;
}
