#include "SpreadsheetScreens.h"

void addSpreadsheetScreens(ScreenCatalog&, DeskSession&, Prompter&) {}
