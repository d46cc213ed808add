#pragma once

#include <QDialog>
#include <QList>

class Prompter;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Store;
struct TradeFileKind;

/// The settings dialog of one exchange's Orion cash files: edits the six start and length pairs of
/// its bnfOrion row, and finds them from a field marked in the first line of a sample file. Its name
/// and caption come from the kind's description.
class OrionPositionsDialog : public QDialog
{
    Q_OBJECT

public:
    OrionPositionsDialog(const TradeFileKind& kind, Store& store, Prompter& prompter, QWidget* owner);

private:
    void load();
    void save();
    void browse();
    void applySelection(int pair);
    void warn(const QString& text);

    Store& m_store;
    Prompter& m_prompter;
    QString m_exchange;

    QList<QLineEdit*> txtcol;
    QList<QPushButton*> cmdStore;
    QLineEdit* txtfile;
    QPushButton* cmdFileBrow;
    QPlainTextEdit* txtfileprev;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QLabel* Label4;
};
