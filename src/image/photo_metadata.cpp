#include "image/photo_metadata.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

bool startsWith(const std::uint8_t* data, std::size_t length, std::string_view prefix) {
    return length >= prefix.size() && std::memcmp(data, prefix.data(), prefix.size()) == 0;
}

bool startsWith(const JpegSegment& segment, std::string_view prefix) {
    return startsWith(segment.data.data(), segment.data.size(), prefix);
}

std::string_view textOf(const JpegSegment& segment) {
    return {reinterpret_cast<const char*>(segment.data.data()), segment.data.size()};
}

std::string panoramaProperties(Size picture) {
    const std::int32_t fullHeight = picture.width / 2;
    const std::int32_t top = std::max(0, (fullHeight - picture.height) / 2);
    return " xmlns:GPano=\"http://ns.google.com/photos/1.0/panorama/\""
           " GPano:ProjectionType=\"equirectangular\" GPano:UsePanoramaViewer=\"True\""
           " GPano:FullPanoWidthPixels=\"" + std::to_string(picture.width) +
           "\" GPano:FullPanoHeightPixels=\"" + std::to_string(fullHeight) +
           "\" GPano:CroppedAreaImageWidthPixels=\"" + std::to_string(picture.width) +
           "\" GPano:CroppedAreaImageHeightPixels=\"" + std::to_string(picture.height) +
           "\" GPano:CroppedAreaLeftPixels=\"0\" GPano:CroppedAreaTopPixels=\"" + std::to_string(top) + "\"";
}

// A GPano size property in XMP text, as an attribute (GPano:Name="123") or an element
// (<GPano:Name>123</GPano:Name>): where its digits lie and what they say.
struct XmpNumber {
    std::size_t begin = 0, end = 0;
    std::int64_t value = 0;
};

std::optional<XmpNumber> digitsAt(std::string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && end - at < 10 && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == at || end - at >= 10) return std::nullopt;
    std::int64_t value = 0;
    for (std::size_t i = at; i < end; ++i) value = value * 10 + (text[i] - '0');
    return XmpNumber{at, end, value};
}

std::optional<XmpNumber> findGpanoNumber(std::string_view text, std::string_view name) {
    const std::string qualified = "GPano:" + std::string(name);
    for (std::size_t at = text.find(qualified); at != std::string_view::npos; at = text.find(qualified, at + 1)) {
        std::size_t p = at + qualified.size();
        const auto skipSpace = [&] {
            while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\r' || text[p] == '\n')) ++p;
        };
        skipSpace();
        if (p < text.size() && text[p] == '=') {
            ++p;
            skipSpace();
            if (p < text.size() && (text[p] == '"' || text[p] == '\'')) {
                const char quote = text[p];
                auto number = digitsAt(text, p + 1);
                if (number && number->end < text.size() && text[number->end] == quote) return number;
            }
        } else if (p < text.size() && text[p] == '>' && at > 0 && text[at - 1] == '<') {
            auto number = digitsAt(text, p + 1);
            if (number && text.substr(number->end, 2) == "</") return number;
        }
    }
    return std::nullopt;
}

