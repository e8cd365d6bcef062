// Our own small window layer on Win32: the window object, the modal dialog from a resource
// template with its own modal loop, an event table as plain data, data exchange between
// fields and controls, the application object and message boxes. Only what the dialog tool
// uses. Strings are std::string holding ANSI bytes unless a parameter says UTF-8.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CWnd;
class CDataExchange;

// ---------------------------------------------------------------------------------------------
// Event table (message map): plain data, one entry per handled event, chained to the base
// class's table. An entry matches by message and, for WM_COMMAND, by notification code and
// control id. Tables end with an entry whose sig is AfxSig::end.

enum class AfxSig : unsigned char {
    end,     // end of a table
    v_v,     // void Handler()
    b_v,     // BOOL Handler(); the result is the dialog procedure's result (WM_INITDIALOG)
    hcur_v,  // HCURSOR Handler(); the result is the dialog procedure's result (WM_QUERYDRAGICON)
};

using AfxPmsg = void (CWnd::*)();

struct MessageMapEntry {
    UINT message;
    UINT code;  // WM_COMMAND: notification code (BN_CLICKED is 0)
    UINT id;    // WM_COMMAND: control id
    AfxSig sig;
    AfxPmsg pfn;
};

struct MessageMap {
    const MessageMap* (*pfnGetBaseMap)();  // nullptr for the root table
    const MessageMapEntry* entries;
};

// Handlers with a result are stored as AfxPmsg and cast back by their sig before the call;
// converting a member function pointer and back is exact.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
#endif
namespace hhx {
template <class T>
MessageMapEntry MakeEntry(UINT message, UINT code, UINT id, void (T::*pfn)()) {
    return {message, code, id, AfxSig::v_v, static_cast<AfxPmsg>(pfn)};
}
template <class T>
MessageMapEntry MakeEntry(UINT message, UINT code, UINT id, BOOL (T::*pfn)()) {
    return {message, code, id, AfxSig::b_v,
            reinterpret_cast<AfxPmsg>(static_cast<BOOL (CWnd::*)()>(pfn))};
}
template <class T>
MessageMapEntry MakeEntry(UINT message, UINT code, UINT id, HCURSOR (T::*pfn)()) {
    return {message, code, id, AfxSig::hcur_v,
            reinterpret_cast<AfxPmsg>(static_cast<HCURSOR (CWnd::*)()>(pfn))};
}
}  // namespace hhx
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// In the class body.
#define DECLARE_MESSAGE_MAP()                                      \
protected:                                                         \
    static const MessageMap* GetThisMessageMap();                  \
    const MessageMap* GetMessageMap() const override;

// In the .cpp file:
//   BEGIN_MESSAGE_MAP(CEncryptDlg, CDialog)
//       ON_WM_PAINT()
//       ON_BN_CLICKED(IDC_START_ENCRYPT, &CEncryptDlg::OnStartEncrypt)
//   END_MESSAGE_MAP()
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                          \
    const MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); }  \
    const MessageMap* theClass::GetThisMessageMap() {                                  \
        using ThisClass = theClass;                                                    \
        using TheBaseClass = baseClass;                                                \
        static const MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                  \
            {0, 0, 0, AfxSig::end, nullptr}};                              \
        static const MessageMap map = {&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                       \
    }

#define ON_COMMAND(id, memberFxn) hhx::MakeEntry<ThisClass>(WM_COMMAND, 0, (id), (memberFxn)),
#define ON_BN_CLICKED(id, memberFxn) \
    hhx::MakeEntry<ThisClass>(WM_COMMAND, BN_CLICKED, (id), (memberFxn)),
#define ON_MESSAGE_VOID(message, memberFxn) hhx::MakeEntry<ThisClass>((message), 0, 0, (memberFxn)),
#define ON_WM_PAINT() hhx::MakeEntry<ThisClass>(WM_PAINT, 0, 0, &ThisClass::OnPaint),
#define ON_WM_QUERYDRAGICON() \
    hhx::MakeEntry<ThisClass>(WM_QUERYDRAGICON, 0, 0, &ThisClass::OnQueryDragIcon),

