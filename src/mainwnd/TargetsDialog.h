#pragma once

#include "uilib/SkinText.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Find by address…": the addresses to probe besides the broadcasts, for
// servers on another network. A target is checked as it is typed and can be
// added only when it parses; listed ones can be removed. A plain dialog: it
// needs no skin. GUI thread only.
class TargetsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TargetsDialog)

public:
    TargetsDialog(const QStringList& targets, const TextLookup& text, QWidget* parent = nullptr);

    QStringList Targets() const;
    // The parts a test drives.
    QLineEdit* Entry() const { return m_entry; }
    QPushButton* AddButton() const { return m_add; }
    QLabel* Verdict() const { return m_verdict; }
    QListWidget* List() const { return m_list; }

private:
    void Check();
    void Add();
    void RemoveSelected();

    TextLookup m_text;
    QListWidget* m_list;
    QLineEdit* m_entry;
    QPushButton* m_add;
    QPushButton* m_remove;
    QLabel* m_verdict;
};
