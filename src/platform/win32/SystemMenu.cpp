#include "platform/SystemMenu.h"

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QWidget>

#include "platform/win32/WinApi.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

// Hands WM_SYSCOMMAND with one of our command values to the handler. A child of the window, so
// it ends with it.
//
// WORKAROUND: Qt 6.4 gives native event filters no WM_SYSCOMMAND that is sent rather than
// posted, and its own Alt+Space menu hands the chosen command to its window procedure by a
// plain call. So the commands are taken in a subclass of the window procedure, which sees every
// message, and Alt+Space is left to Windows, whose menu posts the chosen command.
class CSystemCommandHook final : public QObject
{
public:
    CSystemCommandHook(QWidget& window, std::vector<unsigned> commands,
                       std::function<void(unsigned)> onCommand)
        : QObject(&window), m_window(reinterpret_cast<HWND>(window.winId())),
          m_commands(std::move(commands)), m_onCommand(std::move(onCommand))
    {
        ::SetWindowSubclass(m_window, &WindowProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    }

    ~CSystemCommandHook() override { ::RemoveWindowSubclass(m_window, &WindowProc, kSubclassId); }

    CSystemCommandHook(const CSystemCommandHook&) = delete;
    CSystemCommandHook& operator=(const CSystemCommandHook&) = delete;

private:
    static constexpr UINT_PTR kSubclassId = 0x40; // any value unique to this procedure

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR /*id*/, DWORD_PTR self)
    {
        auto* hook = reinterpret_cast<CSystemCommandHook*>(self);
        switch (message) {
        case WM_SYSCOMMAND:
            if (hook->Handle(static_cast<unsigned>(wParam)))
                return 0;
            break;
        case WM_SYSKEYDOWN: // Alt+Space, as a key and as the character it makes: see above
        case WM_SYSCHAR:
            if (wParam == VK_SPACE)
                return ::DefWindowProcW(hWnd, message, wParam, lParam);
            break;
        default:
            break;
        }
        return ::DefSubclassProc(hWnd, message, wParam, lParam);
    }

    bool Handle(unsigned value)
    {
        // The system keeps the low four bits of the value for itself.
        const unsigned command = value & 0xFFF0;
        if (std::find(m_commands.begin(), m_commands.end(), command) == m_commands.end())
            return false; // the system's own entries: moving, closing
        m_onCommand(command);
        return true;
    }

    HWND m_window;
    std::vector<unsigned> m_commands;
    std::function<void(unsigned)> m_onCommand;
};

} // namespace

bool AppendToSystemMenu(QWidget& window, const QMenu& commands,
                        const std::function<void(unsigned command)>& onCommand)
{
    HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
    if (!menu)
        return false;
    std::vector<unsigned> values;
    for (const QAction* action : commands.actions()) {
        if (action->isSeparator()) {
            ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        const unsigned value = action->data().toUInt();
        const QString text = action->text(); // "E&xit": the same mnemonic marks as Qt's
        ::AppendMenuW(menu, MF_STRING, value, reinterpret_cast<const wchar_t*>(text.utf16()));
        values.push_back(value);
    }
    new CSystemCommandHook(window, std::move(values), onCommand);
    return true;
}
