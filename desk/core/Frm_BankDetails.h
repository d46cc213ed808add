#pragma once

#include <QDialog>

/// The vendor's payment instructions: labels only.
class Frm_BankDetails : public QDialog
{
    Q_OBJECT

public:
    explicit Frm_BankDetails(QWidget* owner);
};
