#pragma once

#include "Reports.h"

#include <QWidget>

class DeskSession;
class Prompter;
class QDateEdit;
class QPushButton;
class ReportGridView;

/// The sent list: the messages sent between two days, one by one or counted per day as the session's
/// SentReportMode asks (0 and 1), and its exports.
class rptSentList : public QWidget
{
    Q_OBJECT

public:
    rptSentList(DeskSession& session, const QString& applicationFolder, Prompter& prompter, OpenPage openPage,
                QWidget* parent = nullptr);

    /// Reads the list anew for the days chosen, in the session's report mode.
    void reload();

private:
    void exportHtml();
    void exportWorkbook();

    DeskSession& m_session;
    QString m_applicationFolder;
    Prompter& m_prompter;
    OpenPage m_openPage;

    QDateEdit* DTPicker1;
    QDateEdit* DTPicker2;
    ReportGridView* vsSentList;
    QPushButton* cmdHTMLExport;
    QPushButton* cmdExcelExport;
    QPushButton* cmdrefresh;
};
