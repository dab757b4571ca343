#pragma once

class QAbstractButton;

namespace ordalis {

// Makes a button's or check box's caption fit its designed box: when the
// platform's font is wider than the one the box was designed for, the text
// shrinks half a point at a time (not below 6 points) until it fits with a
// little room on either side. The box itself keeps its designed size.
void FitCaption(QAbstractButton* control);

} // namespace ordalis
