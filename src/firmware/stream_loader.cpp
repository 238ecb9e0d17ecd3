// The family 1 stream loader: entered at 9600 baud, announced with BB at 115200, unlocked, then
// the image byte by byte with an answer awaited after every fourth byte.
#include <array>

#include "firmware/firmware_loaders.h"

namespace miraxld {

namespace {

constexpr std::array<uint8_t, 4> kLoaderProbe{0x00, 0x00, 0x00, 0x00};
constexpr int kAnnounceBytes = 500;
// After the first byte the announcement follows at once; 25 polls of 2 ms per further byte is
// ample at 115200 baud and keeps a display that sends something else from holding the update.
constexpr int kAnnounceNextPolls = 25;
constexpr int kAnnounceNextSleepMs = 2;
constexpr size_t kBytesPerAck = 4;

// The display's answer to the probe at 115200 baud: AA from a loader still waiting for its image.
bool AnswersFromLoader(LoaderLink& link) {
    if (link.IsOpen()) {
        link.Close();
    }
    link.Sleep(20);
    link.Open(kLoaderBaud);
    link.Sleep(5);
    link.Send(kLoaderProbe);
    link.Sleep(5);
    const std::optional<PolledByte> reply = link.Poll(250, 2);
    return reply && reply->value == kLoaderAck;
}

bool Announced(LoaderLink& link) {
    std::optional<PolledByte> byte = link.Poll(500, 20);
    for (int read = 1; byte && byte->value != kLoaderAnnounce; ++read) {
        byte = read < kAnnounceBytes ? link.Poll(kAnnounceNextPolls, kAnnounceNextSleepMs)
                                     : std::nullopt;
    }
    return byte.has_value();
}

// From normal mode into the unlocked loader; false when the display stops answering.
bool EnterLoader(LoaderLink& link) {
    link.Close();
    link.Sleep(50);
    link.Open(kDisplayBaud);
    link.Send(CMD_INITIALIZE);
    link.Drain(1);
    link.Send(CMD_ISP_ENTER);
    link.Sleep(60);
    const std::optional<PolledByte> entered = link.Poll(1000, 5);
    if (!entered || entered->value != kLoaderAck) {
        return false;
    }
    link.Close();
    link.Sleep(50);
    link.Open(kLoaderBaud);
    link.Sleep(50);
    if (!Announced(link)) {
        return false;
    }
    link.Send(CMD_ISP_UNLOCK_EX);
    link.Sleep(20);
    return link.Poll(1000, 5).has_value();
}

}  // namespace

StreamOutcome RunStreamLoader(LoaderLink& link, std::span<const uint8_t> image,
                              const std::function<void()>& stillInLoader) {
    if (AnswersFromLoader(link)) {
        stillInLoader();
    } else if (!EnterLoader(link)) {
        return StreamOutcome::kStopped;
    }
    for (size_t i = 0; i < kStreamImageSize; ++i) {
        link.Send(image.subspan(i, 1));
        if (i % kBytesPerAck == kBytesPerAck - 1 && !link.Poll(1000, 1)) {
            return StreamOutcome::kNoAck;
        }
    }
    return StreamOutcome::kDone;
}

}  // namespace miraxld
