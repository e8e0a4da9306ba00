#include "player/player.h"

#include <cstdlib>

#include "media/library_bindings.h"
#include "media/library_loader.h"
#include "media/logger.h"
#include "media/main_thread.h"
#include "player/playback_context.h"

namespace quillo::player {

namespace lib = media::lib;
using media::LogLevel;

namespace {

const char* AudioDriverName(AudioDriver driver) {
    switch (driver) {
        case AudioDriver::adDirectSound:
            return "dsound";
        case AudioDriver::adWaveOut:
            return "waveout";
        case AudioDriver::adDefault:
            break;
    }
    return "";
}

}  // namespace

PlayerBase::PlayerBase() : handlers_(std::make_shared<const Handlers>()) {}

PlayerBase::~PlayerBase() {
    // No event reaches a form that is going away.
    handlers_.store(std::make_shared<const Handlers>());
    Stop(true);
    if (eventThread_.joinable()) {
        events_.Post({.kind = PlayerNotification::Kind::EndOfDelivery});
        if (media::IsMainThread()) {
            media::PumpMessagesUntil([this] { return eventThreadFinished_.load(); });
        }
        eventThread_.join();
    }
}

bool PlayerBase::LoadMediaLibraries(const std::filesystem::path& folder) {
    media::LibraryLoader& loader = media::LibraryLoaderInstance();
    loader.SetLibraryFolder(folder);
    const bool loaded = loader.LoadLibraries(media::PlayerLibrarySet);
    if (!loaded) {
        lastError_ = loader.LastErrorMessage();
    }
    return loaded;
}

bool PlayerBase::MediaLibrariesLoaded() const {
    return media::LibraryLoaderInstance().LibrariesLoaded(media::PlayerLibrarySet);
}

void PlayerBase::SetLastError(std::string message) {
    media::LoggerInstance().Log(this, LogLevel::llError, message);
    lastError_ = std::move(message);
}

void PlayerBase::ChangeHandlers(const std::function<void(Handlers&)>& change) {
    auto handlers = std::make_shared<Handlers>(*handlers_.load());
    change(*handlers);
    handlers_.store(std::move(handlers));
}

void PlayerBase::SetOnFileOpen(FileOpenEvent handler) {
    ChangeHandlers([&](Handlers& handlers) { handlers.onFileOpen = std::move(handler); });
}

void PlayerBase::SetOnHook(HookEvent handler) {
    ChangeHandlers([&](Handlers& handlers) { handlers.onHook = std::move(handler); });
}

void PlayerBase::SetOnPosition(PositionEvent handler) {
    ChangeHandlers([&](Handlers& handlers) { handlers.onPosition = std::move(handler); });
}

void PlayerBase::SetOnState(PlayStateEvent handler) {
    ChangeHandlers([&](Handlers& handlers) { handlers.onState = std::move(handler); });
}

void PlayerBase::SetAudioVolume(int volume) {
    audioControls_.volume.store(std::clamp(volume, 0, AudioControls::kFullVolume));
}

void PlayerBase::StoreAspectRatio(float ratio) {
    if (aspectRatio_.exchange(ratio) != ratio && context_ != nullptr) {
        context_->PostDisplayEvent({DisplayEvent::Kind::ReopenDisplay});
    }
}

void PlayerBase::ResizeDisplay(int width, int height) {
    if (context_ != nullptr) {
        context_->PostDisplayEvent({DisplayEvent::Kind::Resize, width, height});
    } else {
        screenWidth_.store(width);
        screenHeight_.store(height);
    }
}

void PlayerBase::Redraw() {
    if (context_ != nullptr) {
        context_->PostDisplayEvent({DisplayEvent::Kind::Expose});
    }
}

bool PlayerBase::Open(const std::string& fileName, VideoSurface* surface) {
    if (!MediaLibrariesLoaded()) {
        SetLastError("libav or libsdl not loaded.");
        return false;
    }
    Stop(true);
    lastError_.clear();
    if (audioDriver_ != AudioDriver::adDefault) {
        // The default leaves the choice to SDL and to whatever the environment says.
        setenv("SDL_AUDIODRIVER", AudioDriverName(audioDriver_), 1);
    }
    // SDL would take SIGINT and SIGTERM for a quit event nobody reads: the program could then
    // no longer be ended by them.
    lib::sdl2.SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (lib::sdl2.SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        char text[512];
        snprintf(text, sizeof text, "Could not initialize SDL with ScreenHandle(%u): %s",
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(surface)),
                 lib::sdl2.SDL_GetError());
        SetLastError(text);
        return false;
    }
    sdlStarted_ = true;
    const char* driver = lib::sdl2.SDL_GetCurrentAudioDriver();
    media::LoggerInstance().LogFmt(this, LogLevel::llDebug, "using audio driver: %s\n",
                                   driver != nullptr ? driver : "");

