#pragma once

#include <QDate>

// Today's date, behind a seam so tests can fix it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const { return QDate::currentDate(); }
};
