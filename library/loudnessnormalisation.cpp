#include "loudnessnormalisation.h"

#include "extrasettings.h"
#include "libraryindex.h"
#include "soundsettings.h"

#include <QAction>

LoudnessNormalisation::LoudnessNormalisation(const LibraryIndex &index, QObject *parent)
    : QObject(parent), index(index)
{
    toggle = new QAction(QStringLiteral("Loudness Normalisation"), this);
    toggle->setCheckable(true);
    toggle->setChecked(ExtraSettings::instance().boolValue(QLatin1String(settingsKey), true));
    connect(toggle, &QAction::toggled, this, &LoudnessNormalisation::changed);
}

bool LoudnessNormalisation::enabled() const
{
    return toggle->isChecked();
}

void LoudnessNormalisation::songStarted(const QString &path)
{
    currentSong = path;
    apply();
}

void LoudnessNormalisation::changed(bool on)
{
    ExtraSettings::instance().setValue(QLatin1String(settingsKey), on);
    apply();
}

void LoudnessNormalisation::apply()
{
    SoundSettings::setLoudnessGain(enabled() && !currentSong.isEmpty()
                                       ? index.loudnessGain(currentSong)
                                       : 1.0);
}
