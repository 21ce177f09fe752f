#pragma once

namespace krtp {

class frmMainMenu;

// Gives the main menu its openers for the tool windows. Buttons without an opener stay disabled.
void ConnectMainMenuWindows(frmMainMenu& menu);

} // namespace krtp
