#pragma once

#include <QColor>
#include <QComboBox>
#include <functional>

namespace quillo::gui {

// A colour picker box: the sixteen standard colours, then money green, sky blue, cream and
// medium grey, each with its swatch and name, and "Other..." at the end, which asks for any
// colour through the chooser (Qt's colour dialog unless one is set). colourChanged follows
// every change, by the user or by SetColour.
class ColourBox : public QComboBox {
    Q_OBJECT
public:
    using Chooser = std::function<QColor(QWidget* parent, const QColor& initial)>;

    explicit ColourBox(QWidget* parent = nullptr);

    QColor Colour() const { return colour_; }
    // A colour of the list selects its line; any other is shown on the "Other..." line.
    void SetColour(const QColor& colour);
    void SetChooser(Chooser chooser) { chooser_ = std::move(chooser); }

signals:
    void colourChanged(const QColor& colour);

private:
    void LineChosen(int index);
    void ShowOther(const QColor& colour);

    QColor colour_;
    Chooser chooser_;
    int otherLine_ = 0;
};

}  // namespace quillo::gui
