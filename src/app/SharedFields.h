#pragma once

#include <QVariant>

#include "data/rules/TextRules.h"

// What the location picker hands back when it was closed without a choice;
// callers then leave their location as it was.
inline const QString kNoLocationChosen = QStringLiteral("Blank");

// The fields through which windows hand arguments and results to each other.
// Each starts empty and then holds a number or a text; ids are compared with
// 0 numerically (see idOf). A value stays until it is overwritten.
struct SharedFields {
    QVariant ItemToOpen;      // item to show or edit; not above 0 asks for a new item
    QVariant CaseToOpen;      // case to show or edit; not above 0 asks for a new case
    QVariant ListToOpen;      // list to show or edit; not above 0 asks for a new list
    QVariant OpenCase;        // case number text of the last double-clicked case line
    QVariant Funny;           // state of the hidden picture sequence
    QVariant ItemToPick;      // item picker result (0 = nothing chosen)
    QVariant ItemToPickDesc;  // item picker result: description
    QVariant CaseToPick;      // case picker result
    QVariant DateToPick;      // date picker result, as date text
    QVariant LocationToPick;  // location picker result; "Blank" = nothing chosen

    // The whole-number value of an id field, as readers compare it with 0.
    static qint64 idOf(const QVariant& field) {
        return TextRules::wholeNumber(TextRules::numericValue(field));
    }
};
