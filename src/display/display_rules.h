// The model, firmware and USB-identity conditions that choose how text is encoded and how the
// screen is redrawn. Each rule is one named predicate so that the output code reads as policy.
#pragma once

#include "service_object/pos_ldisplay.h"

namespace miraxld {

// Firmware that takes UTF-16 text: CharacterSet changes only switch the Unicode mode.
bool IsUnicodeCapableFirmware(const CPOSLDisplay& so);
// Rows are sent from the last column to the first (right-to-left code pages on older firmware).
bool SendsRowsRightToLeft(const CPOSLDisplay& so);
// Runs of characters that are not right-to-left are reversed before conversion.
bool NeedsRightToLeftPreorder(const CPOSLDisplay& so);
// Vietnamese and Hebrew characters are replaced by the display's own codes before conversion.
bool RemapsDeviceCharacters(const CPOSLDisplay& so);
// Arabic letters are shaped into presentation forms as they are written.
bool ShapesArabic(const CPOSLDisplay& so);
// Code page 1255 text is already in device codes and is not converted.
bool TakesHebrewDeviceCodes(const CPOSLDisplay& so);

}  // namespace miraxld
