#pragma once

class DeskSession;
class Prompter;
class ScreenCatalog;

/// Adds the screens of clients, queue and reports to the catalog.
void addClientScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter);
