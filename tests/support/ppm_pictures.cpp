#include "support/ppm_pictures.h"

#include <fstream>

std::vector<std::uint8_t> ppmPixels(const std::string& path, int& width, int& height) {
    std::ifstream in(path, std::ios::binary);
    std::string magic, line;
    std::getline(in, magic);
    while (in.peek() == '#') std::getline(in, line);
    int maxValue = 0;
    in >> width >> height >> maxValue;
    in.get();
    if (!in || magic != "P6" || maxValue != 255 || width <= 0 || height <= 0 || width > 4096 || height > 4096) return {};
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return in ? rgb : std::vector<std::uint8_t>{};
}

bool writePpm(const std::string& path, const BGRImage& picture) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << picture.width << ' ' << picture.height << "\n255\n";
    std::vector<char> row(static_cast<std::size_t>(picture.width) * 3);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* from = picture.row(y);
        for (int x = 0; x < picture.width; ++x) {
            row[3 * x] = static_cast<char>(from[3 * x + 2]);
            row[3 * x + 1] = static_cast<char>(from[3 * x + 1]);
            row[3 * x + 2] = static_cast<char>(from[3 * x]);
        }
        out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
    return static_cast<bool>(out);
}

std::unique_ptr<RawImage> pictureFromRgb(const std::vector<std::uint8_t>& rgb, int width, int height) {
    auto picture = std::make_unique<RawImage>(Size{width, height});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* from = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            std::uint8_t* to = picture->row(height - 1 - y) + 3 * x;
            to[0] = from[2], to[1] = from[1], to[2] = from[0];
        }
    return picture;
}

long differingOutsideCorners(const std::vector<std::uint8_t>& rgb, int width, int height, const BGRImage& bmp) {
    if (bmp.size() != Size{width, height} || rgb.size() != static_cast<std::size_t>(width) * height * 3) return -1;
    long differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if ((x == 0 || x == width - 1) && (y == 0 || y == height - 1)) continue;
            const std::uint8_t* g = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            const std::uint8_t* e = bmp.row(height - 1 - y) + 3 * x;
            differing += g[0] != e[2] || g[1] != e[1] || g[2] != e[0];
        }
    return differing;
}
