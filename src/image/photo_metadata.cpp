#include "image/photo_metadata.h"

#include <algorithm>
#include <cstring>

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
