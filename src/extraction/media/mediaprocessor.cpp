#include "mediaprocessor.h"

#include "common/stringtable.h"

#include <QDeadlineTimer>
#include <QStringList>

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <cerrno>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace {

// Demuxers for the handled extensions. None of them follows references to other files or URLs
// (the MOV one only with "enable_drefs", which stays off).
constexpr char Demuxers[] = "mov,mp3,wav,w64,aac,loas,flac,ogg,aiff,avi,matroska,asf,mpeg";

// Opening and probing reads at most a few megabytes; this only stops a pathological file.
constexpr int ProbeBudgetMs = 20'000;

void silenceFfmpeg()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

struct InputCloser {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

constexpr int ReadBufferSize = 64 * 1024;

// FFmpeg reads the open file through these, at positions of its own: it never gets a path to open.
struct FileReader {
    int descriptor = -1;
    qint64 size = 0;
    qint64 position = 0;
};

int readPacket(void *opaque, uint8_t *buffer, int wanted)
{
    auto *file = static_cast<FileReader *>(opaque);
    ssize_t got = -1;
    do
        got = ::pread(file->descriptor, buffer, size_t(wanted), off_t(file->position));
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return AVERROR(errno);
    if (got == 0)
        return AVERROR_EOF;
    file->position += got;
    return int(got);
}

int64_t seekTo(void *opaque, int64_t offset, int whence)
{
    auto *file = static_cast<FileReader *>(opaque);
    if (whence & AVSEEK_SIZE)
        return file->size;
    const int64_t origin = (whence & ~AVSEEK_FORCE) == SEEK_CUR   ? file->position
                           : (whence & ~AVSEEK_FORCE) == SEEK_END ? file->size
                                                                  : 0;
    if (origin + offset < 0)
        return AVERROR(EINVAL);
    file->position = origin + offset;
    return file->position;
}

struct IOCloser {
    void operator()(AVIOContext *io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using IO = std::unique_ptr<AVIOContext, IOCloser>;

int deadlinePassed(void *opaque)
{
    return static_cast<const QDeadlineTimer *>(opaque)->hasExpired() ? 1 : 0;
}

ExtractionError failure(const QString &reason)
{
    return ExtractionError{StringTable::text("media.unreadable").arg(reason)};
}

QString ffmpegReason(int code)
{
    if (code == AVERROR_EXIT)
        return StringTable::text("media.timeout");
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

bool isAttachedPicture(const AVStream *stream)
{
    return (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
}

// Whether probing found real audio or video; a misdetected text file has streams without either.
bool hasPlayableStream(const AVFormatContext *context)
{
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVCodecParameters *codec = context->streams[i]->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO && codec->sample_rate > 0)
            return true;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !isAttachedPicture(context->streams[i]) && codec->width > 0 &&
            codec->height > 0)
            return true;
    }
    return false;
}

QString tagValue(const AVDictionary *tags, const char *name)
{
    const AVDictionaryEntry *entry = av_dict_get(tags, name, nullptr, 0);
    return entry != nullptr && entry->value != nullptr ? QString::fromUtf8(entry->value) : QString();
}

// Whether a tag's value says something: not blank, not a placeholder an unset field keeps
// (an ID3 comment "0"), not the encoder's note about itself.
bool isMeaningful(const QString &value)
{
    return !MetadataMap::isPlaceholder(value) && !MetadataMap::isToolNote(value);
}

// The first of `names` (in order of preference) that the container carries with a meaningful
// value; failing that, the first stream that does. Ogg and FLAC keep their comments on the audio
// stream.
QString findTag(const AVFormatContext *context, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (QString value = tagValue(context->metadata, name); isMeaningful(value))
            return value.trimmed();
    }
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        for (const char *name : names) {
            if (QString value = tagValue(context->streams[i]->metadata, name); isMeaningful(value))
                return value.trimmed();
        }
    }
    return {};
}

// FFmpeg's tag names, normalised across containers, to ours. "date" prefers the recording
// date of ID3, Vorbis and QuickTime user data over the file's creation time, which phones
// and cameras write instead.
void readTags(const AVFormatContext *context, MetadataMap &metadata)
{
    struct Mapping {
        QString key;
        std::initializer_list<const char *> names;
    };
    const Mapping mappings[]{
        {QStringLiteral("title"), {"title"}},
        {QStringLiteral("artist"), {"artist"}},
        {QStringLiteral("album"), {"album"}},
        {QStringLiteral("date"), {"date", "com.apple.quicktime.creationdate", "creation_time"}},
        {QStringLiteral("description"), {"description", "comment"}},
    };
    for (const Mapping &mapping : mappings) {
        if (const QString value = findTag(context, mapping.names); !value.isEmpty())
            metadata.set(mapping.key, value);
    }
}

QString trackList(const AVFormatContext *context)
{
    QStringList tracks;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        const AVCodecParameters *codec = stream->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_VIDEO && !isAttachedPicture(stream)) {
            tracks << (codec->width > 0 && codec->height > 0
                           ? QStringLiteral("Video: %1x%2").arg(codec->width).arg(codec->height)
                           : QStringLiteral("Video"));
        } else if (codec->codec_type == AVMEDIA_TYPE_AUDIO) {
            tracks << QStringLiteral("Audio");
        }
    }
    return tracks.join(QStringLiteral(", "));
}

} // namespace

