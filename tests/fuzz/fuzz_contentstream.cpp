// Any content bytes through the content library, fed in calls of one to four bytes (the first
// byte says which). Every page and highlight it reports must lie within what it reported.
#include "kwo_imcx.h"

#include <QString>

#include <cstdlib>

namespace {

class CheckingDisplay : public IMCXGuiSink
{
public:
    void showText(const char16_t *text) override { page = QString::fromUtf16(text); }
    int32_t setHighlight(int32_t start, int32_t length) override
    {
        if (start < 0 || length < 0 || start + length > page.size())
            std::abort(); // a range the display cannot show
        return start + length;
    }

private:
    QString page;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    CheckingDisplay display;
    IMCX_InitDecoder("");
    IMCX_InitGUI(&display);
    const size_t chunk = 1 + data[0] % 4;
    for (size_t i = 1; i < size; i += chunk)
        IMCX_Decoder(data + i, int32_t(std::min(chunk, size - i)));
    IMCX_Flush();
    return 0;
}
