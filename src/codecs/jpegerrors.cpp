#include "jpegerrors.h"

namespace {
void ignoreMessage(j_common_ptr, int) {}
}

void jpegFail(j_common_ptr info)
{
    std::longjmp(static_cast<JpegErrors *>(info->err)->jump, 1);
}

jpeg_error_mgr *jpegErrors(JpegErrors &errors, void (*message)(j_common_ptr, int))
{
    jpeg_error_mgr *err = jpeg_std_error(&errors);
    errors.error_exit = jpegFail;
    errors.emit_message = message ? message : ignoreMessage;
    return err;
}
