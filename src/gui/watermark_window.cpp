#include "gui/watermark_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <tuple>

#include "effects/frame_effects.h"
#include "effects/text_watermark.h"
#include "effects/watermark_error.h"
#include "gui/bitmap_image.h"
#include "gui/editor_playback.h"
#include "gui/time_text.h"
#include "gui/widgets/colour_box.h"
#include "gui/widgets/layered_image_view.h"
#include "gui/widgets/track_bar2.h"
#include "player/player.h"

namespace quillo::gui {

namespace {

using app::WmRec;

constexpr int kRefreshMs = 40;
constexpr int kDefaultFontSize = 26;
constexpr int kDefaultOpacity = 125;
constexpr int kLargestTypedFontSize = 300;
const QRgb kDefaultTextColour = 0x0000FF;
const QRgb kDefaultBackColour = 0x008000;

QColor ColourOf(std::uint32_t rgb) {
    return QColor(static_cast<QRgb>(rgb & 0xFFFFFFU));
}

std::uint32_t RgbOf(const QColor& colour) {
    return colour.rgb() & 0xFFFFFFU;
}

QRect ItemRect(const WmRec& item) {
    return item.Kind == WmRec::ImageKind
               ? QRect(item.ImageLeft, item.ImageTop, item.ImageWidth, item.ImageHeight)
               : QRect(item.TextLeft, item.TextTop, item.TextWidth, item.TextHeight);
}

void MoveItemTo(WmRec& item, int left, int top) {
    if (item.Kind == WmRec::ImageKind) {
        item.ImageLeft = left;
        item.ImageTop = top;
    } else {
        item.TextLeft = left;
        item.TextTop = top;
    }
}

int& OpacityOf(WmRec& item) {
    return item.Kind == WmRec::ImageKind ? item.ImageOpacity : item.TextOpacity;
}

// The list's pictures of a text and an image item.
QIcon KindIcon(bool image) {
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    if (image) {
        painter.setPen(QPen(QColor(58, 104, 176), 1.2));
        painter.setBrush(QColor(214, 228, 246));
        painter.drawRoundedRect(QRectF(1.5, 3.5, 15, 11), 1.5, 1.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(58, 104, 176));
        painter.drawPolygon(QPolygonF({{3.0, 13.0}, {7.5, 7.5}, {11.0, 13.0}}));
        painter.drawEllipse(QPointF(12.5, 7.0), 1.6, 1.6);
    } else {
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(15);
        painter.setFont(font);
        painter.setPen(QColor(58, 104, 176));
        painter.drawText(QRect(0, 0, 18, 18), Qt::AlignCenter, QStringLiteral("T"));
    }
    return QIcon(pixmap);
}

QString LineText(const WmRec& item) {
    return item.Kind == WmRec::ImageKind ? QString::fromStdString(item.ImageFile.string())
                                         : QString::fromStdString(item.Text);
}

}  // namespace

QString WatermarkPictureFilter() {
    return QStringLiteral(
        "Pictures (*.bmp *.png *.jpg *.jpeg *.BMP *.PNG *.JPG *.JPEG);;Bitmap files (*.bmp "
        "*.BMP);;PNG files (*.png *.PNG);;JPEG files (*.jpg *.jpeg *.JPG *.JPEG)");
}

struct WatermarkWindow::Controls {
    LayeredImageView* view = nullptr;
    QListWidget* list = nullptr;
    QPushButton* addText = nullptr;
    QPushButton* addImage = nullptr;
    QPushButton* remove = nullptr;
    QPushButton* up = nullptr;
    QPushButton* down = nullptr;
    QFontComboBox* font = nullptr;
    QComboBox* size = nullptr;
    QPushButton* fontDialog = nullptr;
    ColourBox* textColour = nullptr;
    QCheckBox* bold = nullptr;
    QCheckBox* italic = nullptr;
    QCheckBox* underline = nullptr;
    QCheckBox* strikeOut = nullptr;
    QRadioButton* background = nullptr;
    QRadioButton* transparent = nullptr;
    ColourBox* backColour = nullptr;
    QSlider* horizontal = nullptr;
    QLineEdit* horizontalBox = nullptr;
    QSlider* vertical = nullptr;
    QLineEdit* verticalBox = nullptr;
    QSlider* opacity = nullptr;
    QLineEdit* opacityBox = nullptr;
    TrackBar2* range = nullptr;
    QLineEdit* start = nullptr;
    QLineEdit* end = nullptr;
    std::array<QToolButton*, 4> arrows{};  // start up, start down, end up, end down
    EditorPlayback* playback = nullptr;
    QLabel* noPicture = nullptr;
    QTimer* refresh = nullptr;
};

WatermarkWindow::WatermarkWindow(profiles::ProfileFiles files, QWidget* parent)
    : JobEditorWindow(parent), files_(std::move(files)), controls_(std::make_unique<Controls>()) {
    setObjectName(QStringLiteral("WatermarkWindow"));
    setWindowTitle(QStringLiteral("Water Mark"));
    messages_ = MessageBoxesFor(this);
    pictureChooser_ = [](QWidget*) { return QString(); };
    fontChooser_ = [](QWidget* parent, const QFont& initial, bool& ok) {
        return QFontDialog::getFont(&ok, initial, parent, QStringLiteral("Font"));
    };
    BuildWindow();

    frames_.Attach(GetPlayer());
}

WatermarkWindow::~WatermarkWindow() {
    // The player's threads must not reach this window while it goes.
    frames_.Detach();
    GetPlayer().Stop(true);
}

player::Player& WatermarkWindow::GetPlayer() {
    return controls_->playback->GetPlayer();
}

void WatermarkWindow::SetColourChooser(const ColourChooser& chooser) {
    controls_->textColour->SetChooser(chooser);
    controls_->backColour->SetChooser(chooser);
}

void WatermarkWindow::BuildWindow() {
    Controls& c = *controls_;
    const auto button = [this](const char* name, const QString& text) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(QString::fromLatin1(name));
        return made;
    };
    const auto readOnlyBox = [this](const char* name, int width) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setReadOnly(true);
        box->setFixedWidth(width);
        box->setAlignment(Qt::AlignCenter);
        return box;
    };

    c.view = new LayeredImageView(this);
    c.view->setMinimumSize(560, 420);
    c.playback = new EditorPlayback(files_, EditorPlayback::SeekScale::Seconds, this);
    c.playback->ButtonRow().addStretch(1);

    // The items.
    c.list = new QListWidget(this);
    c.list->setObjectName(QStringLiteral("lsbox"));
    c.list->setIconSize(QSize(18, 18));
    c.list->setTextElideMode(Qt::ElideMiddle);
    c.list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    c.list->setFixedHeight(24 * 5 + 4);
    c.addText = button("btnAddText", QStringLiteral("Add Text"));
    c.addImage = button("btnAddImage", QStringLiteral("Add Image"));
    c.remove = button("btnDelete", QStringLiteral("Delete"));
    c.up = button("btnUp", QStringLiteral("Up"));
    c.down = button("btnDown", QStringLiteral("Down"));
    auto* itemButtons = new QVBoxLayout;
    for (QPushButton* b : {c.addText, c.addImage, c.remove, c.up, c.down}) {
        itemButtons->addWidget(b);
    }
    itemButtons->addStretch(1);
    auto* items = new QHBoxLayout;
    items->addWidget(c.list, 1);
    items->addLayout(itemButtons);

    // The text's font and colours.
    c.font = new QFontComboBox(this);
    c.font->setObjectName(QStringLiteral("suiFontCmb"));
    c.font->setEditable(false);
    c.size = new QComboBox(this);
    c.size->setObjectName(QStringLiteral("suiFontSizeCmb"));
    c.size->setEditable(true);
    c.size->setInsertPolicy(QComboBox::NoInsert);
    for (int size = kSmallestFontSize; size <= kLargestFontSize; ++size) {
        c.size->addItem(QString::number(size));
    }
    c.size->setFixedWidth(70);
    c.fontDialog = button("btnFont", QStringLiteral("Font..."));
    c.textColour = new ColourBox(this);
    c.textColour->setObjectName(QStringLiteral("suiColorBoxcmb"));
    c.bold = new QCheckBox(QStringLiteral("Bold"), this);
    c.bold->setObjectName(QStringLiteral("chkBold"));
    c.italic = new QCheckBox(QStringLiteral("Italic"), this);
    c.italic->setObjectName(QStringLiteral("chkItalic"));
    c.underline = new QCheckBox(QStringLiteral("Underline"), this);
    c.underline->setObjectName(QStringLiteral("chkUnderline"));
    c.strikeOut = new QCheckBox(QStringLiteral("Strikeout"), this);
    c.strikeOut->setObjectName(QStringLiteral("chkStrikeout"));
    c.background = new QRadioButton(QStringLiteral("Background color"), this);
    c.background->setObjectName(QStringLiteral("rb1"));
    c.transparent = new QRadioButton(QStringLiteral("Transparent"), this);
    c.transparent->setObjectName(QStringLiteral("rb2"));
    c.backColour = new ColourBox(this);
    c.backColour->setObjectName(QStringLiteral("suiColorBoxbackground"));

    auto* fontGroup = new QGroupBox(QStringLiteral("Text"), this);
    auto* fontGrid = new QGridLayout(fontGroup);
    fontGrid->addWidget(new QLabel(QStringLiteral("Font:"), fontGroup), 0, 0);
    fontGrid->addWidget(c.font, 0, 1, 1, 3);
    fontGrid->addWidget(c.fontDialog, 0, 4);
    fontGrid->addWidget(new QLabel(QStringLiteral("Font Size:"), fontGroup), 1, 0);
    fontGrid->addWidget(c.size, 1, 1);
    fontGrid->addWidget(new QLabel(QStringLiteral("Font Color:"), fontGroup), 1, 2,
                        Qt::AlignRight | Qt::AlignVCenter);
    fontGrid->addWidget(c.textColour, 1, 3, 1, 2);
    fontGrid->addWidget(new QLabel(QStringLiteral("Font Style:"), fontGroup), 2, 0);
    auto* styles = new QHBoxLayout;
    for (QCheckBox* box : {c.bold, c.italic, c.underline, c.strikeOut}) {
        styles->addWidget(box);
    }
    styles->addStretch(1);
    fontGrid->addLayout(styles, 2, 1, 1, 4);
    auto* backGroup = new QGroupBox(QStringLiteral("Font background color"), fontGroup);
    auto* backRow = new QHBoxLayout(backGroup);
    backRow->addWidget(c.background);
    backRow->addWidget(c.backColour, 1);
    backRow->addSpacing(8);
    backRow->addWidget(c.transparent);
    fontGrid->addWidget(backGroup, 3, 0, 1, 5);
    fontGrid->setColumnStretch(3, 1);

    // Place and opacity.
    const auto slider = [this](const char* name, int maximum) {
        auto* made = new QSlider(Qt::Horizontal, this);
        made->setObjectName(QString::fromLatin1(name));
        made->setRange(0, maximum);
        return made;
    };
    c.horizontal = slider("trcTextHoriz", 100);
    c.horizontalBox = readOnlyBox("edtTextHoriz", 56);
    c.vertical = slider("trcTextVert", 100);
    c.verticalBox = readOnlyBox("edtTextVert", 56);
    c.opacity = slider("trcTextTran", 255);
    c.opacityBox = readOnlyBox("edtTextTran", 56);
    auto* placeGroup = new QGroupBox(QStringLiteral("Position"), this);
    auto* placeGrid = new QGridLayout(placeGroup);
    const std::array<std::tuple<const char*, QSlider*, QLineEdit*>, 3> bars{
        {{"Horizontal Position:", c.horizontal, c.horizontalBox},
         {"Vertical Position:", c.vertical, c.verticalBox},
         {"Transparency:", c.opacity, c.opacityBox}}};
    for (int row = 0; row < 3; ++row) {
        const auto& [caption, bar, box] = bars[static_cast<std::size_t>(row)];
        placeGrid->addWidget(new QLabel(QString::fromLatin1(caption), placeGroup), row, 0);
        placeGrid->addWidget(bar, row, 1);
        placeGrid->addWidget(box, row, 2);
    }

    // The seconds the item shows in.
    c.range = new TrackBar2(this);
    c.range->setObjectName(QStringLiteral("trcRange"));
    c.range->SetSecondThumb(true);
    c.range->SetThumbSize(14);
    c.range->SetRange(0, 0);
    c.start = readOnlyBox("edtStart", 80);
    c.end = readOnlyBox("edtEnd", 80);
    const std::array<std::pair<const char*, Qt::ArrowType>, 4> arrowNames{
        {{"btnStartUp", Qt::UpArrow},
         {"btnStartDown", Qt::DownArrow},
         {"btnEndUp", Qt::UpArrow},
         {"btnEndDown", Qt::DownArrow}}};
    for (std::size_t i = 0; i < arrowNames.size(); ++i) {
        auto* arrow = new QToolButton(this);
        arrow->setObjectName(QString::fromLatin1(arrowNames[i].first));
        arrow->setArrowType(arrowNames[i].second);
        arrow->setToolTip(arrowNames[i].second == Qt::UpArrow
                              ? QStringLiteral("One second later")
                              : QStringLiteral("One second earlier"));
        arrow->setFixedSize(24, 24);
        c.arrows[i] = arrow;
    }
    auto* timeGroup = new QGroupBox(QStringLiteral("Time"), this);
    auto* timeGrid = new QGridLayout(timeGroup);
    timeGrid->addWidget(
        new QLabel(QStringLiteral("Set the period of time when a watermark will be \nshow in the "
                                  "video"),
                   timeGroup),
        0, 0, 1, 8);
    timeGrid->addWidget(c.range, 1, 0, 1, 8);
    timeGrid->addWidget(new QLabel(QStringLiteral("Start time:"), timeGroup), 2, 0);
    timeGrid->addWidget(c.start, 2, 1);
    timeGrid->addWidget(c.arrows[0], 2, 2);
    timeGrid->addWidget(c.arrows[1], 2, 3);
    timeGrid->addWidget(new QLabel(QStringLiteral("End Time:"), timeGroup), 2, 4,
                        Qt::AlignRight | Qt::AlignVCenter);
    timeGrid->addWidget(c.end, 2, 5);
    timeGrid->addWidget(c.arrows[2], 2, 6);
    timeGrid->addWidget(c.arrows[3], 2, 7);
    timeGrid->setColumnStretch(4, 1);

    auto* ok = button("btnOk", QStringLiteral("Ok"));
    ok->setDefault(true);
    auto* cancel = button("btnCancel", QStringLiteral("Cancel"));
    auto* help = button("btnHelp", QStringLiteral("&Help"));

    auto* heading = new QLabel(QStringLiteral("Watermark"), this);
    heading->setObjectName(QStringLiteral("lblHeading"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    heading->setFont(headingFont);

    c.noPicture = new QLabel(this);
    c.noPicture->setObjectName(QStringLiteral("lblNoPicture"));
    c.noPicture->hide();

    auto* left = new QVBoxLayout;
    left->addWidget(heading);
    left->addWidget(c.view, 1);
    left->addWidget(c.noPicture);
    left->addWidget(c.playback);
    auto* right = new QVBoxLayout;
    right->addLayout(items);
    right->addWidget(fontGroup);
    right->addWidget(placeGroup);
    right->addWidget(timeGroup);
    right->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    right->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    c.refresh = new QTimer(this);
    c.refresh->setInterval(kRefreshMs);
    connect(c.refresh, &QTimer::timeout, this, &WatermarkWindow::Refresh);

    connect(c.addText, &QPushButton::clicked, this, &WatermarkWindow::AddText);
    connect(c.addImage, &QPushButton::clicked, this, &WatermarkWindow::AddImage);
    connect(c.remove, &QPushButton::clicked, this, &WatermarkWindow::DeleteItem);
    connect(c.up, &QPushButton::clicked, this, [this] { MoveItem(-1); });
    connect(c.down, &QPushButton::clicked, this, [this] { MoveItem(1); });
    connect(c.list, &QListWidget::currentRowChanged, this, &WatermarkWindow::SelectItem);
    connect(c.list, &QListWidget::itemChanged, this, &WatermarkWindow::LineEdited);
    connect(c.font, &QFontComboBox::currentFontChanged, this,
            &WatermarkWindow::FontControlsChanged);
    connect(c.size, &QComboBox::activated, this, &WatermarkWindow::FontControlsChanged);
    connect(c.size->lineEdit(), &QLineEdit::editingFinished, this,
            &WatermarkWindow::FontControlsChanged);
    connect(c.textColour, &ColourBox::colourChanged, this, &WatermarkWindow::FontControlsChanged);
    connect(c.backColour, &ColourBox::colourChanged, this, &WatermarkWindow::FontControlsChanged);
    for (QCheckBox* box : {c.bold, c.italic, c.underline, c.strikeOut}) {
        connect(box, &QCheckBox::toggled, this, &WatermarkWindow::FontControlsChanged);
    }
    connect(c.background, &QRadioButton::toggled, this, &WatermarkWindow::FontControlsChanged);
    connect(c.fontDialog, &QPushButton::clicked, this, [this] {
        Controls& c = *controls_;
        QFont initial(c.font->currentFont().family(), c.size->currentText().toInt());
        initial.setBold(c.bold->isChecked());
        initial.setItalic(c.italic->isChecked());
        initial.setUnderline(c.underline->isChecked());
        initial.setStrikeOut(c.strikeOut->isChecked());
        bool chosen = false;
        const QFont font = fontChooser_ ? fontChooser_(this, initial, chosen) : initial;
        if (!chosen) {
            return;
        }
        {
            updatingControls_ = true;
            c.font->setCurrentFont(font);
            const int points = font.pointSize() > 0 ? font.pointSize() : initial.pointSize();
            c.size->setCurrentText(QString::number(points));
            c.bold->setChecked(font.bold());
            c.italic->setChecked(font.italic());
            c.underline->setChecked(font.underline());
            c.strikeOut->setChecked(font.strikeOut());
            updatingControls_ = false;
        }
        FontControlsChanged();
    });
    connect(c.horizontal, &QSlider::valueChanged, this, &WatermarkWindow::PositionBarsChanged);
    connect(c.vertical, &QSlider::valueChanged, this, &WatermarkWindow::PositionBarsChanged);
    connect(c.opacity, &QSlider::valueChanged, this, &WatermarkWindow::PositionBarsChanged);
    connect(c.range, &TrackBar2::changed, this, &WatermarkWindow::RangeChanged);
    const std::array<std::pair<bool, int>, 4> steps{
        {{false, 1}, {false, -1}, {true, 1}, {true, -1}}};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        connect(c.arrows[i], &QToolButton::clicked, this, [this, step = steps[i]] {
            TrackBar2& range = *controls_->range;
            if (step.first) {
                range.SetPositionU(range.PositionU() + step.second);
            } else {
                range.SetPositionL(range.PositionL() + step.second);
            }
        });
    }
    connect(c.view, &LayeredImageView::pressed, this, &WatermarkWindow::ViewPressed);
    connect(c.view, &LayeredImageView::dragged, this, &WatermarkWindow::ViewDragged);
    connect(c.view, &LayeredImageView::released, this, [this] { draggingItem_ = false; });
    connect(ok, &QPushButton::clicked, this, &WatermarkWindow::Accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help, &QPushButton::clicked, this, [this] {
        if (help_) {
            help_();
        }
    });
    connect(c.playback, &EditorPlayback::fileOpened, this, &WatermarkWindow::FileOpened);
}

