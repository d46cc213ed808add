#pragma once

#include <QList>
#include <QString>

#include <deque>
#include <memory>

class DeskSession;
class TradeConfirmations;

/// Every kind of trade file the desk reads, described once and whole: its engine, its screen and the
/// screen's settings dialog, its entry in the SMS menu and its name for `brisant confirm` all come from
/// here, so that a new kind is its own line reading and message building plus one description.
struct TradeFileKind
{
    /// How a line is cut into fields.
    enum class Lines {
        /// At a delimiter (the first tried, then the second), fields at bnfconfigure positions.
        Delimited,
        /// Fixed-width fields at bnfOrion start and length pairs; buy and sale legs on one line.
        FixedWidth,
        /// Delimited, but client code, script name and month cut from fixed character places.
        DelimitedFixedCode,
    };
    /// Where the column positions are kept.
    enum class PositionsTable { Bnfconfigure, BnfOrion };
    /// How the buy/sale field reads.
    enum class FlagReading {
        /// The letter the file carries, unchanged.
        AsWritten,
        /// A number: 2 is "S", any other number "B"; a field that is not a number skips the line.
        TwoIsSale,
        /// The number 2 or the letter S (either case) is "S"; any other value, an empty field and the
        /// letter B included, is "B".
        TwoOrSIsSale,
        /// No flag field: the buy and sale quantities of one line give a "B" and an "S" row.
        Legs,
    };
    /// How the numbers of a staged trade are written.
    enum class RateForm {
        /// "#0.00" from the decimal text, half away from zero.
        TwoDecimals,
        /// The number at the start of the field, commas removed, to two decimals half to even, in its
        /// shortest plain form.
        RoundedPlain,
    };
    /// Where the texts of the messages come from.
    enum class MessageSource {
        /// Fragments of the stored query, joined by commas after prefix, code and colon; a new text
        /// when one would pass 158 characters.
        StoredQuery,
        /// A fragment per staged trade after the header "prefix code: "; a new text when one would
        /// reach 158 characters.
        TradeFragments,
        /// "Dear name,  code: " and the fragments of the stored query.
        GreetingQuery,
        /// Net positions of a fixed-width report, grouped per client.
        NetPositions,
    };
    /// A line that cannot be read as a trade.
    enum class BadLine {
        /// Reported with file and line; reading goes on.
        Reported,
        /// A conversion error ends the file, reported in its own box; other failures are reported.
        EndsTheFile,
    };
    enum class BatchRule { EveryPress, LastTaken };
    enum class FileListClick { DoubleRemoves, SingleRemoves };
    /// Whether a trade fragment names its side as a word (" Buy ", " Sell ") or by its flag (" B ").
    enum class SideWord { Word, Flag };

    /// The kind's name on the command line: bse, nse, fno, orion-bse, …
    QString command;
    /// The screen's objectName and caption.
    QString screen;
    QString caption;
    /// The application id the messages are queued under.
    QString appId;

    Lines lines = Lines::Delimited;
    PositionsTable positionsTable = PositionsTable::Bnfconfigure;
    /// The key of the settings row (bnfconfigure cd, or bnfOrion Exchange).
    QString settingsRow;
    /// How many positions the kind reads from its row: 5, 6, 8, or the 12 of a bnfOrion row; 0 for a
    /// kind that reads fixed places of its own.
    int positionCount = 5;
    /// The positions a store is given for the kind's bnfconfigure row when it has none: a kind added
    /// after the store was made. The store is delivered with the rows of the kinds it was made with.
    QList<int> deliveredPositions;

    /// The dialog that the screen's Configure opens on the settings row: a column-positions dialog on
    /// bnfconfigure, the start-and-length dialog on bnfOrion.
    struct SettingsDialog
    {
        /// Its objectName.
        QString name;
        QString caption;
        /// Column-positions dialogs: the heading above the boxes, and how many boxes, from clientcode on.
        QString heading = QStringLiteral("Column No.");
        int positionCount = 5;
    };
    SettingsDialog settings;

    /// The engine of the kind, made for a session.
    using EngineFactory = std::unique_ptr<TradeConfirmations> (*)(DeskSession& session,
                                                                  const TradeFileKind& kind);
    EngineFactory makeEngine = nullptr;

