#pragma once

class DeskSession;
class Prompter;
class ScreenCatalog;

/// Adds the desk core's screens: the user screen and the configuration screen.
void addCoreScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter);
