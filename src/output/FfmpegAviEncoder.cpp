// The AVI writer on FFmpeg's libraries, built as the module that movies open
// on first use. Failures leave through the interface as their text.
#include <cstring>

#include "output/AviEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>

namespace velm {

namespace {

// The uncompressed choice: the bitmap's rows as they are.
constexpr const char* kUncompressed = "DIB ";

// The compressors offered besides uncompressed frames, when the build has them.
constexpr const char* kEncoders[] = {"mjpeg", "mpeg4", "ffv1", "huffyuv", "utvideo", "png", "msvideo1", "zmbv", "libxvid", "libx264"};

struct Failure {
    std::string text;
};

AVPixelFormat RawFormat(int depth) {
    switch (depth) {
    case 16: return AV_PIX_FMT_RGB555LE;
    case 32: return AV_PIX_FMT_BGRA;
    default: return AV_PIX_FMT_BGR24;
    }
}

bool Takes(const AVCodec* codec, AVPixelFormat format) {
    for (const AVPixelFormat* f = codec->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f)
        if (*f == format) return true;
    return false;
}

// Players decode 4:2:0 everywhere, and not much else (H.264 from RGB would
// be High 4:4:4): a lossy encoder that takes it gets it, the full-range kind
// for JPEG. Lossless ones get the format nearest to our RGB frames.
AVPixelFormat EncoderFormat(const AVCodec* codec) {
    if (!codec->pix_fmts) return AV_PIX_FMT_YUV420P;
    const AVCodecDescriptor* d = avcodec_descriptor_get(codec->id);
    if (d && (d->props & AV_CODEC_PROP_LOSSY)) {
        if (codec->id == AV_CODEC_ID_MJPEG && Takes(codec, AV_PIX_FMT_YUVJ420P)) return AV_PIX_FMT_YUVJ420P;
        if (Takes(codec, AV_PIX_FMT_YUV420P)) return AV_PIX_FMT_YUV420P;
    }
    int loss = 0;
    return avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_RGB24, 0, &loss);
}

// A side rounded down to what subsampled chroma needs (even for 4:2:0).
int FittingSide(int side, int log2Chroma) {
    const int unit = 1 << log2Chroma;
    return std::max(unit, side / unit * unit);
}

std::string AvReason(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

class FfmpegAviEncoder final : public AviEncoder {
public:
    FfmpegAviEncoder(const std::string& path, int width, int height, int rate, int depth, const std::string& codec);
    ~FfmpegAviEncoder() override;

    int Width() const override { return width_; }
    int Height() const override { return height_; }
    std::string Add(const std::uint8_t* rgba) override;
    std::string Finish() override;

private:
    void Encode(AVFrame* frame);  // nullptr flushes
    void Release();

    int width_ = 0, height_ = 0, frameCount_ = 0;
    AVFormatContext* format_ = nullptr;
    AVStream* stream_ = nullptr;
    AVCodecContext* encoder_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    bool headerWritten_ = false;
    bool bottomUp_ = false;  // uncompressed: rows as a bitmap holds them
};

FfmpegAviEncoder::FfmpegAviEncoder(const std::string& path, int width, int height, int rate, int depth,
                                   const std::string& codec) {
    // Encoders report what they did on stderr, which is the user's.
    av_log_set_level(AV_LOG_ERROR);
    try {
        if (avformat_alloc_output_context2(&format_, nullptr, "avi", path.c_str()) < 0 || !format_)
            throw Failure{"Error opening the AVI file"};
        if (const int r = avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE); r < 0)
            throw Failure{"Error opening the AVI file: " + AvReason(r)};
        stream_ = avformat_new_stream(format_, nullptr);
        if (!stream_) throw Failure{"Error opening the AVI stream"};

        const bool raw = codec == kUncompressed;
        const AVCodec* encoder =
            raw ? avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO) : avcodec_find_encoder_by_name(codec.c_str());
        if (!encoder) throw Failure{"Can't get compression format!"};
        encoder_ = avcodec_alloc_context3(encoder);
        if (!encoder_) throw Failure{"Can't get compression format!"};
        encoder_->pix_fmt = raw ? RawFormat(depth) : EncoderFormat(encoder);
        if (const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(encoder_->pix_fmt)) {
            width = FittingSide(width, d->log2_chroma_w);
            height = FittingSide(height, d->log2_chroma_h);
        }
        width_ = width;
        height_ = height;
        encoder_->width = width;
        encoder_->height = height;
        encoder_->time_base = AVRational{1, rate};
        encoder_->framerate = AVRational{rate, 1};
        encoder_->max_b_frames = 0;
        encoder_->gop_size = 12;
        if (codec == "mjpeg") {
            encoder_->flags |= AV_CODEC_FLAG_QSCALE;
            encoder_->global_quality = FF_QP2LAMBDA * 3;
            encoder_->color_range = AVCOL_RANGE_JPEG;
        }
        if (codec == "mpeg4" || codec == "libxvid") {
            // At the default 200 kbit/s every frame of some size is blocky: a
            // fixed quantiser instead, about 0.1 to 0.3 bits a pixel on molecules.
            encoder_->flags |= AV_CODEC_FLAG_QSCALE;
            encoder_->global_quality = FF_QP2LAMBDA * 3;
        }
        if (codec == "mpeg4") encoder_->codec_tag = MKTAG('X', 'V', 'I', 'D');
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(encoder_, encoder, nullptr) < 0) throw Failure{"Couldn't make compressed AVI stream!"};
        if (avcodec_parameters_from_context(stream_->codecpar, encoder_) < 0)
            throw Failure{"Couldn't make compressed AVI stream!"};
        stream_->time_base = encoder_->time_base;
        bottomUp_ = raw;
        if (raw) {
            // Uncompressed frames keep the bitmap's bottom-up rows.
            static const char kBottomUp[] = "BottomUp";
            stream_->codecpar->extradata =
                static_cast<uint8_t*>(av_mallocz(sizeof kBottomUp + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!stream_->codecpar->extradata) throw Failure{"Couldn't set compressed AVI format!"};
            std::memcpy(stream_->codecpar->extradata, kBottomUp, sizeof kBottomUp);
            stream_->codecpar->extradata_size = sizeof kBottomUp;
        }
        if (avformat_write_header(format_, nullptr) < 0) throw Failure{"Couldn't set compressed AVI format!"};
        headerWritten_ = true;

        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!frame_ || !packet_) throw Failure{"Error creating device context for movie frame!"};
        frame_->format = encoder_->pix_fmt;
        frame_->width = width;
        frame_->height = height;
        if (av_frame_get_buffer(frame_, 0) < 0) throw Failure{"Error creating device context for movie frame!"};
        scaler_ = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, encoder_->pix_fmt, SWS_POINT, nullptr,
                                 nullptr, nullptr);
        if (!scaler_) throw Failure{"Can't initialize compressor!"};
    } catch (...) {
        Release();
        throw;
    }
}

