#pragma once

#include <QDate>
#include <QDateTime>

// Today's date and the time, behind a seam so tests can fix them.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDate today() const { return QDate::currentDate(); }
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
};
