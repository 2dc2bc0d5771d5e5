#include "panorama/web_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "panorama/format_table.h"
#include "panorama/six_image.h"
#include "platform/file_contents.h"
#include "platform/file_io.h"
#include "platform/io_exception.h"
#include "platform/resources.h"
#include "platform/staged_write.h"
#include "platform/stdio_file.h"

const std::array<int, 6> pageFaceOrder = {Front, Right, Back, Left, Up, Down};

namespace {

// Marks a page as Domecast's own: only such pages open as a panorama.
constexpr std::string_view generatorTag = "<meta name=\"generator\" content=\"Domecast\">";
// The line of the page's script that lists the face pictures in the viewer's order.
constexpr std::string_view facesLineStart = "var faces = [";

// The viewer's files: the resource's name and type, the file name in the viewer folder.
struct ViewerFile {
    const char* name;
    const char* type;
    const char* fileName;
};
constexpr std::array<ViewerFile, 3> viewerFiles = {{
    {"PANNELLUM", "SCRIPT", "pannellum.js"},
    {"PANNELLUM", "STYLE", "pannellum.css"},
    {"PANNELLUM", "LICENSE", "COPYING"},
}};

void writeBytes(const std::string& path, std::string_view bytes) {
    writeReplacing(path, [&](const std::string& staged) {
        StdioFile file(createStreamForWriting(staged.c_str()));
        if (!file) throw ioException{staged, ioException::opening, "cannot create the file"};
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
        const bool failed = std::ferror(file.get()) != 0;
        if (!file.close() || !written || failed) throw ioException{staged, ioException::writing, "write failed"};
    });
}

std::string base64(std::string_view bytes) {
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t j = 0; j < 3; ++j)
            group = group << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
        for (std::size_t j = 0; j < 4; ++j) text += j <= n ? digits[(group >> (18 - 6 * j)) & 63] : '=';
    }
    return text;
}

// Text inside an element or a double-quoted attribute.
std::string htmlText(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// A JavaScript string literal that cannot end the script element it stands in.
std::string jsString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || c == '<' || c == '>' || c == '&' || byte == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A file name as a relative URL: every byte but letters, digits and "-._~" percent-encoded.
std::string urlOf(std::string_view name) {
    std::string url;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            url += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", byte);
            url += escape;
        }
    }
    return url;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The viewer's yaw: the heading within (-180, 180].
double yawOf(double heading) {
    double yaw = std::fmod(heading, 360.0);
    if (yaw > 180) yaw -= 360;
    if (yaw <= -180) yaw += 360;
    return yaw;
}

std::string pageText(const std::string& name, const std::string& extension, const std::string& title, PageView view) {
    std::string faces;
    for (std::size_t i = 0; i < pageFaceOrder.size(); ++i)
        faces += (i == 0 ? "" : ", ") + jsString(urlOf(name + faceSuffixes[pageFaceOrder[i]] + extension));
    const std::string viewer = pageViewerFolder;
    const double pitch = std::clamp(view.pitch, -90.0, 90.0);
    std::string page;
    page += "<!DOCTYPE html>\n";
    page += "<html>\n<head>\n";
    page += "<meta charset=\"utf-8\">\n";
    page += std::string(generatorTag) + "\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += "<title>" + htmlText(title) + "</title>\n";
    page += "<link rel=\"stylesheet\" href=\"" + viewer + "/pannellum.css\">\n";
    page += "<script src=\"" + viewer + "/pannellum.js\"></script>\n";
    page += "<script>\n";
    page += "// From a file:// URL a browser keeps WebGL from pictures read from files, so the page\n";
    page += "// then takes the same faces from a script that holds them as data.\n";
    page += "if (location.protocol === \"file:\") document.write('<script src=\"" + urlOf(name) + "_faces.js\"><\\/script>');\n";
    page += "</script>\n";
    page += "<style>\n";
    page += "html, body, #panorama { margin: 0; width: 100%; height: 100%; overflow: hidden; background: #000; }\n";
    page += "</style>\n";
    page += "</head>\n<body>\n";
    page += "<div id=\"panorama\"></div>\n";
    page += "<script>\n";
    page += "// The faces in the viewer's order: front, right, back, left, up, down.\n";
    page += std::string(facesLineStart) + faces + "];\n";
    page += "if (window.domecastFaces) faces = window.domecastFaces;\n";
    page += "pannellum.viewer(\"panorama\", {\n";
    page += "  type: \"cubemap\",\n";
    page += "  cubeMap: faces,\n";
    page += "  title: " + jsString(title) + ",\n";
    page += "  yaw: " + number(yawOf(view.heading)) + ",\n";
    page += "  pitch: " + number(pitch) + ",\n";
    page += "  hfov: 100,\n";
    page += "  autoLoad: true\n";
    page += "});\n";
    page += "</script>\n";
    page += "</body>\n</html>\n";
    return page;
}

