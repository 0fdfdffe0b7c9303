#pragma once

#include "diagnosis/Diagnosis.h"
#include "uilib/SkinText.h"

#include <QDialog>

#include <functional>
#include <thread>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Diagnostics…": why the list is empty, in words a person can act on. The
// facts are gathered on a thread of its own (the firewall check may take
// seconds) while the dialog says what it checks; then the report replaces
// that line and can be copied for a colleague or a bug report. A plain
// dialog: it needs no skin. GUI thread only.
class DiagnosticsDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DiagnosticsDialog)

public:
    // Runs on the worker thread: must touch nothing of the GUI's.
    using Gather = std::function<DiagnosisInput()>;

    DiagnosticsDialog(PhraseLookup translate, const TextLookup& text, QWidget* parent = nullptr);
    // Waits for a check still running; it ends within its budget.
    ~DiagnosticsDialog() override;

    // Starts a check with `gather` unless one runs; the report follows
    // with Finished.
    void Run(Gather gather);
    bool IsRunning() const { return m_worker.joinable() && !m_done; }
    QString Report() const;

    // The parts a test drives.
    QPushButton* CopyButton() const { return m_copy; }
    QLabel* Headline() const { return m_headline; }

signals:
    void Finished();

private:
    void Show(const DiagnosisInput& input);

    PhraseLookup m_translate;
    TextLookup m_text;
    QLabel* m_headline;
    QPlainTextEdit* m_report;
    QPushButton* m_copy;
    std::thread m_worker;
    bool m_done = true;  // GUI thread's view: no result still to come
};
