#pragma once

#include "AdhocMessages.h"
#include "dlgSearch.h"

#include <QStringList>
#include <QWidget>

class Prompter;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class TextGrid;

/// The ad-hoc message screen: one free text, typed or picked from the stored messages, queued to
/// every mobile number pasted into it.
class frmAdvancedSMS : public QWidget, public SearchTarget
{
    Q_OBJECT

public:
    frmAdvancedSMS(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr);

    /// The message box takes the stored message chosen in the search dialog.
    void GetData(const QString& code) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void acceptNumbers();
    void countCharacters();
    void searchMessages();
    void sendNow();
    void inform(const QString& text, const QString& title);

    AdhocMessages m_engine;
    Prompter& m_prompter;
    /// The numbers vsnos shows, as the last change of txtmobnos gave them.
    QStringList m_numbers;

    QPlainTextEdit* txtmobnos;
    TextGrid* vsnos;
    QPlainTextEdit* txtmessage;
    QLabel* lblmsglen;
    QPushButton* cmdSendNow;
};
