#pragma once

#include <QDialog>
#include <QList>

class Prompter;
class QLabel;
class QLineEdit;
class QPushButton;
class Store;

/// The settings dialog of one kind of delimited trade file: edits the first few column positions
/// of its bnfconfigure row, with the two-press close of an edited dialog.
class ColumnPositionsDialog : public QDialog
{
    Q_OBJECT

public:
    /// What tells the five dialogs apart.
    struct Layout
    {
        const char* name;
        QString caption;
        /// The bnfconfigure row: "B", "N", "F", "C" or "D".
        QString cd;
        /// How many positions, from clientcode on, the dialog shows and writes.
        int count;
        QString heading;
    };

    ColumnPositionsDialog(const Layout& layout, Store& store, Prompter& prompter, QWidget* owner);

    /// The captions of the boxes, in column order.
    static QString labelCaption(int k);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void load();
    void save();
    void closeOrCancel();
    void reportMissingRow();
    void reportStoreError(const QString& message);

    Store& m_store;
    Prompter& m_prompter;
    QString m_cd;
    bool m_loading = false;

    QList<QLineEdit*> txtcolno;
    QList<QLabel*> Label1;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};
