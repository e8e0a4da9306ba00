#include "player/audio_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/fixture_path.h"
#include "media/codec_lock.h"
#include "media/library_bindings.h"
#include "media/library_pointers.h"
#include "media/logger.h"
#include "media/system_libraries.h"

namespace quillo::player {
namespace {

namespace lib = media::lib;
using namespace std::chrono_literals;

constexpr auto kDeadline = 10s;
constexpr int kDeviceBytes = 4096;  // one stereo device period of 1024 samples
constexpr std::uint8_t kUnwritten = 0x5a;

// Polls the condition every few milliseconds until it holds or the deadline passes.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::steady_clock::duration deadline = kDeadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Waits until the device has called back count more times.
bool WaitForCallbacks(const AudioOutput& output, int count) {
    for (int i = 0; i < count; ++i) {
        const std::int64_t last = output.LastCallbackMicroseconds();
        if (!WaitUntil([&] { return output.LastCallbackMicroseconds() != last; })) {
            return false;
        }
    }
    return true;
}

std::vector<std::int16_t> Samples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The first audio stream of a test file with its decoder opened, and that stream's packets.
class AudioFile {
public:
    AudioFile() = default;
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;
    ~AudioFile() {
        packets_.clear();
        {
            std::scoped_lock lock(media::CodecLock());
            decoder_.reset();
        }
        if (input_ != nullptr) {
            lib::avformat.avformat_close_input(&input_);
        }
    }

    void Open(const std::string& name) {
        const std::string path = testing::FixturePath(name).string();
        ASSERT_EQ(lib::avformat.avformat_open_input(&input_, path.c_str(), nullptr, nullptr), 0)
            << path;
        {
            std::scoped_lock lock(media::CodecLock());
            ASSERT_GE(lib::avformat.avformat_find_stream_info(input_, nullptr), 0);
        }
        for (unsigned i = 0; i < input_->nb_streams && stream_ == nullptr; ++i) {
            if (input_->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                stream_ = input_->streams[i];
            }
        }
        ASSERT_NE(stream_, nullptr) << name << " has no audio stream";
        const AVCodec* codec = lib::avcodec.avcodec_find_decoder(stream_->codecpar->codec_id);
        ASSERT_NE(codec, nullptr);
        decoder_.reset(lib::avcodec.avcodec_alloc_context3(codec));
        ASSERT_GE(lib::avcodec.avcodec_parameters_to_context(decoder_.get(), stream_->codecpar), 0);
        decoder_->pkt_timebase = stream_->time_base;
        {
            std::scoped_lock lock(media::CodecLock());
            ASSERT_EQ(lib::avcodec.avcodec_open2(decoder_.get(), codec, nullptr), 0);
        }
        media::PacketPtr packet(lib::avcodec.av_packet_alloc());
        while (lib::avformat.av_read_frame(input_, packet.get()) >= 0) {
            if (packet->stream_index == stream_->index) {
                packets_.emplace_back(lib::avcodec.av_packet_alloc());
                lib::avcodec.av_packet_move_ref(packets_.back().get(), packet.get());
            } else {
                lib::avcodec.av_packet_unref(packet.get());
            }
        }
        ASSERT_FALSE(packets_.empty()) << name;
    }

    // Queues copies of the packets [first, last); with end, then the empty end packet.
    void Queue(PacketQueue& queue, std::size_t first, std::size_t last, bool end) const {
        media::PacketPtr copy(lib::avcodec.av_packet_alloc());
        for (std::size_t i = first; i < last && i < packets_.size(); ++i) {
            ASSERT_EQ(lib::avcodec.av_packet_ref(copy.get(), packets_[i].get()), 0);
            ASSERT_TRUE(queue.Put(copy.get()));
        }
        if (end) {
            ASSERT_TRUE(queue.Put(copy.get()));  // blank after the moves: data null, size 0
        }
    }
    void QueueAll(PacketQueue& queue) const { Queue(queue, 0, packets_.size(), true); }

