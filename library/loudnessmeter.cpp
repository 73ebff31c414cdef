#include "loudnessmeter.h"

#include "soundsettings.h"

#include <QFile>

#include <ebur128.h>
#include <mpg123.h>

#include <cmath>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Mpg123Deleter
{
    void operator()(mpg123_handle *handle) const
    {
        mpg123_close(handle);
        mpg123_delete(handle);
    }
};
struct EburDeleter
{
    void operator()(ebur128_state *state) const { ebur128_destroy(&state); }
};
struct FdCloser
{
    int fd = -1;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Opens a regular file only: a FIFO or a device never blocks or feeds the decoder.
int openRegular(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    if (fd < 0)
        return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

std::optional<LoudnessMeter::Measurement> LoudnessMeter::measure(const QString &path, double gain,
                                                                 const std::atomic<bool> *cancel)
{
    static const int initialised = mpg123_init();
    Q_UNUSED(initialised);
    FdCloser file{openRegular(path)};
    if (file.fd < 0)
        return std::nullopt;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> decoder(mpg123_new(nullptr, nullptr));
    if (!decoder)
        return std::nullopt;
    mpg123_param(decoder.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_format_none(decoder.get());
    for (long rate : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L})
        mpg123_format(decoder.get(), rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_open_fd(decoder.get(), file.fd) != MPG123_OK ||
        mpg123_getformat(decoder.get(), &rate, &channels, &encoding) != MPG123_OK)
        return std::nullopt;
    mpg123_format_none(decoder.get()); // the format stays as it began
    mpg123_format(decoder.get(), rate, channels, encoding);
    std::unique_ptr<ebur128_state, EburDeleter> meter(
        ebur128_init(unsigned(channels), static_cast<unsigned long>(rate),
                     EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK));
    if (!meter)
        return std::nullopt;

    std::vector<float> samples(1152 * 2 * 16);
    size_t bytes = 0;
    int result = MPG123_OK;
    const float factor = float(gain);
    while (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return std::nullopt;
        result = mpg123_read(decoder.get(), reinterpret_cast<unsigned char *>(samples.data()),
                             samples.size() * sizeof(float), &bytes);
        const size_t count = bytes / sizeof(float);
        if (factor != 1.0f)
            for (size_t i = 0; i < count; ++i)
                samples[i] *= factor;
        if (count > 0)
            ebur128_add_frames_float(meter.get(), samples.data(), count / size_t(channels));
    }
    Measurement measurement;
    double peak = 0;
    if (ebur128_loudness_global(meter.get(), &measurement.lufs) != EBUR128_SUCCESS ||
        !std::isfinite(measurement.lufs))
        return std::nullopt;
    for (int channel = 0; channel < channels; ++channel) {
        double channelPeak = 0;
        ebur128_sample_peak(meter.get(), unsigned(channel), &channelPeak);
        peak = std::max(peak, channelPeak);
    }
    measurement.peak = peak;
    return measurement;
}

double LoudnessMeter::gainFor(std::optional<double> tagGainDb, std::optional<double> tagPeak,
                              std::optional<double> measuredLufs,
                              std::optional<double> measuredPeak)
{
    double gainDb = 0;
    std::optional<double> peak;
    if (tagGainDb) {
        gainDb = *tagGainDb;
        peak = tagPeak ? tagPeak : measuredPeak;
        if (gainDb > 0 && !peak)
            return 1.0; // raising a song of unknown peak could clip it
    } else if (measuredLufs) {
        gainDb = targetLufs - *measuredLufs;
        peak = measuredPeak;
    } else {
        return 1.0;
    }
    if (gainDb == 0)
        return 1.0;
    double gain = std::pow(10.0, gainDb / 20.0);
    if (peak && *peak > 0)
        gain = std::min(gain, 1.0 / *peak);
    return std::clamp(gain, 0.0, SoundSettings::maxLoudnessGain);
}
