#ifndef SOUNDSETTINGS_H
#define SOUNDSETTINGS_H

// What the singer asked of the sound: the key, moved up or down in semitones with the tempo kept,
// and vocal reduction, for the rest of the run (not stored: every start plays the songs as they
// are); the volume, muting, and the loudness gain of the song playing (kept elsewhere, by their
// owners). The main window changes them; the audio callback reads them for every slice it plays.
// Any thread.
class SoundSettings
{
public:
    static constexpr int lowestKey = -6;
    static constexpr int highestKey = 6;

    // Semitones from the song's own key, within lowestKey..highestKey.
    static int key();
    // Clamped to lowestKey..highestKey.
    static void setKey(int semitones);
    static bool vocalsReduced();
    static void setVocalsReduced(bool reduced);

    static constexpr int maxVolume = 100;
    // The volume in per cent, 0..maxVolume; at maxVolume (and unmuted, at unity loudness gain)
    // the samples pass untouched.
    static int volume();
    // Clamped to 0..maxVolume.
    static void setVolume(int percent);
    static bool muted();
    static void setMuted(bool muted);
    // The song's loudness-normalisation gain as a linear factor, 1 for none; clamped to
    // 0..maxLoudnessGain. Applied together with the volume.
    static constexpr double maxLoudnessGain = 4.0;
    static double loudnessGain();
    static void setLoudnessGain(double factor);
};

#endif
