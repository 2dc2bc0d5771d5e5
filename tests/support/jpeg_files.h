#pragma once
// JPEG files for the tests, read with libjpeg directly: the coefficients a file holds,
// its pixels as a decoder shows them, and files made by cjpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "image/bgr_image.h"
#include "support/ppm_pictures.h"

// What jpeg_read_coefficients gives for a file: every component's real blocks (without
// the MCUs' padding), row by row.
struct JpegDump {
    bool ok = false;
    int width = 0, height = 0;
    bool progressive = false;
    bool arithmetic = false;
    unsigned restartInterval = 0;
    int maxH = 1, maxV = 1;
    struct Component {
        int h = 1, v = 1;
        unsigned widthInBlocks = 0, heightInBlocks = 0;
        std::vector<JCOEF> coefficients;  // 64 a block
        const JCOEF* block(unsigned row, unsigned column) const {
            return coefficients.data() + 64 * (static_cast<std::size_t>(row) * widthInBlocks + column);
        }
    };
    std::vector<Component> components;
};

inline JpegDump dumpJpeg(const std::string& path) {
    JpegDump dump;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return dump;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    dump.width = static_cast<int>(info.image_width);
    dump.height = static_cast<int>(info.image_height);
    dump.progressive = info.progressive_mode;
    dump.arithmetic = info.arith_code;
    dump.restartInterval = info.restart_interval;
    dump.maxH = info.max_h_samp_factor;
    dump.maxV = info.max_v_samp_factor;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& component = info.comp_info[c];
        JpegDump::Component& out = dump.components.emplace_back();
        out.h = component.h_samp_factor;
        out.v = component.v_samp_factor;
        out.widthInBlocks = component.width_in_blocks;
        out.heightInBlocks = component.height_in_blocks;
        for (JDIMENSION row = 0; row < component.height_in_blocks; ++row) {
            JBLOCKARRAY blocks = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), arrays[c], row, 1, FALSE);
            for (JDIMENSION column = 0; column < component.width_in_blocks; ++column)
                out.coefficients.insert(out.coefficients.end(), blocks[0][column], blocks[0][column] + 64);
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    dump.ok = true;
    return dump;
}

// What a file's header says of its encoding.
struct JpegHeader {
    bool ok = false;
    std::vector<int> luminanceTable;  // quantisation table 0, in zigzag order
    int lumaH = 0, lumaV = 0;         // the first component's sampling factors
};

inline JpegHeader readJpegHeader(const std::string& path) {
    JpegHeader header;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return header;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    if (info.quant_tbl_ptrs[0] != nullptr)
        header.luminanceTable.assign(info.quant_tbl_ptrs[0]->quantval, info.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
    header.lumaH = info.comp_info[0].h_samp_factor;
    header.lumaV = info.comp_info[0].v_samp_factor;
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    header.ok = true;
    return header;
}

// The luminance table libjpeg makes for a quality (1-100).
inline std::vector<int> luminanceTableOfQuality(int quality) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    info.in_color_space = JCS_RGB;
    info.input_components = 3;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    std::vector<int> table(info.quant_tbl_ptrs[0]->quantval, info.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
    jpeg_destroy_compress(&info);
    return table;
}

// The pixels as libjpeg decodes them, RGB (grey spread to three), top row first;
// smoothColour false decodes subsampled colour without interpolating across blocks.
inline std::vector<std::uint8_t> decodeJpeg(const std::string& path, bool smoothColour = true) {
    std::vector<std::uint8_t> pixels;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return pixels;
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.do_fancy_upsampling = smoothColour ? TRUE : FALSE;
    jpeg_start_decompress(&info);
    pixels.resize(static_cast<std::size_t>(info.output_width) * info.output_height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + static_cast<std::size_t>(info.output_scanline) * info.output_width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return pixels;
}

// Writes picture (rows bottom-up, blue-green-red) as a binary PPM and has cjpeg make
// jpegPath from it with those options. cjpeg comes from libjpeg-turbo-progs.
inline void cjpegFrom(const RawImage& picture, const std::string& ppmPath, const std::string& jpegPath,
                      const std::string& options) {
    ASSERT_TRUE(writePpm(ppmPath, picture)) << ppmPath;
    const std::string command = "cjpeg " + options + " -outfile '" + jpegPath + "' '" + ppmPath + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command << " (cjpeg is in libjpeg-turbo-progs)";
}

// How a four-colour JPEG made by writeCmykJpeg stores its inks.
enum class CmykStorage {
    adobeCmyk,  // CMYK with Adobe's APP14 segment, every ink inverted (255: no ink), as Photoshop writes
    adobeYcck,  // the same turned into YCCK (APP14 transform 2)
    plainCmyk,  // CMYK without an APP14 segment, the inks as they are
};

// Writes picture (rows bottom-up, blue-green-red) as a four-colour JPEG at quality 95,
// with the grey component of every colour as black ink; segments (marker, bytes) follow
// the APP14 segment.
inline void writeCmykJpeg(const RawImage& picture, const std::string& path, CmykStorage storage,
                          const std::vector<std::pair<int, std::string>>& segments = {}) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_set_colorspace(&info, storage == CmykStorage::adobeYcck ? JCS_YCCK : JCS_CMYK);
    if (storage == CmykStorage::plainCmyk) info.write_Adobe_marker = FALSE;
    jpeg_start_compress(&info, TRUE);
    for (const auto& [marker, bytes] : segments)
        jpeg_write_marker(&info, marker, reinterpret_cast<const JOCTET*>(bytes.data()), static_cast<unsigned>(bytes.size()));
    std::vector<std::uint8_t> line(4 * static_cast<std::size_t>(picture.width));
    const bool inverted = storage != CmykStorage::plainCmyk;
    for (int y = picture.height; y-- > 0;) {
        for (int x = 0; x < picture.width; ++x) {
            const std::uint8_t* p = picture.row(y) + 3 * x;
            const int largest = std::max({p[0], p[1], p[2]});
            const int inks[4] = {largest == 0 ? 0 : 255 * (largest - p[2]) / largest,
                                 largest == 0 ? 0 : 255 * (largest - p[1]) / largest,
                                 largest == 0 ? 0 : 255 * (largest - p[0]) / largest, 255 - largest};
            for (int i = 0; i < 4; ++i) line[4 * static_cast<std::size_t>(x) + i] = static_cast<std::uint8_t>(inverted ? 255 - inks[i] : inks[i]);
        }
        JSAMPROW row = line.data();
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// Has ImageMagick make jpegPath from picture (rows bottom-up, blue-green-red) as a user
// makes a CMYK JPEG (`convert photo -colorspace CMYK cmyk.jpg`): YCCK with Adobe's inverted
// inks.
inline void imageMagickCmykFrom(const RawImage& picture, const std::string& ppmPath, const std::string& jpegPath) {
    ASSERT_TRUE(writePpm(ppmPath, picture)) << ppmPath;
    const std::string command = "convert '" + ppmPath + "' -colorspace CMYK -quality 95 '" + jpegPath + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command << " (convert is in imagemagick)";
}
