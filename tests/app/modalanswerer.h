#pragma once
// Answers the modal dialogs a test expects, in order, from a timer (a test must never block on
// one), and closes and records any other modal dialog that shows up, and any answered dialog
// that stays open.

#include <QDialog>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <queue>

class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void(QDialog *dialog)>;

    ModalAnswerer();

    // The next modal dialog is handed to action, which must close it.
    void expect(Action action);
    // Convenience for message boxes: records title and text, clicks the standard button.
    void expectMessageBox(int button);

    int pending() const { return int(m_expected.size()); }
    // "title: text" of every dialog that was answered, in order.
    const QStringList &answered() const { return m_answered; }
    // Dialogs nobody expected, and answered dialogs still open after a while (closed by
    // rejection).
    const QStringList &unexpected() const { return m_unexpected; }
    void clear();

private:
    void poll();

    QTimer m_timer;
    std::queue<Action> m_expected;
    QStringList m_answered;
    QStringList m_unexpected;
    QDialog *m_current = nullptr;
    QElapsedTimer m_sinceAnswer;
};
