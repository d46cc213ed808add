#pragma once

#include "ClientTable.h"
#include "NavigationButtons.h"

#include <QWidget>

#include <optional>

class Prompter;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Store;

/// The client screen: browses, edits and searches the client master.
class frmPartymaster : public QWidget
{
    Q_OBJECT

public:
    frmPartymaster(Store& store, Prompter& prompter, QWidget* parent = nullptr);

private:
    /// What the screen is doing; the buttons and boxes it enables follow from it.
    enum class Mode { Browsing, Adding, Modifying };

    void setMode(Mode mode);
    void showRow();
    /// Shows that stored client's id in the code box; none blanks it.
    void showId(std::optional<qint64> id);
    void clearBoxes();
    void move(RecordMove move);
    void add();
    void modify();
    void save();
    void cancel();
    void remove();
    /// The client being modified is no longer stored: says so and shows the clients as stored now.
    void recordGone(qint64 id);
    void toggleSearch();
    void findFirst();
    void findNext();
    /// The row with that id, reading the table again when another desk added it since.
    int indexOfId(qint64 id);
    /// The search box that decides, with its column; nothing when all three are empty.
    std::optional<std::pair<ClientTable::Column, QString>> searchCriterion() const;
    void inform(const QString& text, const QString& title);

    Store& m_store;
    Prompter& m_prompter;
    QList<ClientRow> m_rows;
    /// The current row; -1 before the first.
    int m_position = -1;
    Mode m_mode = Mode::Browsing;
    /// The stored client the boxes show; none while they are blank or hold a client being added.
    std::optional<qint64> m_shownId;
    /// The row last found by the search panel; -1 when none.
    int m_found = -1;
    /// What the screen grew by to make room for the search panel.
    QSize m_searchRoom;

    QGroupBox* Frame1;
    QLineEdit* txtcode;
    QLineEdit* txtname;
    QLineEdit* txtMobileNo;
    QLineEdit* txtdpid;
    QLineEdit* txtemail;
    QLabel* lblstat;
    NavigationButtons m_navigation;
    QPushButton* cmdAdd;
    QPushButton* cmdModify;
    QPushButton* cmdDelete;
    QPushButton* cmdSearch;
    QPushButton* cmdClose;
    QPushButton* cmdSave;
    QPushButton* cmdCancel;
    QGroupBox* Frame2;
    QLineEdit* txtsname;
    QLineEdit* txtsMobile;
    QLineEdit* txtscode;
    QPushButton* cmdFindFirst;
    QPushButton* cmdFindNext;
};
