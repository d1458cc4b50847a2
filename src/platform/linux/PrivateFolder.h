#pragma once

#include <QString>
#include <QStringList>

// The first of the folders that is absolute, a folder (not a link to one), the user's own and
// private (no access for anyone else); empty when none is.
QString FirstPrivateFolder(const QStringList& folders);
