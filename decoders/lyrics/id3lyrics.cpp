#include "id3lyrics.h"

#include "lrcparser.h"
#include "regularfile.h"

#include <QFile>
#include <QString>

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/tfilestream.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <algorithm>
#include <limits>

using TagLib::ID3v2::SynchronizedLyricsFrame;
using TagLib::ID3v2::UnsynchronizedLyricsFrame;

namespace {

QString fromTagLib(const TagLib::String &s)
{
    return QString::fromUtf8(s.toCString(true));
}

TagLib::String toTagLib(const QString &s)
{
    return TagLib::String(s.toUtf8().constData(), TagLib::String::UTF8);
}

void sortByTime(LyricSheet &sheet)
{
    std::stable_sort(sheet.begin(), sheet.end(),
                     [](const LyricLine &a, const LyricLine &b) { return a.ms < b.ms; });
}

bool isMpegAudio(TagLib::MPEG::File &file)
{
    const TagLib::MPEG::Properties *audio = file.audioProperties();
    return file.isValid() && audio && audio->sampleRate() > 0 && audio->layer() >= 1 &&
           audio->layer() <= 3;
}

} // namespace

qint64 Id3Lyrics::mpegFramesToMs(qint64 frames, int sampleRate, bool mpeg1, int layer)
{
    if (sampleRate <= 0 || layer < 1 || layer > 3 || frames < 0)
        return -1;
    const qint64 samples = layer == 1 ? 384 : (layer == 2 || mpeg1) ? 1152 : 576;
    return frames * samples * 1000 / sampleRate;
}

LyricSheet Id3Lyrics::fromSyltEntries(const QVector<LyricLine::Piece> &entries)
{
    auto normalised = [](QString text) {
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        return text;
    };
    const bool wordByWord = std::any_of(entries.begin(), entries.end(), [&](const auto &entry) {
        return normalised(entry.text).startsWith(QLatin1Char('\n'));
    });

    LyricSheet sheet;
    if (!wordByWord) {
        // Each entry a line; one holding line feeds is several lines sharing its time.
        for (const LyricLine::Piece &entry : entries) {
            for (const QString &part : normalised(entry.text).split(QLatin1Char('\n')))
                sheet.append(LyricLine::fromPieces({{entry.ms, part}}, false));
        }
        sortByTime(sheet);
        return sheet;
    }

    QVector<LyricLine::Piece> pieces;
    qint64 endMs = -1;
    auto finish = [&] {
        if (!pieces.isEmpty())
            sheet.append(LyricLine::fromPieces(pieces, true, endMs));
        pieces.clear();
        endMs = -1;
    };
    for (const LyricLine::Piece &entry : entries) {
        const QStringList parts = normalised(entry.text).split(QLatin1Char('\n'));
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (i > 0) { // a line feed starts a new line at this entry's time
                finish();
                pieces.append({entry.ms, parts[i]});
            } else if (parts.size() == 1 && parts[i].isEmpty()) {
                if (!pieces.isEmpty())
                    endMs = entry.ms; // no text: the end of the last word
            } else if (!parts[i].isEmpty()) {
                pieces.append({entry.ms, parts[i]});
                if (!parts[i].trimmed().isEmpty())
                    endMs = -1;
            }
        }
    }
    finish();
    sortByTime(sheet);
    return sheet;
}

QVector<LyricLine::Piece> Id3Lyrics::toSyltEntries(const LyricSheet &sheet)
{
    const bool wordByWord = std::any_of(
        sheet.begin(), sheet.end(), [](const LyricLine &line) { return !line.words.isEmpty(); });
    QVector<LyricLine::Piece> entries;
    for (const LyricLine &line : sheet) {
        if (!wordByWord) {
            entries.append({line.ms, line.text});
            continue;
        }
        // A line feed at the line's time starts it; the first word joins that entry when it
        // starts with the line.
        entries.append(
            {line.ms, QLatin1Char('\n') + (line.words.isEmpty() ? line.text : QString())});
        if (line.words.isEmpty())
            continue;
        for (qsizetype w = 0; w < line.words.size(); ++w) {
            // A word's entry runs from its start to the next word's; the first also takes any
            // text before it.
            const int from = w == 0 ? 0 : line.words[w].start;
            const int to = w + 1 < line.words.size() ? line.words[w + 1].start : line.text.size();
            const QString text = line.text.mid(from, to - from);
            if (w == 0 && entries.last().text == QLatin1String("\n") &&
                entries.last().ms == line.words[w].ms)
                entries.last().text += text;
            else
                entries.append({line.words[w].ms, text});
        }
        if (line.endMs >= 0)
            entries.append({line.endMs, QString()});
    }
    return entries;
}

