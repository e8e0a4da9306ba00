#pragma once

#include <QAbstractListModel>
#include <QFrame>
#include <QStyledItemDelegate>
#include <QWidget>

#include "profiles/profile_files.h"
#include "profiles/profile_list.h"

class QLineEdit;
class QListView;
class QToolButton;

namespace quillo::gui {

// The lines of a profile list for a list view.
class ProfileLinesModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ProfileLinesModel(const profiles::ProfileList& list, QObject* parent = nullptr)
        : QAbstractListModel(parent), list_(list) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The list's lines changed all at once.
    void Reload();

private:
    const profiles::ProfileList& list_;
};

// Draws a profile line: light grey, the line under the pointer filled light blue and framed;
// headers bold with their expand glyph and group picture, profiles in navy.
class ProfileLineDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// The current-profile box (objectName "cmbProfile"): a read-only box ("edtProfile") and an
// arrow button ("btnProfileList") that drop the two-level list of groups and profiles
// ("lstProfile", in the popup "frmProfileList") up above the box. A press in the leftmost 20
// pixels of a group header, or a double click on it, expands or collapses the group; a press
// on a profile makes it the current profile (or, with SetStoresChoice(false), only the box's)
// and closes the list.
class ProfileBox : public QWidget {
    Q_OBJECT
public:
    explicit ProfileBox(profiles::ProfileFiles files, QWidget* parent = nullptr);

    // Rebuilds the list from the stored collapse states and shows the stored profile.
    void Build();
    // Stores the groups' collapse states.
    void SaveState() const;
    QString Text() const;
    // Off: a chosen profile is only shown and announced, and the stored current profile stays
    // (the settings editor picks the profile it edits so).
    void SetStoresChoice(bool stores) { storesChoice_ = stores; }

    void ShowList();
    void HideList();
    bool ListVisible() const;
    QListView* ListView() const { return view_; }
    const profiles::ProfileList& Lines() const { return list_; }

signals:
    void profileChosen(int code, const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ToggleList();
    void PressOnLine(int line, int x);
    void ToggleGroup(int line);
    void SelectLine(int line);
    void PlaceList();

    profiles::ProfileFiles files_;
    profiles::ProfileList list_;
    QLineEdit* box_ = nullptr;
    QToolButton* arrow_ = nullptr;
    QFrame* popup_ = nullptr;
    QListView* view_ = nullptr;
    ProfileLinesModel* model_ = nullptr;
    bool pressToggled_ = false;  // the press of a double click already toggled its group
    bool storesChoice_ = true;
};

}  // namespace quillo::gui
