#ifndef SOUNDSETTINGS_H
#define SOUNDSETTINGS_H

// What the singer asked of the sound for the rest of the run: the key, moved up or down in
// semitones with the tempo kept, and vocal reduction. Not stored: every start plays the songs as
// they are. The main window changes them; the audio callback reads them for every slice it plays.
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
};

#endif
