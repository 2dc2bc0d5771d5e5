// A JPEG file's blocks: read as coefficients, written back with only the touched blocks
// encoded anew.
#include "image/jpeg_blocks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <utility>

#include "image/block_dct.h"
#include "image/jpeg_library.h"
#include "image/photo_metadata.h"
#include "platform/io_exception.h"

namespace {

struct Component {
    int across = 1;  // pixels per sample: the largest sampling factor over this one's
    int down = 1;
    JDIMENSION widthInBlocks = 0;  // blocks holding picture, without the MCU's padding
    JDIMENSION heightInBlocks = 0;
    std::vector<JBLOCKROW> rows;  // into the library's array, which stays in memory
    std::uint16_t quant[64] = {};
};

}  // namespace

struct JpegBlocks::State {
    std::shared_ptr<const std::vector<std::uint8_t>> bytes;
    JpegDecompressor source;
    jvirt_barray_ptr* arrays = nullptr;
    std::vector<Component> components;
    Size size;
};

JpegBlocks::JpegBlocks(std::unique_ptr<State> state) : state_(std::move(state)) {}
JpegBlocks::~JpegBlocks() = default;
Size JpegBlocks::size() const { return state_->size; }
std::int32_t JpegBlocks::cellColumns() const { return (state_->size.width + 7) / 8; }
std::int32_t JpegBlocks::cellRows() const { return (state_->size.height + 7) / 8; }

namespace {

using State = JpegBlocks::State;

bool supportedLayout(const jpeg_decompress_struct& info) {
    if (info.data_precision != 8) return false;
    if (info.jpeg_color_space == JCS_GRAYSCALE) return info.num_components == 1;
    return (info.jpeg_color_space == JCS_YCbCr || info.jpeg_color_space == JCS_RGB) && info.num_components == 3;
}

// Holds every libjpeg call of the reading; nothing here has a destructor, so a jump back
// skips no clean-up.
bool readCoefficients(State& s) {
    jpeg_decompress_struct& info = s.source.info;
    if (setjmp(s.source.errors.jump)) return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, s.bytes->data(), static_cast<unsigned long>(s.bytes->size()));
    jpeg_read_header(&info, TRUE);
    s.size = {static_cast<std::int32_t>(info.image_width), static_cast<std::int32_t>(info.image_height)};
    // The caller has accepted the picture's size.
    if (!supportedLayout(info)) return false;
    s.arrays = jpeg_read_coefficients(&info);
    if (s.arrays == nullptr) return false;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& compInfo = info.comp_info[c];
        const int h = compInfo.h_samp_factor, v = compInfo.v_samp_factor;
        if (h <= 0 || v <= 0 || info.max_h_samp_factor % h != 0 || info.max_v_samp_factor % v != 0 ||
            compInfo.quant_table == nullptr)
            return false;
        Component& component = s.components[static_cast<std::size_t>(c)];
        component.across = info.max_h_samp_factor / h;
        component.down = info.max_v_samp_factor / v;
        component.widthInBlocks = compInfo.width_in_blocks;
        component.heightInBlocks = compInfo.height_in_blocks;
        std::copy(compInfo.quant_table->quantval, compInfo.quant_table->quantval + 64, component.quant);
        component.rows.resize(compInfo.height_in_blocks);
        // The arrays are all in memory (libjpeg-turbo has no backing store), so a row's
        // address stays what this access returns.
        for (JDIMENSION row = 0; row < compInfo.height_in_blocks; ++row)
            component.rows[row] = info.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&info), s.arrays[c], row, 1, TRUE)[0];
    }
    return true;
}

// Whether every block can be written again: an 8-bit encoder carries DC differences of
// at most 11 bits and AC values of at most 10, and refuses the file otherwise.
bool coefficientsInRange(const State& s) {
    for (const Component& component : s.components)
        for (JDIMENSION row = 0; row < component.heightInBlocks; ++row)
            for (JDIMENSION column = 0; column < component.widthInBlocks; ++column) {
                const JCOEF* block = component.rows[row][column];
                if (block[0] < -1024 || block[0] > 1023) return false;
                for (int k = 1; k < DCTSIZE2; ++k)
                    if (block[k] < -1023 || block[k] > 1023) return false;
            }
    return true;
}

}  // namespace

