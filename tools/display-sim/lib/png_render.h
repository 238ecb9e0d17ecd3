// Pictures of the display's face, as a customer sees it, written as PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display_sim.h"

namespace displaysim {

// 8-bit RGB, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

Picture RenderFace(const Face& face);

// Writes `picture` to `path` through a temporary file beside it, so that a reader never sees
// half a picture. False with a one-line reason in `error` when it cannot.
bool WritePng(const Picture& picture, const std::string& path, std::string* error);
// Reads a PNG file as 8-bit RGB; false with a reason in `error` when it cannot.
bool ReadPng(const std::string& path, Picture* picture, std::string* error);

}  // namespace displaysim
