// The encoding job: WAV in, MP3 out, on a worker thread of its own.
#include "job.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "encoder_binding.h"
#include "engine_state.h"
#include "file_helpers.h"
#include "output_file.h"
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
    int32_t prepare();       // every check, then the output truncated
    int32_t open_input();    // binding, header, input and its samples
    int32_t open_output();   // path, folders, the file opened untruncated
    int32_t open_stream();   // settings, stream, buffers
    int32_t start_output();  // truncation: from here on the file is the job's
    int32_t encode();        // the chunks and the flush
    bool may_go_on() const;  // false once cancelled; waits while paused
    int32_t encode_chunk(size_t count);
    int32_t flush();
    size_t read_chunk();
    bool write_output(uint32_t bytes);
    int32_t close_files(int32_t result);
    int32_t finish_output(int32_t result);
    void close_stream(bool write_info_tag);

    const EncoderEntryPoints* encoder_ = nullptr;
    int32_t channels_ = 0;
    int32_t sample_rate_ = 0;
    FILE* input_ = nullptr;
    OutputFile output_file_;
    std::vector<std::string> created_folders_;
    FILE* output_ = nullptr;  // set once the output is truncated for writing
    bool output_started_ = false;
    int64_t bytes_written_ = 0;
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
    if (result == kJobDone) result = encode();
    result = close_files(result);
    result = finish_output(result);
    engine_trace("valor de returnvalue %d \n", result);
    return result;
}

int32_t EncodeJob::prepare() {
    if (const int32_t result = open_input(); result != kJobDone) return result;
    if (const int32_t result = open_output(); result != kJobDone) return result;
    if (const int32_t result = open_stream(); result != kJobDone) return result;
    return start_output();
}

int32_t EncodeJob::open_input() {
    if (bind_encoder_library() != 0) {
        engine_trace("problems loading the dll, exiting \n");
        return kJobEncoderUnavailable;
    }
    encoder_ = &encoder_entry_points();

    // An input path too long for its buffer was not kept: nothing to read.
    if (!input_path_fits || read_wav_header(input_wav_path, channels_, sample_rate_) != kWavAccepted) {
        engine_trace("invalid wave file, exiting \n");
        return kJobInvalidWav;
    }
    engine_trace("channels %d \n", channels_);
    engine_trace("samplerate %d \n", sample_rate_);

    input_ = win_fopen(input_wav_path, "rb");
    if (input_ == nullptr) {
        engine_trace("Error opening %s\n", input_wav_path);
        return kJobCannotOpenWav;
    }
    data_ = seek_wav_data(input_);
    // Whole sample frames only, so that a channel never takes its neighbour's samples.
    const int64_t frame_bytes = int64_t{2} * channels_;
    data_.end = data_.begin + (data_.end - data_.begin) / frame_bytes * frame_bytes;
    position_ = data_.begin;
    engine_trace("posicao %lld \n", static_cast<long long>(position_));
    return kJobDone;
}

int32_t EncodeJob::open_output() {
    if (!output_path_fits) {
        engine_trace("Cannot create destination folder\n");
        return kJobCannotCreateFolder;
    }
    std::string folder, file_name;
    split_output_path(output_mp3_path, folder, file_name);
    engine_trace("Path  .%s. \n", folder.c_str());
    engine_trace("Filename .%s. \n", file_name.c_str());
    if (file_name.empty()) {
        engine_trace("Filename is missing\n");
        return kJobFileNameMissing;
    }
    if (make_output_folder(folder, &created_folders_) != kFolderReady) {
        engine_trace("Cannot create destination folder\n");
        return kJobCannotCreateFolder;
    }
    // Opened without truncation: an existing file stays as it is until the
    // settings and the encoder have accepted the job.
    if (output_file_.open(output_mp3_path) != OutputFile::Opened::ok) {
        engine_trace("Cannot create %s\n", output_mp3_path);
        return kJobCannotCreateMp3;
    }
    // Writing the input's own file would destroy the samples before they are read.
    const auto input = file_facts(input_wav_path);
    if (input && input->identity == output_file_.identity()) {
        engine_trace("Cannot create %s\n", output_mp3_path);
        return kJobCannotCreateMp3;
    }
    return kJobDone;
}

int32_t EncodeJob::open_stream() {
    if (const int32_t refused = fill_encoder_config(config_, channels_, sample_rate_); refused != 0) return refused;
    apply_priority(setting_priority);

    const BE_ERR opened = encoder_->init_stream(&config_, &samples_per_chunk_, &mp3_buffer_size_, &stream_);
    if (opened != BE_ERR_SUCCESSFUL || samples_per_chunk_ == 0 || samples_per_chunk_ > kMaxSamplesPerChunk ||
        mp3_buffer_size_ == 0 || mp3_buffer_size_ > kMaxMp3BufferSize) {
        engine_trace("Error opening encoding stream or invalid settings (%lu)\n", static_cast<unsigned long>(opened));
        return kJobStreamRefused;
    }
    engine_trace("dwSamples %u \n", samples_per_chunk_);
    engine_trace("dwMP3Buffer %u\n", mp3_buffer_size_);
    engine_trace("hbeStream %u\n", stream_);
    // Both buffers twice what one call needs.
    mp3_ = allocate(size_t{2} * mp3_buffer_size_);
    pcm_ = allocate(size_t{4} * samples_per_chunk_);
    if (mp3_ == nullptr || pcm_ == nullptr) {
        engine_trace("not enough memory for the buffers\n");
        return kJobEncoderFailed;
    }
    return kJobDone;
}