// The GPano sizes of xmp made to say picture; false when there was nothing to change.
bool fitGpanoSizes(std::string& xmp, Size picture) {
    enum { fullWidth, fullHeight, croppedWidth, croppedHeight, left, top, count };
    static constexpr std::array<std::string_view, count> names = {
        "FullPanoWidthPixels",        "FullPanoHeightPixels",  "CroppedAreaImageWidthPixels",
        "CroppedAreaImageHeightPixels", "CroppedAreaLeftPixels", "CroppedAreaTopPixels"};
    std::array<std::optional<XmpNumber>, count> found;
    for (int i = 0; i < count; ++i) found[static_cast<std::size_t>(i)] = findGpanoNumber(xmp, names[static_cast<std::size_t>(i)]);
    // The picture's size as the packet knows it: the cropped area, else the full panorama.
    const auto& oldWidth = found[croppedWidth] ? found[croppedWidth] : found[fullWidth];
    const auto& oldHeight = found[croppedHeight] ? found[croppedHeight] : found[fullHeight];
    if (!oldWidth || !oldHeight || oldWidth->value <= 0 || oldHeight->value <= 0) return false;
    if (oldWidth->value == picture.width && oldHeight->value == picture.height) return false;
    // The picture as written: the full width of the sphere, a band centred on the horizon
    // when it is less than half as high, as addPanoramaXmp describes a new one.
    const std::int64_t full = picture.width / 2;
    std::array<std::int64_t, count> wanted{};
    wanted[fullWidth] = picture.width;
    wanted[fullHeight] = full;
    wanted[croppedWidth] = picture.width;
    wanted[croppedHeight] = picture.height;
    wanted[left] = 0;
    wanted[top] = std::max<std::int64_t>(0, (full - picture.height) / 2);
    // From the last property in the text to the first, so that earlier places stay put.
    std::array<int, count> order{};
    for (int i = 0; i < count; ++i) order[static_cast<std::size_t>(i)] = i;
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const auto& fa = found[static_cast<std::size_t>(a)];
        const auto& fb = found[static_cast<std::size_t>(b)];
        return (fa ? fa->begin : 0) > (fb ? fb->begin : 0);
    });
    for (int i : order) {
        const auto& f = found[static_cast<std::size_t>(i)];
        if (f) xmp.replace(f->begin, f->end - f->begin, std::to_string(wanted[static_cast<std::size_t>(i)]));
    }
    return true;
}

// EXIF's PixelXDimension (0xA002) and PixelYDimension (0xA003) in the EXIF IFD that IFD0's
// tag 0x8769 points to, made to say picture. data is the APP1 payload, "Exif\0\0" first.
void fitExifDimensions(std::vector<std::uint8_t>& data, Size picture) {
    const std::size_t tiff = exifSignature.size();
    if (data.size() < tiff + 8) return;
    const bool little = data[tiff] == 'I';
    const auto read = [&](std::size_t at, int bytes) -> std::optional<std::uint32_t> {
        if (at > data.size() || static_cast<std::size_t>(bytes) > data.size() - at) return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::uint32_t byte = data[at + static_cast<std::size_t>(little ? bytes - 1 - i : i)];
            v = (v << 8) | byte;
        }
        return v;
    };
    const auto write = [&](std::size_t at, int bytes, std::uint32_t v) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = 8 * (little ? i : bytes - 1 - i);
            data[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> shift);
        }
    };
    // The entries of the IFD at offset (from the TIFF header), each 12 bytes.
    const auto entries = [&](std::uint32_t offset, auto&& visit) {
        const std::size_t ifd = tiff + offset;
        const std::optional<std::uint32_t> n = read(ifd, 2);
        if (!n) return;
        for (std::uint32_t i = 0; i < *n; ++i) {
            const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(i);
            const auto tag = read(entry, 2), type = read(entry + 2, 2), items = read(entry + 4, 4);
            if (!tag || !type || !items || !read(entry + 8, 4)) return;
            visit(entry, *tag, *type, *items);
        }
    };
    const std::optional<std::uint32_t> ifd0 = read(tiff + 4, 4);
    if (!ifd0) return;
    std::optional<std::uint32_t> exifIfd;
    entries(*ifd0, [&](std::size_t entry, std::uint32_t tag, std::uint32_t type, std::uint32_t) {
        if (tag == 0x8769 && type == 4) exifIfd = read(entry + 8, 4);
    });
    if (!exifIfd || *exifIfd == *ifd0) return;
    entries(*exifIfd, [&](std::size_t entry, std::uint32_t tag, std::uint32_t type, std::uint32_t items) {
        if ((tag != 0xA002 && tag != 0xA003) || items != 1) return;
        const auto value = static_cast<std::uint32_t>(tag == 0xA002 ? picture.width : picture.height);
        if (type == 3 && value <= 0xFFFF) write(entry + 8, 2, value);  // SHORT, in the field's first half
        if (type == 4) write(entry + 8, 4, value);                     // LONG
    });
}

}  // namespace

