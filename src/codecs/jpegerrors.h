#pragma once
#include <csetjmp>
#include <cstdio>
extern "C" {
#include <jpeglib.h>
}

// libjpeg's fatal errors must not return to it: they jump back to the
// setjmp() of the decode that failed. Warnings go to a handler of the
// caller's, which may mark the picture as damaged.
struct JpegErrors : jpeg_error_mgr {
    std::jmp_buf jump;
    bool damaged = false;
};

// Prepares `errors` for a decompressor (`message` null: warnings ignored)
// and returns what its `err` field takes.
jpeg_error_mgr *jpegErrors(JpegErrors &errors, void (*message)(j_common_ptr, int) = nullptr);

// Abandons the decode in hand: back to its setjmp().
[[noreturn]] void jpegFail(j_common_ptr info);
