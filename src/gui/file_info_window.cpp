#include "gui/file_info_window.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cmath>

#include "app/job_list.h"

namespace quillo::gui {

QString ShortSourceName(const QString& path) {
    if (path.size() < 46) {
        return path;
    }
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    return path.left(40) + QStringLiteral("..") + extension + QStringLiteral("  ");
}

QString DurationText(std::int64_t microseconds) {
    const std::int64_t d = std::max<std::int64_t>(microseconds, 0);
    return QStringLiteral("%1.%2 Second")
        .arg(d / 1'000'000)
        .arg((d / 1000) % 1000, 3, 10, QLatin1Char('0'));
}

QString AudioFormatOfInfoText(const std::string& infoText) {
    static constexpr std::string_view marker = "Audio: ";
    const std::size_t start = infoText.find(marker);
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t from = start + marker.size();
    // The codec words end at the first comma, or with the line when there is none.
    const std::size_t end = infoText.find_first_of(",\r\n", from);
    QString words = QString::fromStdString(
        infoText.substr(from, end == std::string::npos ? std::string::npos : end - from));
    // The container's codec tag, such as "(mp4a / 0x6134706D)", names no format of its own.
    static const QRegularExpression tag(QStringLiteral(R"(\s*\([^()]*/ 0x[0-9A-Fa-f]+\))"));
    words.remove(tag);
    return words.trimmed();
}

QString FrameRateText(int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) {
        return {};
    }
    if (numerator % denominator == 0) {
        return QString::number(numerator / denominator);
    }
    return QString::number(static_cast<double>(numerator) / denominator, 'f', 2);
}

namespace {

QString NumberText(std::int64_t value) {
    return value > 0 ? QString::number(value) : QString();
}

}  // namespace

FileInfoWindow::FileInfoWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FileInfoWindow"));
    setWindowTitle(QStringLiteral("File information"));
    resize(420, 460);
    converter_.SetTriggerEventInMainThread(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);

    auto* file = new QGridLayout;
    file->setHorizontalSpacing(10);
    const auto addLabel = [&](int row, const QString& caption, const char* name) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("lblCaption"));
        file->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        auto* value = new QLabel(this);
        value->setObjectName(QString::fromUtf8(name));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        file->addWidget(value, row, 1);
        return value;
    };
    sourceName_ = addLabel(0, QStringLiteral("File Name:"), "lblSourceName");
    fileLength_ = addLabel(1, QStringLiteral("Duration:"), "lblFileLength");
    file->setColumnStretch(1, 1);
    layout->addLayout(file);

    auto* video = new QGroupBox(QStringLiteral("Video "), this);
    auto* videoGrid = new QGridLayout(video);
    format_ = AddBox(videoGrid, 0, QStringLiteral("Format:"), "edtFormat");
    resolution_ = AddBox(videoGrid, 1, QStringLiteral("Resloution:"), "edtResloution");
    bitRate_ = AddBox(videoGrid, 2, QStringLiteral("Bit Rate:"), "edtBitRate");
    frameRate_ = AddBox(videoGrid, 3, QStringLiteral("Frame Rate:"), "edtFrameRate");
    totalFrames_ = AddBox(videoGrid, 4, QStringLiteral("Total Frame:"), "edtTotalFrame");
    layout->addWidget(video);

    auto* audio = new QGroupBox(QStringLiteral("Audio"), this);
    auto* audioGrid = new QGridLayout(audio);
    audioFormat_ = AddBox(audioGrid, 0, QStringLiteral("Format:"), "edtAudioForamt");
    audioBitRate_ = AddBox(audioGrid, 1, QStringLiteral("Bit Rate:"), "edtAudioBitRate");
    sampleRate_ = AddBox(audioGrid, 2, QStringLiteral("Sample Rate:"), "edtSampleRate");
    channels_ = AddBox(audioGrid, 3, QStringLiteral("Channel:"), "edtChannel");
    layout->addWidget(audio);
    layout->addStretch(1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("&Ok"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

QLineEdit* FileInfoWindow::AddBox(QGridLayout* grid, int row, const QString& label,
                                  const char* name) {
    auto* caption = new QLabel(label, this);
    caption->setObjectName(QStringLiteral("lblCaption"));
    caption->setMinimumWidth(90);
    grid->addWidget(caption, row, 0, Qt::AlignRight | Qt::AlignVCenter);
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromUtf8(name));
    box->setReadOnly(true);
    grid->addWidget(box, row, 1);
    grid->setColumnStretch(1, 1);
    return box;
}

bool FileInfoWindow::ShowFile(const std::filesystem::path& source) {
    sourceName_->clear();
    fileLength_->clear();
    if (!converter_.LoadMediaLibraries(app::DefaultMediaLibraryFolder())) {
        return false;
    }
    media::MediaProbe& probe = converter_.Probe();
    if (!probe.LoadFile(source.string()) || probe.StreamCount() <= 0) {
        probe.CloseFile();
        return false;
    }
    sourceName_->setText(ShortSourceName(QString::fromStdString(source.string())));
    sourceName_->setToolTip(QString::fromStdString(source.string()));
    const media::FileStreamInfo file = probe.GetFileInfo();
    fileLength_->setText(DurationText(file.Duration));
    format_->setText(QString::fromStdString(probe.FormatName()));

    const QList<QLineEdit*> videoBoxes{resolution_, bitRate_, frameRate_, totalFrames_};
    const int videoStream = probe.FirstVideoStream();
    if (videoStream >= 0 && probe.IsVideoStream(videoStream)) {
        const media::VideoStreamInfo info = probe.GetVideoInfo(videoStream);
        resolution_->setText(QStringLiteral("%1x%2").arg(info.Width).arg(info.Height));
        bitRate_->setText(NumberText(info.BitRate));
        frameRate_->setText(FrameRateText(info.FrameRateNum, info.FrameRateDen));
        // The probe counts no frames: the length times the rate is the count to expect.
        const double seconds = file.Duration > 0 ? static_cast<double>(file.Duration) / 1e6 : 0;
        const double rate =
            info.FrameRateDen > 0 ? static_cast<double>(info.FrameRateNum) / info.FrameRateDen : 0;
        totalFrames_->setText(NumberText(std::llround(seconds * rate)));
    } else {
        for (QLineEdit* box : videoBoxes) {
            box->clear();
        }
    }

    const QList<QLineEdit*> audioBoxes{audioFormat_, audioBitRate_, sampleRate_, channels_};
    const int audioStream = probe.FirstAudioStream();
    if (audioStream >= 0 && probe.IsAudioStream(audioStream)) {
        const media::AudioStreamInfo info = probe.GetAudioInfo(audioStream);
        audioFormat_->setText(AudioFormatOfInfoText(probe.GetInfoText()));
        audioBitRate_->setText(NumberText(info.BitRate));
        sampleRate_->setText(NumberText(info.SampleRate));
        channels_->setText(NumberText(info.Channels));
    } else {
        for (QLineEdit* box : audioBoxes) {
            box->clear();
        }
    }
    probe.CloseFile();
    return true;
}

void FileInfoWindow::done(int result) {
    converter_.ClearTasks();
    QDialog::done(result);
}

}  // namespace quillo::gui
