#pragma once

#include <QFont>
#include <QString>

// A font given as the program's layouts give it: a face (empty for the default face), a character
// height in pixels and a weight.
QFont layoutFont(const QString& face, int pixelHeight, bool bold = false);

// At start-up: map the faces the layouts name onto installed Simplified Chinese faces and make one the
// default GUI font.
void installFontSubstitutions();
