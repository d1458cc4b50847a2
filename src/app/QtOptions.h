#pragma once

#include <QStringList>

// The command line without what QApplication takes for itself (the platform, the style, X11's
// display, the session to restore, ...): what is left for Mirelight's own options. Qt's options
// are told apart exactly as Qt reads them: one or two leading dashes, a value as the next
// argument ("-style=" and "-stylesheet=" also joined), so that what Qt would leave is not
// hidden from Mirelight's own parsing either.
struct QtOptions
{
    static QtOptions Split(const QStringList& arguments);

    QStringList own; // the program's name, then the rest
    QString missingValue; // a Qt option that ends the line without its value, if any
};
