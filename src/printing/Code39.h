#pragma once

#include <QList>
#include <QString>

// A Code 39 symbol as zint encodes it: start character, the text, stop
// character, no check character. Bars are given in modules (narrow elements);
// zint draws wide elements two modules wide.
struct Code39Symbol {
    struct Bar {
        int start = 0;  // first module of the bar
        int width = 0;  // in modules
    };
    QList<Bar> bars;
    int modules = 0;  // total width in modules, from the first bar to the last

    bool isEmpty() const { return bars.isEmpty(); }
};

// The symbol for the text, or an empty symbol when zint cannot encode it
// (empty text, characters outside Code 39).
Code39Symbol encodeCode39(const QString& text);
