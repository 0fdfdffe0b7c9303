#pragma once

#include <QObject>
#include <QPoint>

#include <memory>

class CWindowWnd;
class MessageChannel;

// The library's side of a window's top-level widget (a child object of it):
// receives the window's messages, turns a close request into WM_CLOSE, and
// lets the frameless window be dragged by its title band and resized by its
// border.
class WindowFrame final : public QObject
{
    Q_OBJECT

public:
    WindowFrame(CWindowWnd* owner, QWidget* window, std::shared_ptr<MessageChannel> channel);
    ~WindowFrame() override;

protected:
    void customEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::Edges EdgesAt(QPoint pos) const;

    CWindowWnd* m_owner;  // outlives the widget this object belongs to
    QWidget* m_window;    // parent
    std::shared_ptr<MessageChannel> m_channel;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
