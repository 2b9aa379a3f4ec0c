// ZUBEncode: encode 16-bit PCM WAV files to MP3 and read, write and remove
// ID3v1 and ID3v2 tags. Create it on the thread whose EventLoop runs; its
// events are raised on that thread, synchronously, arguments by reference.
#pragma once

#include <memory>

#include "zubmp3/host.h"

namespace zubmp3 {

// The control's four events.
class ZUBMP3_API ZUBEncodeEvents {
public:
    virtual ~ZUBEncodeEvents() = default;
    virtual void ErrorCode(Long& ErrorNumber, Text& ErrorDescription);  // 1
    virtual void Finished();                                            // 2
    virtual void Progress(Long& ProgressAsLong);                        // 3
    virtual void ID3v1GenreList(bool& ClearFlag, Text& Genre);          // 4
};

class ZUBMP3_API ZUBEncode {
public:
    ZUBEncode();
    ~ZUBEncode();  // cancels a running job and releases the engine; raises no event
    ZUBEncode(const ZUBEncode&) = delete;
    ZUBEncode& operator=(const ZUBEncode&) = delete;

    // The sink that receives the events (not owned; nullptr detaches).
    void set_events(ZUBEncodeEvents* sink);

    // The host asks for a size; the control keeps its fixed 550 x 550 twips.
    struct Size {
        int width_twips;
        int height_twips;
    };
    Size Resize(Size requested);

    void MP3EncodePause();
    void MP3EncodeResume();
    void MP3EncodeCancel();
    void MP3Encode(const Text& Inputfile, const Text& OutPutFile, Long Bitrate, const Text& StereoMode,
                   const Text& MP3Quality, Long VBR, Long VBRMaxBitrate);
    void About();
    Text ControlName();
    void SelectProcessPriority(Long NewLevel);
    Long Read_ID3_v1_tag(const Text& filename, Long& Track, Text& Title, Text& Artist, Text& Album, Text& Year,
                         Long& Genre, Text& Comment);
    void Generate_ID3v1Genre();
    Long Write_ID3_v1_tag(const Text& filename, Long Track, const Text& Title, const Text& Artist,
                          const Text& Album, const Text& Year, Long Genre, const Text& Comment);
    Long Remove_ID3V1_tag(const Text& filename);
    Long Read_ID3_v2_tag(const Text& filename, Text& Track, Text& Title, Text& Artist, Text& Album, Text& Year,
                         Text& Genre, Text& Comment, Text& EncodedBy, Text& URL, Text& Copyright,
                         Text& OriginalArtist, Text& Composer);
    Long Write_ID3_v2_tag(const Text& filename, const Text& Track, const Text& Title, const Text& Artist,
                          const Text& Album, const Text& Year, const Text& Genre, const Text& Comment,
                          const Text& EncodedBy, const Text& URL, const Text& Copyright,
                          const Text& OriginalArtist, const Text& Composer);
    Long Remove_ID3V2_tag(const Text& filename);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace zubmp3
