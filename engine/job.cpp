// The encoding job: WAV in, MP3 out, on a worker thread of its own.
#include "job.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "encoder_binding.h"
#include "engine_state.h"
#include "file_helpers.h"
#include "output_paths.h"
#include "platform/win32.h"
#include "trace.h"
#include "wav_input.h"

namespace engine {
namespace {

// The samples go to the encoder as they stand in the file: little-endian.
static_assert(std::endian::native == std::endian::little);

// Bounds on what the encoder library may ask for (LAME asks for 2304 values
// and 8640 bytes).
constexpr uint32_t kMaxSamplesPerChunk = 1u << 20;
constexpr uint32_t kMaxMp3BufferSize = 1u << 24;

struct FreeDeleter {
    void operator()(uint8_t* block) const { std::free(block); }
};
using Buffer = std::unique_ptr<uint8_t[], FreeDeleter>;

Buffer allocate(size_t bytes) { return Buffer(static_cast<uint8_t*>(std::malloc(bytes))); }

void apply_priority(int32_t priority) {
    constexpr DWORD kClasses[] = {0, IDLE_PRIORITY_CLASS, NORMAL_PRIORITY_CLASS, HIGH_PRIORITY_CLASS};
    if (priority >= 1 && priority <= 3) SetPriorityClass(GetCurrentProcess(), kClasses[priority]);
}

class EncodeJob {
public:
    int32_t run();

private:
    int32_t prepare();  // binding, input, output, settings, stream, buffers
    int32_t encode();   // the chunks and the flush
    size_t read_chunk();
    bool write_output(uint32_t bytes);
    int32_t close_files(int32_t result);
    void close_stream();

