// The text path: DisplayText and DisplayTextAt turn a string into cells of the current window,
// PutCells places them with wrapping and scrolling, ClearText blanks the window.
#include <algorithm>

#include "display/arabic_shaping.h"
#include "display/blink.h"
#include "display/cell_grid.h"
#include "display/commands.h"
#include "display/display_rules.h"
#include "display/text_conversion.h"
#include "service_object/pos_ldisplay.h"

namespace miraxld {

namespace {

constexpr uint16_t kCarriageReturn = 0x000D;
constexpr uint16_t kLineFeed = 0x000A;
constexpr uint16_t kTab = 0x0009;

// A cell takes at most three characters (a character and two marks), so a longer text can
// never fit the conversion area and is refused before any work is done on it.
constexpr size_t kMaxTextLength = kTextCells * 3;

bool IsDoubleByteCodePage(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

bool IsBlinkAttribute(int32_t attribute) {
    return attribute == kDispDtBlink || attribute == kDispDtBlinkReverse;
}

bool IsReverseAttribute(int32_t attribute) {
    return attribute == kDispDtReverse || attribute == kDispDtBlinkReverse;
}

int Modulo(int value, int modulus) {
    const int r = value % modulus;
    return r < 0 ? r + modulus : r;
}

// Places converted cells into one window picture at its cursor. Works on the stored height and
// width (clipped to the storage bounds), so every index stays inside the picture.
class CellPlacer {
  public:
    CellPlacer(CPOSLDisplay& so, WindowRecord& w, int32_t attribute)
        : m_w(w),
          m_height(StoredRows(w)),
          m_width(StoredColumns(w)),
          m_attribute(attribute),
          m_shaping(ShapesArabic(so)),
          m_doubleByte(so.m_doubleByteMode == 1 && IsDoubleByteCodePage(so.m_codePage)),
          m_recordLtrRuns(so.m_characterSet == 1255 || so.m_characterSet == 1256) {
        // A cursor outside the picture (bad property values) starts from the nearest position.
        m_w.cursorRow = std::clamp(m_w.cursorRow, 0, m_height - 1);
        m_w.cursorColumn = std::clamp(m_w.cursorColumn, 0, m_width);
    }

    void Place(Cell s) {
        int p = Position();
        // At the end of the last row (or a double-width cell that no longer fits on it) the
        // window scrolls up first and the cursor waits at the end of the row above.
        if (m_w.cursorRow == m_height - 1 &&
            (m_w.cursorColumn == m_width || (m_w.cursorColumn == m_width - 1 && s.code[1] != 0))) {
            ScrollUp();
            m_w.cursorColumn = m_width;
            m_w.cursorRow = m_height - 2;
            p = Position();
        }
        const uint16_t c = s.code[0];
        // A line feed right after a full row only moves the pending position down.
        const bool pendingLineFeed =
            m_w.cursorColumn == m_width && m_w.cursorRow < m_height - 1 && c == kLineFeed;
        if (!pendingLineFeed) {
            Store(s, p);
        }
        Advance(c, p);
    }

  private:
    int Span() const { return m_height * m_width + 1; }
    int Position() const { return Modulo(m_w.cursorRow * m_width + m_w.cursorColumn, Span()); }

    void ScrollUp() {
        for (int r = 1; r < m_height; ++r) {
            std::copy_n(&m_w.At(r, 0), m_width, &m_w.At(r - 1, 0));
        }
        std::fill_n(&m_w.At(m_height - 1, 0), m_width, Cell::Blank());
    }

    void MarkAttribute(Cell* cell) const {
        if (cell != nullptr) {
            cell->reverse = IsReverseAttribute(m_attribute) || cell->reverse != 0 ? 1 : 0;
        }
    }

    // The cell written before the cursor: the previous column, or the last column of the row
    // above at column 0; none at the window's first cell.
    uint16_t* PreviousCode() {
        const int column = m_w.cursorColumn - 1;
        Cell* cell = column >= 0 ? WindowCell(m_w, m_w.cursorRow, column)
                                 : WindowCell(m_w, m_w.cursorRow - 1, m_width - 1);
        return cell != nullptr ? &cell->code[0] : nullptr;
    }

    void Store(Cell s, int& p) {
        int row = p / m_width;
        int column = p % m_width;
        const uint16_t c = s.code[0];
        if (m_shaping && c > 0x0600) {
            ShapeArabic(PreviousCode(), s.code[0]);
        }
        if (c == kCarriageReturn || c == kLineFeed) {
            MarkAttribute(WindowCell(m_w, row, column));
        } else if (c == kTab) {
            Cell* cell = WindowCell(m_w, row, column);
            if (cell != nullptr) {
                cell->code[0] = u' ';
            }
            MarkAttribute(cell);
        } else if (m_doubleByte) {
            const uint16_t second = s.code[1];
            if (second != 0 && column == m_width - 1) {  // both halves go on the next row
                ++row;
                column = 0;
                ++p;
            }
            Cell* first = WindowCell(m_w, row, column);
            if (first != nullptr) {
                first->code[0] = s.code[0];
            }
            // Both halves get the attribute: a reverse switch between the two bytes of one
            // character would break it on the display.
            MarkAttribute(first);
            if (second != 0) {
                ++column;
                ++p;
                Cell* next = WindowCell(m_w, row, column);
                if (next != nullptr) {
                    next->code[0] = second;
                }
                MarkAttribute(next);
            }
        } else {
            Cell* cell = WindowCell(m_w, row, column);
            if (cell != nullptr) {
                std::copy(std::begin(s.code), std::end(s.code), cell->code);
            }
            if (m_recordLtrRuns && c < 0x80 && c != u'-' && c != u':' && c != u' ') {
                (m_w.ltrRunStart == -1 ? m_w.ltrRunStart : m_w.ltrRunEnd) = column;
            }
            MarkAttribute(cell);
        }
    }

    void Advance(uint16_t c, int p) {
        if (c == kCarriageReturn) {
            p = p <= m_width ? 0 : p - m_w.cursorColumn;
        } else if (c == kLineFeed) {
            p += m_width;
        } else {
            p += 1;
        }
        p = Modulo(p, Span());
        m_w.cursorRow = p / m_width;
        m_w.cursorColumn = p % m_width;
        if (p != 0 && m_w.cursorColumn == 0) {  // a full row leaves the cursor at its end
            m_w.cursorColumn = m_width;
            m_w.cursorRow -= 1;
        }
    }

    WindowRecord& m_w;
    const int m_height;
    const int m_width;
    const int32_t m_attribute;
    const bool m_shaping;
    const bool m_doubleByte;
    const bool m_recordLtrRuns;
};

}  // namespace

HResult CPOSLDisplay::DisplayText(std::u16string_view data, int32_t attribute, int32_t* pRC) {
    m_textLength = static_cast<int32_t>(data.size());
    m_textCells.fill(Cell::Blank());
    if (m_claimed == 0) {
        return Finish(OPOS_E_NOTCLAIMED, pRC);
    }
    if (m_deviceEnabled == 0) {
        return Finish(OPOS_E_DISABLED, pRC);
    }
    if (m_currentWindow < 0 || m_currentWindow >= kWindowCount) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    const int32_t window = m_currentWindow;
    WindowRecord& w = m_windows[window];
    if (w.marqueeType != kMarqueeNone && w.marqueeType != kMarqueeInit) {
        return Fail(OPOS_E_ILLEGAL, kExtDisplayTextInMarquee, pRC);
    }
    // More than 256 displayed characters do not fit the conversion area: the call is refused
    // with 106 and changes nothing (no cell, cursor, code page or timer), rather than showing
    // a cut text the application did not ask for.
    if (data.size() > kMaxTextLength) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }

