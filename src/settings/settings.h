// Loading and saving the main dialog's four remembered values in "SysSet.ini" beside the program.
#pragma once

class CEncryptDlg;

// Reads the settings file into the folder text and the three hidden-mode values, shows them,
// takes the folder text as the working folder and enables the start button when it is not
// empty. A file that cannot be opened changes nothing and shows nothing; a failing read
// raises CFileException naming the file, with no field changed.
void LoadSettings(CEncryptDlg& dlg);

// Writes the four values as the fields hold them (the controls are not read back). A file that
// cannot be opened for writing is left as it was, silently; a failure while writing leaves the
// previous file intact and is reported in a file-error box. Never raises.
void SaveSettings(CEncryptDlg& dlg);
