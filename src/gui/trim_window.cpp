#include "gui/trim_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <string>

#include "app/job_list.h"
#include "gui/editor_playback.h"
#include "gui/skin.h"
#include "gui/time_text.h"
#include "gui/video_widget.h"
#include "gui/widgets/track_bar2.h"

namespace quillo::gui {

namespace {

// Half of a marker picture's width, rounded: where in the picture the pointer holds it.
constexpr int kHalfMarker = (TrimWindow::kMarkerWidth + 1) / 2;

}  // namespace

// The bar under the video with the start and end markers. It paints the chosen range and the
// two markers at the left edges the window gives it, and passes the left button's press, moves
// and release on in its own pixels.
class TrimMarkerBar : public QWidget {
public:
    explicit TrimMarkerBar(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("trcPosition"));
        setFixedHeight(22);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void SetMarkers(int startX, int endX) {
        startX_ = startX;
        endX_ = endX;
        update();
    }

    std::function<void(int x)> pressed;
    std::function<void(int x)> dragged;
    std::function<void(int x)> released;
    std::function<void()> resized;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && pressed) {
            holding_ = true;
            pressed(qRound(event->position().x()));
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (holding_ && (event->buttons() & Qt::LeftButton) != 0 && dragged) {
            dragged(qRound(event->position().x()));
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && holding_) {
            holding_ = false;
            if (released) {
                released(qRound(event->position().x()));
            }
        }
    }
    void resizeEvent(QResizeEvent*) override {
        if (resized) {
            resized();
        }
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const double half = TrimWindow::kMarkerWidth / 2.0;
        const QRectF track(half, height() / 2.0 - 3.0, width() - 2 * half, 6.0);
        painter.setPen(QColor(170, 180, 200));
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(track, 3, 3);
        const bool enabled = isEnabled();
        painter.setPen(Qt::NoPen);
        painter.setBrush(enabled ? skin::Accent : QColor(180, 186, 200));
        painter.drawRect(QRectF(startX_ + half, track.top(), endX_ - startX_, track.height()));

        // The start marker points right into the range, the end marker left.
        const auto marker = [&](int left, bool start) {
            const double l = left;
            const double r = left + TrimWindow::kMarkerWidth;
            const double top = 1.0;
            const double bottom = height() - 1.0;
            QPolygonF shape;
            if (start) {
                shape << QPointF(l, top) << QPointF(r, top) << QPointF(r, bottom - 5)
                      << QPointF(l + 1, bottom) << QPointF(l, bottom);
            } else {
                shape << QPointF(l, top) << QPointF(r, top) << QPointF(r, bottom)
                      << QPointF(r - 1, bottom) << QPointF(l, bottom - 5);
            }
            painter.setPen(QPen(skin::AccentDark, 1.0));
            painter.setBrush(enabled ? QColor(250, 251, 255) : QColor(228, 230, 236));
            painter.drawPolygon(shape);
        };
        if (startX_ >= 0) {
            marker(startX_, true);
        }
        if (endX_ <= width() - TrimWindow::kMarkerWidth) {
            marker(endX_, false);
        }
    }

private:
    int startX_ = 0;
    int endX_ = 0;
    bool holding_ = false;
};