    const EncoderEntryPoints* encoder_ = nullptr;
    int32_t channels_ = 0;
    int32_t sample_rate_ = 0;
    FILE* input_ = nullptr;
    FILE* output_ = nullptr;
    WavData data_;
    int64_t position_ = 0;  // next input byte to read
    BE_CONFIG config_{};
    uint32_t samples_per_chunk_ = 0;
    uint32_t mp3_buffer_size_ = 0;
    HBE_STREAM stream_ = 0;
    Buffer pcm_;
    Buffer mp3_;
    uint32_t bytes_out_ = 0;
    int64_t input_length_ = 0;
    int64_t bytes_consumed_ = 0;
};

int32_t EncodeJob::run() {
    int32_t result = prepare();
    if (result == 0) result = encode();
    result = close_files(result);
    close_stream();
    const int32_t status = result == 0 ? 0 : result + 100;
    engine_trace("valor de returnvalue %d \n", status);
    return status;
}

int32_t EncodeJob::prepare() {
    if (bind_encoder_library() != 0) {
        engine_trace("problems loading the dll, exiting \n");
        return 1;
    }
    encoder_ = &encoder_entry_points();

    // An input path too long for its buffer was not kept: nothing to read.
    if (!input_path_fits || read_wav_header(input_wav_path, channels_, sample_rate_) != 0) {
        engine_trace("invalid wave file, exiting \n");
        return 2;
    }
    engine_trace("channels %d \n", channels_);
    engine_trace("samplerate %d \n", sample_rate_);

    input_ = win_fopen(input_wav_path, "rb");
    if (input_ == nullptr) {
        engine_trace("Error opening %s\n", input_wav_path);
        return 3;
    }
    data_ = seek_wav_data(input_);
    position_ = data_.begin;
    engine_trace("posicao %lld \n", static_cast<long long>(position_));

    if (!output_path_fits) {
        engine_trace("Cannot create destination folder\n");
        return 11;
    }
    std::string folder, file_name;
    split_output_path(output_mp3_path, folder, file_name);
    engine_trace("Path  .%s. \n", folder.c_str());
    engine_trace("Filename .%s. \n", file_name.c_str());
    if (file_name.empty()) {
        engine_trace("Filename is missing\n");
        return 10;
    }
    if (make_output_folder(folder) != 0) {
        engine_trace("Cannot create destination folder\n");
        return 11;
    }
    output_ = win_fopen(output_mp3_path, "wb");
    if (output_ == nullptr) {
        engine_trace("Cannot create %s\n", output_mp3_path);
        return 4;
    }

    if (const int32_t refused = fill_encoder_config(config_, channels_, sample_rate_); refused != 0) return refused;
    apply_priority(setting_priority);

    const BE_ERR opened = encoder_->init_stream(&config_, &samples_per_chunk_, &mp3_buffer_size_, &stream_);
    if (opened != BE_ERR_SUCCESSFUL || samples_per_chunk_ == 0 || samples_per_chunk_ > kMaxSamplesPerChunk ||
        mp3_buffer_size_ == 0 || mp3_buffer_size_ > kMaxMp3BufferSize) {
        engine_trace("Error opening encoding stream or invalid settings (%lu)\n", static_cast<unsigned long>(opened));
        return 5;
    }
    engine_trace("dwSamples %u \n", samples_per_chunk_);
    engine_trace("dwMP3Buffer %u\n", mp3_buffer_size_);
    engine_trace("hbeStream %u\n", stream_);
    // Both buffers twice what one call needs.
    mp3_ = allocate(size_t{2} * mp3_buffer_size_);
    pcm_ = allocate(size_t{4} * samples_per_chunk_);
    if (mp3_ == nullptr || pcm_ == nullptr) {
        engine_trace("not enough memory for the buffers\n");
        return 6;
    }
    return 0;
}

size_t EncodeJob::read_chunk() {
    const int64_t remaining = data_.end - position_;
    if (remaining < 2) return 0;
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(samples_per_chunk_, remaining / 2));
    const size_t read = std::fread(pcm_.get(), 2, wanted, input_);
    position_ += static_cast<int64_t>(read) * 2;
    return read;
}

bool EncodeJob::write_output(uint32_t bytes) { return std::fwrite(mp3_.get(), 1, bytes, output_) == bytes; }

int32_t EncodeJob::encode() {
    input_length_ = get_file_length(input_wav_path);
    engine_trace("tamanho %lld \n", static_cast<long long>(input_length_));
    int32_t result = 0;
    size_t count = read_chunk();
    while (count > 0) {
        if (cancel_requested != 0) {
            result = 12;
            break;
        }
        while (pause_requested != 0 && cancel_requested == 0) Sleep(50);
        if (cancel_requested != 0) {
            result = 12;
            break;
        }
        const BE_ERR code = encoder_->encode_chunk(stream_, static_cast<uint32_t>(count),
                                                   reinterpret_cast<int16_t*>(pcm_.get()), mp3_.get(), &bytes_out_);
        if (code != BE_ERR_SUCCESSFUL) {
            engine_trace("encoder failed (%lu)\n", static_cast<unsigned long>(code));
            return 6;
        }
        if (!write_output(bytes_out_)) {
            engine_trace("Output file write error\n");
            return 7;
        }
        bytes_consumed_ += static_cast<int64_t>(count) * 2;
        job_progress = progress_percent(input_length_, bytes_consumed_);
        count = read_chunk();
    }
    // A read error is not the end of the input: the MP3 would lack its end.
    if (result == 0 && std::ferror(input_)) {
        engine_trace("Error opening %s\n", input_wav_path);
        return 3;
    }

    // The flush runs after a cancel too, so the MP3 of the part encoded is complete.
    const BE_ERR code = encoder_->deinit_stream(stream_, mp3_.get(), &bytes_out_);
    if (code != BE_ERR_SUCCESSFUL) {
        engine_trace("encoder failed (%lu)\n", static_cast<unsigned long>(code));
        return 6;
    }
    engine_trace("Percent %d \n", 100);
    if (bytes_out_ != 0 && !write_output(bytes_out_)) {
        engine_trace("Output file write error\n");
        return 7;
    }
    return result;
}

int32_t EncodeJob::close_files(int32_t result) {
    if (input_ != nullptr) {
        engine_trace("fechando felein \n");
        std::fclose(input_);
        input_ = nullptr;
    }
    if (output_ != nullptr) {
        engine_trace("fechando fileout \n");
        // Buffered bytes reach the disk only now: a failure here is a write error.
        if (std::fclose(output_) != 0 && result == 0) {
            engine_trace("Output file write error\n");
            result = 7;
        }
        output_ = nullptr;
    }
    pcm_.reset();
    mp3_.reset();
    return result;
}

void EncodeJob::close_stream() {
    if (stream_ == 0) return;
    engine_trace("fechando hbeStream \n");
    encoder_->write_info_tag(stream_, output_mp3_path);
    encoder_->close_stream(stream_);
    stream_ = 0;
}

HANDLE worker_thread = nullptr;  // the last worker, until it is joined

// Unloading the engine while a worker runs would pull its code from under it:
// the library's teardown stops the job and waits for the worker to leave.
struct JoinWorkerAtUnload {
    ~JoinWorkerAtUnload() {
        cancel_requested = 1;
        join_encode_thread();
    }
} join_worker_at_unload;

}  // namespace

int32_t progress_percent(int64_t input_length, int64_t bytes_consumed) {
    if (input_length == 0 || bytes_consumed == 0) return 0;
    const double percent = 100.0 / static_cast<double>(input_length) * static_cast<double>(bytes_consumed);
    return static_cast<int32_t>(std::clamp(percent, 0.0, 100.0));
}

int32_t run_encode_job() { return EncodeJob().run(); }

uint32_t encode_thread_main(void*) {
    job_progress = 0;
    job_status = run_encode_job();  // the worker's last act on the engine state
    return 0;
}

int32_t start_encode_thread() {
    join_encode_thread();
    worker_thread = CreateThread(nullptr, 0, encode_thread_main, nullptr, 0, nullptr);
    if (worker_thread == nullptr) {
        engine_trace("cannot start the encoding thread\n");
        job_progress = 0;
        job_status = 106;
    }
    return 0;
}

void join_encode_thread() {
    if (worker_thread == nullptr) return;
    WaitForSingleObject(worker_thread, INFINITE);
    CloseHandle(worker_thread);
    worker_thread = nullptr;
}

}  // namespace engine
