#pragma once
// What the DAISY fuzz targets share: the input as bytes, and a broken promise
// ends the run where libFuzzer keeps the input that broke it.
#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void broken(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

} // namespace fuzzcheck