std::string facesScript(const std::string& pageName, const std::array<std::string, 6>& faceBytes,
                        const std::string& mediaType) {
    std::string script = "// The faces of " + pageName + " as data URLs, in the viewer's order, for a page opened\n";
    script += "// from a file:// URL.\nwindow.domecastFaces = [\n";
    for (std::size_t i = 0; i < pageFaceOrder.size(); ++i) {
        script += "\"data:" + mediaType + ";base64,";
        script += base64(faceBytes[static_cast<std::size_t>(pageFaceOrder[i])]);
        script += i + 1 < pageFaceOrder.size() ? "\",\n" : "\"\n";
    }
    return script + "];\n";
}

}  // namespace

void writePageFiles(const std::string& pagePath, const std::string& base, const std::string& extension,
                    const std::string& title, PageView view, const std::array<std::string, 6>& faceBytes) {
    const std::string folder = folderPart(pagePath);
    const std::string beside = folder.empty() ? std::string() : folder + "/";
    const std::string name(fileNamePart(base));
    for (const ViewerFile& file : viewerFiles) {
        const std::span<const std::uint8_t> bytes = findResource(file.name, file.type);
        if (bytes.empty()) throw ioException{pagePath, ioException::writing, "the program holds no web page viewer"};
        writeBytes(beside + pageViewerFolder + "/" + file.fileName,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    const std::string mediaType = extension == ".png" ? "image/png" : "image/jpeg";
    writeBytes(beside + name + "_faces.js", facesScript(std::string(fileNamePart(pagePath)), faceBytes, mediaType));
    writeBytes(pagePath, pageText(name, extension, title, view));
}

namespace {

// Domecast's pages are a few kilobytes; this leaves room for hand editing.
constexpr std::size_t maxPageBytes = 256 * 1024;
constexpr std::size_t maxPictureName = 255;

[[noreturn]] void refuse(const std::string& path, const char* reason) {
    throw ioException{path, ioException::reading, reason};
}

// The string literals of a faces line, as the page writes them: plain characters and
// the escapes jsString makes.
std::vector<std::string> stringLiterals(std::string_view line, const std::string& path) {
    std::vector<std::string> strings;
    std::size_t at = 0;
    for (;;) {
        while (at < line.size() && (line[at] == ' ' || line[at] == ',')) ++at;
        if (at < line.size() && line[at] == ']') return strings;
        if (at >= line.size() || line[at] != '"') refuse(path, "the page's face list is not a list of names");
        std::string text;
        for (++at;; ++at) {
            if (at >= line.size()) refuse(path, "the page's face list is not a list of names");
            const char c = line[at];
            if (c == '"') break;
            if (c == '\\') {
                if (++at >= line.size()) refuse(path, "the page's face list is not a list of names");
                text += line[at];
                continue;
            }
            text += c;
        }
        ++at;
        strings.push_back(std::move(text));
        if (strings.size() > pageFaceOrder.size()) refuse(path, "the page names more than six faces");
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The file name a relative URL of urlOf's form stands for; empty when it is not one.
std::string fileNameOf(std::string_view url) {
    std::string name;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] != '%') {
            if (url[i] == '/' || url[i] == '?' || url[i] == '#' || url[i] == ':') return {};
            name += url[i];
            continue;
        }
        if (i + 2 >= url.size() || hexDigit(url[i + 1]) < 0 || hexDigit(url[i + 2]) < 0) return {};
        name += static_cast<char>(hexDigit(url[i + 1]) * 16 + hexDigit(url[i + 2]));
        i += 2;
    }
    return name;
}

// A picture beside the page: no folder, no control characters.
bool plainFileName(const std::string& name) {
    return !name.empty() && name.size() <= maxPictureName && name != "." && name != ".." &&
           name.find('/') == std::string::npos &&
           std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string unescapeHtml(std::string_view text) {
    std::string out;
    static constexpr std::array<std::pair<std::string_view, char>, 4> entities = {
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}}};
    for (std::size_t i = 0; i < text.size();) {
        const auto entity = std::find_if(entities.begin(), entities.end(),
                                         [&](const auto& e) { return text.substr(i, e.first.size()) == e.first; });
        if (entity != entities.end()) {
            out += entity->second;
            i += entity->first.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

}  // namespace

PageFaces readWebPage(const std::string& path) {
    std::string text;
    switch (readFileContents(path, maxPageBytes, text)) {
    case FileRead::ok: break;
    case FileRead::missing: throw ioException{path, ioException::opening, "cannot open the file"};
    case FileRead::failed: refuse(path, "unreadable, or too large for a Domecast web page");
    }
    if (text.find(generatorTag) == std::string::npos) refuse(path, "not a web page written by Domecast");

    const std::size_t start = text.find(std::string("\n") + std::string(facesLineStart));
    if (start == std::string::npos) refuse(path, "the page names no faces");
    const std::size_t listStart = start + 1 + facesLineStart.size();
    const std::size_t end = text.find('\n', listStart);
    std::vector<std::string> names =
        stringLiterals(std::string_view(text).substr(listStart, end == std::string::npos ? end : end - listStart), path);
    if (names.size() != pageFaceOrder.size()) refuse(path, "the page does not name six faces");
    for (std::string& name : names) name = fileNameOf(name);

    // The six names of one panorama: a base, the face suffixes, one picture extension.
    const std::string& front = names[0];
    const std::string frontSuffix = faceSuffixes[pageFaceOrder[0]];
    const std::size_t suffixAt = front.rfind(frontSuffix);
    const std::size_t dot = front.rfind('.');
    if (suffixAt == std::string::npos || dot == std::string::npos || dot != suffixAt + frontSuffix.size() ||
        !plainFileName(front))
        refuse(path, "the page's front face is not a picture of a panorama");
    PageFaces page;
    page.extension = front.substr(dot);
    if (page.extension != ".jpg") refuse(path, "the page's faces are not JPEG pictures");
    const std::string name = front.substr(0, suffixAt);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (!plainFileName(names[i]) || names[i] != name + faceSuffixes[pageFaceOrder[i]] + page.extension)
            refuse(path, "the page's faces are not the faces of one panorama");
    const std::string folder = folderPart(path);
    page.base = path.find('/') == std::string::npos ? name : folder + "/" + name;

    // The viewer's options, one a line as pageText writes them.
    const auto option = [&](std::string_view name) -> std::optional<double> {
        const std::string key = "\n  " + std::string(name) + ": ";
        const std::size_t at = text.find(key);
        if (at == std::string::npos) return std::nullopt;
        const std::size_t valueStart = at + key.size();
        const std::size_t valueEnd = text.find_first_of(",\n", valueStart);
        if (valueEnd == std::string::npos || valueEnd - valueStart > 32) return std::nullopt;
        const std::string value = text.substr(valueStart, valueEnd - valueStart);
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        if (value.empty() || end != value.c_str() + value.size() || !std::isfinite(number)) return std::nullopt;
        return number;
    };
    const std::optional<double> yaw = option("yaw"), pitch = option("pitch");
    if (yaw && pitch) page.view = PageView{yawOf(*yaw), std::clamp(*pitch, -90.0, 90.0)};

    const std::size_t titleStart = text.find("<title>");
    const std::size_t titleEnd = text.find("</title>");
    if (titleStart != std::string::npos && titleEnd != std::string::npos && titleEnd > titleStart)
        page.title = unescapeHtml(std::string_view(text).substr(titleStart + 7, titleEnd - titleStart - 7));
    return page;
}
