#include "gui/progress_window.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "app/preview_placement.h"
#include "gui/bitmap_image.h"
#include "gui/main_thread_pump.h"

namespace quillo::gui {

namespace {

constexpr int kPreviewIntervalMs = 100;

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The live picture: light blue, with the converter's latest picture stretched into it with
// its aspect ratio kept. What it shows is kept in a canvas of its own size, so the
// converter's bitmap is only read while it is drawn in.
class PreviewPicture : public QWidget {
public:
    explicit PreviewPicture(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("imgPreview"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }

    void Fill() {
        Prepare();
        canvas_.fill(ProgressWindow::PictureBackground());
        update();
    }

    void Draw(const media::Bitmap& bitmap) {
        if (bitmap.Width() <= 0 || bitmap.Height() <= 0) {
            return;
        }
        Prepare();
        canvas_.fill(ProgressWindow::PictureBackground());
        const app::PictureRect place = app::PreviewPlacement(bitmap.Width(), bitmap.Height(),
                                                             canvas_.width(), canvas_.height());
        QPainter painter(&canvas_);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(place.Left, place.Top, place.Width, place.Height),
                          BitmapImage(bitmap));
        update();
    }

    // What paintEvent puts on the screen, at the widget's size.
    QImage Shown() const {
        QImage shown(size(), QImage::Format_RGB32);
        shown.fill(ProgressWindow::PictureBackground());
        QPainter painter(&shown);
        painter.drawImage(0, 0, canvas_);
        return shown;
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        if (canvas_.size() != size()) {
            painter.fillRect(event->rect(), ProgressWindow::PictureBackground());
        }
        painter.drawImage(0, 0, canvas_);
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        Fill();
    }

private:
    void Prepare() {
        if (canvas_.size() != size()) {
            canvas_ = QImage(size(), QImage::Format_RGB32);
        }
    }