MediaProcessor::MediaProcessor()
    : ExtensionProcessor({QStringLiteral("mp3"), QStringLiteral("m4a"), QStringLiteral("wav"), QStringLiteral("aac"),
                          QStringLiteral("flac"), QStringLiteral("ogg"), QStringLiteral("oga"), QStringLiteral("opus"),
                          QStringLiteral("aiff"), QStringLiteral("mp4"), QStringLiteral("mov"), QStringLiteral("m4v"),
                          QStringLiteral("avi"), QStringLiteral("mkv"), QStringLiteral("wmv"), QStringLiteral("webm")})
{
}

ExtractionResult MediaProcessor::extractFrom(const SourceFile &file) const
{
    if (!file.isOpen())
        return std::unexpected(failure(file.access() == SourceFile::Access::notContent
                                           ? StringTable::text("media.notRegular")
                                           : StringTable::text("media.notFound")));
    silenceFfmpeg();

    FileReader reader{file.descriptor(), file.size(), 0};
    auto *buffer = static_cast<unsigned char *>(av_malloc(ReadBufferSize));
    const IO io(buffer ? avio_alloc_context(buffer, ReadBufferSize, 0, &reader, &readPacket, nullptr, &seekTo)
                       : nullptr);
    if (!io) {
        av_free(buffer);
        return std::unexpected(failure(StringTable::text("media.noMemory")));
    }
    QDeadlineTimer deadline(ProbeBudgetMs);
    AVFormatContext *raw = avformat_alloc_context();
    if (raw == nullptr)
        return std::unexpected(failure(StringTable::text("media.noMemory")));
    raw->pb = io.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    raw->interrupt_callback = AVIOInterruptCB{&deadlinePassed, &deadline};
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", Demuxers, 0);
    // Only the name goes in, as a hint for probing; nothing is opened by it.
    const QByteArray name = file.path().mid(file.path().lastIndexOf(u'/') + 1).toUtf8();
    const int opened = avformat_open_input(&raw, name.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) // FFmpeg has freed the context
        return std::unexpected(failure(ffmpegReason(opened)));
    const Input input(raw);
    if (const int probed = avformat_find_stream_info(input.get(), nullptr); probed < 0)
        return std::unexpected(failure(ffmpegReason(probed)));
    if (!hasPlayableStream(input.get()))
        return std::unexpected(failure(StringTable::text("media.noStream")));

    MetadataMap metadata{{MetadataMap::SourceKey, FileContext::MediaSource}};
    if (input->duration != AV_NOPTS_VALUE && input->duration >= 0) {
        const qint64 total = input->duration / AV_TIME_BASE;
        metadata.set(QStringLiteral("duration"), QString::asprintf("%lld:%02lld", static_cast<long long>(total / 60),
                                                                   static_cast<long long>(total % 60)));
    }
    readTags(input.get(), metadata);
    if (const QString tracks = trackList(input.get()); !tracks.isEmpty())
        metadata.set(QStringLiteral("tracks"), tracks);

    return FileContext::make(file, formatMetadata(metadata).join(u'\n'), metadata);
}
