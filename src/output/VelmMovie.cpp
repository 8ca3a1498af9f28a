#include "output/VelmMovie.h"

#include <GL/gl.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/ReplacingFile.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"
#include "surface/SurfaceBuild.h"

namespace velm {

namespace {
// The compressors offered besides uncompressed frames, when the build has them.
constexpr const char* kEncoders[] = {"mjpeg", "mpeg4", "ffv1", "huffyuv", "utvideo", "png", "msvideo1", "zmbv", "libxvid", "libx264"};

bool EndsWithAvi(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".avi";
}

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

}  // namespace

std::vector<MovieCodec> AvailableMovieCodecs() {
    std::vector<MovieCodec> out{{kUncompressedCodec, "Full Frames (Uncompressed)"}};
    for (const char* name : kEncoders)
        if (const AVCodec* c = avcodec_find_encoder_by_name(name)) out.push_back({name, c->long_name ? c->long_name : name});
    return out;
}

struct VelmMovie::State {
    bool open = false;
    OffscreenRenderer* renderer = nullptr;
    const list<std::unique_ptr<Molecule>>* molecules = nullptr;
    bool updateSurface = false;
    int width = 0, height = 0, rate = 0, depth = 0;
    int frameCount = 0;

    AVFormatContext* format = nullptr;
    AVStream* stream = nullptr;
    AVCodecContext* encoder = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    std::unique_ptr<ReplacingFile> file;  // the movie goes into place only when finished
    bool headerWritten = false;
    bool bottomUp = false;  // uncompressed: rows as a bitmap holds them
};

VelmMovie::VelmMovie() : state_(std::make_unique<State>()) {}
VelmMovie::~VelmMovie() { Close(); }

bool VelmMovie::IsOpen() const { return state_->open; }
int VelmMovie::FrameCount() const { return state_->frameCount; }
int VelmMovie::Width() const { return state_->width; }
int VelmMovie::Height() const { return state_->height; }

bool VelmMovie::Open(const std::string& path, int width, int height, int rate, int depth, OffscreenRenderer* renderer,
                     const list<std::unique_ptr<Molecule>>* molecules, bool updateSurface, const std::string& codec) {
    Close();
    if (width <= 0) throw VelmError("Frame width out of bounds");
    if (height <= 0) throw VelmError("Frame height out of bounds");
    if (rate <= 0) throw VelmError("Frame rate out of bounds");
    if (depth != 16 && depth != 24 && depth != 32) throw VelmError("Frame depth out of bounds");
    if (!renderer || !molecules) throw VelmError("Bad view pointer");
    if (codec.empty()) return false;  // the choice was cancelled

    // Encoders report what they did on stderr, which is the user's.
    av_log_set_level(AV_LOG_ERROR);
    State& s = *state_;
    try {
        s.renderer = renderer;
        s.molecules = molecules;
        s.updateSurface = updateSurface;
        s.width = width, s.height = height, s.rate = rate, s.depth = depth;

        if (!EndsWithAvi(path)) throw VelmError("Error opening the AVI file. File name must end with '.avi'");
        s.file = std::make_unique<ReplacingFile>(path);
        if (!s.file->Stream()) throw VelmError("Error opening the AVI file: " + s.file->Problem());
        const std::string temporary = s.file->TemporaryPath();
        if (avformat_alloc_output_context2(&s.format, nullptr, "avi", temporary.c_str()) < 0 || !s.format)
            throw VelmError("Error opening the AVI file");
        if (const int r = avio_open(&s.format->pb, temporary.c_str(), AVIO_FLAG_WRITE); r < 0)
            throw VelmError("Error opening the AVI file: " + AvReason(r));
        s.stream = avformat_new_stream(s.format, nullptr);
        if (!s.stream) throw VelmError("Error opening the AVI stream");

        const bool raw = codec == kUncompressedCodec;
        const AVCodec* encoder = avcodec_find_encoder(raw ? AV_CODEC_ID_RAWVIDEO : AV_CODEC_ID_NONE);
        if (!raw) encoder = avcodec_find_encoder_by_name(codec.c_str());
        if (!encoder) throw VelmError("Can't get compression format!");
        s.encoder = avcodec_alloc_context3(encoder);
        if (!s.encoder) throw VelmError("Can't get compression format!");
        s.encoder->pix_fmt = raw ? RawFormat(depth) : EncoderFormat(encoder);
        if (const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(s.encoder->pix_fmt)) {
            s.width = width = FittingSide(width, d->log2_chroma_w);
            s.height = height = FittingSide(height, d->log2_chroma_h);
        }
        s.encoder->width = width;
        s.encoder->height = height;
        s.encoder->time_base = AVRational{1, rate};
        s.encoder->framerate = AVRational{rate, 1};
        s.encoder->max_b_frames = 0;
        s.encoder->gop_size = 12;
        if (codec == "mjpeg") {
            s.encoder->flags |= AV_CODEC_FLAG_QSCALE;
            s.encoder->global_quality = FF_QP2LAMBDA * 3;
            s.encoder->color_range = AVCOL_RANGE_JPEG;
        }
        if (codec == "mpeg4" || codec == "libxvid") {
            // At the default 200 kbit/s every frame of some size is blocky: a
            // fixed quantiser instead, about 0.1 to 0.3 bits a pixel on molecules.
            s.encoder->flags |= AV_CODEC_FLAG_QSCALE;
            s.encoder->global_quality = FF_QP2LAMBDA * 3;
        }
        if (codec == "mpeg4") s.encoder->codec_tag = MKTAG('X', 'V', 'I', 'D');
        if (s.format->oformat->flags & AVFMT_GLOBALHEADER) s.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(s.encoder, encoder, nullptr) < 0) throw VelmError("Couldn't make compressed AVI stream!");
        if (avcodec_parameters_from_context(s.stream->codecpar, s.encoder) < 0)
            throw VelmError("Couldn't make compressed AVI stream!");
        s.stream->time_base = s.encoder->time_base;
        s.bottomUp = raw;
        if (raw) {
            // Uncompressed frames keep the bitmap's bottom-up rows.
            static const char kBottomUp[] = "BottomUp";
            s.stream->codecpar->extradata = static_cast<uint8_t*>(av_mallocz(sizeof kBottomUp + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!s.stream->codecpar->extradata) throw VelmError("Couldn't set compressed AVI format!");
            std::memcpy(s.stream->codecpar->extradata, kBottomUp, sizeof kBottomUp);
            s.stream->codecpar->extradata_size = sizeof kBottomUp;
        }
        if (avformat_write_header(s.format, nullptr) < 0) throw VelmError("Couldn't set compressed AVI format!");
        s.headerWritten = true;

        s.frame = av_frame_alloc();
        s.packet = av_packet_alloc();
        if (!s.frame || !s.packet) throw VelmError("Error creating device context for movie frame!");
        s.frame->format = s.encoder->pix_fmt;
        s.frame->width = width;
        s.frame->height = height;
        if (av_frame_get_buffer(s.frame, 0) < 0) throw VelmError("Error creating device context for movie frame!");
        s.scaler = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, s.encoder->pix_fmt, SWS_POINT, nullptr,
                                  nullptr, nullptr);
        if (!s.scaler) throw VelmError("Can't initialize compressor!");

        try {
            const OffscreenRenderer::Session session(*renderer, width, height);
        } catch (const VelmError&) {
            throw VelmError("Error creating memory device context for movie frame!");
        }
        s.open = true;
        return true;
    } catch (...) {
        Close();
        throw;
    }
}

