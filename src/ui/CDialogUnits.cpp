#include "ui/CDialogUnits.h"

#include <QFontMetrics>

#include <cmath>

namespace {

// The average width over the 52 letters, rounded as dialog templates expect.
int AverageCharWidthOf(const QFontMetrics& metrics)
{
    const int total = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (total / 26 + 1) / 2;
}

int Scale(int dlu, int pixelsPerCell, int unitsPerCell)
{
    return static_cast<int>(std::lround(static_cast<double>(dlu) * pixelsPerCell / unitsPerCell));
}

} // namespace

CDialogUnits::CDialogUnits(const QFont& font)
    : m_averageCharWidth(AverageCharWidthOf(QFontMetrics(font))),
      m_charHeight(QFontMetrics(font).height())
{ }

int CDialogUnits::X(int dlu) const
{
    return Scale(dlu, m_averageCharWidth, 4);
}

int CDialogUnits::Y(int dlu) const
{
    return Scale(dlu, m_charHeight, 8);
}

QRect CDialogUnits::Rect(int x, int y, int width, int height) const
{
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize CDialogUnits::Size(int width, int height) const
{
    return QSize(X(width), Y(height));
}