void WatermarkWindow::ShowJob() {
    Controls& c = *controls_;
    {
        // The starting choices for a new text item.
        updatingControls_ = true;
        c.font->setCurrentFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
        c.size->setCurrentText(QString::number(kDefaultFontSize));
        c.textColour->SetColour(QColor(kDefaultTextColour));
        c.backColour->SetColour(QColor(kDefaultBackColour));
        c.opacity->setValue(kDefaultOpacity);
        c.opacityBox->setText(QString::number(kDefaultOpacity));
        c.background->setChecked(true);
        updatingControls_ = false;
    }
    SetItemControlsEnabled(false);
    c.addText->setEnabled(false);
    c.addImage->setEnabled(false);

    const app::JobRecord& job = Jobs()->Record(Row());
    adjustments_ = {job.Brightness, job.Contrast, job.Saturation, job.Exposure};
    const bool playing = c.playback->Open(job.SourceFile, nullptr);
    opened_ = playing && !frameSize_.isEmpty();
    if (!opened_) {
        c.noPicture->setText(playing ? QStringLiteral("This file has no picture: there is "
                                                      "nothing to place a watermark on.")
                                     : QStringLiteral("The file cannot be played: there is no "
                                                      "picture to place a watermark on."));
        c.noPicture->show();
        return;
    }
    c.view->SetCropRect(job.CropTop + job.CropLeft + job.CropBottom + job.CropRight > 0
                            ? QRect(job.CropLeft, job.CropTop,
                                    frameSize_.width() - job.CropLeft - job.CropRight,
                                    frameSize_.height() - job.CropTop - job.CropBottom)
                            : QRect());
    c.addText->setEnabled(true);
    c.addImage->setEnabled(true);
    LoadItems(job);
    c.refresh->start();
}

