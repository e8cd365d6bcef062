// The application object of the dialog tool.
#pragma once

#include "platform/win32/wnd.h"

class CEncryptApp : public CWinApp {
public:
    CEncryptApp() = default;

    // Runs the main dialog modally and returns false: the application ends with the dialog.
    BOOL InitInstance() override;
};
