#pragma once

#include <QCheckBox>

#include "data/Settings.h"

// A check box bound to a Yes/No label option: it starts ticked only when the
// stored text is exactly "Yes" and stores "Yes" or "No" on every click.
class OptionCheckBox : public QCheckBox {
    Q_OBJECT
public:
    OptionCheckBox(const QString& caption, Settings& settings, QString key, QWidget* parent)
        : QCheckBox(caption, parent), settings_(settings), key_(std::move(key)) {
        setChecked(settings_.isOn(key_));
        connect(this, &QCheckBox::clicked, this, [this] { settings_.writeOn(key_, isChecked()); });
    }

private:
    Settings& settings_;
    QString key_;
};
