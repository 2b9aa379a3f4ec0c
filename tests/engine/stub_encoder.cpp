// A stand-in encoder library that records every call and fails on request:
// $ZUBMP3_STUB_LOG names the call log, $ZUBMP3_STUB_FAIL one of "init",
// "encode", "deinit" or "sizes" (absurd chunk sizes); $ZUBMP3_STUB_SAMPLES the
// samples it asks for per call. Built once with all six
// entry points and once without beWriteInfoTag.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "encoder/blade_enc.h"

#define STUB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

bool failing(const char* step) {
    const char* fail = std::getenv("ZUBMP3_STUB_FAIL");
    return fail != nullptr && std::strcmp(fail, step) == 0;
}

void log_call(const char* text) {
    const char* log = std::getenv("ZUBMP3_STUB_LOG");
    if (log == nullptr) return;
    if (FILE* file = std::fopen(log, "a")) {
        std::fprintf(file, "%s\n", text);
        std::fclose(file);
    }
}

constexpr HBE_STREAM kStream = 7;

}  // namespace

STUB_EXPORT BE_ERR beInitStream(BE_CONFIG*, uint32_t* samples, uint32_t* buffer_size, HBE_STREAM* stream) {
    log_call("init");
    if (failing("init")) return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const char* asked = std::getenv("ZUBMP3_STUB_SAMPLES");  // samples per call, 2304 unless set
    *samples = failing("sizes") ? 0xFFFFFFFFu : asked != nullptr ? static_cast<uint32_t>(std::atol(asked)) : 2304;
    *buffer_size = 8640;
    *stream = kStream;
    return BE_ERR_SUCCESSFUL;
}

STUB_EXPORT BE_ERR beEncodeChunk(HBE_STREAM, uint32_t, int16_t*, uint8_t* output, uint32_t* output_bytes) {
    log_call("encode");
    if (failing("encode")) return BE_ERR_INVALID_FORMAT;
    std::memset(output, 0x55, 16);
    *output_bytes = 16;
    return BE_ERR_SUCCESSFUL;
}

STUB_EXPORT BE_ERR beDeinitStream(HBE_STREAM, uint8_t*, uint32_t* output_bytes) {
    log_call("deinit");
    *output_bytes = 0;
    return failing("deinit") ? BE_ERR_INVALID_FORMAT : BE_ERR_SUCCESSFUL;
}

STUB_EXPORT BE_ERR beCloseStream(HBE_STREAM) {
    log_call("close");
    return BE_ERR_SUCCESSFUL;
}

STUB_EXPORT BE_ERR beWriteVBRHeader(const char*) {
    log_call("vbrheader");
    return BE_ERR_SUCCESSFUL;
}

#ifndef STUB_WITHOUT_INFO_TAG
STUB_EXPORT BE_ERR beWriteInfoTag(HBE_STREAM, const char*) {
    log_call("infotag");
    return BE_ERR_SUCCESSFUL;
}
#endif
