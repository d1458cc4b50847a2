#pragma once

// Lets the options' output and exit status show in the console the program was started from
// (cmd, PowerShell): a Windows program of the notification area has no console of its own.
// Output that already goes to a file or a pipe stays there. Nothing where programs share their
// terminal anyway (Linux).
void UseParentConsole();
