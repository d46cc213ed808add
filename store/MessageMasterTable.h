#pragma once

#include "PickList.h"

#include <QString>

class Store;

/// The stored messages the operator can pick for an ad-hoc text: MessageMaster.
class MessageMasterTable
{
public:
    explicit MessageMasterTable(const Store& store);

    /// Every stored message, oldest first, as the search dialog lists them (one column, "message").
    PickList messagePickList() const;
    void insert(const QString& message) const;

private:
    const Store& m_store;
};