    surface_ = surface;
    // Before any media thread starts: the video thread uses the hook's converter at once.
    snapshotConverter_.ResetConverter();
    hookConverter_.ResetConverter();
    seekDone_.Set();
    frameShown_.Set();
    context_ = std::make_unique<PlaybackContext>(*this, fileName);
    if (!context_->Open()) {
        context_.reset();
        ResetFileFields();
        lib::sdl2.SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlStarted_ = false;
        return false;
    }
    fileName_ = fileName;
    probe_.AttachContext(context_->FormatContext());
    playThreadDone_.Reset();  // the file counts as open from here, also in OnFileOpen
    DeliverFileOpen();
    EnsureEventThread();
    PlaybackContext& context = *context_;
    playThread_ = std::thread([this, &context] { PlayThread(context); });
    return true;
}

void PlayerBase::DeliverFileOpen() {
    const std::shared_ptr<const Handlers> handlers = CurrentHandlers();
    if (context_ != nullptr && handlers->onFileOpen) {
        const std::int64_t duration = context_->IsImageSequence() ? 0 : context_->Duration();
        const int frameWidth =
            context_->HasVideo() && context_->VideoWidth() > 0 ? context_->VideoWidth() : -1;
        const int frameHeight = frameWidth > 0 ? context_->VideoHeight() : -1;
        int screenWidth = screenWidth_.load();
        int screenHeight = screenHeight_.load();
        const auto call = [&] {
            handlers->onFileOpen(*this, duration, frameWidth, frameHeight, screenWidth,
                                 screenHeight);
        };
        if (triggerEventInMainThread_.load()) {
            media::CallInMainThread(call);
        } else {
            call();
        }
        screenWidth_.store(screenWidth);
        screenHeight_.store(screenHeight);
    }
    if (surface_ != nullptr && (screenWidth_.load() == 0 || screenHeight_.load() == 0)) {
        int width = 0;
        int height = 0;
        surface_->ClientSize(width, height);
        screenWidth_.store(width);
        screenHeight_.store(height);
    }
}

void PlayerBase::PlayThread(PlaybackContext& context) {
    ReportState(PlayState::psPlay);
    try {
        context.RunDisplayLoop();
    } catch (const std::exception& error) {
        media::LoggerInstance().Log(this, LogLevel::llFatal,
                                    std::string("PlayThread Exception: ") + error.what());
        context.Close();
    }
    // Nothing is open from here on, also for a form that sees psStop; Stop waits for this
    // thread to end, so it still finds the stop counted.
    ++stopsPosted_;
    playThreadDone_.Set();
    ReportState(PlayState::psStop);
}

void PlayerBase::JoinPlayThread() {
    if (playThread_.joinable()) {
        playThread_.join();
    }
}

