#include "printing/Code39.h"

#include <zint.h>

#include <memory>

namespace {

struct ZintDeleter {
    void operator()(zint_symbol* symbol) const { ZBarcode_Delete(symbol); }
};

bool moduleIsSet(const zint_symbol& symbol, int column) {
    return (symbol.encoded_data[0][column / 8] >> (column % 8)) & 1;
}

// An element of one module is narrow; zint's wide elements are two.
int elementDots(int modules, Code39Dots dots) {
    return modules > 1 ? dots.wide : dots.narrow;
}

}  // namespace

Code39Symbol encodeCode39(const QString& text) {
    std::unique_ptr<zint_symbol, ZintDeleter> symbol(ZBarcode_Create());
    if (!symbol)
        return {};
    symbol->symbology = BARCODE_CODE39;
    symbol->option_2 = 0;  // no check character
    symbol->show_hrt = 0;

    const QByteArray data = text.toLatin1();
    const int result = ZBarcode_Encode(
        symbol.get(), reinterpret_cast<const unsigned char*>(data.constData()), data.size());
    if (result >= ZINT_ERROR || symbol->rows < 1)
        return {};

    Code39Symbol out;
    out.modules = symbol->width;
    for (int column = 0; column < symbol->width;) {
        if (!moduleIsSet(*symbol, column)) {
            ++column;
            continue;
        }
        Code39Symbol::Bar bar{column, 0};
        while (column < symbol->width && moduleIsSet(*symbol, column)) {
            ++bar.width;
            ++column;
        }
        out.bars.append(bar);
    }
    return out;
}

QList<Code39Symbol::Bar> Code39Symbol::barsInDots(Code39Dots dots) const {
    QList<Bar> out;
    out.reserve(bars.size());
    int position = 0;
    int previousEnd = 0;
    for (const Bar& bar : bars) {
        if (!out.isEmpty())
            position += elementDots(bar.start - previousEnd, dots);
        const int width = elementDots(bar.width, dots);
        out.append(Bar{position, width});
        position += width;
        previousEnd = bar.start + bar.width;
    }
    return out;
}

int Code39Symbol::widthInDots(Code39Dots dots) const {
    const QList<Bar> scaled = barsInDots(dots);
    return scaled.isEmpty() ? 0 : scaled.last().start + scaled.last().width;
}
