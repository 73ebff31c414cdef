// Vocal reduction on sound fed straight to the processing stage: what both channels hold alike
// cancels, what only one holds keeps its level, and the bass under the crossover survives.

#include "soundoutput.h"
#include "soundprocessor.h"

#include <QtTest>

#include <cmath>
#include <vector>

class TestSoundProcessor : public QObject
{
    Q_OBJECT

private slots:
    void vocalReduction_data();
    void vocalReduction();
};

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
