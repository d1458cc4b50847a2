#pragma once

#include <QString>

#include <ostream>

// Lets gtest show QStrings as text in its failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
