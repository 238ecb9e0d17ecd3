// The two firmware loader protocols. Each runs on a link the caller owns for the whole update
// (no other sender, no monitor reopen) and reads an image the caller has checked is long enough.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "firmware/loader_link.h"

namespace miraxld {

// Family 2 writes file offsets kBlockImageStart to kBlockImageEnd - 1 in 256-byte blocks.
inline constexpr size_t kBlockImageStart = 0x4000;
inline constexpr size_t kBlockImageEnd = 0x80000;
inline constexpr size_t kBlockSize = 256;
// Family 1 streams the first kStreamImageSize bytes.
inline constexpr size_t kStreamImageSize = 0xE400;

// The block loader: unlock into the loader (unless it already answers), erase, the blocks from
// the top address down, finish, and back to the display's rate. Returns 0 on success or the
// extended result code of the step that failed. Leaves the link open at 9600 baud on success.
int32_t RunBlockLoader(LoaderLink& link, std::span<const uint8_t> image);

enum class StreamOutcome {
    kDone,     // every byte acknowledged; the link stays open at 115200 baud
    kStopped,  // the display did not enter or announce its loader, or refused the unlock
    kNoAck,    // a four-byte acknowledgement did not come
};

// The stream loader. `stillInLoader` is called when the display answers from its loader before
// being asked to enter it (an earlier attempt was cut short); the image is sent all the same.
StreamOutcome RunStreamLoader(LoaderLink& link, std::span<const uint8_t> image,
                              const std::function<void()>& stillInLoader);

}  // namespace miraxld
