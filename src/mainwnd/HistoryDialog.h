#pragma once

#include "book/ServerEvent.h"
#include "uilib/SkinText.h"

#include <QDialog>

#include <chrono>
#include <vector>

class QLabel;
class QTableView;
class EventListModel;

// "History…": what happened to one server, newest first, as sentences in
// the window's language. The events come from the book's worker; until they
// do, the dialog says nothing is there yet. GUI thread only.
class HistoryDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryDialog)

public:
    // `name` names the server in the title and the sentences (its identity
    // when empty).
    HistoryDialog(const QString& name, const QString& id, const TextLookup& text, const QString& language,
                  std::chrono::seconds silentAfter, QWidget* parent = nullptr);
    ~HistoryDialog() override;

    void SetEvents(const std::vector<ServerEvent>& events);
    // Says why there is no history instead.
    void SetUnavailable(const QString& reason);

    int EventCount() const;
    // Row `row`'s two texts: when, and what happened.
    QString When(int row) const;
    QString What(int row) const;
    QTableView* View() const { return m_view; }
    QLabel* Note() const { return m_note; }

private:
    QString m_name;
    QString m_id;
    TextLookup m_text;
    QString m_language;
    std::chrono::seconds m_silentAfter;
    EventListModel* m_model;  // child
    QTableView* m_view;       // child
    QLabel* m_note;           // child
    bool m_unavailable = false;
};
