#pragma once

#include "SpreadsheetMessages.h"
#include "Workbook.h"

#include <QSet>
#include <QWidget>

#include <functional>

class Prompter;
class QLayout;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TextGrid;

/// What the ledger, stock-statement and template screens share: the chosen file and its preview, the
/// raw-data and message grids, and reading and sending through their engine with the buttons enabled
/// as the work goes from a loaded file to a reading to a sending.
class SpreadsheetScreen : public QWidget
{
    Q_OBJECT

public:
    ~SpreadsheetScreen() override;

    /// True while a sheet is loading or a reading runs; the window goes on, and the file's controls
    /// wait for it.
    bool isBusy() const { return m_busy; }

protected:
    SpreadsheetScreen(const QString& name, const QString& caption, Prompter& prompter, QWidget* parent);

    /// The engine's reading of the loaded sheet with the screen's choices.
    virtual SpreadsheetReading readSheet(const Worksheet& sheet, const SpreadsheetProgress& progress) = 0;
    /// The engine's sending of the message grid; returns how many were queued.
    virtual int sendMessages(const QList<QueueGridRow>& messages) = 0;
    /// Shown once the messages are queued; none when empty.
    virtual QString sentConfirmation() const { return {}; }
    /// "&Browse": the default picks a file and previews its first sheet.
    virtual void browse();
    /// Just before a reading starts.
    virtual void aboutToRead() {}
    /// Once a reading has filled the grids.
    virtual void afterReading(const SpreadsheetReading&) {}

    void closeEvent(QCloseEvent* event) override;

    /// The open-file dialog; empty when cancelled.
    QString chooseFile(const QString& filter);
    /// Loads the sheet that load gives on a thread of its own (load must not touch the screen), then
    /// shows it in the preview and enables "Start Reading"; when load fails, says why and leaves the
    /// preview empty and "Start Reading" disabled. then runs last, on the window's thread, with
    /// whether it loaded. Nothing happens while the screen is busy.
    void loadSheet(std::function<Worksheet()> load, std::function<void(bool loaded)> then = {});
    /// Writes "Notfound" over the row number of these sheet rows (counted from 1) of the preview.
    void markNotFound(const QList<int>& sheetRows);
    /// Lays the screen out as the ledger screen: the file, the boxes of options (if any), the prefix
    /// box, the two buttons and the tabs.
    void layOutAsLedger(QLayout* options, QLineEdit* prefix);
    /// The message grid's header and the room it keeps for a text of full length.
    void setMessageFormat(const QString& format);

    Prompter& m_prompter;
    /// The screen's caption, which its message boxes carry; its window title may say more.
    QString m_caption;

    QLineEdit* txtflname;
    QPushButton* cmdBrowse;
    QPushButton* cmdStartParsing;
    QPushButton* Command1;
    QTabWidget* SSTab1;
    TextGrid* vsexcel;
    TextGrid* VS;
    TextGrid* msfmessage;

private:
    void startReading();
    void sendMessageGrid();
    void setBusy(bool busy);
    void reportError(const QString& message);
    void showPreview();

    Worksheet m_sheet;
    bool m_sheetLoaded = false;
    /// The sheet rows whose number the preview shows as "Notfound".
    QSet<int> m_marked;
    /// What the message grid holds.
    QList<QueueGridRow> m_messages;
    bool m_busy = false;
};
