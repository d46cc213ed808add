#pragma once

#include "TradeFileList.h"

#include <QDialog>
#include <QListWidget>
#include <QStringList>

class Prompter;
class QComboBox;
class QLabel;
class QListWidgetItem;
class QPushButton;

/// The list box of picked trade files that the file-browse dialog and every trade screen show: each
/// file at most once, a file already listed passed over with a message; a double click takes an
/// entry off.
class TradeFileListBox : public QListWidget
{
    Q_OBJECT

public:
    /// The messages are titled as the parent window. An entry is removed by a double click, or by a
    /// single one where the screen says so.
    TradeFileListBox(Prompter& prompter, QWidget* parent, bool singleClickRemoves = false);

    /// Appends the files not listed yet; says which were.
    void addFiles(const QStringList& files);
    void clearFiles();
    const QStringList& files() const { return m_list.files(); }

private:
    Prompter& m_prompter;
    TradeFileList m_list;
};

/// A screen that takes the files picked in the file-browse dialog.
class FileTarget
{
public:
    virtual ~FileTarget() = default;
    /// Appends the full paths, first to last, to the screen's own file list.
    virtual void GetFiles(const QStringList& files) = 0;
};

/// The file-browse dialog: picks any number of files from any folders and hands their full paths
/// to the screen that opened it, as often as "OK" is pressed. It opens in the folder a file was last
/// picked from (kept per user).
class dlgFileBrowse : public QDialog
{
    Q_OBJECT

public:
    dlgFileBrowse(Prompter& prompter, QWidget* owner);

    /// The screen that takes the files on "OK".
    void SetParent(FileTarget* target) { m_target = target; }

    /// Shows that folder in Dir1 and its files in File1, and its volume in Drive1.
    void setCurrentFolder(const QString& path);
    QString currentFolder() const { return m_folder; }

private:
    void fillDrives();
    void driveChosen(int index);
    void fileChosen(QListWidgetItem* item);
    void handOver();

    FileTarget* m_target = nullptr;
    QString m_folder;

    QComboBox* Drive1;
    QLabel* lblfolder;
    QListWidget* Dir1;
    QListWidget* File1;
    TradeFileListBox* List1;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};
