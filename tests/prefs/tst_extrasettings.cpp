// The second settings file: values written are read back by a new store, and whatever lies in
// the file's place (damage, wrong types, a FIFO, a huge file) reads as the defaults.

#include "extrasettings.h"

#include <QFile>
#include <QJsonValue>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class ExtraSettingsTest : public QObject
{
    Q_OBJECT

private slots:
    void valuesSurviveARestart();
    void damagedFilesGiveDefaults_data();
    void damagedFilesGiveDefaults();
    void unwritableFolderKeepsValuesInMemory();
};

void ExtraSettingsTest::valuesSurviveARestart()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(ExtraSettings::fileBaseName);
    {
        ExtraSettings settings(path);
        QVERIFY(settings.setValue(QStringLiteral("volume"), 70));
        QVERIFY(settings.setValue(QStringLiteral("muted"), true));
        QVERIFY(settings.setValue(QStringLiteral("name"), QStringLiteral("Zoë")));
    }
    ExtraSettings again(path);
    QCOMPARE(again.intValue(QStringLiteral("volume"), 100, 0, 100), 70);
    QCOMPARE(again.boolValue(QStringLiteral("muted"), false), true);
    QCOMPARE(again.stringValue(QStringLiteral("name"), QString()), QStringLiteral("Zoë"));
    QCOMPARE(again.intValue(QStringLiteral("volume"), 100, 0, 50), 100); // out of the caller's range
}

void ExtraSettingsTest::damagedFilesGiveDefaults_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("empty") << QByteArray();
    QTest::addRow("cut short") << QByteArray("{\"volume\": 7");
    QTest::addRow("an array") << QByteArray("[70, true]");
    QTest::addRow("wrong types") << QByteArray("{\"volume\": \"70\", \"muted\": 1, \"name\": 5}");
    QTest::addRow("out of range") << QByteArray("{\"volume\": 1e308, \"name\": \"a\\u0007b\"}");
    QTest::addRow("fractional int") << QByteArray("{\"volume\": 70.5}");
    QTest::addRow("binary") << QByteArray("\xff\xfe\0\0garbage", 11);
    QTest::addRow("over the size limit")
        << QByteArray("{\"volume\": 70, \"pad\": \"") + QByteArray(ExtraSettings::maxFileSize, 'x') +
               QByteArray("\"}");
    QTest::addRow("a FIFO") << QByteArray("fifo");
}

void ExtraSettingsTest::damagedFilesGiveDefaults()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir folder;
    const QString path = folder.filePath(ExtraSettings::fileBaseName);
    if (bytes == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    ExtraSettings settings(path);
    QCOMPARE(settings.intValue(QStringLiteral("volume"), 100, 0, 100), 100);
    QCOMPARE(settings.boolValue(QStringLiteral("muted"), false), false);
    QCOMPARE(settings.stringValue(QStringLiteral("name"), QStringLiteral("x")), QStringLiteral("x"));
}

void ExtraSettingsTest::unwritableFolderKeepsValuesInMemory()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("missing/") + ExtraSettings::fileBaseName);
    ExtraSettings settings(path);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Unable to write")));
    QVERIFY(!settings.setValue(QStringLiteral("volume"), 40));
    QCOMPARE(settings.intValue(QStringLiteral("volume"), 100, 0, 100), 40);
}

QTEST_GUILESS_MAIN(ExtraSettingsTest)
#include "tst_extrasettings.moc"
