#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <string>

#include "converter/converter.h"

class QGridLayout;
class QLabel;
class QLineEdit;

namespace quillo::gui {

// The source name as the dialog shows it: whole below 46 characters, else its first 40, "..",
// its extension (with the dot) and two blanks.
QString ShortSourceName(const QString& path);
// A duration in microseconds as "65.250 Second"; an unknown one (negative) as "0.000 Second".
QString DurationText(std::int64_t microseconds);
// The codec words between "Audio: " and the next comma of the first audio stream line of a
// probe's description ("mp3" for "... Audio: mp3, 44100 Hz, stereo ..."), without the
// container's codec tag ("aac (LC)" for "aac (LC) (mp4a / 0x6134706D)"); empty without one.
QString AudioFormatOfInfoText(const std::string& infoText);
// A frame rate as a number: "25", or "29.97" for 30000/1001.
QString FrameRateText(int numerator, int denominator);

// "File information": what the probe finds in the selected job's source, read only.
// Controls (objectName): "lblSourceName", "lblFileLength", "edtFormat", "edtResloution",
// "edtBitRate", "edtFrameRate", "edtTotalFrame", "edtAudioForamt", "edtAudioBitRate",
// "edtSampleRate", "edtChannel", "btnOk".
class FileInfoWindow : public QDialog {
    Q_OBJECT
public:
    explicit FileInfoWindow(QWidget* parent = nullptr);

    // Fills the fields from the file; false (labels empty, boxes as they were) when the file
    // cannot be probed or has no streams.
    bool ShowFile(const std::filesystem::path& source);

protected:
    void done(int result) override;

private:
    QLineEdit* AddBox(QGridLayout* grid, int row, const QString& label, const char* name);

    converter::Converter converter_;  // only its probe is used
    QLabel* sourceName_ = nullptr;
    QLabel* fileLength_ = nullptr;
    QLineEdit* format_ = nullptr;
    QLineEdit* resolution_ = nullptr;
    QLineEdit* bitRate_ = nullptr;
    QLineEdit* frameRate_ = nullptr;
    QLineEdit* totalFrames_ = nullptr;
    QLineEdit* audioFormat_ = nullptr;
    QLineEdit* audioBitRate_ = nullptr;
    QLineEdit* sampleRate_ = nullptr;
    QLineEdit* channels_ = nullptr;
};

}  // namespace quillo::gui