void WatermarkWindow::FileOpened(std::int64_t duration, int frameWidth, int frameHeight) {
    Controls& c = *controls_;
    duration_ = std::max<std::int64_t>(duration, 0);
    frameSize_ = frameWidth > 0 && frameHeight > 0 ? QSize(frameWidth, frameHeight) : QSize();
    c.view->SetPictureSize(frameSize_);
    const QSignalBlocker block(c.range);
    c.range->SetRange(0, static_cast<int>(duration_ / 1'000'000));
    c.range->SetPositionU(c.range->Maximum());
    c.range->SetPositionL(0);
    c.horizontal->setRange(0, std::max(frameSize_.width(), 0));
    c.vertical->setRange(0, std::max(frameSize_.height(), 0));
}

void WatermarkWindow::LoadItems(const app::JobRecord& job) {
    std::set<std::string> missingFonts;
    const QStringList families = QFontDatabase::families();
    for (const WmRec& item : job.Watermarks) {
        if ((item.Kind == WmRec::TextKind && item.Text.empty()) ||
            (item.Kind == WmRec::ImageKind && item.ImageFile.empty())) {
            continue;
        }
        if (item.Kind == WmRec::TextKind &&
            !families.contains(QString::fromStdString(item.Font.Name), Qt::CaseInsensitive)) {
            missingFonts.insert(item.Font.Name);
        }
        items_.push_back(item);
        AddLine(item);
    }
    if (!items_.empty()) {
        SelectItem(static_cast<int>(items_.size()) - 1);
    }
    SetItemControlsEnabled(!items_.empty());
    if (!missingFonts.empty()) {
        QStringList names;
        for (const std::string& name : missingFonts) {
            names << QString::fromStdString(name);
        }
        Warn(QStringLiteral("The font %1 is not installed: its watermarks are shown and "
                            "converted with a similar font.")
                 .arg(names.join(QStringLiteral(", "))));
    }
    Redraw();
}

