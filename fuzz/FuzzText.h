#pragma once

#include <QString>

#include <fuzzer/FuzzedDataProvider.h>

// Texts out of fuzz bytes: UTF-8 for readable cases, or raw UTF-16 code units so that lone
// surrogates and every BMP character reach the code under test too.
namespace FuzzText {

QString take(FuzzedDataProvider &input, size_t maxBytes);
QString takeRemaining(FuzzedDataProvider &input);

} // namespace FuzzText
