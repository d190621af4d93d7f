// Bounded text helpers: copy, append and "%s" substitution into fixed buffers.
#include "text_buffer.h"

size_t CopyText(char* dst, size_t size, const char* src) {
    if (size == 0)
        return 0;
    size_t n = 0;
    if (src) {
        while (n + 1 < size && src[n] != '\0') {
            dst[n] = src[n];
            ++n;
        }
    }
    dst[n] = '\0';
    return n;
}

size_t AppendText(char* dst, size_t size, const char* src) {
    if (size == 0)
        return 0;
    size_t n = 0;
    while (n < size && dst[n] != '\0')
        ++n;
    if (n == size) {  // not terminated: treat as full
        dst[size - 1] = '\0';
        return size - 1;
    }
    return n + CopyText(dst + n, size - n, src);
}

size_t ReplaceEachPercentS(char* dst, size_t size, const char* format, const char* value) {
    if (size == 0)
        return 0;
    size_t n = 0;
    for (const char* p = format; *p != '\0' && n + 1 < size; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            for (const char* v = value; *v != '\0' && n + 1 < size; ++v)
                dst[n++] = *v;
            ++p;
        } else {
            dst[n++] = *p;
        }
    }
    dst[n] = '\0';
    return n;
}
