#pragma once

#include <QList>
#include <QString>

// How wide a symbol's narrow and wide elements (bars and gaps) are printed,
// in printer dots.
struct Code39Dots {
    int narrow = 1;
    int wide = 2;
};

// A Code 39 symbol as zint encodes it: start character, the text, stop
// character, no check character. Bars are given in modules (narrow elements);
// zint draws wide elements two modules wide.
struct Code39Symbol {
    struct Bar {
        int start = 0;  // first module (or dot) of the bar
        int width = 0;  // in modules (or dots)
    };
    QList<Bar> bars;
    int modules = 0;  // total width in modules, from the first bar to the last

    bool isEmpty() const { return bars.isEmpty(); }

    // The bars in printer dots when every narrow element is `dots.narrow`
    // and every wide one `dots.wide` dots wide.
    QList<Bar> barsInDots(Code39Dots dots) const;
    // Width from the first bar to the last in printer dots.
    int widthInDots(Code39Dots dots) const;
};

// The symbol for the text, or an empty symbol when zint cannot encode it
// (empty text, characters outside Code 39).
Code39Symbol encodeCode39(const QString& text);