std::unique_ptr<JpegBlocks> ReadJPEGBlocks(std::shared_ptr<const std::vector<std::uint8_t>> bytes) {
    if (!bytes) return nullptr;
    try {
        auto state = std::make_unique<State>();
        state->bytes = std::move(bytes);
        state->components.resize(MAX_COMPONENTS);
        if (!readCoefficients(*state)) return nullptr;
        state->components.resize(static_cast<std::size_t>(state->source.info.num_components));
        if (!coefficientsInRange(*state)) return nullptr;
        return std::make_unique<JpegBlocks>(std::move(state));
    } catch (const std::bad_alloc&) {
        return nullptr;  // a save then encodes the whole picture, as for any other source
    }
}

namespace {

// One block encoded anew, and where it goes.
struct NewBlock {
    std::size_t component;
    JDIMENSION row, column;
    JBLOCK coefficients;
};

// The component value of pixel (x, y), counted from the top-left corner, held inside the
// picture as libjpeg's edge expansion does.
struct PixelReader {
    const std::uint8_t* kept;
    const std::uint8_t* pixels;  // in the touched cells
    const std::vector<std::uint8_t>& touched;
    std::int32_t cellColumns;
    std::uint32_t stride;
    Size size;
    J_COLOR_SPACE space;

    float value(std::size_t component, std::int32_t x, std::int32_t y) const {
        x = std::min(x, size.width - 1);
        y = std::min(y, size.height - 1);
        const bool inTouched = touched[static_cast<std::size_t>(y / 8) * static_cast<std::size_t>(cellColumns) + static_cast<std::size_t>(x / 8)];
        const std::uint8_t* p = (inTouched ? pixels : kept) + static_cast<std::size_t>(size.height - 1 - y) * stride +
                                3 * static_cast<std::size_t>(x);
        const float b = p[0], g = p[1], r = p[2];
        if (space == JCS_RGB) return component == 0 ? r : component == 1 ? g : b;
        // JFIF's YCbCr, as libjpeg converts.
        if (component == 0) return 0.299f * r + 0.587f * g + 0.114f * b;
        if (component == 1) return -0.168736f * r - 0.331264f * g + 0.5f * b + 128.0f;
        return 0.5f * r - 0.418688f * g - 0.081312f * b + 128.0f;
    }
};

bool blockTouched(const Component& component, JDIMENSION row, JDIMENSION column, const std::vector<std::uint8_t>& touched,
                  std::int32_t cellColumns, std::int32_t cellRows) {
    const std::int32_t top = static_cast<std::int32_t>(row) * component.down;
    const std::int32_t left = static_cast<std::int32_t>(column) * component.across;
    for (std::int32_t y = top; y < std::min(top + component.down, cellRows); ++y)
        for (std::int32_t x = left; x < std::min(left + component.across, cellColumns); ++x)
            if (touched[static_cast<std::size_t>(y) * static_cast<std::size_t>(cellColumns) + static_cast<std::size_t>(x)])
                return true;
    return false;
}

// Samples of a subsampled component are the mean of the pixels they cover.
void encodeBlock(const Component& component, std::size_t index, const PixelReader& reader, NewBlock& block) {
    float samples[64];
    const float share = 1.0f / static_cast<float>(component.across * component.down);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::int32_t left = (static_cast<std::int32_t>(block.column) * 8 + x) * component.across;
            const std::int32_t top = (static_cast<std::int32_t>(block.row) * 8 + y) * component.down;
            float sum = 0;
            for (int dy = 0; dy < component.down; ++dy)
                for (int dx = 0; dx < component.across; ++dx) sum += reader.value(index, left + dx, top + dy);
            samples[8 * y + x] = sum * share;
        }
    std::int16_t coefficients[64];
    forwardDctQuantise(samples, component.quant, coefficients);
    std::copy(coefficients, coefficients + 64, block.coefficients);
}