// ---------------------------------------------------------------------------------------------
// The user exception: a failed validation whose message has already been shown. Event
// dispatch does not report it; UpdateData turns it into false.
class CUserException : public std::exception {
public:
    const char* what() const noexcept override { return "validation failed"; }
};

// ---------------------------------------------------------------------------------------------
// A window. Objects either own a window they created (dialogs) or are bound to a window they
// do not own (controls bound by DDX_Control, wrappers from GetDlgItem and FromHandle).
class CWnd {
public:
    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to the window; otherwise a wrapper kept for the thread's lifetime.
    // nullptr for a null handle.
    static CWnd* FromHandle(HWND hWnd);
    // The bound object, or nullptr.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // Binds the object to a window it does not own; false when it is already bound.
    bool Attach(HWND hWnd);
    HWND Detach();

    BOOL EnableWindow(BOOL enable = TRUE);
    BOOL IsWindowEnabled() const;
    BOOL IsWindowVisible() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsIconic() const;
    void GetClientRect(LPRECT rect) const;
    void GetWindowRect(LPRECT rect) const;
    int GetDlgCtrlID() const;
    CWnd* SetFocus();
    // Moves the window to the centre of its owner, or of the screen's work area when it has
    // no visible owner, kept inside the work area.
    void CenterWindow();

    // Window texts in the ANSI code page.
    void SetWindowText(const std::string& text);
    void GetWindowText(std::string& text) const;
    std::string GetWindowText() const;

    // The child control with this id, or nullptr. The object is the one bound to the control
    // (DDX_Control) or a wrapper owned by this window; valid while this window lives.
    CWnd* GetDlgItem(int id) const;

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    // Runs the exchange: false loads the controls from the fields, true saves the controls
    // into the fields and validates. False when a step failed; its message was already shown.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Destroys the window (and its controls). Virtual so that a dialog's override runs on
    // every way out of the modal loop.
    virtual BOOL DestroyWindow();

    // The platform's default processing of the message being handled right now.
    LRESULT Default();

    // The message being handled on this thread (valid inside a handler).
    static const MSG* GetCurrentMessage();

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

    // Called when the window is gone (WM_NCDESTROY): unbinds the object and its controls.
    virtual void OnNcDestroy();

    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;

    // Looks the message up in the event table chain and calls the handler, reporting any
    // exception that leaves it through CWinApp::ProcessWndProcException. True when an entry
    // matched; *result receives the dialog procedure's result.
    bool DispatchToTable(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result);

private:
    friend class CDataExchange;
    friend void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

    // Controls bound to objects by DDX_Control; unbound when this window goes. Each such
    // object points back at the window object whose list holds it.
    std::vector<CWnd*> m_boundControls;
    CWnd* m_pBindingOwner = nullptr;
    // Wrappers handed out by GetDlgItem for controls not bound to an object.
    mutable std::map<int, std::unique_ptr<CWnd>> m_tempChildren;
    // The message whose default processing Default() has asked the dialog manager for: the
    // dialog procedure passes that one message back unhandled.
    const MSG* m_pDefaultMsg = nullptr;

    friend class CDialog;
};

class CButton : public CWnd {};

// ---------------------------------------------------------------------------------------------
// A modal dialog from a template in the program's resources.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the window from the template (the owner disabled meanwhile), runs the modal loop
    // until EndDialog, hides the window and calls the virtual DestroyWindow. Returns the end
    // code, or -1 when the window could not be created or the loop got WM_QUIT.
    virtual INT_PTR DoModal();
    // Ends the modal loop with this code once the current message has been handled.
    void EndDialog(int nResult);

    // First load exchange; returns TRUE so that the dialog manager sets the initial focus.
    virtual BOOL OnInitDialog();
    // A save exchange; EndDialog(IDOK) only when it succeeds.
    virtual void OnOK();
    // EndDialog(IDCANCEL).
    virtual void OnCancel();

    UINT GetTemplateId() const { return m_nIDTemplate; }

    DECLARE_MESSAGE_MAP()

