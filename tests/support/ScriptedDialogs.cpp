#include "ScriptedDialogs.h"

Dialogs::Answer ScriptedDialogs::message(QWidget*, const QString& text, Icon icon,
                                         Buttons buttons) {
    messages.append({text, icon, buttons});
    if (onMessage)
        onMessage(messages.last());
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return answers.isEmpty() ? Answer::No : answers.takeFirst();
}

QString ScriptedDialogs::inputBox(QWidget*, const QString& prompt, const QString& defaultText) {
    inputs.append({prompt, defaultText});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
}

QString ScriptedDialogs::saveFileName(QWidget*, const QString& startName, const QString&) {
    saveStarts.append(startName);
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}

QString ScriptedDialogs::openFileName(QWidget*, const QString& startName) {
    fileStarts.append(startName);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}