    AVCodecContext* Decoder() const { return decoder_.get(); }
    const AVStream* Stream() const { return stream_; }
    double Seconds(std::int64_t timestamp) const {
        return static_cast<double>(timestamp) * av_q2d(stream_->time_base);
    }
    const AVPacket& Packet(std::size_t index) const { return *packets_[index]; }
    std::size_t PacketCount() const { return packets_.size(); }
    // How long one decoded frame plays, in seconds.
    double FrameSeconds() const {
        const int samples = decoder_->frame_size > 0 ? decoder_->frame_size : 2048;
        return static_cast<double>(samples) / decoder_->sample_rate;
    }

private:
    AVFormatContext* input_ = nullptr;
    const AVStream* stream_ = nullptr;
    media::CodecContextPtr decoder_;
    std::vector<media::PacketPtr> packets_;
};

// One output with everything it plays from.
struct Player {
    explicit Player(const media::MediaComponent* sender) : output(sender) {}

    bool Open(const AudioFile& file, bool withRing = false) {
        if (withRing) {
            ring = std::make_unique<SampleRing>();
        }
        return output.Open(file.Decoder(), file.Stream(), &queue, &controls, &paused, ring.get());
    }

    // What the device would get next; the device must be held (DeviceHold).
    std::vector<std::uint8_t> Fill(int bytes) {
        std::vector<std::uint8_t> sound(static_cast<std::size_t>(bytes), kUnwritten);
        output.Fill(sound.data(), bytes);
        return sound;
    }

    PacketQueue queue;
    AudioControls controls;
    std::atomic<bool> paused{false};
    std::unique_ptr<SampleRing> ring;
    AudioOutput output;  // last: closed before what it plays from goes
};

// Keeps the device's callback from running while it lives, so that the test can call Fill.
// Released before the output closes: closing waits for the callback.
class DeviceHold {
public:
    explicit DeviceHold(const AudioOutput& output) : device_(output.Device()) {
        lib::sdl2.SDL_LockAudioDevice(device_);
    }
    DeviceHold(const DeviceHold&) = delete;
    DeviceHold& operator=(const DeviceHold&) = delete;
    ~DeviceHold() { lib::sdl2.SDL_UnlockAudioDevice(device_); }

private:
    SDL_AudioDeviceID device_;
};

class PlayerAudioOutput : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(setenv("SDL_AUDIODRIVER", "dummy", 1), 0);
        media::testing::LoadSystemLibraries(media::PlayerLibrarySet);
        ASSERT_EQ(lib::sdl2.SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << lib::sdl2.SDL_GetError();
        ASSERT_STREQ(lib::sdl2.SDL_GetCurrentAudioDriver(), "dummy");
        media::LoggerInstance().SetTriggerEventInMainThread(false);
        media::LoggerInstance().SetOnLog([this](const media::MediaComponent*, std::uint32_t,
                                                media::LogLevel level, const std::string& text) {
            std::scoped_lock lock(mutex_);
            logged_.push_back({level, text});
        });
    }

