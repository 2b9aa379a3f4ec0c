// The BladeEnc-style interface of the encoder library libzubmp3enc1.so: six
// C entry points and the packed 331-byte configuration record, with 32-bit
// fields as on the platform the interface was defined for.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BE_ERR;
#define BE_ERR_SUCCESSFUL 0u
#define BE_ERR_INVALID_FORMAT 1u
#define BE_ERR_INVALID_FORMAT_PARAMETERS 2u
#define BE_ERR_NO_MORE_HANDLES 3u
#define BE_ERR_INVALID_HANDLE 4u
#define BE_ERR_BUFFER_TOO_SMALL 5u

typedef uint32_t HBE_STREAM;  // 0 is never a stream

#define BE_CONFIG_LAME 256u
#define BE_CONFIG_SIZE 331u

// nMode
#define BE_MP3_MODE_STEREO 0
#define BE_MP3_MODE_JSTEREO 1
#define BE_MP3_MODE_DUALCHANNEL 2
#define BE_MP3_MODE_MONO 3          // one input channel
#define BE_MP3_MODE_MONO_DOWNMIX 4  // two input channels mixed to one

// nPreset
#define LQP_NORMAL_QUALITY 0
#define LQP_LOW_QUALITY 1
#define LQP_HIGH_QUALITY 2

// nVbrMethod
#define VBR_METHOD_NONE (-1)
#define VBR_METHOD_DEFAULT 0
#define VBR_METHOD_OLD 1
#define VBR_METHOD_NEW 2
#define VBR_METHOD_MTRH 3
#define VBR_METHOD_ABR 4

#pragma pack(push, 1)
typedef struct {
    uint32_t dwConfig;         //   0 BE_CONFIG_LAME
    uint32_t dwStructVersion;  //   4 1
    uint32_t dwStructSize;     //   8 331
    uint32_t dwSampleRate;     //  12 input sample rate, Hz
    uint32_t dwReSampleRate;   //  16 output sample rate, 0 = encoder decides
    int32_t nMode;             //  20 BE_MP3_MODE_*
    uint32_t dwBitrate;        //  24 kbit/s: constant, or the VBR minimum
    uint32_t dwMaxBitrate;     //  28 kbit/s: the VBR maximum
    int32_t nPreset;           //  32 LQP_*
    uint32_t dwMpegVersion;    //  36 not used: the sample rate decides
    uint32_t dwPsyModel;       //  40 not used
    uint32_t dwEmphasis;       //  44 0 none, 1 50/15 ms, 3 CCITT J.17
    int32_t bPrivate;          //  48 private bit
    int32_t bCRC;              //  52 CRC protection
    int32_t bCopyright;        //  56 copyright bit
    int32_t bOriginal;         //  60 original bit
    int32_t bWriteVBRHeader;   //  64 the tag frame is reserved in any case
    int32_t bEnableVBR;        //  68 variable bitrate
    int32_t nVBRQuality;       //  72 0 (best) to 9
    uint32_t dwVbrAbr_bps;     //  76 mean bitrate for VBR_METHOD_ABR, bit/s
    int32_t nVbrMethod;        //  80 VBR_METHOD_*
    int32_t bNoRes;            //  84 bit reservoir off
    int32_t bStrictIso;        //  88 strict ISO rules
    uint16_t nQuality;         //  92 low byte 0-9 overrides the preset when
                               //     the high byte is its complement
    uint8_t btReserved[237];   //  94 zero, up to byte 330
} BE_CONFIG;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(BE_CONFIG) == BE_CONFIG_SIZE, "BE_CONFIG is 331 bytes");
#else
_Static_assert(sizeof(BE_CONFIG) == BE_CONFIG_SIZE, "BE_CONFIG is 331 bytes");
#endif

// Opens a stream for `config`. `samples` receives how many 16-bit values (all
// channels, interleaved) to pass per beEncodeChunk, `mp3_buffer_size` the
// size of the output buffer every call needs, `stream` the new handle.
typedef BE_ERR (*BEINITSTREAM)(BE_CONFIG* config, uint32_t* samples, uint32_t* mp3_buffer_size, HBE_STREAM* stream);
// Encodes `count` values (at most `samples`) into `output` (`mp3_buffer_size`
// bytes); `output_bytes` receives the MP3 byte count.
typedef BE_ERR (*BEENCODECHUNK)(HBE_STREAM stream, uint32_t count, int16_t* pcm, uint8_t* output,
                                uint32_t* output_bytes);
// Flushes the last frames into `output`.
typedef BE_ERR (*BEDEINITSTREAM)(HBE_STREAM stream, uint8_t* output, uint32_t* output_bytes);
// Releases the stream.
typedef BE_ERR (*BECLOSESTREAM)(HBE_STREAM stream);
// Writes the tag frame of the most recently flushed open stream into `file_name`.
typedef BE_ERR (*BEWRITEVBRHEADER)(const char* file_name);
// Writes the stream's tag frame (Xing for VBR, Info for CBR) over the frame
// reserved for it at the start of the finished file `file_name` (a Windows
// path). Leaves the stream open.
typedef BE_ERR (*BEWRITEINFOTAG)(HBE_STREAM stream, const char* file_name);

#ifdef __cplusplus
}
#endif