    std::u16string text(data);
    if (NeedsRightToLeftPreorder(*this)) {
        PreorderRightToLeft(text);
    }
    int32_t codePage = m_codePage;
    if (m_characterSet == kCharacterSetJapaneseSingleByte && !IsUnicodeCapableFirmware(*this)) {
        codePage = 932;
    }
    if (RemapsDeviceCharacters(*this)) {
        RemapDeviceCharacters(text, m_characterSet);
    }
    if (m_unicodeMode == 1) {
        codePage = kCodePageUnicode;
    }
    const ConversionSettings settings{codePage, m_characterSet, TakesHebrewDeviceCodes(*this)};
    const std::vector<Cell> cells = ConvertText(text, settings, m_platform.CodePages());
    if (cells.size() > m_textCells.size()) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }

    {
        // Timer steps read the code page while they resend; they hold the command flag.
        BusyFlagGuard busy(m_commandBusy, Clock());
        m_codePage = codePage;
    }
    std::copy(cells.begin(), cells.end(), m_textCells.begin());
    if (!IsBlinkAttribute(attribute)) {
        // The blink stops before the text goes in, not after: a blink step between the two
        // would put the window's blanks or its copy of the earlier text over the new text,
        // and the resend below would send that.
        DeleteBlinkTimer(window);
    }
    {
        // For the same reason no step runs until a blinking text has its new blink copy.
        BusyFlagGuard stepping(m_stepping, Clock());
        PutCells(window, static_cast<int32_t>(cells.size()), attribute);
        w.lastAttribute = attribute;
        if (IsBlinkAttribute(attribute)) {
            StartWindowBlink(*this, window);
        }
    }
    if (w.marqueeType == kMarqueeInit) {
        return Finish(OPOS_SUCCESS, pRC);  // stored for the marquee, not shown yet
    }
    RefreshScreen(window, attribute, true);
    return Finish(OPOS_SUCCESS, pRC);
}

