#include "audioduration.h"

#include <QFile>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
}

#include <cmath>

namespace qyr::daisy {

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
    std::optional<double> seconds;
    if (avformat_find_stream_info(ctx, nullptr) >= 0 && ctx->duration > 0) {
        const double d = double(ctx->duration) / AV_TIME_BASE;
        if (std::isfinite(d))
            seconds = d;
    }
    avformat_close_input(&ctx);
    return seconds;
}

} // namespace qyr::daisy