FfmpegAviEncoder::~FfmpegAviEncoder() { Release(); }

void FfmpegAviEncoder::Encode(AVFrame* frame) {
    if (avcodec_send_frame(encoder_, frame) < 0) throw Failure{"Error compressing frame"};
    for (;;) {
        const int r = avcodec_receive_packet(encoder_, packet_);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
        if (r < 0) throw Failure{"Error compressing frame"};
        av_packet_rescale_ts(packet_, encoder_->time_base, stream_->time_base);
        packet_->stream_index = stream_->index;
        const int w = av_interleaved_write_frame(format_, packet_);
        av_packet_unref(packet_);
        if (w < 0) throw Failure{"Can't write movie frame! (" + AvReason(w) + ")"};
        if (format_->pb && format_->pb->error < 0)
            throw Failure{"Can't write movie frame! (" + AvReason(format_->pb->error) + ")"};
    }
}

std::string FfmpegAviEncoder::Add(const std::uint8_t* rgba) {
    try {
        if (!format_) throw Failure{"Invalid state"};
        if (av_frame_make_writable(frame_) < 0) throw Failure{"Error compressing frame"};
        // GL rows run bottom first. Compressed pictures want the top first;
        // uncompressed frames stay bottom-up, as a bitmap holds them.
        const int stride = 4 * width_;
        const std::uint8_t* source[1] = {rgba};
        int sourceStride[1] = {stride};
        if (!bottomUp_) {
            source[0] = rgba + static_cast<size_t>(stride) * static_cast<size_t>(height_ - 1);
            sourceStride[0] = -stride;
        }
        sws_scale(scaler_, source, sourceStride, 0, height_, frame_->data, frame_->linesize);
        frame_->pts = frameCount_;
        frame_->key_frame = 1;
        Encode(frame_);
        ++frameCount_;
        return {};
    } catch (const Failure& f) {
        return f.text;
    }
}

std::string FfmpegAviEncoder::Finish() {
    try {
        if (!format_) throw Failure{"Invalid state"};
        Encode(nullptr);
        if (const int r = av_write_trailer(format_); r < 0) throw Failure{"Can't write movie frame! (" + AvReason(r) + ")"};
        headerWritten_ = false;
        avio_flush(format_->pb);
        const int error = format_->pb->error;
        const int closed = avio_closep(&format_->pb);
        if (error < 0 || closed < 0)
            throw Failure{"Can't write movie frame! (" + AvReason(error < 0 ? error : closed) + ")"};
        Release();
        return {};
    } catch (const Failure& f) {
        Release();
        return f.text;
    }
}

void FfmpegAviEncoder::Release() {
    // Unfinished: the trailer only completes a file the caller throws away.
    if (format_ && headerWritten_) av_write_trailer(format_);
    headerWritten_ = false;
    if (scaler_) sws_freeContext(scaler_);
    scaler_ = nullptr;
    if (frame_) av_frame_free(&frame_);
    if (packet_) av_packet_free(&packet_);
    if (encoder_) avcodec_free_context(&encoder_);
    if (format_) {
        if (format_->pb) avio_closep(&format_->pb);
        avformat_free_context(format_);
        format_ = nullptr;
    }
}

std::vector<MovieCodec> Codecs() {
    std::vector<MovieCodec> out{{kUncompressed, "Full Frames (Uncompressed)"}};
    for (const char* name : kEncoders)
        if (const AVCodec* c = avcodec_find_encoder_by_name(name)) out.push_back({name, c->long_name ? c->long_name : name});
    return out;
}

std::unique_ptr<AviEncoder> Open(const std::string& path, int width, int height, int rate, int depth,
                                 const std::string& codec, std::string& problem) {
    try {
        return std::make_unique<FfmpegAviEncoder>(path, width, height, rate, depth, codec);
    } catch (const Failure& f) {
        problem = f.text;
    } catch (const std::bad_alloc&) {
        problem = "Error creating device context for movie frame!";
    }
    return nullptr;
}

const AviEncoderModule kModule{Codecs, Open};

}  // namespace

}  // namespace velm

extern "C" __attribute__((visibility("default"))) const velm::AviEncoderModule* VelmAviEncoderModule() {
    return &velm::kModule;
}
