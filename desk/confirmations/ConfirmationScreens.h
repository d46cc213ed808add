#pragma once

class DeskSession;
class Prompter;
class ScreenCatalog;

/// Adds the trade-file confirmation screens that the main window's menu opens.
void addConfirmationScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter);