namespace {
// Hands a frame (or nullptr to flush) to the encoder and writes what comes out.
void Encode(AVFormatContext* format, AVStream* stream, AVCodecContext* encoder, AVFrame* frame, AVPacket* packet) {
    if (avcodec_send_frame(encoder, frame) < 0) throw VelmError("Error compressing frame");
    for (;;) {
        const int r = avcodec_receive_packet(encoder, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return;
        if (r < 0) throw VelmError("Error compressing frame");
        av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
        packet->stream_index = stream->index;
        const int w = av_interleaved_write_frame(format, packet);
        av_packet_unref(packet);
        if (w < 0) throw VelmError("Can't write movie frame! (" + AvReason(w) + ")");
        if (format->pb && format->pb->error < 0)
            throw VelmError("Can't write movie frame! (" + AvReason(format->pb->error) + ")");
    }
}

}  // namespace

void VelmMovie::AddFrame() {
    State& s = *state_;
    if (!s.open) throw VelmError("Invalid state");
    ViewSettings& view = s.renderer->GetScene().settings;
    const int width = view.width, height = view.height;
    view.width = s.width;
    view.height = s.height;
    std::vector<std::uint8_t> pixels;
    try {
        OffscreenRenderer::Session session(*s.renderer, s.width, s.height);
        session.Renderer().SetProjection();
        if (s.updateSurface) {
            SilentUiHooks quiet;
            for (const auto& m : *s.molecules)
                if (m->surface.built) BuildSurface(*m, quiet);
        }
        session.Renderer().RenderPass(*s.molecules, static_cast<int>(PassMode::Draw));
        pixels = session.ReadPixels();
    } catch (...) {
        view.width = width;
        view.height = height;
        throw;
    }
    view.width = width;
    view.height = height;

    if (av_frame_make_writable(s.frame) < 0) throw VelmError("Error compressing frame");
    // GL rows run bottom first. Compressed pictures want the top first;
    // uncompressed frames stay bottom-up, as a bitmap holds them.
    const int stride = 4 * s.width;
    const std::uint8_t* source[1];
    int sourceStride[1];
    if (s.bottomUp) {
        source[0] = pixels.data();
        sourceStride[0] = stride;
    } else {
        source[0] = pixels.data() + static_cast<size_t>(stride) * static_cast<size_t>(s.height - 1);
        sourceStride[0] = -stride;
    }
    sws_scale(s.scaler, source, sourceStride, 0, s.height, s.frame->data, s.frame->linesize);
    s.frame->pts = s.frameCount;
    s.frame->key_frame = 1;
    Encode(s.format, s.stream, s.encoder, s.frame, s.packet);
    ++s.frameCount;
}

void VelmMovie::Finish() {
    State& s = *state_;
    if (!s.open) throw VelmError("Invalid state");
    try {
        Encode(s.format, s.stream, s.encoder, nullptr, s.packet);
        if (const int r = av_write_trailer(s.format); r < 0) throw VelmError("Can't write movie frame! (" + AvReason(r) + ")");
        s.headerWritten = false;
        avio_flush(s.format->pb);
        const int error = s.format->pb->error;
        const int closed = avio_closep(&s.format->pb);
        if (error < 0 || closed < 0) throw VelmError("Can't write movie frame! (" + AvReason(error < 0 ? error : closed) + ")");
        if (!s.file->Commit()) throw VelmError("Can't write movie frame! (" + s.file->Problem() + ")");
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

void VelmMovie::Close() {
    State& s = *state_;
    s.open = false;
    // Unfinished: the trailer only completes the temporary file, which goes.
    if (s.format && s.headerWritten) av_write_trailer(s.format);
    if (s.scaler) sws_freeContext(s.scaler);
    if (s.frame) av_frame_free(&s.frame);
    if (s.packet) av_packet_free(&s.packet);
    if (s.encoder) avcodec_free_context(&s.encoder);
    if (s.format) {
        if (s.format->pb) avio_closep(&s.format->pb);
        avformat_free_context(s.format);
    }
    *state_ = State{};
}

}  // namespace velm
