#pragma once

namespace krtp {

class frmFileList;
class frmMainMenu;

// Gives the main menu its openers for the tool windows. Buttons without an opener stay disabled.
void ConnectMainMenuWindows(frmMainMenu& menu);

// Gives a new file list window its openers for the windows of this layer (options, local folder).
void ConnectFileListWindows(frmFileList& window);

} // namespace krtp