std::vector<NewBlock> encodeTouchedBlocks(const State& s, const PixelReader& reader, const std::vector<std::uint8_t>& touched,
                                          std::int32_t cellColumns, std::int32_t cellRows) {
    std::vector<NewBlock> blocks;
    for (std::size_t c = 0; c < s.components.size(); ++c) {
        const Component& component = s.components[c];
        for (JDIMENSION row = 0; row < component.heightInBlocks; ++row)
            for (JDIMENSION column = 0; column < component.widthInBlocks; ++column)
                if (blockTouched(component, row, column, touched, cellColumns, cellRows)) {
                    NewBlock& block = blocks.emplace_back();
                    block.component = c;
                    block.row = row;
                    block.column = column;
                    encodeBlock(component, c, reader, block);
                }
    }
    return blocks;
}

// Puts the new blocks into the library's arrays for one write, and the read ones back
// afterwards, whatever happened: the source stays as read for the next save.
class BlockSwap {
public:
    BlockSwap(State& s, std::vector<NewBlock>& blocks) : s_(s), blocks_(blocks) { swapAll(); }
    ~BlockSwap() { swapAll(); }
    BlockSwap(const BlockSwap&) = delete;
    BlockSwap& operator=(const BlockSwap&) = delete;

private:
    void swapAll() {
        for (NewBlock& block : blocks_) {
            JCOEF* target = s_.components[block.component].rows[block.row][block.column];
            std::swap_ranges(target, target + DCTSIZE2, block.coefficients);
        }
    }
    State& s_;
    std::vector<NewBlock>& blocks_;
};

// Holds every libjpeg call of the writing.
JpegOutcome transcode(JpegCompressor& c, std::FILE* file, State& s, const PhotoMetadata& metadata) {
    if (setjmp(c.errors.jump)) return JpegOutcome::failed;
    jpeg_create_compress(&c.info);
    jpeg_stdio_dest(&c.info, file);
    jpeg_decompress_struct& source = s.source.info;
    jpeg_copy_critical_parameters(&source, &c.info);
    c.info.restart_interval = source.restart_interval;
    // An arithmetic-coded source stays so, with its conditioning values (DAC). That coding
    // adapts as it goes and has no tables to optimise: libjpeg refuses the statistics pass
    // of optimize_coding for it.
    c.info.arith_code = source.arith_code;
    c.info.optimize_coding = source.arith_code ? FALSE : TRUE;
    if (source.arith_code) {
        std::copy(std::begin(source.arith_dc_L), std::end(source.arith_dc_L), c.info.arith_dc_L);
        std::copy(std::begin(source.arith_dc_U), std::end(source.arith_dc_U), c.info.arith_dc_U);
        std::copy(std::begin(source.arith_ac_K), std::end(source.arith_ac_K), c.info.arith_ac_K);
    }
    if (source.progressive_mode) jpeg_simple_progression(&c.info);
    for (const JpegSegment& segment : metadata.jpegSegments)
        if (segment.marker == JPEG_APP0 + 1 && startsWithExif(segment.data.data(), segment.data.size()))
            c.info.write_JFIF_header = FALSE;
    jpeg_write_coefficients(&c.info, s.arrays);
    for (const JpegSegment& segment : metadata.jpegSegments)
        if (segment.data.size() <= maxJpegSegmentData)
            jpeg_write_marker(&c.info, segment.marker, segment.data.data(), static_cast<unsigned int>(segment.data.size()));
    jpeg_finish_compress(&c.info);
    return JpegOutcome::done;
}

}  // namespace

void SaveJPEGBlocks(const char* path, JpegBlocks& source, const std::uint8_t* kept, const std::uint8_t* pixels,
                    std::uint32_t stride,
                    const std::vector<std::uint8_t>& touched, const PhotoMetadata& metadata) {
    State& s = source.state();
    const std::int32_t columns = source.cellColumns(), rows = source.cellRows();
    if (kept == nullptr || pixels == nullptr || stride < 3 * static_cast<std::uint32_t>(s.size.width) ||
        touched.size() != static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows))
        throw ioException{path, ioException::writing, "no picture of the photo's size to write"};
    const PixelReader reader{kept, pixels, touched, columns, stride, s.size, s.source.info.jpeg_color_space};
    std::vector<NewBlock> blocks = encodeTouchedBlocks(s, reader, touched, columns, rows);
    const BlockSwap swap(s, blocks);
    writeJpegFile(path, "picture refused by the JPEG encoder",
                  [&](JpegCompressor& compressor, std::FILE* file) { return transcode(compressor, file, s, metadata); });
}
