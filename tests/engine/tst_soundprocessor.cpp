// Vocal reduction on sound fed straight to the processing stage: what both channels hold alike
// cancels, what only one holds keeps its level, and the bass under the crossover survives. The
// volume stage after it: full volume is bit for bit, other settings scale and saturate, and a
// change is ramped without a step.

#include "soundoutput.h"
#include "soundprocessor.h"
#include "soundsettings.h"
#include "volumestage.h"

#include <QtTest>

#include <cmath>
#include <vector>

class TestSoundProcessor : public QObject
{
    Q_OBJECT

private slots:
    void vocalReduction_data();
    void vocalReduction();
    void volumeScalesEverySample_data();
    void volumeScalesEverySample();
    void volumeChangeIsRamped_data();
    void volumeChangeIsRamped();
    void cleanup();
};

namespace {
void setVolume(int percent, bool muted, double loudness)
{
    SoundSettings::setVolume(percent);
    SoundSettings::setMuted(muted);
    SoundSettings::setLoudnessGain(loudness);
}
} // namespace

void TestSoundProcessor::cleanup()
{
    setVolume(SoundSettings::maxVolume, false, 1.0);
}

// Every 16-bit value through a fresh stage (no ramp), stereo: within 1 LSB of the exact product,
// clamped to 16 bits, never wrapped; at full volume bit for bit.
void TestSoundProcessor::volumeScalesEverySample_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<bool>("muted");
    QTest::addColumn<double>("loudness");
    QTest::addColumn<double>("factor");
    QTest::addRow("100 %% is bit for bit") << 100 << false << 1.0 << 1.0;
    QTest::addRow("50 %% halves") << 50 << false << 1.0 << 0.5;
    QTest::addRow("muted is silent") << 100 << true << 1.0 << 0.0;
    QTest::addRow("70 %% with a loudness gain of 1.2") << 70 << false << 1.2 << 0.84;
    QTest::addRow("a loudness gain of 4 saturates") << 100 << false << 4.0 << 4.0;
}

void TestSoundProcessor::volumeScalesEverySample()
{
    QFETCH(int, percent);
    QFETCH(bool, muted);
    QFETCH(double, loudness);
    QFETCH(double, factor);
    setVolume(percent, muted, loudness);
    std::vector<qint16> input(65536);
    for (size_t i = 0; i < input.size(); ++i)
        input[i] = qint16(int(i) - 32768);
    std::vector<qint16> output = input;
    VolumeStage stage;
    stage.apply(output.data(), int(output.size() / 2), 2, VolumeStage::settingsGain());
    if (factor == 1.0)
        QVERIFY(output == input);
    for (size_t i = 0; i < input.size(); ++i) {
        const double exact = std::clamp(input[i] * factor, -32768.0, 32767.0);
        QVERIFY2(std::abs(output[i] - exact) <= 1.0,
                 qPrintable(QStringLiteral("%1 became %2").arg(input[i]).arg(output[i])));
    }
}

// A steady loud tone's level moves from one volume to another without a step larger than the
// ramp's share of the change (plus rounding), and then stays at the new volume; back at full
// volume the samples are untouched again.
void TestSoundProcessor::volumeChangeIsRamped_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addRow("100 %% to 0 %%") << 100 << 0;
    QTest::addRow("0 %% to 100 %%") << 0 << 100;
    QTest::addRow("30 %% to 80 %%") << 30 << 80;
}

void TestSoundProcessor::volumeChangeIsRamped()
{
    QFETCH(int, from);
    QFETCH(int, to);
    constexpr int slice = SoundOutput::periodSamples;
    constexpr qint16 level = 30000;
    VolumeStage stage;
    std::vector<qint16> sound(2 * slice * 3, level);
    setVolume(from, false, 1.0);
    stage.apply(sound.data(), slice, 2, VolumeStage::settingsGain());
    setVolume(to, false, 1.0);
    stage.apply(sound.data() + 2 * slice, slice, 2, VolumeStage::settingsGain());
    stage.apply(sound.data() + 4 * slice, slice, 2, VolumeStage::settingsGain());
    const double allowed = level * std::abs(to - from) / 100.0 / VolumeStage::rampFrames + 1;
    for (int i = 1; i < 3 * slice; ++i) {
        QVERIFY2(std::abs(sound[size_t(2 * i)] - sound[size_t(2 * i - 2)]) <= allowed,
                 qPrintable(QStringLiteral("step at %1").arg(i)));
    }
    QCOMPARE(sound.back(), qint16(std::lround(level * to / 100.0)));
    QCOMPARE(sound[size_t(2 * (slice + VolumeStage::rampFrames))], sound.back());
}


void TestSoundProcessor::vocalReduction_data()
{
    QTest::addColumn<double>("hertz");
    QTest::addColumn<double>("rightLevel"); // of the left channel's tone
    QTest::addColumn<double>("lowestDb");   // the left channel's change, in dB
    QTest::addColumn<double>("highestDb");
    QTest::addRow("1 kHz in the centre cancels") << 1000.0 << 1.0 << -200.0 << -30.0;
    QTest::addRow("440 Hz in the centre cancels") << 440.0 << 1.0 << -200.0 << -30.0;
    QTest::addRow("1 kHz on the left only stays") << 1000.0 << 0.0 << -1.0 << 1.0;
    QTest::addRow("60 Hz bass in the centre stays") << 60.0 << 1.0 << -3.0 << 3.0;
}

void TestSoundProcessor::vocalReduction()
{
    QFETCH(double, hertz);
    QFETCH(double, rightLevel);
    QFETCH(double, lowestDb);
    QFETCH(double, highestDb);
    constexpr int rate = 44100;
    constexpr int slice = SoundOutput::periodSamples;
    const int slices = 2 * rate / slice;
    std::vector<qint16> input(size_t(2 * slice * slices));
    for (size_t i = 0; i < input.size() / 2; ++i) {
        const double tone = 10000 * std::sin(2 * M_PI * hertz * double(i) / rate);
        input[2 * i] = qint16(std::lround(tone));
        input[2 * i + 1] = qint16(std::lround(tone * rightLevel));
    }
    SoundProcessor processor(rate);
    std::vector<qint16> output(input.size());
    for (int s = 0; s < slices; ++s) {
        const size_t at = size_t(2 * slice * s);
        processor.process(input.data() + at, slice, output.data() + at, slice, 0, true);
    }
    // The second second, past the filter's settling.
    double in = 0, out = 0;
    for (size_t i = input.size() / 4; i < input.size() / 2; ++i) {
        in += double(input[2 * i]) * input[2 * i];
        out += double(output[2 * i]) * output[2 * i];
    }
    const double db = 10 * std::log10(std::max(out, 1e-9) / in);
    QVERIFY2(db >= lowestDb && db <= highestDb, qPrintable(QString::number(db)));
}

QTEST_MAIN(TestSoundProcessor)
#include "tst_soundprocessor.moc"
