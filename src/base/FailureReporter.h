#pragma once

#include <QString>
#include <functional>

// How a lower layer tells the user that an operation failed: the program
// shows the message in a box; tests record it.
using FailureReporter = std::function<void(const QString& message)>;