HResult CPOSLDisplay::DisplayTextAt(int32_t row, int32_t column, std::u16string_view data,
                                    int32_t attribute, int32_t* pRC) {
    // The position is checked first; the device state is DisplayText's check.
    if (m_currentWindow < 0 || m_currentWindow >= kWindowCount) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    WindowRecord& w = m_windows[m_currentWindow];
    if (row < 0 || row >= w.height || column < 0 || column >= w.width) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    w.cursorRow = row;
    w.cursorColumn = column;
    return DisplayText(data, attribute, pRC);
}

HResult CPOSLDisplay::ClearText(int32_t* pRC) {
    if (m_claimed == 0) {
        return Finish(OPOS_E_NOTCLAIMED, pRC);
    }
    if (m_deviceEnabled == 0) {
        return Finish(OPOS_E_DISABLED, pRC);
    }
    if (m_currentWindow < 0 || m_currentWindow >= kWindowCount) {
        return Fail(OPOS_E_ILLEGAL, 0, pRC);
    }
    const int32_t window = m_currentWindow;
    WindowRecord& w = m_windows[window];
    if (w.marqueeType != kMarqueeNone && w.marqueeType != kMarqueeInit) {
        return Fail(OPOS_E_ILLEGAL, kExtClearTextInMarquee, pRC);
    }
    DeleteBlinkTimer(window);  // also resets lastAttribute when a blink ran
    BlankWindow(w);
    w.cursorRow = 0;
    w.cursorColumn = 0;
    {
        BusyFlagGuard strip(m_stripLock, Clock());
        m_marqueeBuffer[window].fill(Cell::Blank());
    }
    m_screenCopyBusy.WaitClear(Clock());
    m_screenLock.WaitClear(Clock());
    UpdateScreenFromWindow(window);
    if (window != 0) {
        RefreshScreen(window, 0, true);
    } else {
        Send(m_port, CMD_CLEAR);
    }
    return Finish(OPOS_SUCCESS, pRC);
}

int32_t CPOSLDisplay::PutCells(int32_t, int32_t count, int32_t attribute) {
    if (m_currentWindow < 0 || m_currentWindow >= kWindowCount) {
        return 0;
    }
    WindowRecord& w = m_windows[m_currentWindow];
    // A window without rows or columns stores nothing; the screen is still brought up to date.
    if (StoredRows(w) > 0 && StoredColumns(w) > 0) {
        CellPlacer placer(*this, w, attribute);
        const int n = std::clamp(count, 0, kTextCells);
        for (int i = 0; i < n; ++i) {
            placer.Place(m_textCells[i]);
        }
    }
    m_cursorRow = w.cursorRow - w.rowOffset + w.viewportRow;
    m_cursorColumn = w.cursorColumn - w.columnOffset + w.viewportColumn;
    m_screenCopyBusy.WaitClear(Clock());
    UpdateScreenFromWindow(m_currentWindow);
    return 0;
}

}  // namespace miraxld
