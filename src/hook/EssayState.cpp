// Colour integers as the note keeper stores them.
#include "hook/EssayState.h"

uint32_t EssayColorToRgb(int32_t color)
{
    const auto value = static_cast<uint32_t>(color);
    if (value & 0xFF000000u) {
        // System colours by their index: the few a user can meet here, grey for the rest.
        switch (value & 0xFFu) {
        case 1: // desktop background
            return 0x3A6EA5;
        case 5:  // window background
        case 14: // highlighted text
            return 0xFFFFFF;
        case 8:  // window text
        case 18: // button text
            return 0x000000;
        case 13: // highlight
            return 0x0A246A;
        default:
            return 0xC0C0C0;
        }
    }
    return ((value & 0xFFu) << 16) | (value & 0xFF00u) | ((value >> 16) & 0xFFu);
}
