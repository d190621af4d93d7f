// Writes 24-bit RGB images as PNG files (uncompressed deflate), for screenshots.
#pragma once

#include <stddef.h>
#include <stdint.h>

// rows: height rows of width * 3 bytes (R, G, B), top row first, each row
// stride bytes apart. Returns false when the file cannot be written.
bool WritePng(const char* path, int width, int height, const uint8_t* rows, size_t stride);
