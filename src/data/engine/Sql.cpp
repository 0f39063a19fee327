#include "data/engine/Sql.h"

#include "data/rules/TextRules.h"

namespace Sql {

Statement& Statement::bind(const QString& text) {
    cursor_->bindText(TextRules::storable(text).toUtf8());
    return *this;
}

Statement& Statement::bind(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
            return bind(value.toLongLong());
        case QMetaType::Double:
            return bind(value.toDouble());
        default:
            return bind(value.toString());
    }
}

}  // namespace Sql