void WatermarkWindow::AddLine(const WmRec& item) {
    auto* line = new QListWidgetItem(KindIcon(item.Kind == WmRec::ImageKind), LineText(item));
    line->setSizeHint(QSize(0, 24));
    if (item.Kind == WmRec::TextKind) {
        line->setFlags(line->flags() | Qt::ItemIsEditable);
    }
    const QSignalBlocker block(controls_->list);
    controls_->list->addItem(line);
}

void WatermarkWindow::AddText() {
    Controls& c = *controls_;
    WmRec item;
    item.Kind = WmRec::TextKind;
    item.Text = "Add Text";
    item.Font.Name = c.font->currentFont().family().toStdString();
    item.Font.Size =
        c.size->currentText().toInt() > 0 ? c.size->currentText().toInt() : kDefaultFontSize;
    item.Font.Color = RgbOf(c.textColour->Colour());
    item.Font.Bold = c.bold->isChecked();
    item.Font.Italic = c.italic->isChecked();
    item.Font.Underline = c.underline->isChecked();
    item.Font.StrikeOut = c.strikeOut->isChecked();
    item.BackColor = RgbOf(c.backColour->Colour());
    item.HasBackground = c.background->isChecked();
    item.TextOpacity = c.opacity->value();
    item.StartSec = 0;
    item.EndSec = static_cast<std::int32_t>(duration_ / 1'000'000);
    const effects::TextSize size = effects::MeasureText(item.Text, item.Font);
    item.TextWidth = size.Width;
    item.TextHeight = size.Height;
    // Centred on the picture.
    item.TextLeft = frameSize_.width() / 2 - size.Width / 2;
    item.TextTop = frameSize_.height() / 2 - size.Height / 2;
    items_.push_back(item);
    AddLine(item);
    SelectItem(static_cast<int>(items_.size()) - 1);
    SetItemControlsEnabled(true);
    c.list->setFocus();
    c.list->editItem(c.list->item(c.list->count() - 1));
    Redraw();
}