private:
    BOOL HandleInitDialog();
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bEndDialog = false;
    int m_nModalResult = -1;
};

// ---------------------------------------------------------------------------------------------
// Data exchange.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;  // TRUE: controls to fields with validation; FALSE: fields to controls
    CWnd* m_pDlgWnd;
    int m_idLastControl = 0;           // the control a step prepared last
    BOOL m_bEditLastControl = FALSE;   // whether it was prepared as an edit field

    // The control's window; it becomes the last prepared control.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC);
    // Abandons the exchange: focus to the last prepared control (select-all on an edit field)
    // and a CUserException. The step has shown its message already.
    [[noreturn]] void Fail();
};

// Binds the object to the control on the first exchange after the window exists; later
// exchanges do nothing.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// The control's whole text <-> the field.
void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
// "%lu" on load; on save an unsigned decimal number with spaces or tabs around it, otherwise
// the "please enter a positive integer" message and Fail. Values above the type's range become
// its maximum, so that a range rule rejects them.
void DDX_Text(CDataExchange* pDX, int nIDC, unsigned long& value);
void DDX_Text(CDataExchange* pDX, int nIDC, unsigned int& value);
// On save: minVal <= value <= maxVal, otherwise the range message and Fail. Nothing on load.
void DDV_MinMaxDWord(CDataExchange* pDX, unsigned long value, unsigned long minVal,
                     unsigned long maxVal);
// On save: at most nChars bytes, otherwise the length message and Fail; otherwise, and on
// load, limits the last prepared edit field to nChars characters.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars);

// ---------------------------------------------------------------------------------------------
// The application object. One per process; its constructor registers it for AfxGetApp.
class CWinApp {
public:
    explicit CWinApp(const char* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    CWnd* m_pMainWnd = nullptr;

    // True to run the application's message loop, false to end at once.
    virtual BOOL InitInstance();
    // The exit code of the process.
    virtual int ExitInstance();
    // The application's message loop, until WM_QUIT; returns ExitInstance().
    virtual int Run();

    // Reports an exception that left an event handler (call from a catch block or with the
    // captured exception): the out-of-memory box, a file error's box, another exception's
    // text; a CUserException is not reported. Returns the result for the failed message.
    virtual LRESULT ProcessWndProcException(std::exception_ptr e, const MSG* pMsg);

    // Asks for the three-dimensional control look: nothing to do on current systems.
    BOOL Enable3dControlsStatic() { return TRUE; }

    // The title of the application's message boxes (UTF-16).
    const std::wstring& GetAppTitle() const { return m_strAppTitle; }

private:
    std::wstring m_strAppTitle;
};

CWinApp* AfxGetApp();
// The application's main window, or nullptr.
CWnd* AfxGetMainWnd();
// The program file's name without folder and extension (UTF-16).
std::wstring AfxGetProgramTitle();
// The application object's title, or the program title when there is no application object.
std::wstring AfxGetAppTitle();
// The entry point the program's WinMain calls: InitInstance, then Run when it returned true,
// else ExitInstance. Returns the exit code.
int AfxWinMain();
// The base report of ProcessWndProcException, usable without an application object.
LRESULT AfxProcessWndProcException(std::exception_ptr e, const MSG* pMsg);

// A modal message box owned by the main window (or the thread's active window when there is
// none), captioned with the application title; MB_ICONEXCLAMATION when no icon is asked for.
// The text is UTF-8 and shown with the Unicode API, so it reads right on any code page.
int AfxMessageBox(const std::string& utf8Text, UINT nType = MB_OK, UINT nIDHelp = 0);
