#pragma once

class MainWindow;

// Connects the main window's menu commands to the work they do. Commands
// whose work the program does not offer yet stay disabled.
void installMainCommands(MainWindow &window);
