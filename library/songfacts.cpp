#include "songfacts.h"

#include "regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/relativevolumeframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfilestream.h>

#include <sys/stat.h>
#include <zip.h>

namespace {

QString fromTagLib(const TagLib::String &text)
{
    return QString::fromUtf8(text.toCString(true)).trimmed();
}

// "-6.52 dB" and the like; nothing when no number leads.
std::optional<double> leadingNumber(const QString &text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([-+]?[0-9]*\\.?[0-9]+)"));
    const auto match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

void readReplayGain(TagLib::ID3v2::Tag *tag, SongFacts &facts)
{
    const auto &frames = tag->frameListMap();
    const auto txxx = frames.find("TXXX");
    if (txxx != frames.end()) {
        for (TagLib::ID3v2::Frame *frame : txxx->second) {
            auto *user = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
            if (!user || user->fieldList().size() < 2)
                continue;
            const QString name = fromTagLib(user->description()).toUpper();
            const QString value = fromTagLib(user->fieldList()[1]);
            if (name == QLatin1String("REPLAYGAIN_TRACK_GAIN"))
                facts.tagGainDb = leadingNumber(value);
            else if (name == QLatin1String("REPLAYGAIN_TRACK_PEAK"))
                facts.tagPeak = leadingNumber(value);
        }
    }
    const auto rva2 = frames.find("RVA2");
    if (!facts.tagGainDb && rva2 != frames.end() && !rva2->second.isEmpty()) {
        auto *volume = dynamic_cast<TagLib::ID3v2::RelativeVolumeFrame *>(rva2->second.front());
        if (volume)
            facts.tagGainDb = volume->volumeAdjustment(TagLib::ID3v2::RelativeVolumeFrame::MasterVolume);
    }
    if (facts.tagGainDb && (!std::isfinite(*facts.tagGainDb) || std::abs(*facts.tagGainDb) > 60))
        facts.tagGainDb.reset();
    if (facts.tagPeak && (!std::isfinite(*facts.tagPeak) || *facts.tagPeak <= 0))
        facts.tagPeak.reset();
}

// Songs named "Artist - Title" without tags get both from the name.
void namesFromFile(const QString &path, SongFacts &facts)
{
    if (!facts.title.isEmpty())
        return;
    const QString base = QFileInfo(path).completeBaseName();
    const int dash = base.indexOf(QLatin1String(" - "));
    if (dash > 0 && facts.artist.isEmpty()) {
        facts.artist = base.left(dash).trimmed();
        facts.title = base.mid(dash + 3).trimmed();
    } else {
        facts.title = base;
    }
}

std::optional<SongFacts> readMp3(const QString &path)
{
    // Opened as a regular file only: a pipe put in its place since the walk saw it would block
    // the scan.
    const int fd = RegularFile::open(path);
    if (fd < 0)
        return std::nullopt;
    TagLib::FileStream stream(fd, true); // closes fd
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true,
                            TagLib::AudioProperties::Fast);
    if (!file.isValid() || !file.audioProperties() ||
        file.audioProperties()->lengthInMilliseconds() <= 0)
        return std::nullopt;
    SongFacts facts;
    facts.milliseconds = file.audioProperties()->lengthInMilliseconds();
    if (TagLib::Tag *tag = file.tag()) {
        facts.title = fromTagLib(tag->title());
        facts.artist = fromTagLib(tag->artist());
        facts.album = fromTagLib(tag->album());
    }
    if (TagLib::ID3v2::Tag *id3 = file.ID3v2Tag()) {
        const auto &frames = id3->frameListMap();
        facts.tagLyrics = (frames.contains("SYLT") && !frames["SYLT"].isEmpty()) ||
                          (frames.contains("USLT") && !frames["USLT"].isEmpty());
        readReplayGain(id3, facts);
    }
    return facts;
}

// A zip counts as a song when it holds an .mp3 and a .cdg of the same name.
std::optional<SongFacts> readZip(const QString &path)
{
    int error = 0;
    zip_t *archive = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
    if (!archive)
        return std::nullopt;
    QSet<QString> mp3s, cdgs;
    const zip_int64_t count = std::min<zip_int64_t>(zip_get_num_entries(archive, 0), 10000);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *entry = zip_get_name(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (!entry)
            continue;
        const QString lower = QString::fromUtf8(entry).toLower();
        if (lower.endsWith(QLatin1String(".mp3")))
            mp3s << lower.chopped(4);
        else if (lower.endsWith(QLatin1String(".cdg")))
            cdgs << lower.chopped(4);
    }
    zip_discard(archive);
    if (!mp3s.intersects(cdgs))
        return std::nullopt;
    SongFacts facts;
    facts.zippedGraphics = true;
    return facts;
}

} // namespace

std::optional<SongFacts> SongFacts::read(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    std::optional<SongFacts> facts = path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)
                                         ? readZip(path)
                                         : readMp3(path);
    if (facts)
        namesFromFile(path, *facts);
    return facts;
}
