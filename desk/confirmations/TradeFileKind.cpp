#include "TradeFileKind.h"

#include <QStringList>

namespace {

using Kind = TradeFileKind;

QList<TradeFileKind> describeKinds()
{
    QList<TradeFileKind> kinds;

    // Cash market, delimited: the wording comes from the store's query over the staged trades.
    Kind bse;
    bse.command = QStringLiteral("bse");
    bse.screen = QStringLiteral("frmBseParse");
    bse.caption = QStringLiteral("BSE Trade Parser");
    bse.appId = QStringLiteral("BSE");
    bse.settingsRow = QStringLiteral("B");
    bse.settingsDialog = QStringLiteral("dlgbseconfig");
    bse.positionCount = 5;
    bse.firstDelimiter = '|';
    bse.secondDelimiter = ',';
    bse.ratePointShift = -2; // rates in paise
    bse.flag = Kind::FlagReading::AsWritten;
    bse.stagingTable = QStringLiteral("bsetrade");
    bse.storedQuery = QStringLiteral("bse_query");
    bse.messages = Kind::MessageSource::StoredQuery;
    bse.prefixTrimmed = true;
    bse.badLine = Kind::BadLine::EndsTheFile;
    bse.batch = Kind::BatchRule::EveryPress;
    bse.hasSummary = true;
    bse.stagedGridFormat =
        QStringLiteral("       |  Client Code        | Script Name                | Rate      "
                       "          | Qty           |   Buy / Sale");
    bse.summaryGridFormat =
        QStringLiteral("                         |  Client Code        | Script Name      "
                       "          | Amount    |   Buy / Sale | Count      |  Avg. Rate");
    bse.built = true;
    kinds << bse;

    Kind nse = bse;
    nse.command = QStringLiteral("nse");
    nse.screen = QStringLiteral("frmnseparse");
    nse.caption = QStringLiteral("NSE Trade Parser");
    nse.appId = QStringLiteral("NSE");
    nse.settingsRow = QStringLiteral("N");
    nse.settingsDialog = QStringLiteral("dlgnseconfig");
    nse.firstDelimiter = ',';
    nse.secondDelimiter = '|';
    nse.ratePointShift = 0;
    nse.flag = Kind::FlagReading::TwoIsSale;
    nse.scriptNameRemoves = QStringLiteral("',");
    nse.stagingTable = QStringLiteral("nsetrade");
    nse.storedQuery = QStringLiteral("nse_query");
    nse.prefixTrimmed = false;
    nse.badLine = Kind::BadLine::Reported;
    nse.batch = Kind::BatchRule::LastTaken;
    nse.summaryGridFormat =
        QStringLiteral("                     |  Client Code        | Script Name          "
                       "      | Amount    |   Buy / Sale | Count       | Avg Rate   ");
    kinds << nse;

    // Futures and options: every staged trade is a fragment of its own.
    Kind fno;
    fno.command = QStringLiteral("fno");
    fno.screen = QStringLiteral("frmfutureparse");
    fno.caption = QStringLiteral("F n O");
    fno.appId = QStringLiteral("FUT");
    fno.settingsRow = QStringLiteral("F");
    fno.settingsDialog = QStringLiteral("dlgfutconfig");
    fno.positionCount = 8;
    fno.firstDelimiter = ',';
    fno.secondDelimiter = '|';
    fno.flag = Kind::FlagReading::TwoIsSale;
    fno.scriptNameTrimmed = false;
    fno.monthLength = 4;
    fno.stagingTable = QStringLiteral("future");
    fno.messages = Kind::MessageSource::TradeFragments;
    fno.side = Kind::SideWord::Word;
    fno.batch = Kind::BatchRule::EveryPress;
    fno.fileListClick = Kind::FileListClick::SingleRemoves;
    fno.readEmptiesFileList = false;
    fno.stagedGridFormat =
        QStringLiteral("       |  Client Code        | Script Name                | Rate      "
                       "          | Qty           |   Buy / Sale | Month      | Option | "
                       "Option Value ");
    fno.messagesTab = QStringLiteral("Messages");
    fno.built = true;
    kinds << fno;

    // Orion layout: fixed-width cash files with both legs on a line, and F&O files whose code, script
    // and month stand at fixed places.
    Kind orionBse;
    orionBse.command = QStringLiteral("orion-bse");
    orionBse.screen = QStringLiteral("frmorinBSE");
    orionBse.caption = QStringLiteral("BSE Trade File");
    orionBse.appId = QStringLiteral("BSE");
    orionBse.layout = Kind::Layout::FixedWidth;
    orionBse.positionsTable = Kind::PositionsTable::BnfOrion;
    orionBse.settingsRow = QStringLiteral("B");
    orionBse.settingsDialog = QStringLiteral("dlgorinbse");
    orionBse.positionCount = 12;
    orionBse.skipsFirstLine = true;
    orionBse.rateForm = Kind::RateForm::RoundedPlain;
    orionBse.flag = Kind::FlagReading::Legs;
    orionBse.scriptNameTrimmed = false;
    orionBse.stagingTable = QStringLiteral("bsetrade");
    orionBse.storedQuery = QStringLiteral("bse_query");
    orionBse.messages = Kind::MessageSource::StoredQuery;
    orionBse.badLine = Kind::BadLine::EndsTheFile;
    orionBse.batch = Kind::BatchRule::EveryPress;
    orionBse.stagedGridFormat =
        QStringLiteral("       |  Client Code        | Script Name                      "
                       "                     | Rate                | Qty           |   "
                       "Buy / Sale");
    orionBse.conversionErrorTitle = QStringLiteral("Storing Error");
    orionBse.conversionErrorCritical = true;
    orionBse.built = true;
    kinds << orionBse;

    Kind orionNse = orionBse;
    orionNse.command = QStringLiteral("orion-nse");
    orionNse.screen = QStringLiteral("frmOrinNse");
    orionNse.caption = QStringLiteral("Orin Nse Trade");
    orionNse.appId = QStringLiteral("NSE");
    orionNse.settingsRow = QStringLiteral("N");
    orionNse.settingsDialog = QStringLiteral("dlgorinnse");
    kinds << orionNse;

    Kind orionFno = fno;
    orionFno.command = QStringLiteral("orion-fno");
    orionFno.screen = QStringLiteral("frmfutureparse_ORIN");
    orionFno.caption = QStringLiteral("F n O (Orin)");
    orionFno.layout = Kind::Layout::DelimitedFixedCode;
    orionFno.scriptNameRemoves = QString();
    orionFno.scriptNameTrimmed = true;
    orionFno.monthLength = 3;
    orionFno.side = Kind::SideWord::Flag;
    kinds << orionFno;

    // Commodities: greeted by name, worded by the store's query, queued under MCX.
    Kind mcx;
    mcx.command = QStringLiteral("mcx");
    mcx.screen = QStringLiteral("frmCommodity");
    mcx.caption = QStringLiteral("Commodity Trade");
    mcx.appId = QStringLiteral("MCX");
    mcx.settingsRow = QStringLiteral("C");
    mcx.settingsDialog = QStringLiteral("dlgMCXConfig");
    mcx.positionCount = 6;
    mcx.firstDelimiter = ',';
    mcx.secondDelimiter = '|';
    mcx.flag = Kind::FlagReading::TwoOrSIsSale;
    mcx.scriptNameRemoves = QString();
    mcx.scriptNameTrimmed = false;
    mcx.monthLength = 3;
    mcx.stagingTable = QStringLiteral("commodity");
    mcx.storedQuery = QStringLiteral("v_commodity");
    mcx.messages = Kind::MessageSource::GreetingQuery;
    mcx.fileListClick = Kind::FileListClick::SingleRemoves;
    mcx.readEmptiesFileList = false;
    mcx.stagedGridFormat = QStringLiteral(
        "       |  Client Code        | Script Name                                   | Rate     "
        "           | Qty           |   Buy / Sale | Month      ");
    mcx.messagesTab = QStringLiteral("Messages");
    mcx.hasPrefix = false;
    mcx.browseCaption = QStringLiteral("Open Files");
    mcx.sentConfirmation = QStringLiteral("Messages Placed in Queue - Pls. Run Server to Dispatch Message");
    mcx.sentConfirmationInformation = true;
    mcx.sentConfirmationOnlyWithRows = true;
    mcx.sendClearsMessages = true;
    mcx.leavesOutQueuedToday = true;
    mcx.copiesCells = true;
    mcx.built = true;
    kinds << mcx;

    Kind ncdex = mcx;
    ncdex.command = QStringLiteral("ncdex");
    ncdex.screen = QStringLiteral("frmNcdex");
    ncdex.caption = QStringLiteral("NCDEX");
    ncdex.settingsRow = QStringLiteral("D");
    ncdex.settingsDialog = QStringLiteral("dlgncdexconfig");
    ncdex.stagingTable = QStringLiteral("ncdex");
    ncdex.storedQuery = QStringLiteral("v_ncdex");
    ncdex.stagedGridFormat.chop(6);
    kinds << ncdex;

    // Net positions: a fixed-width report of its own two layouts; no staging table.
    Kind netpos;
    netpos.command = QStringLiteral("netpos");
    netpos.screen = QStringLiteral("frm_NetPosition");
    netpos.caption = QStringLiteral("Net Position");
    netpos.appId = QStringLiteral("NP");
    netpos.layout = Kind::Layout::FixedWidth;
    netpos.settingsRow = QStringLiteral("F");
    netpos.settingsDialog = QStringLiteral("dlgfutconfig");
    netpos.positionCount = 0;
    netpos.messages = Kind::MessageSource::NetPositions;
    netpos.fileListClick = Kind::FileListClick::SingleRemoves;
    netpos.readEmptiesFileList = false;
    netpos.prefixTrimmed = true;
    netpos.stagedGridFormat =
        QStringLiteral("   |  Client Code     | Script Name                         | Buy Price      "
                       "| Sale Price     | Proffit/Loss   | Exch      | Buy Qty       | Sale Qty      ");
    netpos.built = true;
    kinds << netpos;

    return kinds;
}

} // namespace

const QList<TradeFileKind>& TradeFileKind::all()
{
    static const QList<TradeFileKind> kinds = describeKinds();
    return kinds;
}

const TradeFileKind* TradeFileKind::byCommand(const QString& command)
{
    for (const TradeFileKind& kind : all()) {
        if (kind.command == command)
            return &kind;
    }
    return nullptr;
}

const TradeFileKind* TradeFileKind::byScreen(const QString& screen)
{
    for (const TradeFileKind& kind : all()) {
        if (kind.screen == screen)
            return &kind;
    }
    return nullptr;
}

QStringList TradeFileKind::builtCommands()
{
    QStringList commands;
    for (const TradeFileKind& kind : all()) {
        if (kind.built)
            commands << kind.command;
    }
    return commands;
}