void WatermarkWindow::AddImage() {
    const QString chosen = pictureChooser_ ? pictureChooser_(this) : QString();
    if (chosen.isEmpty()) {
        return;
    }
    const std::filesystem::path file = chosen.toStdString();
    std::shared_ptr<const media::Bitmap> picture;
    try {
        // Read as the conversion will read it, transparency included.
        picture = images_.Picture(file);
    } catch (const effects::WatermarkError& error) {
        Warn(QStringLiteral("The picture cannot be used as a watermark: %1")
                 .arg(QString::fromUtf8(error.what())));
        return;
    }
    WmRec item;
    item.Kind = WmRec::ImageKind;
    item.ImageFile = file;
    item.ImageWidth = picture->Width();
    item.ImageHeight = picture->Height();
    item.ImageLeft = frameSize_.width() / 2 - picture->Width() / 2;
    item.ImageTop = frameSize_.height() / 2 - picture->Height() / 2;
    item.ImageOpacity = controls_->opacity->value();
    item.StartSec = 0;
    item.EndSec = static_cast<std::int32_t>(duration_ / 1'000'000);
    items_.push_back(item);
    AddLine(item);
    SelectItem(static_cast<int>(items_.size()) - 1);
    SetItemControlsEnabled(true);
    controls_->list->setFocus();
    Redraw();
}

