#pragma once

class Widget;

// "Обновить" only starts the main window's search. Waits, up to limitMs of real time, until
// the search has come back (listed, or cancelled by the operator); false when it still runs.
bool waitForSearch(const Widget &window, int limitMs = 20000);

// Presses "Обновить" as the operator does and waits for the search to come back.
bool refreshAndWait(Widget &window, int limitMs = 20000);
