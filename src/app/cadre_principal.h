#pragma once
// The frame of the acquisition window on the desktop: the panel keeps its
// arrangement at its own size, and where the screen is smaller (a small
// screen, a large scale factor) the frame shows part of it and scrolls.
// Closing the frame closes the panel, which may first end a run.
#include <QScrollArea>

namespace SonivarACQ32 {

class Principale;

class CadrePrincipal : public QScrollArea {
public:
    explicit CadrePrincipal(Principale* panel);
    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Principale* panel_;
};

} // namespace SonivarACQ32
