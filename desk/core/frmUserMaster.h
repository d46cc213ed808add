#pragma once

#include "NavigationButtons.h"
#include "UserTable.h"
#include "dlgSearch.h"

#include <QWidget>

class Prompter;
class QGroupBox;
class QLabel;
class QLineEdit;
class Store;

/// The user screen: browses and edits the desk users.
class frmUserMaster : public QWidget, public SearchTarget
{
    Q_OBJECT

public:
    frmUserMaster(Store& store, Prompter& prompter, QWidget* parent = nullptr);

    /// Shows the user of that name, as chosen in the search dialog.
    void GetData(const QString& code) override;

private:
    /// What the screen is doing; the buttons and boxes it enables follow from it.
    enum class Mode { Browsing, Adding, Modifying };

    void setMode(Mode mode);
    void showRow();
    /// Shows whether the user in the boxes may be deleted.
    void showTodel(const QString& todel);
    void enableDelete();
    void clearBoxes();
    void move(RecordMove move);
    void add();
    void modify();
    void save();
    void cancel();
    void remove();
    void search();
    int indexOf(const QString& username) const;
    void inform(const QString& text, const QString& title = QStringLiteral("User Master"));

    Store& m_store;
    Prompter& m_prompter;
    QList<UserRow> m_rows;
    /// The current row; -1 before the first.
    int m_position = -1;
    Mode m_mode = Mode::Browsing;
    /// The todel flag of the user in the boxes ("N" protects it); blank when none is shown.
    QString m_todel;

    QGroupBox* Frame1;
    QLineEdit* txtusername;
    QLineEdit* txtpassword;
    QLabel* lbltodel;
    NavigationButtons m_navigation;
    QPushButton* cmdAdd;
    QPushButton* cmdModify;
    QPushButton* cmdDelete;
    QPushButton* cmdSearch;
    QPushButton* cmdClose;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
};
