#include "uilib/WindowFrame.h"

#include "uilib/CWindowWnd.h"
#include "uilib/MessageChannel.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

WindowFrame::WindowFrame(CWindowWnd* owner, QWidget* window, std::shared_ptr<MessageChannel> channel)
    : QObject(window)
    , m_owner(owner)
    , m_window(window)
    , m_channel(std::move(channel))
{
    window->installEventFilter(this);
    if (m_owner->SizeBoxWidth() > 0)
        window->setMouseTracking(true);
}

// However the widget goes, nobody may wait for it any more.
WindowFrame::~WindowFrame()
{
    m_channel->Close();
}

void WindowFrame::customEvent(QEvent* event)
{
    if (event->type() != MessageChannel::Event::TypeId())
        return;
    const auto call = static_cast<MessageChannel::Event*>(event)->GetCall();
    if (!m_channel->IsOpen())
        return;
    const LRESULT result = m_owner->HandleMessage(call->Message, call->WParam, call->LParam);
    if (call->Waited)
        m_channel->Complete(*call, result);
}

Qt::Edges WindowFrame::EdgesAt(QPoint pos) const
{
    const int box = m_owner->SizeBoxWidth();
    Qt::Edges edges;
    if (box <= 0 || m_window->isMaximized())
        return edges;
    if (pos.x() < box)
        edges |= Qt::LeftEdge;
    if (pos.x() >= m_window->width() - box)
        edges |= Qt::RightEdge;
    if (pos.y() < box)
        edges |= Qt::TopEdge;
    if (pos.y() >= m_window->height() - box)
        edges |= Qt::BottomEdge;
    return edges;
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::Close:
        // The window decides: by default WM_CLOSE destroys it.
        event->ignore();
        m_owner->HandleMessage(WM_CLOSE, 0, 0);
        return true;
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint pos = mouse->position().toPoint();
        QWindow* handle = m_window->windowHandle();
        if (const Qt::Edges edges = EdgesAt(pos); edges && handle) {
            handle->startSystemResize(edges);
            return true;
        }
        if (pos.y() < m_owner->CaptionHeight()) {
            if (!handle || !handle->startSystemMove()) {
                m_dragging = true;
                m_dragOffset = mouse->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
            }
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
            m_window->move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        const Qt::Edges edges = EdgesAt(mouse->position().toPoint());
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical) {
            const bool falling = (edges.testFlag(Qt::LeftEdge) && edges.testFlag(Qt::TopEdge)) ||
                                 (edges.testFlag(Qt::RightEdge) && edges.testFlag(Qt::BottomEdge));
            m_window->setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        } else if (horizontal) {
            m_window->setCursor(Qt::SizeHorCursor);
        } else if (vertical) {
            m_window->setCursor(Qt::SizeVerCursor);
        } else {
            m_window->unsetCursor();
        }
        return false;
    }
    case QEvent::MouseButtonRelease: m_dragging = false; return false;
    default: return false;
    }
}
