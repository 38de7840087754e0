#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

namespace {
// An answered dialog still open after this long was not closed by its action (for example a
// file dialog that refused the chosen file); waiting longer would block the test for good.
constexpr qint64 kCloseGraceMs = 3000;
} // namespace

ModalAnswerer::ModalAnswerer()
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

void ModalAnswerer::expect(Action action)
{
    m_expected.push(std::move(action));
}

void ModalAnswerer::expectMessageBox(int button)
{
    expect([this, button](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (!box) {
            m_unexpected << QStringLiteral("not a message box: ") + dialog->windowTitle();
            dialog->reject();
            return;
        }
        m_answered << box->windowTitle() + QStringLiteral(": ") + box->text();
        QAbstractButton *target = box->button(QMessageBox::StandardButton(button));
        if (target)
            target->click();
        else
            box->reject();
    });
}

void ModalAnswerer::clear()
{
    m_expected = {};
    m_answered.clear();
    m_unexpected.clear();
}

void ModalAnswerer::poll()
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    if (dialog == m_current) {
        if (m_sinceAnswer.elapsed() > kCloseGraceMs) {
            m_unexpected << QStringLiteral("still open after its answer: ") + dialog->windowTitle();
            m_current = nullptr;
            dialog->reject();
        }
        return;
    }
    m_current = dialog;
    m_sinceAnswer.start();
    connect(dialog, &QDialog::finished, this, [this] { m_current = nullptr; });
    connect(dialog, &QObject::destroyed, this, [this] { m_current = nullptr; });
    if (m_expected.empty()) {
        QString text = dialog->windowTitle();
        if (auto *box = qobject_cast<QMessageBox *>(dialog))
            text += QStringLiteral(": ") + box->text();
        m_unexpected << text;
        dialog->reject();
        return;
    }
    Action action = std::move(m_expected.front());
    m_expected.pop();
    action(dialog);
}