void WatermarkWindow::DeleteItem() {
    const int index = SelectedItem();
    if (index < 0) {
        return;
    }
    Controls& c = *controls_;
    items_.erase(items_.begin() + index);
    {
        const QSignalBlocker block(c.list);
        delete c.list->takeItem(index);
    }
    SelectItem(items_.empty() ? -1 : std::max(index - 1, 0));
    SetItemControlsEnabled(!items_.empty());
    c.list->setFocus();
    Redraw();
}

void WatermarkWindow::MoveItem(int step) {
    const int index = SelectedItem();
    const int other = index + step;
    if (index < 0 || other < 0 || other >= static_cast<int>(items_.size())) {
        return;
    }
    Controls& c = *controls_;
    std::swap(items_[static_cast<std::size_t>(index)], items_[static_cast<std::size_t>(other)]);
    {
        const QSignalBlocker block(c.list);
        QListWidgetItem* line = c.list->takeItem(index);
        c.list->insertItem(other, line);
    }
    SelectItem(other);
    Redraw();
}

int WatermarkWindow::SelectedItem() const {
    const int row = controls_->list->currentRow();
    return row >= 0 && row < static_cast<int>(items_.size()) ? row : -1;
}

WmRec* WatermarkWindow::Selected() {
    const int index = SelectedItem();
    return index < 0 ? nullptr : &items_[static_cast<std::size_t>(index)];
}

