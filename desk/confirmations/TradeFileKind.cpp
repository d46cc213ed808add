#include "TradeFileKind.h"

#include "CashConfirmations.h"
#include "CommodityConfirmations.h"
#include "FutureConfirmations.h"
#include "NetPositionConfirmations.h"

#include <QStringList>

namespace {

using Kind = TradeFileKind;

template <class Engine>
std::unique_ptr<TradeConfirmations> makeEngine(DeskSession& session, const TradeFileKind& kind)
{
    return std::make_unique<Engine>(session, kind);
}

std::deque<TradeFileKind> describeKinds()
{
    std::deque<TradeFileKind> kinds;
    const auto add = [&kinds](const Kind& kind) {
        kinds.push_back(kind);
    };

    // Cash market, delimited: the wording comes from the store's query over the staged trades.
    Kind bse;
    bse.command = QStringLiteral("bse");
    bse.screen = QStringLiteral("frmBseParse");
    bse.caption = QStringLiteral("BSE Trade Parser");
    bse.appId = QStringLiteral("BSE");
    bse.settingsRow = QStringLiteral("B");
    bse.positionCount = 5;
    bse.settings = {QStringLiteral("dlgbseconfig"), QStringLiteral("Bse Configuration"),
                    QStringLiteral("Column Nos."), 5};
    bse.makeEngine = &makeEngine<CashConfirmations>;
    bse.menuEntry = QStringLiteral("m_sms_bse");
    bse.menuCaption = QStringLiteral("&BSE");
    bse.fileType = Kind::FileType::Odin;
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
    add(bse);

    Kind nse = bse;
    nse.command = QStringLiteral("nse");
    nse.screen = QStringLiteral("frmnseparse");
    nse.caption = QStringLiteral("NSE Trade Parser");
    nse.appId = QStringLiteral("NSE");
    nse.settingsRow = QStringLiteral("N");
    nse.settings = {QStringLiteral("dlgnseconfig"), QStringLiteral("Nse Configuration"),
                    QStringLiteral("Column Nos."), 5};
    nse.menuEntry = QStringLiteral("m_sms_nse");
    nse.menuCaption = QStringLiteral("&NSE");
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
    add(nse);

    // Futures and options: every staged trade is a fragment of its own.
    Kind fno;
    fno.command = QStringLiteral("fno");
    fno.screen = QStringLiteral("frmfutureparse");
    fno.caption = QStringLiteral("F n O");
    fno.appId = QStringLiteral("FUT");
    fno.settingsRow = QStringLiteral("F");
    fno.positionCount = 8;
    fno.settings = {QStringLiteral("dlgfutconfig"), QStringLiteral("Future Trade Configuration"),
                    QStringLiteral("Column No."), 8};
    fno.makeEngine = &makeEngine<FutureConfirmations>;
    fno.menuEntry = QStringLiteral("m_sms_fno");
    fno.menuCaption = QStringLiteral("&FnO");
    fno.fileType = Kind::FileType::Odin;
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
    add(fno);

    // Orion layout: fixed-width cash files with both legs on a line, and F&O files whose code, script
    // and month stand at fixed places.
    Kind orionBse;
    orionBse.command = QStringLiteral("orion-bse");
    orionBse.screen = QStringLiteral("frmorinBSE");
    orionBse.caption = QStringLiteral("BSE Trade File");
    orionBse.appId = QStringLiteral("BSE");
    orionBse.lines = Kind::Lines::FixedWidth;
    orionBse.positionsTable = Kind::PositionsTable::BnfOrion;
    orionBse.settingsRow = QStringLiteral("B");
    orionBse.positionCount = 12;
    orionBse.settings = {QStringLiteral("dlgorinbse"), QStringLiteral("Bse Configuration"), {}, 12};
    orionBse.makeEngine = &makeEngine<CashConfirmations>;
    orionBse.menuEntry = QStringLiteral("m_sms_bse");
    orionBse.menuCaption = QStringLiteral("&BSE");
    orionBse.fileType = Kind::FileType::Orion;
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
    add(orionBse);

    Kind orionNse = orionBse;
    orionNse.command = QStringLiteral("orion-nse");
    orionNse.screen = QStringLiteral("frmOrinNse");
    orionNse.caption = QStringLiteral("Orin Nse Trade");
    orionNse.appId = QStringLiteral("NSE");
    orionNse.settingsRow = QStringLiteral("N");
    orionNse.settings = {QStringLiteral("dlgorinnse"), QStringLiteral("Nse Configuration"), {}, 12};
    orionNse.menuEntry = QStringLiteral("m_sms_nse");
    orionNse.menuCaption = QStringLiteral("&NSE");
    add(orionNse);

    Kind orionFno = fno;
    orionFno.command = QStringLiteral("orion-fno");
    orionFno.screen = QStringLiteral("frmfutureparse_ORIN");
    orionFno.caption = QStringLiteral("F n O (Orin)");
    orionFno.lines = Kind::Lines::DelimitedFixedCode;
    orionFno.scriptNameRemoves = QString();
    orionFno.scriptNameTrimmed = true;
    orionFno.monthLength = 3;
    orionFno.side = Kind::SideWord::Flag;
    orionFno.fileType = Kind::FileType::Orion;
    add(orionFno);

    // Commodities: greeted by name, worded by the store's query, queued under MCX.
    Kind mcx;
    mcx.command = QStringLiteral("mcx");
    mcx.screen = QStringLiteral("frmCommodity");
    mcx.caption = QStringLiteral("Commodity Trade");
    mcx.appId = QStringLiteral("MCX");
    mcx.settingsRow = QStringLiteral("C");
    mcx.positionCount = 6;
    mcx.settings = {QStringLiteral("dlgMCXConfig"), QStringLiteral("Commodity Configuration"),
                    QStringLiteral("Column No."), 6};
    mcx.makeEngine = &makeEngine<CommodityConfirmations>;
    mcx.menuEntry = QStringLiteral("m_sms_commodity");
    mcx.menuCaption = QStringLiteral("&Commodity");
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
    add(mcx);

    Kind ncdex = mcx;
    ncdex.command = QStringLiteral("ncdex");
    ncdex.screen = QStringLiteral("frmNcdex");
    ncdex.caption = QStringLiteral("NCDEX");
    ncdex.settingsRow = QStringLiteral("D");
    ncdex.settings = {QStringLiteral("dlgncdexconfig"), QStringLiteral("NCDEX Configuration"),
                      QStringLiteral("Column No."), 6};
    ncdex.menuEntry = QStringLiteral("m_sms_ncdex");
    ncdex.menuCaption = QStringLiteral("NC&DEX");
    ncdex.stagingTable = QStringLiteral("ncdex");
    ncdex.storedQuery = QStringLiteral("v_ncdex");
    ncdex.stagedGridFormat.chop(6);
    add(ncdex);

    // Net positions: a fixed-width report in one of two layouts, kept in the engine; its Configure opens
    // the F&O positions, though it reads fixed places whatever they hold.
    Kind netpos;
    netpos.command = QStringLiteral("netpos");
    netpos.screen = QStringLiteral("frm_NetPosition");
    netpos.caption = QStringLiteral("Net Position");
    netpos.appId = QStringLiteral("NP");
    netpos.lines = Kind::Lines::FixedWidth;
    netpos.settingsRow = QStringLiteral("F");
    netpos.positionCount = 0;
    netpos.settings = fno.settings;
    netpos.makeEngine = &makeEngine<NetPositionConfirmations>;
    netpos.menuEntry = QStringLiteral("Mnu_NetPisstion");
    netpos.menuCaption = QStringLiteral("Net Position");
    netpos.layouts = {
        {QStringLiteral("Option1"), QStringLiteral("Qty,Avg"), QStringLiteral("qty-avg")},
        {QStringLiteral("Option2"), QStringLiteral("Qty,Amt,Avg"), QStringLiteral("qty-amt-avg")}};
    netpos.rawGridFormat =
        QStringLiteral("*         | Code.          | Message") + QString(90, QLatin1Char(' '));
    netpos.rawGridTab = QStringLiteral("Raw Data");
    netpos.messages = Kind::MessageSource::NetPositions;
    netpos.fileListClick = Kind::FileListClick::SingleRemoves;
    netpos.readEmptiesFileList = false;
    netpos.prefixTrimmed = true;
    netpos.stagedGridFormat =
        QStringLiteral("   |  Client Code     | Script Name                         | Buy Price      "
                       "| Sale Price     | Proffit/Loss   | Exch      | Buy Qty       | Sale Qty      ");
    add(netpos);

    return kinds;
}

std::deque<TradeFileKind>& kinds()
{
    static std::deque<TradeFileKind> kinds = describeKinds();
    return kinds;
}

} // namespace

const std::deque<TradeFileKind>& TradeFileKind::all()
{
    return kinds();
}

const TradeFileKind& TradeFileKind::describe(TradeFileKind kind)
{
    kinds().push_back(std::move(kind));
    return kinds().back();
}

bool TradeFileKind::opensFor(const QString& tradeFileType) const
{
    const bool odin = tradeFileType == QLatin1String("ODIN");
    return fileType == FileType::Any || (fileType == FileType::Odin) == odin;
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

QStringList TradeFileKind::commands()
{
    QStringList commands;
    for (const TradeFileKind& kind : all())
        commands << kind.command;
    return commands;
}
