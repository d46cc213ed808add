#include "StagingTables.h"

const QList<StagingTable>& StagingTable::all()
{
    static const QList<StagingTable> tables = {
        {"bsetrade", Family::Cash, "bse_query"}, {"nsetrade", Family::Cash, "nse_query"},
        {"future", Family::Future, nullptr},     {"commodity", Family::Commodity, "v_commodity"},
        {"ncdex", Family::Commodity, "v_ncdex"}, {"TempMessage", Family::Messages, nullptr},
    };
    return tables;
}