void WatermarkWindow::SelectItem(int index) {
    Controls& c = *controls_;
    if (c.list->currentRow() != index) {
        const QSignalBlocker block(c.list);
        c.list->setCurrentRow(index);
    }
    if (const WmRec* item = Selected()) {
        ShowItemControls(*item);
    }
    ShowSelection();
}

void WatermarkWindow::ShowItemControls(const WmRec& item) {
    Controls& c = *controls_;
    updatingControls_ = true;
    const QRect place = ItemRect(item);
    c.horizontal->setValue(place.x());
    c.horizontalBox->setText(QString::number(place.x()));
    c.vertical->setValue(place.y());
    c.verticalBox->setText(QString::number(place.y()));
    const int opacity = item.Kind == WmRec::ImageKind ? item.ImageOpacity : item.TextOpacity;
    c.opacity->setValue(opacity);
    c.opacityBox->setText(QString::number(opacity));
    // The bar shows the range as far as it can; the item keeps its own seconds.
    c.range->SetPositionU(c.range->Maximum());
    c.range->SetPositionL(item.StartSec);
    c.range->SetPositionU(item.EndSec);
    c.start->setText(QString::fromStdString(FormatSeconds(item.StartSec)));
    c.end->setText(QString::fromStdString(FormatSeconds(item.EndSec)));
    const bool text = item.Kind == WmRec::TextKind;
    if (text) {
        c.font->setCurrentFont(QFont(QString::fromStdString(item.Font.Name)));
        c.size->setCurrentText(QString::number(item.Font.Size));
        c.textColour->SetColour(ColourOf(item.Font.Color));
        c.backColour->SetColour(ColourOf(item.BackColor));
        c.bold->setChecked(item.Font.Bold);
        c.italic->setChecked(item.Font.Italic);
        c.underline->setChecked(item.Font.Underline);
        c.strikeOut->setChecked(item.Font.StrikeOut);
        c.background->setChecked(item.HasBackground);
        c.transparent->setChecked(!item.HasBackground);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{
             c.font, c.size, c.fontDialog, c.textColour, c.bold, c.italic, c.underline, c.strikeOut,
             c.background, c.transparent}) {
        control->setEnabled(text);
    }
    c.backColour->setEnabled(text && item.HasBackground);
    updatingControls_ = false;
}

void WatermarkWindow::SetItemControlsEnabled(bool on) {
    Controls& c = *controls_;
    for (QWidget* control : std::initializer_list<QWidget*>{
             c.horizontal, c.vertical, c.opacity, c.range, c.font, c.size, c.fontDialog,
             c.textColour, c.bold, c.italic, c.underline, c.strikeOut, c.background, c.transparent,
             c.backColour, c.remove, c.up, c.down}) {
        control->setEnabled(on);
    }
    for (QToolButton* arrow : c.arrows) {
        arrow->setEnabled(on);
    }
    if (on) {
        if (const WmRec* item = Selected()) {
            ShowItemControls(*item);
        }
    }
}

void WatermarkWindow::RemeasureText(WmRec& item) {
    const effects::TextSize size = effects::MeasureText(item.Text, item.Font);
    // The top-left corner stays; the box follows the text.
    item.TextWidth = size.Width;
    item.TextHeight = size.Height;
}

void WatermarkWindow::FontControlsChanged() {
    if (updatingControls_) {
        return;
    }
    WmRec* item = Selected();
    if (item == nullptr || item->Kind != WmRec::TextKind) {
        return;
    }
    Controls& c = *controls_;
    bool number = false;
    const int size = c.size->currentText().trimmed().toInt(&number);
    if (!number || size < 1 || size > kLargestTypedFontSize) {
        Warn(QStringLiteral("Font Size must be a whole number from 1 to %1.")
                 .arg(kLargestTypedFontSize));
        const QSignalBlocker block(c.size);
        c.size->setCurrentText(QString::number(item->Font.Size));
        return;
    }
    item->Font.Name = c.font->currentFont().family().toStdString();
    item->Font.Size = size;
    item->Font.Color = RgbOf(c.textColour->Colour());
    item->Font.Bold = c.bold->isChecked();
    item->Font.Italic = c.italic->isChecked();
    item->Font.Underline = c.underline->isChecked();
    item->Font.StrikeOut = c.strikeOut->isChecked();
    item->HasBackground = c.background->isChecked();
    item->BackColor = RgbOf(c.backColour->Colour());
    c.backColour->setEnabled(item->HasBackground);
    RemeasureText(*item);
    ShowSelection();
    Redraw();
}

