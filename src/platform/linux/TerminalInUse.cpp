#include "platform/linux/TerminalInUse.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/sysmacros.h>

namespace mirelight {

namespace {

const dev_t kProcessTerminal = makedev(5, 0); // /dev/tty

// The controlling terminal of the process in that /proc folder (field 7 of its stat, tty_nr);
// 0 when it has none or has ended. The command name before it is in parentheses and may hold
// spaces and parentheses itself, so the fields are counted from the last ')'.
dev_t ControllingTerminal(const std::filesystem::path& process)
{
    std::ifstream file(process / "stat");
    std::string stat;
    std::getline(file, stat);
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(nameEnd + 1));
    std::string state;
    long parent = 0, group = 0, session = 0, terminal = 0;
    fields >> state >> parent >> group >> session >> terminal;
    // The kernel's encoding of a device number, which major() and minor() read too.
    const auto number = static_cast<dev_t>(terminal);
    return fields ? makedev(major(number), minor(number)) : 0;
}

bool IsSomeSessionsTerminal(dev_t device)
{
    std::error_code error;
    for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool isProcess = name.find_first_not_of("0123456789") == std::string::npos;
        if (isProcess && ControllingTerminal(entry->path()) == device)
            return true;
    }
    return false;
}

} // namespace

bool IsTerminalInUse(const struct stat& node)
{
    return S_ISCHR(node.st_mode)
        && (node.st_rdev == kProcessTerminal || IsSomeSessionsTerminal(node.st_rdev));
}

} // namespace mirelight
