#include "ui/win32/Form1.h"

#include "platform/PlatformError.h"
#include "platform/win32/SystemErrorText.h"
#include "platform/win32/WideText.h"
#include "ui/RequestTimeClick.h"
#include "ui/win32/ControlFont.h"
#include "ui/win32/EnterPressesButton.h"
#include "ui/win32/ResourceIds.h"

#include <utility>

namespace chronavel {
namespace {

constexpr const wchar_t* ClassName = L"Form1";
// A single fixed frame: no sizing border, no maximise box.
constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD ExStyle = 0;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX;

// Not IDOK or IDCANCEL: the button is neither the default nor the cancel one.
enum ControlId : int { RequestTimeId = 101, TimeLocalId = 102, Label2Id = 103 };

// Pixels at 96 DPI.
struct Placement {
    int left;
    int top;
    int width;
    int height;
};
constexpr SIZE ClientSize{424, 78};
constexpr Placement RequestTimePlace{28, 24, 97, 37};
constexpr Placement TimeLocalPlace{208, 32, 201, 21};
constexpr Placement Label2Place{140, 36, 65, 17};

int Scaled(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

SIZE WindowSizeAt(UINT dpi)
{
    RECT frame{0, 0, Scaled(ClientSize.cx, dpi), Scaled(ClientSize.cy, dpi)};
    AdjustWindowRectExForDpi(&frame, Style, FALSE, ExStyle, dpi);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(instance, ClassName, &windowClass)) {
        return;
    }
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW); // shared: never destroyed
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = ClassName;
    if (RegisterClassExW(&windowClass) == 0) {
        ThrowLastError();
    }
}

// Nothing when the module has no icon of that size to scale from (a test
// program without the resources): the window keeps the system's.
UniqueIcon LoadProgramIcon(HINSTANCE instance, int size)
{
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_CHRONAVEL), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

} // namespace

Form1::Form1(HINSTANCE instance, IMessageBox& messageBox, TimeRequest request)
    : m_messageBox(messageBox)
    , m_request(std::move(request))
    , m_instance(instance)
{
    RegisterWindowClass(instance, &Form1::WindowProcedure);
    // Sized in LayOut, once the DPI of the monitor it is on is known.
    if (CreateWindowExW(ExStyle, ClassName, L"Chronavel", Style, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                        instance, this)
        == nullptr) {
        ThrowLastError();
    }
    try {
        CreateControls(instance);
        LayOut(GetDpiForWindow(m_window.get()));
    } catch (...) {
        m_window.reset();
        throw;
    }
}

Form1::~Form1()
{
    // While the members its procedure uses are all still there.
    m_window.reset();
}

void Form1::Show(int showCommand)
{
    ShowWindow(m_window.get(), showCommand);
    UpdateWindow(m_window.get());
}

void Form1::CreateControls(HINSTANCE instance)
{
    // Created in tab order, which is the order of the children.
    const auto create = [&](const wchar_t* className, const wchar_t* text, DWORD style, ControlId id) {
        HWND control = CreateWindowExW(0, className, text, style, 0, 0, 0, 0, m_window.get(),
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        if (control == nullptr) {
            ThrowLastError();
        }
        return control;
    };
    cmdRequestTime
        = create(L"BUTTON", L"Request Time", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, RequestTimeId);
    lblTimeLocal = create(L"STATIC", L"", LabelStyle, TimeLocalId);
    Label2 = create(L"STATIC", L"Local Time:", LabelStyle, Label2Id);
    MakeEnterPressButton(cmdRequestTime);
}

void Form1::LayOut(UINT dpi)
{
    UniqueFont font = CreateControlFont(dpi);
    const std::pair<HWND, Placement> places[]
        = {{cmdRequestTime, RequestTimePlace}, {lblTimeLocal, TimeLocalPlace}, {Label2, Label2Place}};
    for (const auto& [control, place] : places) {
        SetWindowPos(control, nullptr, Scaled(place.left, dpi), Scaled(place.top, dpi), Scaled(place.width, dpi),
                     Scaled(place.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    }
    m_font = std::move(font); // the old one only now, when no control uses it

    const SIZE size = WindowSizeAt(dpi);
    SetWindowPos(m_window.get(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    UniqueIcon bigIcon = LoadProgramIcon(m_instance, GetSystemMetricsForDpi(SM_CXICON, dpi));
    UniqueIcon smallIcon = LoadProgramIcon(m_instance, GetSystemMetricsForDpi(SM_CXSMICON, dpi));
    SendMessageW(m_window.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    SendMessageW(m_window.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
    m_bigIcon = std::move(bigIcon);
    m_smallIcon = std::move(smallIcon);
}

LRESULT CALLBACK Form1::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Form1*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        created->m_window.reset(window);
    }
    auto* form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->OnMessage(message, wParam, lParam);
}

LRESULT Form1::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = m_window.get();
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == RequestTimeId && HIWORD(wParam) == BN_CLICKED) {
            cmdRequestTime_Click();
            return 0;
        }
        break;
    case WM_SETFOCUS:
        // Activation focuses the window itself; the button is the one control that takes focus.
        if (cmdRequestTime != nullptr) {
            SetFocus(cmdRequestTime);
        }
        return 0;
    case WM_GETDPISCALEDSIZE: {
        // The client area scales exactly; the frame follows the system's metrics.
        *reinterpret_cast<SIZE*>(lParam) = WindowSizeAt(LOWORD(wParam));
        return TRUE;
    }
    case WM_DPICHANGED: {
        const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
        try {
            LayOut(LOWORD(wParam));
        } catch (const PlatformError&) {
            // No font at the new size: the old one stays, smaller than it should be.
        }
        SetWindowPos(window, nullptr, suggested.left, suggested.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        static_cast<void>(m_window.release());
        cmdRequestTime = lblTimeLocal = Label2 = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Form1::cmdRequestTime_Click() noexcept
{
    HandleRequestTimeClick(m_request, m_messageBox, [this](const std::string& text) { ShowLocalTime(text); });
}

void Form1::ShowLocalTime(const std::string& text)
{
    // The window may have been closed while the request ran.
    if (lblTimeLocal != nullptr && !SetWindowTextW(lblTimeLocal, ToWide(text).c_str())) {
        ThrowLastError();
    }
}

} // namespace chronavel
