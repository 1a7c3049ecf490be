#include "bubble/ReducedPng.h"

#include <QIODevice>

#include <png.h>

#include <vector>

namespace {

constexpr qint64 kLargestPixels = 100'000'000;
constexpr int kRgba = 4;
const QByteArray kSignature("\x89PNG\r\n\x1a\n", 8);

struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool interlaced = false;
};

void readFromDevice(png_structp png, png_bytep data, size_t length) {
    auto *device = static_cast<QIODevice *>(png_get_io_ptr(png));
    if (device->read(reinterpret_cast<char *>(data), qint64(length)) != qint64(length))
        png_error(png, "truncated");
}

[[noreturn]] void fail(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void ignore(png_structp, png_const_charp) {}

// libpng reports errors by longjmp: the two steps that may fail keep no C++ object of their own
// that would be left half changed.
bool readHeader(png_structp png, png_infop info, Header *header) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    // Every kind of PNG as 8-bit RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t(header->width) * kRgba;
}

// Sums premultiplied channels of the rows that make one row of the result, then writes it.
struct Reduction {
    const Header &header;
    QImage &result;
    const std::vector<int> &columnOf;    // the result's column of each source column
    const std::vector<int> &columnWidth; // source columns per result column
    std::vector<quint64> &sums;          // four per result column
    std::vector<png_byte> &row;
};

bool readRows(png_structp png, const Reduction &r) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const qint64 height = r.header.height, reducedHeight = r.result.height();
    int rowsSummed = 0;
    for (qint64 y = 0; y < height; ++y) {
        png_read_row(png, r.row.data(), nullptr);
        for (png_uint_32 x = 0; x < r.header.width; ++x) {
            const png_byte *pixel = &r.row[size_t(x) * kRgba];
            quint64 *sum = &r.sums[size_t(r.columnOf[x]) * kRgba];
            sum[0] += quint64(pixel[0]) * pixel[3];
            sum[1] += quint64(pixel[1]) * pixel[3];
            sum[2] += quint64(pixel[2]) * pixel[3];
            sum[3] += pixel[3];
        }
        ++rowsSummed;
        const qint64 reducedRow = y * reducedHeight / height;
        if (y + 1 < height && (y + 1) * reducedHeight / height == reducedRow)
            continue;
        uchar *out = r.result.scanLine(int(reducedRow));
        for (int column = 0; column < r.result.width(); ++column) {
            const quint64 count = quint64(r.columnWidth[size_t(column)]) * quint64(rowsSummed);
            quint64 *sum = &r.sums[size_t(column) * kRgba];
            for (int channel = 0; channel < kRgba; ++channel) {
                const quint64 divisor = channel == 3 ? count : count * 255;
                out[column * kRgba + channel] = uchar((sum[channel] + divisor / 2) / divisor);
                sum[channel] = 0;
            }
        }
        rowsSummed = 0;
    }
    // What follows the last row (text, the end mark) adds nothing to the picture.
    return true;
}

QImage reduce(png_structp png, png_infop info, QSize reduced) {
    Header header;
    if (!readHeader(png, info, &header) || header.interlaced ||
        qint64(header.width) * header.height > kLargestPixels ||
        qint64(reduced.width()) > header.width || qint64(reduced.height()) > header.height)
        return {};
    QImage result(reduced, QImage::Format_RGBA8888_Premultiplied);
    if (result.isNull())
        return {};
    std::vector<int> columnOf(header.width);
    std::vector<int> columnWidth(size_t(reduced.width()), 0);
    for (png_uint_32 x = 0; x < header.width; ++x) {
        columnOf[x] = int(qint64(x) * reduced.width() / header.width);
        ++columnWidth[size_t(columnOf[x])];
    }
    std::vector<quint64> sums(size_t(reduced.width()) * kRgba, 0);
    std::vector<png_byte> row(size_t(header.width) * kRgba);
    return readRows(png, {header, result, columnOf, columnWidth, sums, row}) ? result : QImage();
}

} // namespace

namespace ReducedPng {

QImage read(QIODevice *device, QSize reduced) {
    if (device->isSequential() || device->peek(kSignature.size()) != kSignature ||
        reduced.isEmpty())
        return {};
    const qint64 start = device->pos();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, fail, ignore);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    QImage result;
    if (info) {
        png_set_read_fn(png, device, readFromDevice);
        result = reduce(png, info, reduced);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (result.isNull())
        device->seek(start);
    return result;
}

} // namespace ReducedPng
