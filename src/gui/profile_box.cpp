#include "gui/profile_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/skin.h"

namespace quillo::gui {

namespace {

constexpr int LineHeight = 20;
constexpr int ToggleZone = 20;  // a press this close to a header's left edge toggles it
constexpr int MaximumListHeight = 422;

enum Role { IsGroupRole = Qt::UserRole + 1, CollapsedRole, CodeRole };

void DrawExpandGlyph(QPainter& painter, const QRect& line, bool collapsed) {
    const QPointF centre(line.left() + 9.5, line.center().y() + 0.5);
    QPainterPath triangle;
    if (collapsed) {
        triangle.moveTo(centre + QPointF(-2.5, -4.5));
        triangle.lineTo(centre + QPointF(3.0, 0));
        triangle.lineTo(centre + QPointF(-2.5, 4.5));
    } else {
        triangle.moveTo(centre + QPointF(-4.5, -2.5));
        triangle.lineTo(centre + QPointF(4.5, -2.5));
        triangle.lineTo(centre + QPointF(0, 3.0));
    }
    triangle.closeSubpath();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(triangle, QColor(84, 94, 116));
}

}  // namespace

int ProfileLinesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.Lines().size());
}

QVariant ProfileLinesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const profiles::ProfileLine& line = list_.Lines()[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return QString::fromStdString(line.Text);
        case IsGroupRole:
            return line.Info.IsGroup;
        case CollapsedRole:
            return line.Info.Collapsed;
        case CodeRole:
            return line.Info.Code;
        default:
            return {};
    }
}

void ProfileLinesModel::Reload() {
    beginResetModel();
    endResetModel();
}

void ProfileLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    painter->save();
    const QRect line = option.rect;
    painter->fillRect(line, skin::ProfileListBackground);
    if ((option.state & QStyle::State_Selected) != 0) {
        const QRect inner = line.adjusted(2, 2, -2, -2);
        painter->fillRect(inner, skin::FocusFill);
        painter->setPen(skin::FocusFrame);
        painter->drawRect(inner.adjusted(0, 0, -1, -1));
    }
    QFont font = option.font;
    const QString text = index.data(Qt::DisplayRole).toString();
    if (index.data(IsGroupRole).toBool()) {
        DrawExpandGlyph(*painter, line, index.data(CollapsedRole).toBool());
        const QPixmap picture = GroupPicture(index.data(CodeRole).toInt());
        const QSize size = picture.deviceIndependentSize().toSize();
        painter->drawPixmap(
            QPoint(line.left() + 20, line.top() + (line.height() - size.height()) / 2), picture);
        font.setBold(true);
        painter->setFont(font);
        painter->setPen(skin::Text);
        const QRect textRect = line.adjusted(45, 0, -4, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          QFontMetrics(font).elidedText(text, Qt::ElideRight, textRect.width()));
    } else {
        painter->setFont(font);
        painter->setPen(skin::ProfileText);
        const QRect textRect = line.adjusted(25, 0, -4, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          option.fontMetrics.elidedText(text, Qt::ElideRight, textRect.width()));
    }
    painter->restore();
}

QSize ProfileLineDelegate::sizeHint(const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(LineHeight);
    return size;
}

