#pragma once

#include "StoreError.h"

/// A row refused because its key (a user name, a client code) is already stored.
class DuplicateEntryError : public StoreError
{
public:
    using StoreError::StoreError;
};
