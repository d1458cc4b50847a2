#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Converts dialog units to pixels for a font: a horizontal unit is a quarter of the font's
// average character width, a vertical unit an eighth of its height.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont& font);

    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

private:
    int m_averageCharWidth;
    int m_charHeight;
};