ProfileBox::ProfileBox(profiles::ProfileFiles files, QWidget* parent)
    : QWidget(parent), files_(std::move(files)) {
    setObjectName(QStringLiteral("cmbProfile"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    box_ = new QLineEdit(this);
    box_->setObjectName(QStringLiteral("edtProfile"));
    box_->setReadOnly(true);
    box_->setCursor(Qt::PointingHandCursor);
    box_->setFocusPolicy(Qt::NoFocus);
    box_->installEventFilter(this);
    arrow_ = new QToolButton(this);
    arrow_->setObjectName(QStringLiteral("btnProfileList"));
    arrow_->setArrowType(Qt::UpArrow);
    arrow_->setToolTip(QStringLiteral("Choose the output profile"));
    arrow_->setFixedWidth(26);
    arrow_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    layout->addWidget(box_, 1);
    layout->addWidget(arrow_);
    connect(arrow_, &QToolButton::clicked, this, &ProfileBox::ToggleList);

    popup_ = new QFrame(this, Qt::Popup);
    popup_->setObjectName(QStringLiteral("frmProfileList"));
    // A click outside only closes the list: a click on the box or the arrow must not reopen it.
    popup_->setAttribute(Qt::WA_NoMouseReplay);
    auto* popupLayout = new QVBoxLayout(popup_);
    popupLayout->setContentsMargins(1, 1, 1, 1);
    view_ = new QListView(popup_);
    view_->setObjectName(QStringLiteral("lstProfile"));
    view_->setUniformItemSizes(true);
    view_->setMouseTracking(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view_->setItemDelegate(new ProfileLineDelegate(view_));
    model_ = new ProfileLinesModel(list_, this);
    view_->setModel(model_);
    view_->viewport()->installEventFilter(this);
    view_->installEventFilter(this);
    popupLayout->addWidget(view_);
    Build();
}

void ProfileBox::Build() {
    list_.Build(files_);
    model_->Reload();
    box_->setText(QString::fromStdString(list_.BoxText()));
    box_->setCursorPosition(0);
}

void ProfileBox::SaveState() const {
    list_.SaveState(files_);
}

QString ProfileBox::Text() const {
    return box_->text();
}

bool ProfileBox::ListVisible() const {
    return popup_->isVisible();
}

void ProfileBox::ToggleList() {
    if (ListVisible()) {
        HideList();
    } else {
        ShowList();
    }
}

void ProfileBox::ShowList() {
    if (storesChoice_) {
        list_.ShowCurrent(files_);
    }
    model_->Reload();
    box_->setText(QString::fromStdString(list_.BoxText()));
    box_->setCursorPosition(0);
    PlaceList();
    popup_->show();
    view_->setFocus();
    if (const int selected = list_.SelectedIndex(); selected >= 0) {
        view_->setCurrentIndex(model_->index(selected));
        view_->scrollTo(model_->index(selected));
    }
}

void ProfileBox::HideList() {
    popup_->hide();
}

void ProfileBox::PlaceList() {
    const int lines = static_cast<int>(list_.Lines().size());
    const int height = (lines * LineHeight > MaximumListHeight ? MaximumListHeight
                                                               : lines * LineHeight + LineHeight) +
                       2;
    const QPoint topLeft = mapToGlobal(QPoint(0, 0));
    QRect frame(topLeft.x(), topLeft.y() - height, width(), height);
    // The list drops up; a box near the top of the screen drops it down instead.
    if (const QScreen* screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        if (frame.top() < available.top()) {
            frame.moveTop(topLeft.y() + this->height());
        }
    }
    popup_->setGeometry(frame);
}

void ProfileBox::PressOnLine(int line, int x) {
    if (line < 0 || line >= static_cast<int>(list_.Lines().size())) {
        return;
    }
    const profiles::ItemInfo& info = list_.Lines()[static_cast<std::size_t>(line)].Info;
    if (info.IsGroup) {
        pressToggled_ = x < ToggleZone;
        if (pressToggled_) {
            ToggleGroup(line);
        }
    } else if (info.IsProfile) {
        SelectLine(line);
    }
}

void ProfileBox::ToggleGroup(int line) {
    if (!list_.ToggleGroup(line)) {
        return;
    }
    model_->Reload();
    view_->setCurrentIndex(model_->index(line));
    if (ListVisible()) {
        PlaceList();
    }
}

void ProfileBox::SelectLine(int line) {
    if (!(storesChoice_ ? list_.SelectProfile(files_, line) : list_.PickProfile(line))) {
        return;
    }
    const profiles::ProfileLine& chosen = list_.Lines()[static_cast<std::size_t>(line)];
    box_->setText(QString::fromStdString(list_.BoxText()));
    box_->setCursorPosition(0);
    HideList();
    emit profileChosen(chosen.Info.Code, QString::fromStdString(chosen.Text));
}

bool ProfileBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        ToggleList();
        return true;
    }
    if (watched == view_->viewport()) {
        switch (event->type()) {
            case QEvent::MouseMove: {
                const QModelIndex under =
                    view_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
                if (under.isValid() && under != view_->currentIndex()) {
                    view_->setCurrentIndex(under);
                }
                return false;
            }
            case QEvent::MouseButtonPress: {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() != Qt::LeftButton) {
                    return true;
                }
                const QPoint at = mouse->position().toPoint();
                PressOnLine(view_->indexAt(at).row(), at.x());
                return true;
            }
            case QEvent::MouseButtonDblClick: {
                const QModelIndex under =
                    view_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
                if (under.isValid() && under.data(IsGroupRole).toBool() && !pressToggled_) {
                    ToggleGroup(under.row());
                }
                pressToggled_ = false;
                return true;
            }
            case QEvent::MouseButtonRelease:
                return true;
            default:
                return false;
        }
    }
    if (watched == view_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const int line = view_->currentIndex().row();
        if (line < 0) {
            return false;
        }
        const profiles::ItemInfo& info = list_.Lines()[static_cast<std::size_t>(line)].Info;
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Space:
                if (info.IsGroup) {
                    ToggleGroup(line);
                } else {
                    SelectLine(line);
                }
                return true;
            case Qt::Key_Right:
                if (info.IsGroup && info.Collapsed) {
                    ToggleGroup(line);
                }
                return true;
            case Qt::Key_Left:
                if (info.IsGroup && !info.Collapsed) {
                    ToggleGroup(line);
                }
                return true;
            default:
                return false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quillo::gui
