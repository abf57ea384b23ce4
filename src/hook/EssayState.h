#pragma once

#include "hook/JotvaneHook.h"

#include <cstdint>
#include <string>
#include <vector>

// Everything the note keeper has told the library, as copies. The exports write it under a lock;
// the drawing thread takes a snapshot before each paint.
struct TEssayState
{
    bool showClock = false;
    bool showWallPaper = true;
    int32_t separatorColor = 0x0000FF00; // green
    int32_t textColor = 0x00FFFFFF;      // white
    bool hasFont = false;
    JvLogFontW font{};
    int8_t alignment = 1; // -1 left, 0 centred, 1 right
    int32_t margin = 10;
    std::vector<std::u16string> lines; // the last complete set
    uint64_t version = 0;              // raised by every change the window must show
};

// Colour integer 0x00BBGGRR (or a system colour) as 0xRRGGBB.
uint32_t EssayColorToRgb(int32_t color);
