#include "WidgetPrompter.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

WidgetPrompter::WidgetPrompter(QString programTitle, QWidget* parent)
    : m_programTitle(std::move(programTitle))
    , m_parent(parent)
{
}

PromptAnswer WidgetPrompter::message(const PromptMessage& message)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(message.title.isEmpty() ? m_programTitle : message.title);
    box.setText(message.text);
    if (!message.details.isEmpty())
        box.setDetailedText(message.details);
    switch (message.icon) {
    case PromptMessage::Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case PromptMessage::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case PromptMessage::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case PromptMessage::Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case PromptMessage::Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    switch (message.buttons) {
    case PromptMessage::Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case PromptMessage::Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case PromptMessage::Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case PromptMessage::Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    default:
        return PromptAnswer::Ok;
    }
}

QString WidgetPrompter::saveFileName(const QString& caption, const QString& directory, const QString& filter)
{
    return QFileDialog::getSaveFileName(m_parent, caption, directory, filter);
}

QString WidgetPrompter::openFileName(const QString& caption, const QString& directory, const QString& filter)
{
    // A filter's patterns may spell each letter case out ("*.[cC][sS][vV]"): its name alone is shown.
    return QFileDialog::getOpenFileName(m_parent, caption, directory, filter, nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

std::optional<QString> WidgetPrompter::text(const QString& title, const QString& prompt, bool masked)
{
    bool ok = false;
    const QString typed =
        QInputDialog::getText(m_parent, title.isEmpty() ? m_programTitle : title, prompt,
                              masked ? QLineEdit::Password : QLineEdit::Normal, QString(), &ok);
    if (!ok)
        return std::nullopt;
    return typed;
}