    QImage canvas_;
};

QLabel* MakeValue(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QPushButton* MakeButton(const char* name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

struct ProgressWindow::Controls {
    PreviewPicture* picture = nullptr;
    QLabel* currentTime = nullptr;
    QLabel* length = nullptr;
    QLabel* fileSize = nullptr;
    QLabel* counter = nullptr;
    QLabel* file = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* pause = nullptr;
    QPushButton* resume = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* snapshot = nullptr;
    QCheckBox* openFolder = nullptr;
    QCheckBox* shutdown = nullptr;
    QTimer* timer = nullptr;

    void ClearFields() const {
        for (QLabel* value : {currentTime, length, fileSize, counter, file}) {
            value->clear();
        }
    }
};

QColor ProgressWindow::PictureBackground() {
    return {166, 202, 240};
}

ProgressWindow::ProgressWindow(app::BatchController& batch, QWidget* parent)
    : QDialog(parent), controls_(std::make_unique<Controls>()), batch_(batch) {
    InstallMainThreadPump();
    Controls& c = *controls_;
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(tr("Converting"));
    setFixedSize(420, 460);
    setModal(true);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->setContentsMargins(1, 1, 1, 1);
    c.picture = new PreviewPicture(frame);
    frameLayout->addWidget(c.picture);

    c.currentTime = MakeValue("lblCurrentTime", this);
    c.length = MakeValue("lblLength", this);
    c.fileSize = MakeValue("lblFileSize", this);
    c.counter = MakeValue("lblProgress", this);
    c.file = MakeValue("lblFile", this);
    auto* fields = new QFormLayout;
    fields->setLabelAlignment(Qt::AlignRight);
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(3);
    fields->addRow(tr("Current Time:"), c.currentTime);
    fields->addRow(tr("Length:"), c.length);
    fields->addRow(tr("File Size:"), c.fileSize);
    fields->addRow(tr("Progress:"), c.counter);
    fields->addRow(tr("File:"), c.file);

    c.bar = new QProgressBar(this);
    c.bar->setObjectName(QStringLiteral("barProgress"));
    c.bar->setRange(0, 100);
    c.bar->setValue(0);
    c.bar->setTextVisible(true);

    c.pause = MakeButton("btnPause", tr("Pause"), this);
    c.resume = MakeButton("btnResume", tr("Resume"), this);
    c.cancel = MakeButton("btnCancel", tr("Cancel"), this);
    c.snapshot = MakeButton("btnSnapshot", tr("Save snapshot picture"), this);
    // Two rows: the snapshot, pause and resume buttons do not fit beside Cancel in the width.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(c.snapshot);
    buttons->addStretch(1);
    buttons->addWidget(c.pause);
    buttons->addWidget(c.resume);

    c.openFolder = new QCheckBox(tr("Open the output folder after conversion"), this);
    c.openFolder->setObjectName(QStringLiteral("chkOpenFolder"));
    c.openFolder->setChecked(true);
    c.shutdown = new QCheckBox(tr("Shut down computer after conversion"), this);
    c.shutdown->setObjectName(QStringLiteral("chkShutdown"));
    c.shutdown->setChecked(batch_.PowerOffWhenDone());

    auto* choices = new QVBoxLayout;
    choices->setSpacing(4);
    choices->addWidget(c.openFolder);
    choices->addWidget(c.shutdown);
    auto* closing = new QHBoxLayout;
    closing->addLayout(choices, 1);
    closing->addWidget(c.cancel, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->setSpacing(8);
    layout->addWidget(frame, 1);
    layout->addLayout(fields);
    layout->addWidget(c.bar);
    layout->addLayout(buttons);
    layout->addLayout(closing);

    c.timer = new QTimer(this);
    c.timer->setInterval(kPreviewIntervalMs);
    connect(c.timer, &QTimer::timeout, this, &ProgressWindow::ShowPreview);

    connect(c.pause, &QPushButton::clicked, this, [this] { batch_.Pause(); });
    connect(c.resume, &QPushButton::clicked, this, [this] { batch_.Resume(); });
    connect(c.cancel, &QPushButton::clicked, this, &ProgressWindow::reject);
    connect(c.snapshot, &QPushButton::clicked, this, &ProgressWindow::snapshotRequested);
    connect(c.openFolder, &QCheckBox::toggled, this,
            [this](bool checked) { batch_.SetOpenOutputFolder(checked); });
    connect(c.shutdown, &QCheckBox::toggled, this,
            [this](bool checked) { batch_.SetPowerOffWhenDone(checked); });

    ButtonsChanged(batch_.Buttons());
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::RunModal() {
    if (!batch_.Running()) {
        return;
    }
    exec();
}

bool ProgressWindow::OpenFolderChecked() const {
    return controls_->openFolder->isChecked();
}

bool ProgressWindow::ShutdownChecked() const {
    return controls_->shutdown->isChecked();
}

QImage ProgressWindow::ShownPicture() const {
    return controls_->picture->Shown();
}

void ProgressWindow::BatchStarted(int tasks) {
    Controls& c = *controls_;
    c.ClearFields();
    // Checked again for every batch, whatever was chosen the last time.
    c.openFolder->setChecked(true);
    batch_.SetOpenOutputFolder(true);
    // Kept from batch to batch by the controller, whoever chose it last.
    c.shutdown->setChecked(batch_.PowerOffWhenDone());
    c.pause->setEnabled(true);
    c.resume->setEnabled(false);
    c.picture->Fill();
    c.bar->setValue(0);
    c.timer->start();
    if (next_ != nullptr) {
        next_->BatchStarted(tasks);
    }
}

void ProgressWindow::ProgressChanged(int task, int row, const app::ProgressFields& fields,
                                     std::optional<int> percent) {
    Controls& c = *controls_;
    c.currentTime->setText(ToQString(fields.CurrentTime));
    c.length->setText(ToQString(fields.Length));
    c.fileSize->setText(ToQString(fields.FileSize));
    c.counter->setText(ToQString(fields.Counter));
    c.file->setText(ToQString(fields.File));
    if (percent) {
        c.bar->setValue(*percent);
    }
    if (next_ != nullptr) {
        next_->ProgressChanged(task, row, fields, percent);
    }
}

void ProgressWindow::ProgressReported(int task, int row, const converter::ProgressInfo& info) {
    if (next_ != nullptr) {
        next_->ProgressReported(task, row, info);
    }
}

void ProgressWindow::ButtonsChanged(const app::BatchButtons& buttons) {
    controls_->pause->setEnabled(buttons.Pause);
    controls_->resume->setEnabled(buttons.Resume);
    if (next_ != nullptr) {
        next_->ButtonsChanged(buttons);
    }
}

void ProgressWindow::JobEnded(int task, int row, bool finished, const std::string& error) {
    if (finished) {
        controls_->bar->setValue(100);
    }
    if (next_ != nullptr) {
        next_->JobEnded(task, row, finished, error);
    }
}

void ProgressWindow::BatchEnded(const app::BatchSummary& summary) {
    controls_->timer->stop();
    // Inside done the batch ends during the cancel's wait; done closes the window itself.
    if (!closing_ && isVisible()) {
        done(QDialog::Accepted);
    }
    if (next_ != nullptr) {
        next_->BatchEnded(summary);
    }
}

void ProgressWindow::done(int result) {
    if (closing_) {
        return;
    }
    closing_ = true;
    controls_->timer->stop();
    // Waits for the converter, then for the batch's end, which the stop brings on: once
    // closed, the window leaves no batch behind. Nothing to do when it has already ended.
    if (batch_.Running()) {
        batch_.Cancel();
        batch_.WaitUntilEnded();
    }
    QDialog::done(result);
    closing_ = false;
}

void ProgressWindow::ShowPreview() {
    controls_->picture->Draw(batch_.PreviewBitmap());
}

}  // namespace quillo::gui
