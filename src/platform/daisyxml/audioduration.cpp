#include "audioduration.h"
#include "../files.h"

#include <QFile>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <cmath>

namespace qyr::daisy {

namespace {

// The length libavformat finds in an opened file; the file is closed.
std::optional<double> lengthOf(AVFormatContext *ctx)
{
    std::optional<double> seconds;
    if (avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->duration > 0) {
        const double d = double(ctx->duration) / AV_TIME_BASE;
        if (std::isfinite(d))
            seconds = d;
    }
    avformat_close_input(&ctx);
    return seconds;
}

int readPacket(void *stream, uint8_t *to, int size)
{
    const qint64 n = static_cast<IReadStream *>(stream)->read(reinterpret_cast<char *>(to), size);
    return n > 0 ? int(n) : n == 0 ? AVERROR_EOF : AVERROR(EIO);
}

int64_t seekTo(void *opaque, int64_t offset, int whence)
{
    auto *stream = static_cast<IReadStream *>(opaque);
    if (whence & AVSEEK_SIZE)
        return stream->size();
    // libavformat asks from the start of the file only here: it keeps its own position.
    if ((whence & ~AVSEEK_FORCE) == SEEK_END)
        offset += stream->size();
    return stream->seek(offset) ? offset : -1;
}

} // namespace

std::optional<double> audioDuration(const QString &path)
{
    av_log_set_level(AV_LOG_QUIET);
    AVFormatContext *ctx = nullptr;
    // Local files only: a book's file is never a way to the network.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const QByteArray name = QFile::encodeName(path);
    const int opened = avformat_open_input(&ctx, name.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return std::nullopt;
    return lengthOf(ctx);
}

std::optional<double> audioDuration(IReadStream &stream)
{
    av_log_set_level(AV_LOG_QUIET);
    constexpr int kBuffer = 64 * 1024;
    auto *buffer = static_cast<unsigned char *>(av_malloc(kBuffer));
    AVIOContext *io = buffer ? avio_alloc_context(buffer, kBuffer, 0, &stream, readPacket, nullptr, seekTo) : nullptr;
    AVFormatContext *ctx = io ? avformat_alloc_context() : nullptr;
    std::optional<double> seconds;
    if (ctx) {
        ctx->pb = io;
        // avformat_open_input frees the context when it fails.
        if (avformat_open_input(&ctx, nullptr, nullptr, nullptr) >= 0)
            seconds = lengthOf(ctx);
    }
    if (io) {
        av_freep(&io->buffer);
        avio_context_free(&io);
    } else {
        av_free(buffer);
    }
    return seconds;
}

} // namespace qyr::daisy
