// DisplayBitmap: a monochrome bitmap file shown on a graphic display with one command.
//
// Every refusal happens before a buffer is filled or a byte is sent, so a bad file never
// leaves half a picture on the display. The picture is not kept: a later screen resend draws
// over it, as it would after any other direct output.
#include <memory>

#include "bitmap/bitmap_commands.h"
#include "bitmap/bitmap_frame.h"
#include "bitmap/bmp_reader.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {
constexpr uint16_t kFamilyRaster = 1;
constexpr uint16_t kFamilyGraphic = 2;
}  // namespace

// The result is always S_OK; the outcome is in pRC and ResultCode. There is no claim or enable
// check, and the command goes out as one SerialPort::Write, which keeps it together without
// m_commandBusy.
HResult CPOSLDisplay::DisplayBitmap(std::u16string_view fileName, int32_t width, int32_t alignmentX,
                                    int32_t alignmentY, int32_t* pRC) {
    const auto report = [&](int32_t rc) {
        Finish(rc, pRC);
        return kS_OK;
    };
    const uint16_t family = m_commandFamily;
    // The platform opens the UTF-16 path as given, so no path is cut short to a fixed length.
    const std::optional<std::vector<uint8_t>> file = Platform().Files().ReadAll(fileName);
    if (!file) {
        return report(OPOS_E_FAILURE);
    }
    const BmpReadResult read = ReadMonochromeBmp(*file);
    if (read.status != BmpStatus::kOk) {
        return report(OPOS_E_ILLEGAL);
    }
    const MonoBitmap& bitmap = read.bitmap;
    const std::optional<BitmapFrame> frame =
        FrameBitmap(bitmap.width, bitmap.height, m_maximumX, m_maximumY, alignmentX, alignmentY);
    if (!frame) {
        return report(OPOS_E_ILLEGAL);
    }
    // The character-only families have no bitmap command. The call succeeds for a file the
    // graphic models would show, but nothing is sent: any bytes would come out as text.
    if (family != kFamilyRaster && family != kFamilyGraphic) {
        return report(OPOS_SUCCESS);
    }
    const size_t packed = family == kFamilyGraphic ? GraphicImageBytes(*frame)
                                                   : RasterImageBytes(*frame, bitmap.height);
    if (packed > kBitmapMaxPackedBytes) {
        return report(OPOS_E_ILLEGAL);
    }

    auto dots = std::make_unique<DotBuffer>();  // 64 KiB: kept off the caller's stack
    dots->Place(bitmap, *frame);
    const CommandBuffer command =
        family == kFamilyGraphic
            ? GraphicBitmapCommand(*dots, *frame,
                                   BitmapScale(width, bitmap.width, bitmap.height, m_maximumY))
            : RasterBitmapCommand(*dots, *frame, bitmap.height);
    command.SendTo(m_port);
    return report(OPOS_SUCCESS);
}

}  // namespace miraxld
