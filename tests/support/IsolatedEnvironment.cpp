#include "support/IsolatedEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

namespace {

std::string MakeFolder(const std::string& base, const char* name)
{
    const std::string path = base + "/" + name;
    std::filesystem::create_directories(path);
    ::chmod(path.c_str(), 0700);
    return path;
}

std::string g_root;

// The folders go with the process, so that test runs leave nothing behind.
void RemoveRoot()
{
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
}

} // namespace

void IsolateUserFolders()
{
    std::string pattern
        = std::filesystem::temp_directory_path().string() + "/mirelight-test-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    g_root = pattern;
    std::atexit(RemoveRoot);
    ::setenv("XDG_CONFIG_HOME", MakeFolder(pattern, "config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", MakeFolder(pattern, "runtime").c_str(), 1);
    ::setenv("HOME", MakeFolder(pattern, "home").c_str(), 1);
}

} // namespace testsupport
