#ifndef MP3FIXTURES_H
#define MP3FIXTURES_H

#include <QByteArray>
#include <QString>

// MPEG audio files made inside a test, so no test depends on a stored sample.
//
//   QTemporaryDir dir;
//   const QString song = dir.filePath("song.mp3");
//   Mp3Fixtures::Sine sine;           // 440 Hz, 44 100 Hz stereo, 1 s, 128 kbps CBR
//   sine.seconds = 3;
//   QVERIFY(Mp3Fixtures::writeSine(song, sine));
//   QVERIFY(Mp3Fixtures::writeFile(dir.filePath("ten.mp3"), Mp3Fixtures::emptyFrames(10)));
class Mp3Fixtures
{
public:
    // A sine tone encoded with LAME. The file starts with a LAME info frame that tells the
    // decoder the encoder delay and padding, so a gapless decode holds exactly
    // round(seconds * sampleRate) samples per channel.
    struct Sine
    {
        double frequency = 440.0; // Hz
        int sampleRate = 44100;   // 22050 or 24000 give MPEG-2, 11025 MPEG-2.5
        int channels = 2;         // 1 or 2; both channels carry the same tone
        double seconds = 1.0;
        int bitrate = 128;      // kbps, constant bit rate (used when vbrQuality < 0)
        int vbrQuality = -1;    // 0 (best) to 9 for variable bit rate instead
        double amplitude = 0.5; // of full scale
        double clickAt = -1.0;  // seconds: one sample at 0.9 of full scale there; none if < 0
    };

    // The encoded file's bytes; empty when LAME refused the settings or the bit rate left no
    // room for the info frame (frames need about 200 bytes: 64 kbps from 22 050 Hz up,
    // 32 kbps at 11 025 Hz).
    static QByteArray encodeSine(const Sine &sine);
    // Encodes and writes to path; false on any failure.
    static bool writeSine(const QString &path, const Sine &sine);

    // count MPEG-1 frames of the given layer (1, 2 or 3), 44 100 Hz mono at 32 kbps, whose
    // side information or bit allocation is all zero: each decodes to silence, 1152 samples
    // (384 for Layer I). No info frame, no tags, so a file of these holds exactly count frames.
    // Layer II and III frames are emptyFrameBytes long, Layer I frames 32 bytes.
    static QByteArray emptyFrames(int count, int layer = 3);
    static constexpr int emptyFrameBytes = 104;

    // Writes bytes to path (replacing it); false on any failure.
    static bool writeFile(const QString &path, const QByteArray &bytes);
};

#endif
