// The preserve-and-restore pass over the protected shared files.
#pragma once

struct DeviceContext;

// For each protected file, puts the newest copy from the maker's shared
// folder in place of the installed one when it is strictly newer; a file that
// cannot be replaced now is scheduled for the next start, through WinInit.ini
// when useWinInit is true, else through "PendingFileRenameOperations". Every
// row is logged and independent of the others.
void RestoreNewerFiles(DeviceContext* context, bool useWinInit);
