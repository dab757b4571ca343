// Draws the program's icon into a PNG file: ordalis-draw-icon OUTPUT.png [SIZE]
// The committed app/ordalis.png is its 64-pixel drawing.

#include "app/IconArt.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [SIZE]\n", argv[0]);
        return 2;
    }
    const int size = argc == 3 ? std::atoi(argv[2]) : 64;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "SIZE must be 16 to 1024\n");
        return 2;
    }
    // Painting into an image needs no display, so there is no application object.
    return ordalis::PaintPadlockIcon(size).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
