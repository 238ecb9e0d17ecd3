// The family 2 block loader: sync frames at 115200 baud, the unlock at 9600, erase, 1984
// addressed blocks of 256 bytes and the finish frame.
#include "firmware/firmware_loaders.h"
#include "service_object/result_codes.h"

namespace miraxld {

namespace {

constexpr int kSyncTries = 100;
constexpr int kUnlockPolls = 1000;
// Only an answer within this many polls counts: a late one is a display that did not unlock.
constexpr int kUnlockAnswerPolls = 100;
constexpr int kRestartIntoLoaderMs = 1500;
constexpr int kEraseAcks = 5;
constexpr int kErasePolls = 1000;
constexpr int kReplyPolls = 1000;

// Sends CMD_ISP_SYNC up to kSyncTries times, `sleepMs` after each, until a reply byte comes;
// true when that first reply is the loader's AA.
bool SyncAnswered(LoaderLink& link, int sleepMs) {
    for (int attempt = 0; attempt < kSyncTries; ++attempt) {
        link.Send(CMD_ISP_SYNC);
        link.Sleep(sleepMs);
        if (const std::optional<uint8_t> reply = link.TakeByte()) {
            return *reply == kLoaderAck;
        }
    }
    return false;
}

// The unlock at the display's own rate and the restart into the loader. 0 or the failure.
int32_t EnterLoader(LoaderLink& link) {
    link.CloseIfOpen(50);
    if (!link.OpenWithRetry(kDisplayBaud)) {
        return kExtIspReopen9600;
    }
    link.Sleep(10);
    link.Drain();
    link.Send(CMD_ISP_UNLOCK);
    const std::optional<PolledByte> answer = link.Poll(kUnlockPolls, 2);
    link.Sleep(5);
    if (!answer || answer->value != kLoaderAck || answer->poll >= kUnlockAnswerPolls) {
        return kExtIspNoUnlock;
    }
    if (link.IsOpen()) {
        link.Close();
    }
    link.Sleep(kRestartIntoLoaderMs);
    if (!link.OpenWithRetry(kLoaderBaud)) {
        return kExtIspReopen115200;
    }
    link.Sleep(50);
    link.Drain();
    return SyncAnswered(link, 20) ? 0 : kExtIspNoSync;
}

bool Erased(LoaderLink& link) {
    link.Drain();
    link.Send(CMD_ISP_ERASE);
    int acks = 0;
    for (int poll = 0; poll < kErasePolls && acks < kEraseAcks; ++poll) {
        if (const std::optional<uint8_t> byte = link.TakeByte()) {
            acks += *byte == kLoaderAck ? 1 : 0;
        } else {
            link.Sleep(6);
        }
    }
    return acks >= kEraseAcks;
}

// From the top block down to the first one sent; a block's answer is waited for but never
// stops the download.
void WriteBlocks(LoaderLink& link, std::span<const uint8_t> image) {
    CommandBuffer frame(CMD_ISP_WRITE.size() + 3 + kBlockSize);
    for (size_t address = kBlockImageEnd - kBlockSize; address >= kBlockImageStart;
         address -= kBlockSize) {
        frame.Clear();
        frame.IspWrite(static_cast<uint32_t>(address), image.subspan(address, kBlockSize));
        link.Send(frame.Bytes());
        link.Sleep(10);
        link.Poll(kReplyPolls, 2);
    }
}

}  // namespace

int32_t RunBlockLoader(LoaderLink& link, std::span<const uint8_t> image) {
    // Opening failures here are not checked: the sync tries and the reopen steps catch them.
    link.CloseIfOpen(50);
    link.Open(kLoaderBaud);
    link.Sleep(10);
    link.Drain();
    // A display already in its loader (an earlier update cut short) answers the sync at once.
    if (!SyncAnswered(link, 10)) {
        if (const int32_t failed = EnterLoader(link)) {
            return failed;
        }
    }
    if (!Erased(link)) {
        return kExtIspNoErase;
    }
    WriteBlocks(link, image);
    link.Sleep(10);
    link.Send(CMD_ISP_FINISH);
    const std::optional<PolledByte> finished = link.Poll(kReplyPolls, 2);
    if (!finished || finished->value != kLoaderAck) {
        return kExtIspNoFinish;
    }
    link.Sleep(100);
    link.Close();
    link.Sleep(100);
    return link.OpenWithRetry(kDisplayBaud) ? 0 : kExtIspReopenAfterFinish;
}

}  // namespace miraxld
