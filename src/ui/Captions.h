#pragma once

#include <QString>

class QComboBox;
class QPushButton;

// The buttons' captions where they are shown: as the user wrote them, cut off by the control's
// edge where they are too long, with the whole caption as the tooltip then.
namespace Captions {

void SetButtonCaption(QPushButton& button, const QString& caption);
// A new last entry of a list of captions.
void AddListCaption(QComboBox& list, const QString& caption);
// From now on the closed list's tooltip is that of the entry it shows.
void TipSelectedCaption(QComboBox& list);

} // namespace Captions
