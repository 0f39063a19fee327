#pragma once

#include <QList>
#include <QStringList>
#include <functional>

#include "common/Dialogs.h"

// Dialogs that answer from queues instead of asking a person, and remember
// everything they were asked. An empty queue answers No, Cancel (empty text).
class ScriptedDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        Icon icon;
        Buttons buttons;
    };
    struct Input {
        QString prompt;
        QString defaultText;
    };

    QList<Message> messages;
    QList<Answer> answers;  // for Yes/No questions

    QList<Input> inputs;
    QStringList inputAnswers;  // an entry of QString() is Cancel

    QStringList fileStarts;   // the start name each open-file dialog got
    QStringList fileAnswers;  // empty entry: Cancel

    QStringList saveStarts;   // the start name each save-file dialog got
    QStringList saveAnswers;  // empty entry: Cancel

    // Each long job's progress as it was shown: what the job was told as,
    // and how many reports it made. A job named in cancelJobs is cancelled
    // at its first report.
    struct ProgressShown {
        QString what;
        int reports = 0;
    };
    QList<ProgressShown> progresses;
    QStringList cancelJobs;

    // What each choose() asked, and its answers: an index, -1 Cancel (also
    // when the queue is empty).
    struct Choice {
        QString text;
        QStringList choices;
    };
    QList<Choice> choices;
    QList<int> choiceAnswers;

    // Called while a box is "open", e.g. to check the window state then.
    std::function<void(const Message&)> onMessage;

    Answer message(QWidget* parent, const QString& text, Icon icon, Buttons buttons) override;
    QString inputBox(QWidget* parent, const QString& prompt, const QString& defaultText) override;
    QString openFileName(QWidget* parent, const QString& startName) override;
    QString saveFileName(QWidget* parent, const QString& startName, const QString& filter) override;
    std::unique_ptr<Progress> progress(QWidget* parent, const QString& what) override;
    int choose(QWidget* parent, const QString& text, const QStringList& choices) override;

    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().text; }
};