int32_t EncodeJob::start_output() {
    output_ = output_file_.start_writing();
    if (output_ == nullptr) {
        engine_trace("Cannot create %s\n", output_mp3_path);
        return kJobCannotCreateMp3;
    }
    output_started_ = true;
    return kJobDone;
}

size_t EncodeJob::read_chunk() {
    const int64_t remaining = data_.end - position_;
    if (remaining < 2) return 0;
    size_t wanted = static_cast<size_t>(std::min<int64_t>(samples_per_chunk_, remaining / 2));
    const auto frame = static_cast<size_t>(channels_);
    if (wanted >= frame) wanted -= wanted % frame;  // every chunk starts on a frame
    const size_t read = std::fread(pcm_.get(), 2, wanted, input_);
    position_ += static_cast<int64_t>(read) * 2;
    return read;
}

bool EncodeJob::write_output(uint32_t bytes) {
    const size_t written = std::fwrite(mp3_.get(), 1, bytes, output_);
    bytes_written_ += static_cast<int64_t>(written);
    return written == bytes;
}

bool EncodeJob::may_go_on() const {
    if (cancel_requested != 0) return false;
    if (pause_requested != 0) {
        job_held = 1;
        while (pause_requested != 0 && cancel_requested == 0) Sleep(50);
        job_held = 0;
    }
    return cancel_requested == 0;
}

int32_t EncodeJob::encode_chunk(size_t count) {
    const BE_ERR code = encoder_->encode_chunk(stream_, static_cast<uint32_t>(count),
                                               reinterpret_cast<int16_t*>(pcm_.get()), mp3_.get(), &bytes_out_);
    if (code != BE_ERR_SUCCESSFUL) {
        engine_trace("encoder failed (%lu)\n", static_cast<unsigned long>(code));
        return kJobEncoderFailed;
    }
    if (!write_output(bytes_out_)) {
        engine_trace("Output file write error\n");
        return kJobWriteError;
    }
    bytes_consumed_ += static_cast<int64_t>(count) * 2;
    job_progress = progress_percent(input_length_, bytes_consumed_);
    return kJobDone;
}

// The flush runs after a cancel too, so the MP3 of the part encoded is complete.
int32_t EncodeJob::flush() {
    const BE_ERR code = encoder_->deinit_stream(stream_, mp3_.get(), &bytes_out_);
    if (code != BE_ERR_SUCCESSFUL) {
        engine_trace("encoder failed (%lu)\n", static_cast<unsigned long>(code));
        return kJobEncoderFailed;
    }
    engine_trace("Percent %d \n", 100);
    if (bytes_out_ != 0 && !write_output(bytes_out_)) {
        engine_trace("Output file write error\n");
        return kJobWriteError;
    }
    return kJobDone;
}

int32_t EncodeJob::encode() {
    input_length_ = get_file_length(input_wav_path);
    engine_trace("tamanho %lld \n", static_cast<long long>(input_length_));
    int32_t result = kJobDone;
    for (size_t count = read_chunk(); count > 0; count = read_chunk()) {
        if (!may_go_on()) {
            result = kJobCancelled;
            break;
        }
        if (const int32_t failed = encode_chunk(count); failed != kJobDone) return failed;
    }
    // A read error is not the end of the input: the MP3 would lack its end.
    if (result == kJobDone && std::ferror(input_)) {
        engine_trace("Error opening %s\n", input_wav_path);
        return kJobCannotOpenWav;
    }
    if (const int32_t failed = flush(); failed != kJobDone) return failed;
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
        if (std::fclose(output_) != 0 && result == kJobDone) {
            engine_trace("Output file write error\n");
            result = kJobWriteError;
        }
        output_ = nullptr;
    }
    pcm_.reset();
    mp3_.reset();
    return result;
}

// The end of the output. A job that never started writing takes back what it
// created (the file, the folder levels). One that wrote checks that the path
// still names the file it wrote, at the length it wrote: a file deleted,
// replaced or rewritten meanwhile is a write error, and the encoder's tag
// frame is then not written, since it would land in someone else's file.
int32_t EncodeJob::finish_output(int32_t result) {
    if (!output_started_) {
        output_file_.abandon();
        for (auto level = created_folders_.rbegin(); level != created_folders_.rend(); ++level)
            RemoveDirectoryA(level->c_str());  // only while empty
        close_stream(false);
        return result;
    }
    const auto now = file_facts(output_mp3_path);
    const bool intact = now && now->identity == output_file_.identity() && now->length == bytes_written_;
    if (!intact) {
        engine_trace("Output file changed during the job\n");
        if (result == kJobDone || result == kJobCancelled) result = kJobWriteError;
    }
    close_stream(intact);
    return result;
}

void EncodeJob::close_stream(bool write_info_tag) {
    if (stream_ == 0) return;
    engine_trace("fechando hbeStream \n");
    if (write_info_tag) encoder_->write_info_tag(stream_, output_mp3_path);
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
        job_status = kJobEncoderFailed;
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
