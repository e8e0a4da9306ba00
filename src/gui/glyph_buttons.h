#pragma once

#include <QIcon>
#include <QString>

class QPalette;
class QPushButton;
class QWidget;

namespace quillo::gui {

// The pictures of the player buttons, drawn so that they need no files.
enum class Glyph { Play, Pause, Stop, Previous, Next, Snapshot, Sound, Muted };

// The glyph in the palette's button text colour, greyed when disabled.
QIcon GlyphIcon(Glyph glyph, const QPalette& palette);
// A square player button named name, with hint as its tooltip and accessible name.
QPushButton* MakeGlyphButton(const char* name, const QString& hint, Glyph glyph, QWidget* parent);

}  // namespace quillo::gui
