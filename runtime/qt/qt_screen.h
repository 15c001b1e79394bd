// The screen layer on Qt Widgets: windows, controls, the message loop with
// its idle routines, the window commands and the Qt desktop. The program
// installs it before the runtime's start-up.
#pragma once

namespace rt::qt {

// Installs the Qt screen for the rest of the process (again: no change).
void installQtScreen();

}  // namespace rt::qt
