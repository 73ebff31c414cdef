// A whole file as the preferences file, read by the store.
#include "fuzzinput.h"
#include "preferences.h"

#include <QGuiApplication>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The stored font needs a font database.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication application(*argc, *argv);
    SingleInstance<Preferences>::createClassMutex();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Preferences *store =
        Preferences::Instance(FuzzInput::asFile(nullptr, 0, QStringLiteral(".preferences")));
    FuzzInput::asFile(data, size, QStringLiteral(".preferences"));
    store->readFile();
    return 0;
}