    /// The kind's entry in the SMS menu: its objectName and caption. Kinds of one exchange in the two
    /// trade-file types share an entry, which opens the screen of the type the desk is set to.
    QString menuEntry;
    QString menuCaption;
    enum class FileType {
        /// Whatever the desk's trade-file type.
        Any,
        /// When the desk's trade-file type is "ODIN".
        Odin,
        /// When it is anything else ("ORIN", or not set).
        Orion,
    };
    FileType fileType = FileType::Any;
    /// Whether the kind's screen is the one its menu entry opens for the desk's trade-file type.
    bool opensFor(const QString& tradeFileType) const;

    /// Layouts a file of the kind may be written in, where it has more than one: the screen offers
    /// them as option buttons (the first checked), `brisant confirm` as --layout (the first the
    /// default). The engine reads the next files in the one chosen.
    struct Layout
    {
        QString optionButton;
        QString caption;
        QString commandName;
    };
    QList<Layout> layouts;
    /// Where the engine shows what it made of the file before the messages (net positions' fragments):
    /// the format of that grid (empty: there is none) and its tab.
    QString rawGridFormat;
    QString rawGridTab;

    /// Delimited kinds: the delimiter tried first, and the one tried when it gives too few fields.
    char firstDelimiter = '|';
    char secondDelimiter = ',';
    /// Fixed-width kinds: the first line of every file is a header and is skipped.
    bool skipsFirstLine = false;

    /// Moves the decimal point of the rate field: -2 where the file counts paise.
    int ratePointShift = 0;
    RateForm rateForm = RateForm::TwoDecimals;
    FlagReading flag = FlagReading::AsWritten;
    /// Characters removed from the script name (single quotes at least).
    QString scriptNameRemoves = QStringLiteral("'");
    bool scriptNameTrimmed = true;
    /// The month: characters taken from the month field, from its third.
    int monthLength = 0;

    /// The staging table and, for kinds worded by the store, the stored query. A kind without a
    /// staging table keeps what it reads in its engine.
    QString stagingTable;
    QString storedQuery;

    MessageSource messages = MessageSource::StoredQuery;
    SideWord side = SideWord::Word;
    /// The prefix box is trimmed of surrounding blanks before it begins a text.
    bool prefixTrimmed = false;
    /// The most characters the prefix box takes.
    int prefixLimit = 60;
    BadLine badLine = BadLine::Reported;
    BatchRule batch = BatchRule::EveryPress;
    FileListClick fileListClick = FileListClick::DoubleRemoves;
    /// Reading empties the file list.
    bool readEmptiesFileList = true;
    /// The screen has the summary tab of the stored query.
    bool hasSummary = false;
    /// The format strings of the screen's grids: the staged trades and the summary; the caption of
    /// the messages' tab.
    QString stagedGridFormat;
    QString summaryGridFormat;
    QString messagesTab = QStringLiteral("Message");
    /// The screen has the prefix box whose text begins every message.
    bool hasPrefix = true;
    /// The caption of the button that opens the file-browse dialog.
    QString browseCaption = QStringLiteral("...");
    /// The box shown after sending: its text, whether it carries the information icon and the screen's
    /// caption (else no icon and the program's title), and whether it is shown only when the message
    /// grid had rows.
    QString sentConfirmation = QStringLiteral("Message has been sent in Queue");
    bool sentConfirmationInformation = false;
    bool sentConfirmationOnlyWithRows = false;
    /// Sending clears the message grid, so that a second press cannot queue the same texts again.
    bool sendClearsMessages = false;
    /// Generating and sending leave out every text already queued today for the same number.
    bool leavesOutQueuedToday = false;
    /// Ctrl+C in a grid puts the text of its current cell on the clipboard.
    bool copiesCells = false;
    /// A conversion error's box: its title (empty: the program's own) and whether it is critical.
    QString conversionErrorTitle;
    bool conversionErrorCritical = false;

    /// Every kind, in the order the menus and the command line name them.
    static const std::deque<TradeFileKind>& all();
    /// The kind of a command-line name or of a screen's objectName; nullptr when there is none.
    static const TradeFileKind* byCommand(const QString& command);
    static const TradeFileKind* byScreen(const QString& screen);
    /// Every kind's command-line name, in order.
    static QStringList commands();
    /// Adds a kind after the others, for the whole program's life (a test's own kind); returns it.
    /// Kinds stay where they are, so references to them remain good.
    static const TradeFileKind& describe(TradeFileKind kind);
};
