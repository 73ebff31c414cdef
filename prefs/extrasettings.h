#ifndef EXTRASETTINGS_H
#define EXTRASETTINGS_H

#include <QJsonObject>
#include <QString>

#include <memory>

// Settings the preferences record does not hold (volume, views, party and the like), kept in
// VantrelKivo.conf beside the preferences file as one JSON object of named values. A missing,
// damaged or oversized file, a value of the wrong type or out of its range reads as the default
// the caller gives. Every change is written through at once, atomically: the old file is replaced
// only by a complete new one; when the disk refuses, the value stays in effect in memory, one
// warning is logged, and the next change tries again.
// GUI thread only.
class ExtraSettings
{
public:
    static constexpr const char *fileBaseName = "VantrelKivo.conf";
    static constexpr qint64 maxFileSize = 1 << 20;

    // The store beside the preferences file in use (the standard one when none is open); made on
    // first call, and made anew when the preferences file in use has changed.
    static ExtraSettings &instance();

    explicit ExtraSettings(const QString &fileName);

    QString fileName() const { return path; }
    bool boolValue(const QString &key, bool fallback) const;
    int intValue(const QString &key, int fallback, int min, int max) const;
    double realValue(const QString &key, double fallback, double min, double max) const;
    // Strings longer than maxLength, or holding control characters, read as fallback.
    QString stringValue(const QString &key, const QString &fallback, int maxLength = 4096) const;

    // Stores value under key and writes the file; false when the file could not be written.
    bool setValue(const QString &key, const QJsonValue &value);

private:
    void readFile();
    bool writeFile();

    QString path;
    QJsonObject values;
    bool warnedOfWriteError = false;
};

#endif // EXTRASETTINGS_H
