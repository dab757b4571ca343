#pragma once

#include <QLabel>

namespace ordalis {

// A label that shows a file's path. It sizes itself to the whole path as the
// window's labels do, but paints only what its tab can show: a path too long
// for the room left is shortened in the middle ("/home/…/report.pdf"), so the
// folder's start and the file's name stay readable, and the whole path is the
// label's tooltip. text() is always the whole path.
class PathLabel : public QLabel {
public:
    using QLabel::QLabel;

    void setPath(const QString& path);
    // What the label paints now.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int visibleWidth() const;
};

} // namespace ordalis