void WatermarkWindow::LineEdited(QListWidgetItem* line) {
    const int index = controls_->list->row(line);
    if (index < 0 || index >= static_cast<int>(items_.size())) {
        return;
    }
    WmRec& item = items_[static_cast<std::size_t>(index)];
    if (item.Kind != WmRec::TextKind) {
        return;
    }
    // One line of text: line breaks become spaces.
    QString text = line->text();
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (text.trimmed().isEmpty()) {
        const QSignalBlocker block(controls_->list);
        line->setText(QString::fromStdString(item.Text));
        Warn(QStringLiteral("A text watermark needs a text: the text is kept as it was."));
        return;
    }
    if (text != line->text()) {
        const QSignalBlocker block(controls_->list);
        line->setText(text);
    }
    item.Text = text.toStdString();
    RemeasureText(item);
    ShowSelection();
    Redraw();
}

void WatermarkWindow::ViewPressed(const QPointF& point) {
    // The topmost item under the pointer: the last one drawn.
    for (int index = static_cast<int>(items_.size()) - 1; index >= 0; --index) {
        const QRect place = ItemRect(items_[static_cast<std::size_t>(index)]);
        if (QRectF(place).contains(point)) {
            SelectItem(index);
            dragOffset_ = point - QPointF(place.topLeft());
            draggingItem_ = true;
            controls_->list->setFocus();
            return;
        }
    }
}

void WatermarkWindow::ViewDragged(const QPointF& point) {
    WmRec* item = Selected();
    if (!draggingItem_ || item == nullptr) {
        return;
    }
    const QPointF corner = point - dragOffset_;
    MoveItemTo(*item, static_cast<int>(std::lround(corner.x())),
               static_cast<int>(std::lround(corner.y())));
    ShowItemControls(*item);
    ShowSelection();
    Redraw();
}

void WatermarkWindow::PositionBarsChanged() {
    if (updatingControls_) {
        return;
    }
    Controls& c = *controls_;
    c.horizontalBox->setText(QString::number(c.horizontal->value()));
    c.verticalBox->setText(QString::number(c.vertical->value()));
    c.opacityBox->setText(QString::number(c.opacity->value()));
    WmRec* item = Selected();
    if (item == nullptr) {
        return;
    }
    MoveItemTo(*item, c.horizontal->value(), c.vertical->value());
    OpacityOf(*item) = c.opacity->value();
    ShowSelection();
    Redraw();
}

void WatermarkWindow::RangeChanged() {
    if (updatingControls_) {
        return;
    }
    WmRec* item = Selected();
    if (item == nullptr) {
        return;
    }
    Controls& c = *controls_;
    item->StartSec = c.range->PositionL();
    item->EndSec = c.range->PositionU();
    c.start->setText(QString::fromStdString(FormatSeconds(item->StartSec)));
    c.end->setText(QString::fromStdString(FormatSeconds(item->EndSec)));
    Redraw();
}

void WatermarkWindow::ShowSelection() {
    const WmRec* item = Selected();
    controls_->view->SetSelection(item != nullptr ? ItemRect(*item) : QRect());
}

QImage WatermarkWindow::ShownPicture() const {
    return BitmapImage(shown_).copy();
}

QImage WatermarkWindow::SourcePicture() const {
    return BitmapImage(frame_).copy();
}

void WatermarkWindow::Refresh() {
    if (frames_.TakeNewest(frame_, framePts_)) {
        dirty_ = true;
    }
    if (!dirty_ || frame_.Width() <= 0) {
        return;
    }
    dirty_ = false;
    shown_ = frame_;
    try {
        effects::ApplyFrameEffects(shown_, framePts_, adjustments_, items_, images_);
    } catch (const effects::WatermarkError&) {
        // A picture file that went away: the rest is drawn, and "Ok" says which one it is.
    }
    controls_->view->SetPicture(BitmapImage(shown_));
    ++picturesDrawn_;
}

bool WatermarkWindow::Warn(const QString& text) {
    return messages_ && messages_({MessageIcon::Warning, QStringLiteral("Warning"), text});
}

void WatermarkWindow::Accept() {
    if (Jobs() == nullptr || !opened_) {
        // Nothing could be placed: the job keeps its items.
        reject();
        return;
    }
    for (const WmRec& item : items_) {
        if (item.Kind != WmRec::ImageKind) {
            continue;
        }
        try {
            images_.Picture(item.ImageFile);
        } catch (const effects::WatermarkError& error) {
            Warn(QStringLiteral("The picture cannot be used as a watermark: %1")
                     .arg(QString::fromUtf8(error.what())));
            return;
        }
    }
    app::JobRecord record = Jobs()->Record(Row());
    record.ReplaceWatermarks(items_);
    Jobs()->SetRecord(Row(), std::move(record));
    accept();
}

void WatermarkWindow::done(int result) {
    controls_->refresh->stop();
    frames_.Detach();
    GetPlayer().Stop(true);
    QDialog::done(result);
}

}  // namespace quillo::gui
