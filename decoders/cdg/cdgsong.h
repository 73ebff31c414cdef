#ifndef CDGSONG_H
#define CDGSONG_H

#include "cdgscreen.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The CD+G graphics of one song: the packets of a .cdg file, 300 a second, packet n shown when
// the sound of time n/300 s is heard, and the screen they draw at any place. Reading plays the
// packets through once, counting the changes and keeping a copy of the screen every few
// seconds, so that any place is reached exactly by replaying from the copy before it. Any
// thread, one at a time.
class CdgSong
{
public:
    static constexpr qint64 maxFileSize = qint64(200) << 20;
    static constexpr int packetsPerSecond = 300;
    // Screen copies are kept every 10 s, further apart in a very long file, at most this many.
    static constexpr int snapshotInterval = 10 * packetsPerSecond;
    static constexpr int maxSnapshots = 256;

    // Reads a whole regular file of at most maxFileSize bytes; false, with error saying why and
    // the song empty, otherwise.
    bool open(const QString &path, QString *error = nullptr);
    // Takes bytes as the file's contents; a part packet at the end is ignored.
    void setBytes(const QByteArray &bytes);

    int packetCount() const { return int(packets.size() / CdgScreen::packetSize); }
    qint64 durationMs() const { return qint64(packetCount()) * 1000 / packetsPerSecond; }
    // Packets that change the picture seen when the song is played through.
    int changeCount() const { return changes; }

    // Brings the screen to where the first count packets (clamped) have been carried out, going
    // on from where it stands or from the copy before count; true when the picture may differ
    // from the one before, its changed area then saying where.
    bool seek(int count);
    int position() const { return applied; }
    CdgScreen &screen() { return current; }

    // How many packets are shown while a frame (1152 samples at 44.1 kHz, counted from 1) is
    // heard: those whose time has come by the frame's start. None before the first frame.
    static int packetsForFrame(int frame);

private:
    QByteArray packets;
    std::vector<CdgScreen> snapshots; // snapshots[k]: the screen after k * interval packets
    int interval = snapshotInterval;
    int changes = 0;
    CdgScreen current;
    int applied = 0;
};

#endif // CDGSONG_H
