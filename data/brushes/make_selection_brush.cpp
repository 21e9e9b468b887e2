// Draws the default stamp of the bitmap selection brush and writes it as a grey BMP:
//
//     make_selection_brush <build>/Data/Brushes/Default_Selection_Brush.bmp
//
// The stamp is computed (data/brushes/selection_brush_stamp.h), so every build writes the same bytes.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "data/brushes/selection_brush_stamp.h"
#include "paint/image_file.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_selection_brush <file.bmp>\n");
        return 2;
    }
    std::vector<uint8_t> pixels(size_t(SelectionStampSize) * SelectionStampSize * 3);
    for (int32_t row = 0; row < SelectionStampSize; ++row) {
        for (int32_t column = 0; column < SelectionStampSize; ++column) {
            const uint8_t grey = SelectionStampGrey(column, row);
            uint8_t* pixel = &pixels[(size_t(row) * SelectionStampSize + column) * 3];
            pixel[0] = pixel[1] = pixel[2] = grey;
        }
    }
    std::string error;
    if (!SaveImageFile(argv[1], pixels, SelectionStampSize, SelectionStampSize, TZAVImageChannels::RGB,
                       error)) {
        std::fprintf(stderr, "make_selection_brush: %s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
