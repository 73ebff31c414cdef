#include "kwo_imcx.h"

IMCXGuiSink::~IMCXGuiSink() = default;
