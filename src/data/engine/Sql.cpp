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

std::optional<QStringList> firstColumn(Connection& db, const char* sql, const QString& value) {
    Statement statement(db, sql);
    statement.bind(value);
    QStringList rows;
    while (statement.step())
        rows << statement.shown(0);
    return statement.ok() ? std::optional<QStringList>(rows) : std::nullopt;
}

}  // namespace Sql
