// Bounded text helpers for the fixed buffers of the suite: every copy,
// append and format stops at the end of the buffer and always terminates.
#pragma once

#include <stddef.h>

// Copies src into dst (size bytes), truncating; returns the length written.
size_t CopyText(char* dst, size_t size, const char* src);

// Appends src to the text in dst (size bytes), truncating; returns the new length.
size_t AppendText(char* dst, size_t size, const char* src);

// Replaces every "%s" of format with value, truncating at size - 1
// characters. Any other character, "%" included, is copied as it is.
size_t ReplaceEachPercentS(char* dst, size_t size, const char* format, const char* value);

template <size_t N>
size_t CopyText(char (&dst)[N], const char* src) {
    return CopyText(dst, N, src);
}

template <size_t N>
size_t AppendText(char (&dst)[N], const char* src) {
    return AppendText(dst, N, src);
}
