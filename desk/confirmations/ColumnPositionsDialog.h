#pragma once

#include <QDialog>
#include <QList>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;
class Store;
struct TradeFileKind;

/// The settings dialog of one kind of delimited trade file: edits the first few column positions
/// of its bnfconfigure row, with the two-press close of an edited dialog. Its name, caption, heading
/// and number of boxes come from the kind's description.
class ColumnPositionsDialog : public QDialog
{
    Q_OBJECT

public:
    ColumnPositionsDialog(const TradeFileKind& kind, Store& store, Prompter& prompter, QWidget* owner);

    /// The captions of the boxes, in column order.
    static QString labelCaption(int k);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void load();
    void save();
    void closeOrCancel();
    /// An edited dialog's close button puts the stored positions back first ("CANCEL").
    void setEdited(bool edited);
    void reportMissingRow();
    void reportStoreError(const QString& message);

    Store& m_store;
    Prompter& m_prompter;
    QString m_cd;
    bool m_loading = false;
    bool m_edited = false;

    QList<QLineEdit*> txtcolno;
    QList<QLabel*> Label1;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};

/// The settings dialog the kind's Configure opens, on its settings row; nullptr where it has none.
QDialog* MakeSettingsDialog(const TradeFileKind& kind, Store& store, Prompter& prompter, QWidget* owner);
/// The settings dialog of that objectName, as the first kind that opens it describes it.
QDialog* MakeSettingsDialog(const QString& name, Store& store, Prompter& prompter, QWidget* owner);
