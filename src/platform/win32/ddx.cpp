// Data exchange between a dialog's fields and its controls, with the validation messages.
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "platform/win32/texts.h"
#include "platform/win32/wnd.h"

namespace {

// Replaces every "%1" and "%2" in a UTF-8 template.
std::string FormatMessageText(const char* utf8Template, const std::string& first,
                              const std::string& second = {}) {
    std::string text;
    for (const char* p = utf8Template; *p != '\0'; ++p) {
        if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
            text += p[1] == '1' ? first : second;
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

std::string FormatUnsigned(unsigned long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lu", value);
    return buffer;
}

// An unsigned decimal number with spaces or tabs before and after it. Values above maxValue
// give maxValue. False for an empty text, a sign or any other character.
bool ParseUnsigned(const std::string& text, unsigned long long maxValue, unsigned long long& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto isBlank = [&text](std::size_t at) { return text[at] == ' ' || text[at] == '\t'; };
    while (i < n && isBlank(i)) ++i;
    const std::size_t digitsStart = i;
    unsigned long long parsed = 0;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        parsed = parsed > (maxValue - digit) / 10 ? maxValue : parsed * 10 + digit;
    }
    if (i == digitsStart) return false;
    while (i < n && isBlank(i)) ++i;
    if (i != n) return false;
    value = parsed;
    return true;
}

std::string ControlText(HWND hControl) {
    CWnd wrapper;
    wrapper.m_hWnd = hControl;
    std::string text = wrapper.GetWindowText();
    wrapper.m_hWnd = nullptr;
    return text;
}

// Sets the text only when it differs, so that an unchanged control does not flicker.
void SetControlText(HWND hControl, const std::string& text) {
    if (ControlText(hControl) != text) ::SetWindowTextA(hControl, text.c_str());
}

template <class T>
void ExchangeUnsigned(CDataExchange* pDX, int nIDC, T& value) {
    HWND hControl = pDX->PrepareEditCtrl(nIDC);
    if (!pDX->m_bSaveAndValidate) {
        SetControlText(hControl, FormatUnsigned(value));
        return;
    }
    unsigned long long parsed = 0;
    if (!ParseUnsigned(ControlText(hControl), (std::numeric_limits<T>::max)(), parsed)) {
        AfxMessageBox(hhx::texts::kParseUnsigned, MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    value = static_cast<T>(parsed);
}

}  // namespace

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) {
    HWND hControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
    if (hControl == nullptr) {
        throw std::logic_error("data exchange: no control with id " + std::to_string(nIDC));
    }
    m_idLastControl = nIDC;
    m_bEditLastControl = FALSE;
    return hControl;
}

HWND CDataExchange::PrepareEditCtrl(int nIDC) {
    HWND hControl = PrepareCtrl(nIDC);
    m_bEditLastControl = TRUE;
    return hControl;
}

void CDataExchange::Fail() {
    if (m_bSaveAndValidate && m_idLastControl != 0) {
        HWND hControl = ::GetDlgItem(m_pDlgWnd->m_hWnd, m_idLastControl);
        ::SetFocus(hControl);
        if (m_bEditLastControl) ::SendMessageW(hControl, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd != nullptr) return;
    HWND hControl = pDX->PrepareCtrl(nIDC);
    if (rControl.Attach(hControl)) {
        CWnd* window = pDX->m_pDlgWnd;
        window->m_boundControls.push_back(&rControl);
        rControl.m_pBindingOwner = window;
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
    HWND hControl = pDX->PrepareEditCtrl(nIDC);
    if (pDX->m_bSaveAndValidate) {
        value = ControlText(hControl);
    } else {
        SetControlText(hControl, value);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, unsigned long& value) { ExchangeUnsigned(pDX, nIDC, value); }
void DDX_Text(CDataExchange* pDX, int nIDC, unsigned int& value) { ExchangeUnsigned(pDX, nIDC, value); }

void DDV_MinMaxDWord(CDataExchange* pDX, unsigned long value, unsigned long minVal,
                     unsigned long maxVal) {
    if (!pDX->m_bSaveAndValidate || (minVal <= value && value <= maxVal)) return;
    AfxMessageBox(FormatMessageText(hhx::texts::kParseRange, FormatUnsigned(minVal), FormatUnsigned(maxVal)),
                  MB_OK | MB_ICONEXCLAMATION);
    pDX->Fail();
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int nChars) {
    if (pDX->m_bSaveAndValidate && value.size() > static_cast<std::size_t>(nChars)) {
        AfxMessageBox(FormatMessageText(hhx::texts::kParseStringSize, std::to_string(nChars)),
                      MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    if (pDX->m_idLastControl != 0 && pDX->m_bEditLastControl) {
        HWND hControl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, pDX->m_idLastControl);
        ::SendMessageW(hControl, EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
    }
}