LyricSheet Id3Lyrics::read(const QString &songPath, QString *source)
{
    if (source)
        source->clear();
    // Only a regular file: a pipe would block the reader, a device never end.
    const int fd = RegularFile::open(songPath);
    if (fd < 0)
        return {};
    TagLib::FileStream stream(fd, true); // closes fd
    TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), true,
                            TagLib::AudioProperties::Fast);
    if (!isMpegAudio(file) || !file.hasID3v2Tag())
        return {};
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
    const TagLib::MPEG::Properties *audio = file.audioProperties();

    for (TagLib::ID3v2::Frame *frame : tag->frameList("SYLT")) {
        auto *sylt = dynamic_cast<SynchronizedLyricsFrame *>(frame);
        if (!sylt || sylt->type() != SynchronizedLyricsFrame::Lyrics)
            continue;
        const bool inFrames =
            sylt->timestampFormat() == SynchronizedLyricsFrame::AbsoluteMpegFrames;
        QVector<LyricLine::Piece> entries;
        for (const SynchronizedLyricsFrame::SynchedText &entry : sylt->synchedText()) {
            const qint64 ms =
                inFrames ? mpegFramesToMs(entry.time, audio->sampleRate(),
                                          audio->version() == TagLib::MPEG::Header::Version1,
                                          audio->layer())
                         : qint64(entry.time);
            entries.append({ms, fromTagLib(entry.text)});
        }
        LyricSheet sheet = fromSyltEntries(entries);
        if (std::any_of(sheet.begin(), sheet.end(), [](const auto &l) { return !l.isBreak(); })) {
            if (source)
                *source = QStringLiteral("ID3v2 SYLT");
            return sheet;
        }
    }
    for (TagLib::ID3v2::Frame *frame : tag->frameList("USLT")) {
        auto *uslt = dynamic_cast<UnsynchronizedLyricsFrame *>(frame);
        if (!uslt)
            continue;
        LyricSheet sheet = LrcParser::parse(fromTagLib(uslt->text()));
        if (std::any_of(sheet.begin(), sheet.end(), [](const auto &l) { return !l.isBreak(); })) {
            if (source)
                *source = QStringLiteral("ID3v2 USLT");
            return sheet;
        }
    }
    return {};
}

bool Id3Lyrics::writeSylt(const QString &songPath, const LyricSheet &sheet, QString *error)
{
    const QByteArray name = QFile::encodeName(songPath);
    TagLib::MPEG::File file(name.constData(), true, TagLib::AudioProperties::Fast);
    if (!isMpegAudio(file)) {
        *error = QStringLiteral("%1 is not MPEG audio").arg(songPath);
        return false;
    }
    if (file.readOnly()) {
        *error = QStringLiteral("%1 cannot be written").arg(songPath);
        return false;
    }
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    const TagLib::ID3v2::FrameList older = tag->frameList("SYLT");
    for (TagLib::ID3v2::Frame *frame : older) {
        auto *sylt = dynamic_cast<SynchronizedLyricsFrame *>(frame);
        if (sylt && sylt->type() == SynchronizedLyricsFrame::Lyrics)
            tag->removeFrame(frame, true);
    }

    auto *sylt = new SynchronizedLyricsFrame(TagLib::String::UTF8);
    sylt->setLanguage("XXX"); // language not known
    sylt->setTimestampFormat(SynchronizedLyricsFrame::AbsoluteMilliseconds);
    sylt->setType(SynchronizedLyricsFrame::Lyrics);
    SynchronizedLyricsFrame::SynchedTextList list;
    for (const LyricLine::Piece &entry : toSyltEntries(sheet)) {
        const qint64 ms = std::clamp<qint64>(entry.ms, 0, std::numeric_limits<quint32>::max());
        list.append(SynchronizedLyricsFrame::SynchedText(quint32(ms), toTagLib(entry.text)));
    }
    sylt->setSynchedText(list);
    tag->addFrame(sylt);

    if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4,
                   TagLib::File::DoNotDuplicate)) {
        *error = QStringLiteral("could not write the tag to %1").arg(songPath);
        return false;
    }
    return true;
}
