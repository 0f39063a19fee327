#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "base/Progress.h"

class QWidget;

// Every message box, input box and file dialog goes through this seam, so
// that tests can answer them. All boxes carry the title "Quarvel".
class Dialogs {
public:
    enum class Icon { None, Information, Question, Warning, Critical };
    // YesNoDefaultNo: a question whose Enter answers No, for a question
    // that deletes, removes or overwrites what another desk saved.
    enum class Buttons { Ok, YesNo, YesNoDefaultNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Dialogs() = default;

    virtual Answer message(QWidget* parent, const QString& text, Icon icon, Buttons buttons) = 0;

    // A text input box; returns the text typed, or empty text on Cancel.
    virtual QString inputBox(QWidget* parent, const QString& prompt,
                             const QString& defaultText) = 0;

    // An open-file dialog with the platform's title and no filter, starting
    // on startName; returns the chosen full path, or empty text on Cancel.
    virtual QString openFileName(QWidget* parent, const QString& startName) = 0;

    // A save-file dialog for a file of the given filter ("CSV files
    // (*.csv)"), starting on startName; it asks before replacing a file.
    // Returns the chosen full path, or empty text on Cancel.
    virtual QString saveFileName(QWidget* parent, const QString& startName,
                                 const QString& filter) = 0;

    // The progress of a long job, told as `what` ("Importing the items"):
    // a dialog with the work done so far and a Cancel button, shown once
    // the job has taken half a second. None: the job runs without one.
    virtual std::unique_ptr<Progress> progress(QWidget* parent, const QString& what);

    // A question with a button for each choice ("&Item 12": "&" marks its
    // key) and Cancel, which Enter and Esc answer, so that a scanner firing
    // on into the box chooses nothing. The choice's index, or -1 (Cancel).
    virtual int choose(QWidget* parent, const QString& text, const QStringList& choices);

    // Convenience for the common shapes.
    void inform(QWidget* parent, const QString& text, Icon icon = Icon::Information) {
        message(parent, text, icon, Buttons::Ok);
    }
    bool askYesNo(QWidget* parent, const QString& text, Icon icon) {
        return message(parent, text, icon, Buttons::YesNo) == Answer::Yes;
    }
    // Before a deletion or an overwrite: only a deliberate Yes acts.
    bool askYesNoDefaultNo(QWidget* parent, const QString& text, Icon icon) {
        return message(parent, text, icon, Buttons::YesNoDefaultNo) == Answer::Yes;
    }
};

// The real dialogs of the running program.
class QtDialogs : public Dialogs {
public:
    Answer message(QWidget* parent, const QString& text, Icon icon, Buttons buttons) override;
    QString inputBox(QWidget* parent, const QString& prompt, const QString& defaultText) override;
    QString openFileName(QWidget* parent, const QString& startName) override;
    QString saveFileName(QWidget* parent, const QString& startName, const QString& filter) override;
    std::unique_ptr<Progress> progress(QWidget* parent, const QString& what) override;
    int choose(QWidget* parent, const QString& text, const QStringList& choices) override;
};
