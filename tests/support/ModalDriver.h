#pragma once

#include <QString>
#include <QWidget>
#include <functional>

// Drives modal windows from a test: the action runs as soon as a modal
// window with that object name is on screen (checked every few ms), while
// the code under test waits in its exec().
namespace ModalDriver {

// Schedules `action` for the next modal window named `objectName`.
// Fails the test (and closes the modal window) when none appears in time.
void whenShown(const QString& objectName, std::function<void(QWidget*)> action,
               int timeoutMs = 5000);

// Runs `action` and tells whether a modal window named `objectName` was
// shown meanwhile. One that was is closed at once, so a window that should
// not have opened fails the check instead of hanging the test.
bool shownDuring(const QString& objectName, const std::function<void()>& action);

// The visible top-level window with that object name, or null.
QWidget* findWindow(const QString& objectName);

// True when the window has been closed (or destroyed) within the time.
bool waitClosed(const QString& objectName, int timeoutMs = 2000);

}  // namespace ModalDriver
