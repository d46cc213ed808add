#pragma once

class DeskSession;
class Prompter;
class ScreenCatalog;

/// Adds the spreadsheet-driven message screens (ledger, template, stock statement) to the catalog.
void addSpreadsheetScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter);
