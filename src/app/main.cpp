// Entry point of the dialog tool. The application object lives here, not in the library, so
// that the window tests link the dialog without an application of their own.
#include <windows.h>

#include "app/encrypt_app.h"

CEncryptApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return AfxWinMain(); }
