#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QApplication;

namespace quillo::gui {

// The colours of the skin: the job list's rows and focus, the profile list and the preview's
// light blue, and the few tones of the window around them.
namespace skin {

inline const QColor OddRow{226, 229, 246};
inline const QColor EvenRow{255, 255, 255};
inline const QColor FocusFill{185, 204, 236};
inline const QColor FocusFillInactive{229, 237, 248};
inline const QColor FocusFrame{122, 160, 218};
inline const QColor FocusFrameInactive{152, 182, 226};
inline const QColor ProfileListBackground{246, 246, 248};
inline const QColor ProfileText{0, 0, 128};  // navy
inline const QColor PreviewBlue{166, 202, 240};
inline const QColor Window{236, 240, 248};
inline const QColor Accent{58, 104, 176};
inline const QColor AccentDark{38, 74, 138};
inline const QColor Text{32, 38, 52};

}  // namespace skin

// The style sheet of every window.
QString SkinStyleSheet();
// Sets the style, the palette and the style sheet of the whole application.
void ApplySkin(QApplication& application);

// The toolbar's pictures, drawn so that they need no files.
enum class CommandIcon { Add, Remove, Clear, Start, Browse, Open, Settings };
QIcon MakeCommandIcon(CommandIcon icon);
// The program's own icon (the same picture as the installed SVG).
QIcon ApplicationIcon();
// A group's picture in the profile list (0..5), 16 x 16.
QPixmap GroupPicture(int group);

// The pictures used when the skin's files are missing.
QPixmap BuiltInSplashPicture();
QPixmap BuiltInEmptyListPicture();

}  // namespace quillo::gui
