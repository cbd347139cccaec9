// Page layout in dialog units: the pages are laid out on a grid of dialog
// units of an 8-point dialog font (a horizontal unit is 1.5 pixels, a
// vertical one 1.625 pixels at 96 dpi), so that their proportions stay
// those of the original dialog design.

#ifndef INSTALLER_WIZARD_DIALOG_UNITS_H_
#define INSTALLER_WIZARD_DIALOG_UNITS_H_

#include <QRect>
#include <QSize>

inline int DluX(int x) { return x * 3 / 2; }
inline int DluY(int y) { return y * 13 / 8; }
inline QRect DluRect(int x, int y, int w, int h) {
  return QRect(DluX(x), DluY(y), DluX(w), DluY(h));
}

// Size of both pages.
inline QSize PageSize() { return QSize(DluX(414), DluY(164)); }

#endif  // INSTALLER_WIZARD_DIALOG_UNITS_H_