    void TearDown() override {
        if (lib::sdl2.SDL_QuitSubSystem != nullptr) {
            lib::sdl2.SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        media::LoggerInstance().SetOnLog({});
    }

    std::vector<std::pair<media::LogLevel, std::string>> Logged() {
        std::scoped_lock lock(mutex_);
        return logged_;
    }

    // With the device held: fills device periods until the queue is drained and the clock stands
    // still; the clock.
    static double PlayOut(Player& player) {
        double last = -1.0;
        for (int i = 0; i < 100000; ++i) {
            player.Fill(kDeviceBytes);
            const double clock = player.output.Clock();
            if (player.queue.Empty() && player.output.BytesWaiting() == 0 && clock == last) {
                return clock;
            }
            last = clock;
        }
        ADD_FAILURE() << "the sound never ended";
        return last;
    }

    // A media component of its own names these tests in log lines.
    class Sender : public media::MediaComponent {};
    Sender sender_;
    std::mutex mutex_;
    std::vector<std::pair<media::LogLevel, std::string>> logged_;
};

struct PlaybackCase {
    const char* file;
    int inputChannels;
    int outputChannels;
    int sampleRate;
    int milliseconds;       // the sound's length
    bool containerTellsIt;  // whether the stream has a duration of its own
};

void PrintTo(const PlaybackCase& test, std::ostream* out) {
    *out << test.file;
}

class PlayerAudioOutputPlayback : public PlayerAudioOutput,
                                  public ::testing::WithParamInterface<PlaybackCase> {};

// The device plays the whole stream: the clock climbs and, once the
// queue is drained, comes to rest at the stream's end.
TEST_P(PlayerAudioOutputPlayback, ClockRunsToTheStreamsEnd) {
    const PlaybackCase& test = GetParam();
    AudioFile file;
    ASSERT_NO_FATAL_FAILURE(file.Open(test.file));
    ASSERT_EQ(file.Decoder()->ch_layout.nb_channels, test.inputChannels);
    if (std::string(test.file) == "tagged.mp3") {
        // The case that needs a format conversion, not only an interleaving.
        ASSERT_EQ(file.Decoder()->sample_fmt, AV_SAMPLE_FMT_FLTP);
    }

    Player player(&sender_);
    player.queue.Start();
    ASSERT_NO_FATAL_FAILURE(file.QueueAll(player.queue));
    ASSERT_TRUE(player.Open(file));
    EXPECT_TRUE(player.output.IsOpen());
    EXPECT_EQ(player.output.Channels(), test.outputChannels);
    EXPECT_EQ(player.output.SampleRate(), test.sampleRate);
    if (test.containerTellsIt) {
        EXPECT_NEAR(static_cast<double>(player.output.StreamDurationMicroseconds()),
                    test.milliseconds * 1000.0, 50'000.0);
    } else {
        EXPECT_EQ(player.output.StreamDurationMicroseconds(), -1);
    }

    std::vector<double> clocks;
    const auto ended = [&] {
        clocks.push_back(player.output.Clock());
        if (!player.queue.Empty() || player.output.BytesWaiting() != 0) {
            return false;
        }
        const double resting = player.output.Clock();
        return WaitForCallbacks(player.output, 2) && player.output.Clock() == resting;
    };
    ASSERT_TRUE(WaitUntil(ended, kDeadline + std::chrono::milliseconds(test.milliseconds)));

    for (std::size_t i = 1; i < clocks.size(); ++i) {
        ASSERT_GE(clocks[i], clocks[i - 1] - 0.001) << "the clock went back at sample " << i;
    }
    std::vector<double> distinct = clocks;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    // It climbs while the sound plays, not in one jump at the end: however rarely a busy
    // machine lets the test look, it sees the start, a value on the way and the end.
    EXPECT_GE(distinct.size(), 3U) << "the clock should climb while the sound plays";
    const double end = player.output.Clock();
    const double duration =
        test.containerTellsIt
            ? static_cast<double>(player.output.StreamDurationMicroseconds()) / 1'000'000.0
            : test.milliseconds / 1000.0;
    EXPECT_NEAR(end, duration, file.FrameSeconds());

    player.output.Close();
    EXPECT_FALSE(player.output.IsOpen());
    EXPECT_EQ(player.output.Clock(), end);
    player.output.Close();
    EXPECT_TRUE(Logged().empty()) << Logged().front().second;
}

INSTANTIATE_TEST_SUITE_P(Files, PlayerAudioOutputPlayback,
                         ::testing::Values(PlaybackCase{"tagged.mp3", 2, 2, 44100, 3000, true},
                                           PlaybackCase{"clip.mp4", 2, 2, 44100, 3000, true},
                                           PlaybackCase{"surround.mka", 6, 2, 48000, 2000, false},
                                           PlaybackCase{"uneven_audio.mp4", 1, 1, 8000, 500, true}),
                         [](const ::testing::TestParamInfo<PlaybackCase>& info) {
                             std::string name = info.param.file;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                                 '_');
                             return name;
                         });

TEST_F(PlayerAudioOutput, PausingHoldsTheClockAndResumingMovesIt) {
    AudioFile file;
    ASSERT_NO_FATAL_FAILURE(file.Open("tagged.mp3"));
    Player player(&sender_);
    player.queue.Start();
    ASSERT_NO_FATAL_FAILURE(file.QueueAll(player.queue));
    ASSERT_TRUE(player.Open(file));
    ASSERT_TRUE(WaitUntil([&] { return player.output.Clock() > 0.2; }));

    player.paused = true;
    // What was decoded before the pause still plays out.
    ASSERT_TRUE(WaitUntil([&] { return player.output.BytesWaiting() == 0; }));
    ASSERT_TRUE(WaitForCallbacks(player.output, 2));
    const double paused = player.output.Clock();
    const int queued = player.queue.Count();
    ASSERT_TRUE(WaitForCallbacks(player.output, 6));
    EXPECT_EQ(player.output.Clock(), paused);
    EXPECT_EQ(player.queue.Count(), queued) << "no packet is taken while paused";
    EXPECT_EQ(player.output.BytesWaiting(), 0);
    EXPECT_LT(paused, 2.5);

    player.paused = false;
    EXPECT_TRUE(WaitUntil([&] { return player.output.Clock() > paused + 0.1; }));
    EXPECT_LT(player.queue.Count(), queued);
}

// What an output fills from the start of a file with the device held off.
struct Filled {
    std::vector<std::int16_t> sound;
    double clock = 0.0;
    std::vector<std::int16_t> ring;  // the ring's first samples, as many as the sound's
    int ringWritten = 0;
};

enum class Heard { Same, Silence, Half };

struct LevelCase {
    const char* name;
    bool mute;
    int volume;
    Heard heard;
};

void PrintTo(const LevelCase& test, std::ostream* out) {
    *out << test.name;
}

class PlayerAudioOutputLevels : public PlayerAudioOutput,
                                public ::testing::WithParamInterface<LevelCase> {
protected:
    void FillFromStart(bool mute, int volume, int bytes, Filled& filled) {
        AudioFile file;
        ASSERT_NO_FATAL_FAILURE(file.Open("tagged.mp3"));
        Player player(&sender_);
        player.queue.Start();
        ASSERT_NO_FATAL_FAILURE(file.QueueAll(player.queue));
        player.paused = true;  // the device takes nothing before the test holds it
        ASSERT_TRUE(player.Open(file, true));
        const DeviceHold hold(player.output);
        player.paused = false;
        player.controls.mute = mute;
        player.controls.volume = volume;
        filled.sound = Samples(player.Fill(bytes));
        filled.clock = player.output.Clock();
        filled.ringWritten = player.ring->WriteIndex();
        for (std::size_t i = 0; i < filled.sound.size(); ++i) {
            filled.ring.push_back(player.ring->At(static_cast<int>(i)));
        }
    }
};

// Mute and volume change only what is heard: every byte is written, the clock and the ring
// move on alike. The reference is the same stream at full volume (SDL's dummy driver opens
// one device at a time, so the two play one after the other).
TEST_P(PlayerAudioOutputLevels, ShapeWhatIsHeardButNotTheClock) {
    const LevelCase& test = GetParam();
    constexpr int kBytes = 8 * kDeviceBytes;
    Filled reference;
    ASSERT_NO_FATAL_FAILURE(FillFromStart(false, AudioControls::kFullVolume, kBytes, reference));
    Filled tested;
    ASSERT_NO_FATAL_FAILURE(FillFromStart(test.mute, test.volume, kBytes, tested));

    const std::vector<std::int16_t>& heard = reference.sound;
    const std::vector<std::int16_t>& played = tested.sound;
    ASSERT_EQ(played.size(), heard.size());
    const auto loud = std::count_if(heard.begin(), heard.end(),
                                    [](std::int16_t sample) { return std::abs(sample) > 1000; });
    ASSERT_GT(loud, static_cast<long>(heard.size() / 4)) << "the reference should be a tone";
    EXPECT_GT(tested.clock, 0.15);
    EXPECT_DOUBLE_EQ(tested.clock, reference.clock);

    for (std::size_t i = 0; i < played.size(); ++i) {
        switch (test.heard) {
            case Heard::Same:
                ASSERT_EQ(played[i], heard[i]) << "sample " << i;
                break;
            case Heard::Silence:
                ASSERT_EQ(played[i], 0) << "sample " << i;
                break;
            case Heard::Half:
                ASSERT_NEAR(played[i], heard[i] / 2, 1) << "sample " << i;
                break;
        }
    }
    for (const Filled* filled : {&reference, &tested}) {
        EXPECT_GE(filled->ringWritten, static_cast<int>(heard.size()));
        EXPECT_EQ(filled->ring, heard) << "the ring holds the decoded samples, as they are";
    }
}

INSTANTIATE_TEST_SUITE_P(Controls, PlayerAudioOutputLevels,
                         ::testing::Values(LevelCase{"FullVolume", false, 128, Heard::Same},
                                           LevelCase{"Mute", true, 128, Heard::Silence},
                                           LevelCase{"VolumeZero", false, 0, Heard::Silence},
                                           LevelCase{"HalfVolume", false, 64, Heard::Half},
                                           LevelCase{"MuteAtHalfVolume", true, 64, Heard::Silence}),
                         [](const ::testing::TestParamInfo<LevelCase>& info) {
                             return std::string(info.param.name);
                         });

// After a flush mark (a seek) the output sounds exactly like a decoder that never saw the
// packets before it. An mp3 stream, because a flushed mp3 decoder is in a new one's state
// (a flushed AAC decoder keeps the previous window shape, which colours its first frame).
TEST_F(PlayerAudioOutput, FlushMarkKeepsEarlierSoundOut) {
    constexpr std::size_t kBefore = 10;
    constexpr std::size_t kMark = 20;
    constexpr std::size_t kAfter = 40;
    constexpr int kBytes = 4 * kDeviceBytes;

    std::vector<std::int16_t> expected;
    double expectedClock = 0.0;
    {
        AudioFile file;
        ASSERT_NO_FATAL_FAILURE(file.Open("tagged.mp3"));
        ASSERT_GT(file.PacketCount(), kAfter + 20);
        Player fresh(&sender_);
        fresh.queue.Start();
        ASSERT_NO_FATAL_FAILURE(file.Queue(fresh.queue, kAfter, file.PacketCount(), true));
        fresh.paused = true;
        ASSERT_TRUE(fresh.Open(file));
        const DeviceHold hold(fresh.output);
        fresh.paused = false;
        expected = Samples(fresh.Fill(4 + kBytes));
        expectedClock = fresh.output.Clock();
    }
    ASSERT_GT(std::count_if(expected.begin(), expected.end(),
                            [](std::int16_t sample) { return std::abs(sample) > 1000; }),
              static_cast<long>(expected.size() / 4));

    AudioFile file;
    ASSERT_NO_FATAL_FAILURE(file.Open("tagged.mp3"));
    Player seeking(&sender_);
    seeking.queue.Start();
    ASSERT_NO_FATAL_FAILURE(file.Queue(seeking.queue, kBefore, kMark, false));
    seeking.queue.PutFlush();
    ASSERT_NO_FATAL_FAILURE(file.Queue(seeking.queue, kAfter, file.PacketCount(), true));
    seeking.paused = true;
    ASSERT_TRUE(seeking.Open(file));
    const DeviceHold hold(seeking.output);
    seeking.paused = false;

    // One sample frame at a time up to the first one decoded after the mark.
    const double markTime = file.Seconds(file.Packet(kAfter).pts);
    const double beforeEnd = file.Seconds(file.Packet(kMark).pts);
    std::vector<std::uint8_t> frame;
    int filled = 0;
    while (seeking.output.Clock() < (beforeEnd + markTime) / 2) {
        ASSERT_LT(filled, 1'000'000) << "the sound after the mark never came";
        frame = seeking.Fill(4);
        filled += 4;
    }
    EXPECT_GT(filled, 4 * static_cast<int>(kMark - kBefore - 1) * 1024)
        << "the sound before the mark plays";
    EXPECT_NEAR(seeking.output.Clock(), markTime, 0.001);
    std::vector<std::uint8_t> afterMark = frame;
    const std::vector<std::uint8_t> rest = seeking.Fill(kBytes);
    afterMark.insert(afterMark.end(), rest.begin(), rest.end());

    const std::vector<std::int16_t> actual = Samples(afterMark);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "sample " << i;
    }
    EXPECT_DOUBLE_EQ(seeking.output.Clock(), expectedClock);
}

// At the end of the file the decoder is drained; a seek back must find it taking packets again.
TEST_F(PlayerAudioOutput, PlaysAgainAfterTheEndAndASeek) {
    AudioFile file;
    ASSERT_NO_FATAL_FAILURE(file.Open("uneven_audio.mp4"));
    Player player(&sender_);
    player.queue.Start();
    ASSERT_NO_FATAL_FAILURE(file.QueueAll(player.queue));
    player.paused = true;
    ASSERT_TRUE(player.Open(file));
    const DeviceHold hold(player.output);
    player.paused = false;
    const double duration =
        static_cast<double>(player.output.StreamDurationMicroseconds()) / 1'000'000.0;

    const double first = PlayOut(player);
    EXPECT_NEAR(first, duration, file.FrameSeconds());

    player.queue.PutFlush();
    ASSERT_NO_FATAL_FAILURE(file.QueueAll(player.queue));
    player.Fill(kDeviceBytes / 2);  // one mono period
    EXPECT_LT(player.output.Clock(), 0.3);
    const double second = PlayOut(player);
    EXPECT_DOUBLE_EQ(second, first);
    EXPECT_TRUE(Logged().empty()) << Logged().front().second;
}

TEST_F(PlayerAudioOutput, OpenFailsWithTheReasonWhenSdlAudioIsNotInitialised) {
    lib::sdl2.SDL_QuitSubSystem(SDL_INIT_AUDIO);
    ASSERT_EQ(lib::sdl2.SDL_WasInit(SDL_INIT_AUDIO), 0U);
    AudioFile file;
    ASSERT_NO_FATAL_FAILURE(file.Open("tagged.mp3"));
    Player player(&sender_);
    player.queue.Start();
    ASSERT_NO_FATAL_FAILURE(file.QueueAll(player.queue));

    EXPECT_FALSE(player.Open(file));
    EXPECT_FALSE(player.output.IsOpen());
    EXPECT_EQ(player.output.Channels(), 0);
    const auto logged = Logged();
    ASSERT_EQ(logged.size(), 1U);
    EXPECT_EQ(logged[0].first, media::LogLevel::llError);
    const std::string prefix = "SDL_OpenAudio() failed: ";
    EXPECT_EQ(logged[0].second.substr(0, prefix.size()), prefix);
    EXPECT_GT(logged[0].second.size(), prefix.size()) << "SDL's reason follows";

    // A closed output writes silence and takes nothing.
    std::vector<std::uint8_t> sound(kDeviceBytes, kUnwritten);
    player.output.Fill(sound.data(), kDeviceBytes);
    EXPECT_TRUE(std::all_of(sound.begin(), sound.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(player.queue.Count(), static_cast<int>(file.PacketCount()) + 2);
    player.output.Close();
    player.output.Close();
}

}  // namespace
}  // namespace quillo::player
