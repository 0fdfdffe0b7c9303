#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <memory>

class QWidget;

// The frame of a frameless skinned window: a child object of the window's
// content that lets the window be dragged by the content's title band and
// resized by its border, as a window manager's frame would. GUI thread only.
class WindowFrame final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WindowFrame)

public:
    // `content` fills its window from the top left corner. `captionHeight`:
    // height in px of the draggable band at the top (0: none); `sizeBox`:
    // width in px of the resize border (0: fixed size).
    WindowFrame(QWidget* content, int captionHeight, int sizeBox);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::Edges EdgesAt(QPoint pos) const;

    QWidget* m_content;  // parent
    const int m_captionHeight;
    const int m_sizeBox;
    QPoint m_dragOffset;
    bool m_dragging = false;
};

// Fills `window` with the skin `file` (relative to the resource folder, or
// absolute) as its content: frameless, sized as the skin's root, with the
// root's dynamic properties `caption` (int, px: the draggable title band)
// and `sizebox` (int, px: resize border, 0 = fixed size) as its frame. On
// failure `window` is left untouched and `error` says why in one line that
// names the file.
bool BuildSkinnedWindow(QWidget& window, const QString& file, QString& error);