void PlayerBase::Stop(bool wait) {
    if (context_ != nullptr) {
        if (context_->IsPaused()) {
            context_->TogglePause();
            ClearStep();
        }
        context_->PostDisplayEvent({DisplayEvent::Kind::Quit});
    }
    if (!wait) {
        return;
    }
    if (context_ != nullptr) {
        int retries = 0;
        while (!WaitPumping(playThreadDone_, std::chrono::milliseconds(100))) {
            std::unique_lock lock(playerLock_, std::chrono::milliseconds(100));
            if (!lock.owns_lock()) {
                continue;
            }
            ++retries;
            if (retries <= 10 || (retries <= 20 && !context_->ReadingBlocked())) {
                context_->PostDisplayEvent({DisplayEvent::Kind::Quit});
                continue;
            }
            // The display loop does not answer: close the playback here; the loop ends at
            // its next event.
            context_->Close();
            context_->PostDisplayEvent({DisplayEvent::Kind::Quit});
            break;
        }
        JoinPlayThread();
        context_.reset();
        ResetFileFields();
    }
    JoinPlayThread();
    if (sdlStarted_) {
        lib::sdl2.SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlStarted_ = false;
    }
    // psStop reaches the form before Stop returns, unless Stop runs inside a handler, which
    // would then wait for itself.
    if (media::IsMainThread() && deliveringDepth_.load() == 0) {
        media::PumpMessagesUntil([this] {
            return stopsDelivered_.load() >= stopsPosted_.load() || !eventThread_.joinable();
        });
    }
}

void PlayerBase::ResetFileFields() {
    fileName_.clear();
    surface_ = nullptr;
    stepFlag_.store(false);
    lastReportedPosition_ = INT64_MIN;
    endReported_.store(false);
}

bool PlayerBase::FileOpen() const {
    return context_ != nullptr && !playThreadDone_.IsSet();
}

void PlayerBase::Pause() {
    if (FileOpen() && !context_->IsPaused()) {
        context_->TogglePause();
        ClearStep();
        ReportState(PlayState::psPause);
    }
}

void PlayerBase::Resume() {
    if (FileOpen() && context_->IsPaused()) {
        context_->TogglePause();
        ClearStep();
        ReportState(PlayState::psResume);
    }
}

void PlayerBase::Step() {
    if (!FileOpen()) {
        return;
    }
    // The flag is set first, so that the picture after the resume is the one the step shows.
    const bool stepping = stepFlag_.exchange(true);
    if (context_->IsPaused()) {
        context_->TogglePause();
    }
    if (!stepping) {
        ReportState(PlayState::psStep);
    }
}

int PlayerBase::PicturesShown() const {
    return context_ != nullptr ? context_->ShownPictures() : 0;
}

int PlayerBase::PicturesDropped() const {
    return context_ != nullptr ? context_->DroppedPictures() : 0;
}

bool PlayerBase::Paused() const {
    return !FileOpen() || context_->IsPaused();
}

void PlayerBase::Seek(int flags, bool wait, std::int64_t position) {
    if (!FileOpen()) {
        return;
    }
    std::int64_t target = position;
    if ((flags & AVSEEK_FLAG_BYTE) == 0) {
        const std::int64_t duration = context_->Duration();
        if (duration >= 0 && target > duration) {
            target = duration;
        }
        target += context_->StartTime();
    }
    // Targets at the start cannot have a window below them: the plain frame seek serves them.
    const std::int64_t relative = position <= 0 ? 1 : 0;
    context_->RequestSeek(flags, wait, relative, target);
}

const media::Bitmap& PlayerBase::CurrentFrame() {
    std::int64_t pts = 0;
    return CurrentFrame(pts);
}

const media::Bitmap& PlayerBase::CurrentFrame(std::int64_t& pts) {
    pts = -1;
    if (!FileOpen() || !context_->HasVideo()) {
        snapshot_.SetSize(0, 0);
        return snapshot_;
    }
    snapshot_.SetSize(context_->VideoWidth(), context_->VideoHeight());
    const std::int64_t start = context_->StartTime();
    context_->WithShownPicture([&](const PictureSlot* slot) {
        if (slot == nullptr) {
            return;
        }
        pts = std::llround(slot->pts * 1'000'000.0) - start;
        if (snapshotConverter_.PictureToBitmap(*slot->frame)) {
            snapshot_ = *snapshotConverter_.GetBitmap();
        } else {
            snapshot_.SetSize(0, 0);
        }
    });
    return snapshot_;
}

}  // namespace quillo::player
