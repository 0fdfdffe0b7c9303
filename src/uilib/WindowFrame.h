#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>

class QMouseEvent;
class QWidget;
class QWindow;

// The frame of a frameless skinned window: lets the window be dragged by its
// content's title band and resized from every edge and corner, as a window
// manager's frame would. GUI thread only.
//
// The resize border lies over whatever child is there (the list, the
// toolbar's buttons, the filter field): the frame watches the window's
// native QWindow, which sees every pointer event before any child does, so
// a press on the border resizes instead of reaching the child, and the
// pointer shows the resize cursor there. The window system does the resize
// (QWindow::startSystemResize: _NET_WM_MOVERESIZE on X11, xdg_toplevel
// resize on Wayland) and the move, so both follow the desktop's own rules.
class WindowFrame final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowFrame)

public:
    // `content` fills its window from the top left corner. `captionHeight`:
    // height in px of the draggable band at the top (0: none); `sizeBox`:
    // width in px of the resize border (0: fixed size).
    WindowFrame(QWidget* content, int captionHeight, int sizeBox);
    ~WindowFrame() override;

    // The edges a press at `pos` (window coordinates) resizes: none inside,
    // none while maximised or full screen, none for a fixed-size frame.
    Qt::Edges EdgesAt(QPoint pos) const;
    // The pointer shape over those edges.
    static Qt::CursorShape CursorFor(Qt::Edges edges);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool OnWindowEvent(QWindow* handle, QEvent* event);
    bool OnContentEvent(QEvent* event);
    void ShowCursorFor(Qt::Edges edges);

    QWidget* m_content;  // parent
    const int m_captionHeight;
    const int m_sizeBox;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_resizing = false;
    // The resize cursor is an application override cursor while the pointer
    // is over the border: a child's own cursor (the filter's I-beam) would
    // win over a cursor set on the window.
    Qt::Edges m_cursorEdges;
};

// Fills `window` with the skin `file` (relative to the resource folder, or
// absolute) as its content: frameless, sized as the skin's root, with the
// root's dynamic properties `caption` (int, px: the draggable title band)
// and `sizebox` (int, px: resize border, 0 = fixed size) as its frame. On
// failure `window` is left untouched and `error` says why in one line that
// names the file.
bool BuildSkinnedWindow(QWidget& window, const QString& file, QString& error);
