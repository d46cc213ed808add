#pragma once

#include "SpreadsheetScreen.h"

#include <memory>
#include <optional>

class QComboBox;

/// The template screen: one text per data row of a chosen sheet, with COL1 to COL9 and TODAY filled in
/// from the row, for every row whose code is a client's; queued under "ExcCode".
class frm_ExcelSMS_Formula : public SpreadsheetScreen
{
    Q_OBJECT

public:
    frm_ExcelSMS_Formula(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr);
    ~frm_ExcelSMS_Formula() override;

protected:
    void browse() override;
    void aboutToRead() override;
    SpreadsheetReading readSheet(const Worksheet& sheet, const SpreadsheetProgress& progress) override;
    void afterReading(const SpreadsheetReading& reading) override;
    int sendMessages(const QList<QueueGridRow>& messages) override;
    QString sentConfirmation() const override { return QStringLiteral("Message has been sent to Queue"); }

private:
    /// Previews the sheet named in cmbSheetName.
    void showSheet();

    TemplateMessages m_engine;
    /// The workbook chosen with "&Browse", kept open for choosing its sheets.
    std::shared_ptr<Workbook> m_workbook;

    QComboBox* cmbSheetName;
    QPushButton* cmdShowData;
    QLineEdit* txtPrifix;
    QLineEdit* TXTMobileCol;
};