TrimWindow::TrimWindow(profiles::ProfileFiles files, QWidget* parent)
    : JobEditorWindow(parent), files_(std::move(files)) {
    setObjectName(QStringLiteral("TrimWindow"));
    setWindowTitle(QStringLiteral("Trim"));
    video_ = new VideoWidget(this);
    video_->setObjectName(QStringLiteral("imgPreview"));
    video_->setMinimumSize(640, 360);
    playback_ = new EditorPlayback(files_, EditorPlayback::SeekScale::Seconds, this);
    GetPlayer().SetHook(true);
    playback_->ButtonRow().addStretch(1);

    markers_ = new TrimMarkerBar(this);
    markers_->pressed = [this](int x) { MarkerPressed(x); };
    markers_->dragged = [this](int x) { MarkerDragged(x); };
    markers_->released = [this](int x) { MarkerReleased(x); };
    markers_->resized = [this] { PlaceMarkers(); };

    start_ = new QLineEdit(this);
    start_->setObjectName(QStringLiteral("edtStart"));
    end_ = new QLineEdit(this);
    end_->setObjectName(QStringLiteral("edtTrimLength"));
    for (QLineEdit* box : {start_, end_}) {
        box->setReadOnly(true);
        box->setFixedWidth(110);
        box->setAlignment(Qt::AlignCenter);
    }
    auto* defaults = new QPushButton(QStringLiteral("&Default"), this);
    defaults->setObjectName(QStringLiteral("btnDefault"));
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));

    auto* trimRow = new QHBoxLayout;
    trimRow->setSpacing(8);
    trimRow->addWidget(new QLabel(QStringLiteral("Start Time: "), this));
    trimRow->addWidget(start_);
    trimRow->addSpacing(12);
    trimRow->addWidget(new QLabel(QStringLiteral("Trim End: "), this));
    trimRow->addWidget(end_);
    trimRow->addStretch(1);
    trimRow->addWidget(defaults);
    trimRow->addSpacing(12);
    trimRow->addWidget(ok);
    trimRow->addWidget(cancel);

    auto* hint = new QLabel(
        QStringLiteral("Drag the two markers to the first and the last second to keep."), this);
    hint->setObjectName(QStringLiteral("lblHint"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addWidget(video_, 1);
    layout->addWidget(playback_);
    layout->addSpacing(6);
    layout->addWidget(hint);
    layout->addWidget(markers_);
    layout->addLayout(trimRow);

    connect(video_, &VideoWidget::sizeChanged, this,
            [this](int width, int height) { GetPlayer().ResizeDisplay(width, height); });
    connect(playback_, &EditorPlayback::fileOpened, this,
            [this](std::int64_t duration, int, int) { FileOpened(duration); });
    connect(defaults, &QPushButton::clicked, this, &TrimWindow::Defaults);
    connect(ok, &QPushButton::clicked, this, &TrimWindow::Accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

TrimWindow::~TrimWindow() = default;

player::Player& TrimWindow::GetPlayer() {
    return playback_->GetPlayer();
}

void TrimWindow::ShowJob() {
    start_->clear();
    end_->clear();
    video_->Clear();
    const app::JobRecord& job = Jobs()->Record(Row());
    if (!playback_->Open(job.SourceFile, video_)) {
        // Nothing to pick a range from: Ok leaves the job as it is.
        duration_ = 0;
        totalSeconds_ = 0;
        startSecond_ = 0;
        endSecond_ = 0;
        PlaceMarkers();
        markers_->setEnabled(false);
        return;
    }
    markers_->setEnabled(true);
    startSecond_ = job.StartTime >= 0 ? job.StartTime / 1'000'000 : 0;
    endSecond_ =
        job.TrimDuration <= 0 ? totalSeconds_ : (job.StartTime + job.TrimDuration) / 1'000'000;
    PlaceMarkers();
    ShowSeconds();
}

void TrimWindow::FileOpened(std::int64_t duration) {
    duration_ = duration;
    totalSeconds_ = playback_->TotalSeconds();
    startSecond_ = 0;
    endSecond_ = totalSeconds_;
    PlaceMarkers();
}

int TrimWindow::MarkerSpan() const {
    return std::max(markers_->width() - kMarkerWidth, 1);
}

void TrimWindow::PlaceMarkers() {
    const auto place = [this](std::int64_t second) {
        if (totalSeconds_ <= 0) {
            return 0;
        }
        return static_cast<int>(std::nearbyint(static_cast<double>(second) /
                                               static_cast<double>(totalSeconds_) * MarkerSpan()));
    };
    startX_ = place(startSecond_);
    endX_ = totalSeconds_ > 0 ? place(endSecond_) : MarkerSpan();
    markers_->SetMarkers(startX_, endX_);
}

void TrimWindow::MoveMarkerTo(int x, int startLimit, int endLimit) {
    if (totalSeconds_ <= 0) {
        return;
    }
    const double middle = startX_ + (endX_ - startX_) / 2.0;
    // In integers, so that a marker placed for a second gives that second back exactly.
    const auto secondAt = [this](int left) { return left * totalSeconds_ / MarkerSpan(); };
    std::int64_t second = 0;
    if (x <= middle && x > 0 && x <= startLimit) {
        startX_ = x < kHalfMarker ? 0 : std::min(x - kHalfMarker, MarkerSpan());
        startSecond_ = secondAt(startX_);
        second = startSecond_;
    } else if (x > middle && x <= endLimit) {
        endX_ = std::clamp(x - kHalfMarker, 0, MarkerSpan());
        endSecond_ = std::min(secondAt(endX_), totalSeconds_);
        second = endSecond_;
    } else {
        return;
    }
    markers_->SetMarkers(startX_, endX_);
    ShowSeconds();
    // The picture of the marker's second is shown when the button comes up.
    playback_->HoldSeekBar();
    playback_->SeekBar().SetPositionL(static_cast<int>(second));
}

void TrimWindow::MarkerPressed(int x) {
    MoveMarkerTo(x, MarkerSpan(), MarkerSpan());
}

void TrimWindow::MarkerDragged(int x) {
    // Markers a second apart or less stay where they are until the next press.
    if (endSecond_ - startSecond_ > 1) {
        MoveMarkerTo(x, MarkerSpan() + kHalfMarker, MarkerSpan() + kHalfMarker);
    }
}

void TrimWindow::MarkerReleased(int x) {
    MoveMarkerTo(x, MarkerSpan(), MarkerSpan());
    playback_->SeekToBar();
}

void TrimWindow::ShowSeconds() {
    start_->setText(QString::fromStdString(FormatSeconds(startSecond_)));
    end_->setText(QString::fromStdString(FormatSeconds(endSecond_)));
}

void TrimWindow::Defaults() {
    startSecond_ = 0;
    endSecond_ = totalSeconds_;
    start_->setText(QStringLiteral("00:00:00"));
    end_->setText(QString::fromStdString(FormatDuration(duration_)));
    PlaceMarkers();
}

void TrimWindow::Accept() {
    if (Jobs() == nullptr || duration_ <= 0) {
        // The file did not open: there is no range to store.
        reject();
        return;
    }
    const bool valid = startSecond_ >= 0 && endSecond_ > 0 && startSecond_ < endSecond_ &&
                       endSecond_ <= totalSeconds_;
    const std::int64_t length = valid ? endSecond_ - startSecond_ : totalSeconds_;
    app::JobRecord record = Jobs()->Record(Row());
    if (length <= 0) {
        record.StartTime = 0;
        record.TrimDuration = 0;
        Jobs()->SetRecord(Row(), std::move(record));
    } else {
        record.StartTime = startSecond_ > 0 ? startSecond_ * 1'000'000 : 0;
        record.TrimDuration = length >= totalSeconds_ ? 0 : length * 1'000'000;
        Jobs()->SetRecord(Row(), std::move(record));
        Jobs()->SetText(Row(), app::JobColumn::TrimmedLength, std::to_string(length));
    }
    accept();
}

void TrimWindow::done(int result) {
    GetPlayer().Stop(false);
    QDialog::done(result);
}

}  // namespace quillo::gui
