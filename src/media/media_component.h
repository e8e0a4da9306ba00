#pragma once

namespace quillo::media {

// Common base of the media components (logger, converter, probe, player): what a log line
// names as its sender.
class MediaComponent {
public:
    MediaComponent() = default;
    MediaComponent(const MediaComponent&) = delete;
    MediaComponent& operator=(const MediaComponent&) = delete;
    virtual ~MediaComponent() = default;
};

}  // namespace quillo::media
