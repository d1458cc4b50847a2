#pragma once

namespace testsupport {

// Points XDG_CONFIG_HOME and XDG_RUNTIME_DIR at fresh folders of this process, so that a
// test never sees the user's settings, ports or instance lock, nor another test's.
void IsolateUserFolders();

} // namespace testsupport
