#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

/// A screen that takes the files picked in the file-browse dialog.
class FileTarget
{
public:
    virtual ~FileTarget() = default;
    /// Appends the full paths, first to last, to the screen's own file list.
    virtual void GetFiles(const QStringList& files) = 0;
};

/// The file-browse dialog: picks any number of files from any folders and hands their full paths
/// to the screen that opened it, as often as "OK" is pressed.
class dlgFileBrowse : public QDialog
{
    Q_OBJECT

public:
    explicit dlgFileBrowse(QWidget* owner);

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
    QListWidget* List1;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};
