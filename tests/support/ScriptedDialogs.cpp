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

int ScriptedDialogs::choose(QWidget*, const QString& text, const QStringList& offered) {
    choices.append({text, offered});
    return choiceAnswers.isEmpty() ? -1 : choiceAnswers.takeFirst();
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

namespace {

class ScriptedProgress : public Progress {
public:
    ScriptedProgress(ScriptedDialogs& dialogs, qsizetype entry, bool cancel)
        : dialogs_(dialogs), entry_(entry), cancel_(cancel) {}
    bool report(std::int64_t, std::int64_t) override {
        ++dialogs_.progresses[entry_].reports;
        cancelled_ = cancel_;
        return !cancelled_;
    }
    bool cancelled() const override { return cancelled_; }

private:
    ScriptedDialogs& dialogs_;
    qsizetype entry_;
    bool cancel_;
    bool cancelled_ = false;
};

}  // namespace

std::unique_ptr<Progress> ScriptedDialogs::progress(QWidget*, const QString& what) {
    progresses.append({what, 0});
    return std::make_unique<ScriptedProgress>(*this, progresses.size() - 1,
                                              cancelJobs.contains(what));
}
