#pragma once

#include <QFont>

// The font to open a font dialog on. The dialog picks the style of its list by name,
// and a font that names no style gets "Normal", which many faces do not have (DejaVu's
// upright style is "Book"): the dialog then takes the face's first style, an oblique
// one, and OK would turn the editor's text italic. The style name of the face actually
// in use is the one to select.
QFont FontForDialog(const QFont &font);
