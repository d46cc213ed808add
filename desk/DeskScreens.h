#pragma once

#include "ScreenCatalog.h"

class DeskSession;
class Prompter;

/// Every screen of the desk program that the main window's menu opens.
ScreenCatalog makeDeskScreens(DeskSession& session, Prompter& prompter);