bool copyableJpegSegment(int marker, const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length > maxJpegSegmentData) return false;
    switch (marker) {
    case 0xFE:
        return true;
    case 0xE1:
        if (startsWith(data, length, exifSignature)) {
            // The TIFF header: byte order "II" or "MM", then 42 in that order.
            if (length < exifSignature.size() + 8) return false;
            const std::uint8_t* tiff = data + exifSignature.size();
            return (tiff[0] == 'I' && tiff[1] == 'I' && tiff[2] == 42 && tiff[3] == 0) ||
                   (tiff[0] == 'M' && tiff[1] == 'M' && tiff[2] == 0 && tiff[3] == 42);
        }
        return (startsWith(data, length, xmpSignature) && length > xmpSignature.size()) ||
               (startsWith(data, length, extendedXmpSignature) && length > extendedXmpSignature.size() + 40);
    case 0xE2: {
        // "ICC_PROFILE\0", the chunk's number (from 1) and the number of chunks.
        if (!startsWith(data, length, iccSignature) || length <= iccSignature.size() + 2) return false;
        const int sequence = data[iccSignature.size()];
        const int count = data[iccSignature.size() + 1];
        return sequence >= 1 && sequence <= count;
    }
    default:
        return false;
    }
}

void addPanoramaXmp(PhotoMetadata& metadata, Size picture) {
    auto& segments = metadata.jpegSegments;
    JpegSegment* firstXmp = nullptr;
    for (JpegSegment& segment : segments) {
        if (segment.marker != 0xE1 || !startsWith(segment, xmpSignature)) continue;
        if (textOf(segment).find("GPano:ProjectionType") != std::string_view::npos) return;
        if (firstXmp == nullptr) firstXmp = &segment;
    }
    const std::string properties = panoramaProperties(picture);
    if (firstXmp != nullptr) {
        const std::string_view text = textOf(*firstXmp);
        constexpr std::string_view description = "<rdf:Description";
        const std::size_t at = text.find(description);
        if (at != std::string_view::npos && firstXmp->data.size() + properties.size() <= maxJpegSegmentData) {
            const auto insertAt = firstXmp->data.begin() + static_cast<std::ptrdiff_t>(at + description.size());
            firstXmp->data.insert(insertAt, properties.begin(), properties.end());
            return;
        }
    }
    const std::string packet = std::string(xmpSignature) +
                               "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
                               "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">"
                               "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
                               "<rdf:Description rdf:about=\"\"" +
                               properties + "/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
    JpegSegment segment{0xE1, std::vector<std::uint8_t>(packet.begin(), packet.end())};
    // After the EXIF block, which readers expect as the first APP1.
    auto after = std::find_if(segments.begin(), segments.end(),
                              [](const JpegSegment& s) { return s.marker == 0xE1 && startsWith(s, exifSignature); });
    segments.insert(after == segments.end() ? segments.begin() : after + 1, std::move(segment));
}

void fitPhotoMetadataTo(PhotoMetadata& metadata, Size picture) {
    for (JpegSegment& segment : metadata.jpegSegments) {
        if (segment.marker != 0xE1) continue;
        if (startsWith(segment, exifSignature)) {
            fitExifDimensions(segment.data, picture);
        } else if (startsWith(segment, xmpSignature)) {
            std::string text(segment.data.begin(), segment.data.end());
            if (fitGpanoSizes(text, picture) && text.size() <= maxJpegSegmentData)
                segment.data.assign(text.begin(), text.end());
        }
    }
    for (PngText& text : metadata.pngTexts)
        if (text.key == "XML:com.adobe.xmp") fitGpanoSizes(text.text, picture);
}
