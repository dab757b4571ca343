#pragma once

// Control changes that are painted at once, so the user sees the new state
// before a long step that follows keeps the event loop busy.

#include "app/PathLabel.h"

#include <QCheckBox>

#include <string>

namespace ordalis {

inline void SetCaptionNow(PathLabel* label, const std::string& text)
{
    label->setPath(QString::fromStdString(text));
    label->adjustSize(); // labels size themselves to their caption
    label->repaint();
}

inline void SetEnabledNow(QWidget* control, bool enabled)
{
    control->setEnabled(enabled);
    control->repaint();
}

inline void SetCheckedNow(QCheckBox* box, bool checked)
{
    box->setChecked(checked);
    box->repaint();
}

} // namespace ordalis
