// Feeds arbitrary bytes to the picture archive reader: it must either hand over entries of
// exactly their stated size or throw FormatError, never crash or read out of bounds.

#include "shell/picture_archive.h"

#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray archive = QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                       static_cast<qsizetype>(size));
    try {
        readGraphicsArchive(archive, [&](const QByteArray& picture, const QString&) {
            // Nothing handed over can be larger than deflate allows for the whole input.
            if (picture.size() > static_cast<qsizetype>(size) * 1032)
                std::abort();
        });
    } catch (const FormatError&) {
    }
    return 0;
}
